#include "connections/row_cells.h"

#include "connections/created_time.h"
#include "connections/ipv4_text.h"
#include "connections/list_columns.h"
#include "util/ascii_text.h"

namespace vq::connections {
namespace {

bool IsConnection(Protocol protocol)
{
    return protocol == Protocol::Tcp || protocol == Protocol::Tcp6;
}

std::wstring_view Written(const CellBuffer& buffer, const wchar_t* end)
{
    return {buffer.text.data(), static_cast<std::size_t>(end - buffer.text.data())};
}

std::wstring_view Decimal(std::uint32_t value, CellBuffer& buffer)
{
    return Written(buffer, AppendDecimal(buffer.text.data(), value));
}

std::wstring_view Address(const IpAddress& address, Protocol protocol, CellBuffer& buffer)
{
    if (!IsIPv6(protocol)) {
        return Written(buffer, AppendIPv4(buffer.text.data(), address.IPv4Field()));
    }
    std::uint8_t bytes[16];
    AddressBytes(address, bytes);
    return Written(buffer, AppendIPv6(buffer.text.data(), bytes, address.scopeId));
}

} // namespace

std::wstring_view TcpStateText(std::uint32_t state, CellBuffer& buffer)
{
    return util::TrimControlAndBlank(Written(buffer, AppendTcpStateName(buffer.text.data(), state)));
}

std::wstring_view CellText(const RowFacts& facts, std::size_t column, CellBuffer& buffer)
{
    const EndpointKey& endpoint = facts.endpoint;
    const bool connection = IsConnection(endpoint.protocol);
    switch (column) {
    case 0:
        return facts.process.caption->text;
    case 1 + kProtocol:
        return ProtocolText(endpoint.protocol);
    case 1 + kState:
        return connection ? TcpStateText(facts.tcpState, buffer) : kNoValue;
    case 1 + kLocalAddress:
        return Address(endpoint.localAddress, endpoint.protocol, buffer);
    case 1 + kLocalPort:
        return Decimal(endpoint.localPort, buffer);
    case 1 + kRemoteAddress:
        return connection ? Address(endpoint.remoteAddress, endpoint.protocol, buffer) : kNoValue;
    case 1 + kRemotePort:
        return connection ? Decimal(endpoint.remotePort, buffer) : kNoValue;
    case 1 + kProcessId:
        return Decimal(endpoint.processId, buffer);
    case 1 + kProcessFolder:
        return facts.process.folder;
    case kServiceColumn:
        return facts.service;
    case kCreatedColumn:
        return CreatedTimeText(facts.created, buffer);
    default:
        return {};
    }
}

ConnectionRow RowTexts(const RowFacts& facts)
{
    ConnectionRow row;
    CellBuffer buffer;
    row.caption = CellText(facts, 0, buffer);
    for (std::size_t item = 0; item < kSubItemCount; ++item) {
        row.subItems[item] = CellText(facts, 1 + item, buffer);
    }
    row.endpoint = facts.endpoint;
    row.tcpState = facts.tcpState;
    row.processStartTime = facts.process.startTime;
    return row;
}

} // namespace vq::connections
