#include "connections/connection_row.h"

#include "connections/ipv4_text.h"
#include "connections/ipv6_text.h"
#include "connections/tcp_state_names.h"
#include "platform/process.h"
#include "util/ascii_text.h"

#include <cstdint>

namespace vq::connections {
namespace {

std::wstring Decimal(std::uint32_t value)
{
    return std::to_wstring(value);
}

ConnectionRow MakeRow(const EndpointKey& endpoint, const std::wstring& processPath)
{
    ConnectionRow row;
    ProcessPathParts path = SplitProcessPath(processPath);
    row.caption =
        endpoint.processId == platform::kIdleProcessId ? std::wstring(kIdleProcessName) : std::move(path.fileName);
    row.subItems[kLocalAddress] = AddressText(endpoint.localAddress, endpoint.protocol);
    row.subItems[kLocalPort] = Decimal(endpoint.localPort);
    row.subItems[kProcessId] = Decimal(endpoint.processId);
    row.subItems[kProcessFolder] = std::move(path.folder);
    row.endpoint = endpoint;
    return row;
}

ConnectionRow MakeConnectionRow(const EndpointKey& endpoint, std::uint32_t state, const std::wstring& processPath,
                                const wchar_t* protocol)
{
    ConnectionRow row = MakeRow(endpoint, processPath);
    row.subItems[kProtocol] = protocol;
    row.subItems[kState] = TcpStateText(state);
    row.tcpState = state;
    row.subItems[kRemoteAddress] = AddressText(endpoint.remoteAddress, endpoint.protocol);
    row.subItems[kRemotePort] = Decimal(endpoint.remotePort);
    return row;
}

ConnectionRow MakeDatagramRow(const EndpointKey& endpoint, const std::wstring& processPath, const wchar_t* protocol)
{
    ConnectionRow row = MakeRow(endpoint, processPath);
    row.subItems[kProtocol] = protocol;
    row.subItems[kState] = kNoValue;
    row.subItems[kRemoteAddress] = kNoValue;
    row.subItems[kRemotePort] = kNoValue;
    return row;
}

} // namespace

ConnectionRow MakeTcpRow(const platform::TcpRowOwnerPid& entry, const std::wstring& processPath)
{
    return MakeConnectionRow(TcpEndpoint(entry), entry.state, processPath, kTcpProtocol);
}

ConnectionRow MakeUdpRow(const platform::UdpRowOwnerPid& entry, const std::wstring& processPath)
{
    return MakeDatagramRow(UdpEndpoint(entry), processPath, kUdpProtocol);
}

ConnectionRow MakeTcp6Row(const platform::Tcp6RowOwnerPid& entry, const std::wstring& processPath)
{
    return MakeConnectionRow(Tcp6Endpoint(entry), entry.state, processPath, kTcp6Protocol);
}

ConnectionRow MakeUdp6Row(const platform::Udp6RowOwnerPid& entry, const std::wstring& processPath)
{
    return MakeDatagramRow(Udp6Endpoint(entry), processPath, kUdp6Protocol);
}

std::wstring AddressText(const IpAddress& address, Protocol protocol)
{
    if (!IsIPv6(protocol)) {
        return FormatIPv4(address.IPv4Field());
    }
    std::uint8_t bytes[16];
    AddressBytes(address, bytes);
    return FormatIPv6(bytes, address.scopeId);
}

std::wstring TcpStateText(std::uint32_t state)
{
    return std::wstring(util::TrimControlAndBlank(TcpStateName(state)));
}

ProcessPathParts SplitProcessPath(const std::wstring& path)
{
    const std::size_t split = path.find_last_of(L"\\:");
    if (split == std::wstring::npos) {
        return {path, {}};
    }
    return {path.substr(split + 1), path.substr(0, split + 1)};
}

} // namespace vq::connections
