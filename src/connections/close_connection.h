#pragma once

#include "connections/endpoint_key.h"
#include "platform/iphelper.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vq::connections {

// Closes the TCP connections of list rows, given by their endpoints in list
// order. Reads the live TCP table once, whatever the number of rows.
//
// An entry matches a row when its local address, local port, remote address,
// remote port and owning process id equal the row's. The remote port is
// taken as the table gives it, also for an entry without a remote address,
// so a listening row (remote port 0) matches only an entry whose remote port
// field is 0. Each row closes the first matching entry in table order that
// this call has not closed yet, through SetTcpEntry with the delete state.
// Endpoints of another protocol are skipped.
//
// Answers how many SetTcpEntry calls answered 0: none when an entry point is
// missing or the table cannot be read.
std::size_t CloseTcpConnections(const platform::IpHelperEntryPoints& ipHelper,
                                const std::vector<EndpointKey>& endpoints);

} // namespace vq::connections
