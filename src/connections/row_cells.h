#pragma once

// The texts of a row's cells, made from its facts when a cell is drawn,
// copied, reported or searched: the list stores no text per row.

#include "connections/connection_row.h"
#include "connections/endpoint_key.h"
#include "connections/ipv6_text.h"
#include "connections/process_table.h"
#include "connections/tcp_state_names.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace vq::connections {

// What every text of a row is made from. The time the endpoint was made (a
// FILETIME) and its service are set only while their columns are shown.
struct RowFacts {
    const EndpointKey& endpoint;
    std::uint32_t tcpState;
    const ProcessEntry& process;
    std::uint64_t created = 0;
    std::wstring_view service = {};
};

// Room for the text of any cell made from an endpoint or a state.
struct CellBuffer {
    std::array<wchar_t, kIPv6TextCapacity> text;
};

// The text of a cell: column 0 is the caption, column 1 + s sub-item s, then
// the optional columns (list_columns.h). The text lives in buffer, in the
// process's entry or in the list's service texts, so it is valid until
// buffer is used again or the row goes. A column past the last is empty.
std::wstring_view CellText(const RowFacts& facts, std::size_t column, CellBuffer& buffer);

// The State text of a TCP state code: its name without surrounding blanks.
std::wstring_view TcpStateText(std::uint32_t state, CellBuffer& buffer);

// Every text of a row at once, for the commands that hand rows on.
ConnectionRow RowTexts(const RowFacts& facts);

// Whether a row's State is ESTABLISHED, and whether it is LISTEN.
constexpr bool IsEstablished(const EndpointKey& endpoint, std::uint32_t tcpState)
{
    return (endpoint.protocol == Protocol::Tcp || endpoint.protocol == Protocol::Tcp6) && tcpState == kTcpStateEstablished;
}
constexpr bool IsListening(const EndpointKey& endpoint, std::uint32_t tcpState)
{
    return (endpoint.protocol == Protocol::Tcp || endpoint.protocol == Protocol::Tcp6) && tcpState == kTcpStateListen;
}

} // namespace vq::connections
