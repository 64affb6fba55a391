#pragma once

#include "connections/connection_list.h"
#include "connections/service_lookup.h"
#include "connections/table_reader.h"
#include "platform/iphelper.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace vq::connections {

using ProcessPathResolver = std::function<OwningProcess(std::uint32_t processId)>;

// The initial fill: one row per table entry in table order, duplicates
// included, without looking at the rows already listed. A failed read adds
// no row.
// With rooms, the read's room is kept there for the first refresh.
// While the list keeps origins, every read here and below is of the
// owner-module class, and each row added gets its origin, its service from
// services while the Service column is shown.
void FillTcpRows(ConnectionList& list, const platform::IpHelperEntryPoints& ipHelper,
                 const ProcessPathResolver& resolve, TableRooms* rooms = nullptr,
                 const ServiceResolver& services = {});
void FillUdpRows(ConnectionList& list, const platform::IpHelperEntryPoints& ipHelper,
                 const ProcessPathResolver& resolve, TableRooms* rooms = nullptr,
                 const ServiceResolver& services = {});

// The initial fill of the IPv6 rows, TCPv6 then UDPv6, as for IPv4.
void FillIPv6Rows(ConnectionList& list, const platform::IpHelperEntryPoints& ipHelper,
                  const ProcessPathResolver& resolve, TableRooms* rooms = nullptr,
                  const ServiceResolver& services = {});

// Brings the rows of one protocol in step with a table read. Entries are
// matched to rows on their raw endpoint. A row stays when an entry has
// exactly its endpoint (its state follows the entry's), or when it is the
// selected row; every other row of the protocol goes. An entry whose
// endpoint is not listed yet becomes a new row of its process; no text is
// made. Rows of the other protocols are not touched. A TCP or UDP table
// without entries changes nothing; a TCPv6 or UDPv6 one is synchronised like
// any other, so that its rows go. With changes highlighted, a row that goes
// stays closed for a while, and the rows added are marked new when the
// table's rows came from an earlier read of it. Linear in rows plus entries,
// plus placing the new rows.
void SyncTcpRows(ConnectionList& list, const TableBuffer<platform::TcpRowOwnerPid>& table,
                 const ProcessPathResolver& resolve);
void SyncUdpRows(ConnectionList& list, const TableBuffer<platform::UdpRowOwnerPid>& table,
                 const ProcessPathResolver& resolve);

void SyncTcp6Rows(ConnectionList& list, const TableBuffer<platform::Tcp6RowOwnerPid>& table,
                  const ProcessPathResolver& resolve);
void SyncUdp6Rows(ConnectionList& list, const TableBuffer<platform::Udp6RowOwnerPid>& table,
                  const ProcessPathResolver& resolve);

// Removes every TCPv6 and UDPv6 row, selected or not.
void RemoveIPv6Rows(ConnectionList& list);

// One refresh: the marks of two refreshes ago expire (ConnectionList::
// BeginRefresh), then read the TCP table and synchronise when it was read,
// then the same for UDP, and with includeIPv6 for TCPv6 and UDPv6. Each table stands
// alone: one that cannot be read leaves its own rows as they are and the
// others are still brought in step.
// With rooms, every read reuses the room of the table's last read and leaves
// its own there for the next refresh. While the list keeps origins, the
// owner-module tables are read, and matched rows without an origin get their
// entry's.
void RefreshRows(ConnectionList& list, const platform::IpHelperEntryPoints& ipHelper,
                 const ProcessPathResolver& resolve, bool includeIPv6 = false, TableRooms* rooms = nullptr,
                 const ServiceResolver& services = {});

// Gives the rows without an origin theirs from a read of the owner-module
// tables (the IPv6 ones with includeIPv6), changing nothing else: for an
// optional column just shown. Does nothing while the list keeps no origins.
void CompleteRowOrigins(ConnectionList& list, const platform::IpHelperEntryPoints& ipHelper,
                        const ProcessPathResolver& resolve, const ServiceResolver& services, bool includeIPv6);

} // namespace vq::connections
