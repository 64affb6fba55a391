#pragma once

#include "platform/iphelper.h"

#include <cstdint>
#include <string_view>

namespace vq::connections {

// The state that tells SetTcpEntry to delete the connection's control block.
inline constexpr std::uint32_t kTcpStateDeleteTcb = 12;

// Closes the TCP connection that a list row shows. The texts are the row's
// local address, local port, remote address, remote port and process id, as
// the list holds them.
//
// Reads the live TCP table afresh and visits its entries in table order. An
// entry matches when its local address, local port, remote address, remote
// port and owning process id, each written as the list writes it, equal the
// texts (exact text comparisons, in that order). The remote port is taken as
// the table gives it, also for an entry without a remote address, so a
// listening row (remote port 0) matches only an entry whose remote port field
// is 0. The first matching entry is handed to SetTcpEntry with the delete
// state; later entries are not looked at.
//
// Answers true only when an entry matched and SetTcpEntry answered 0; false
// when an entry point is missing, the table cannot be read, nothing matched or
// SetTcpEntry refused.
bool CloseTcpConnection(const platform::IpHelperEntryPoints& ipHelper, std::wstring_view localAddress,
                        std::wstring_view localPort, std::wstring_view remoteAddress,
                        std::wstring_view remotePort, std::wstring_view processId);

} // namespace vq::connections
