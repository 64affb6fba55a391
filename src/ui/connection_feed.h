#pragma once

// Where the connection list's rows come from: the IP Helper tables that
// start-up bound, read for the first fill, for each refresh and when the
// IPv6 rows are turned on, each read one pass of the process path cache.

#include "connections/connection_list.h"
#include "connections/list_sync.h"
#include "connections/service_lookup.h"
#include "support/process_path_cache.h"
#include "support/support_startup.h"

#include <optional>

namespace vq::ui {

class ConnectionFeed {
public:
    // The list and what start-up found must outlive the feed.
    ConnectionFeed(connections::ConnectionList& list, const support::StartupState& startup);

    const platform::IpHelperEntryPoints& IpHelper() const noexcept { return ipHelper_; }

    // The first fill: the TCP and UDP rows, then with withIPv6 the TCPv6 and
    // UDPv6 rows, each table in its own order.
    void Fill(bool withIPv6);
    // Brings the rows in step with the tables; with withIPv6 the IPv6 tables too.
    void Refresh(bool withIPv6);
    // The IPv6 rows come at once (a fill of their tables) or go at once.
    void ShowIPv6(bool show);
    // After an optional column was shown: the rows get what it shows from a
    // read of the owner-module tables (the IPv6 ones too with withIPv6).
    void CompleteOrigins(bool withIPv6);

private:
    // Each fill or refresh is one pass of the path cache: a process is asked
    // for its path at most once per pass, and not again while it keeps running.
    connections::ProcessPathResolver StartPathPass();
    // Each fill or refresh is one pass of the service look-ups too, while the
    // Service column is shown; none otherwise.
    connections::ServiceResolver StartServicePass();

    connections::ConnectionList& list_;
    const platform::IpHelperEntryPoints& ipHelper_;
    support::ProcessPathCache processPaths_;
    connections::TableRooms tableRooms_;  // the reads of one refresh, kept for the next
    // Made the first time the Service column shows.
    std::optional<connections::ServiceNameCache> services_;
};

} // namespace vq::ui
