#include "connections/connection_row.h"

#include "connections/ipv4_text.h"
#include "connections/ipv6_text.h"
#include "connections/tcp_state_names.h"
#include "util/ascii_text.h"

namespace vq::connections {

std::wstring_view ProtocolText(Protocol protocol)
{
    switch (protocol) {
    case Protocol::Tcp:
        return kTcpProtocol;
    case Protocol::Tcp6:
        return kTcp6Protocol;
    case Protocol::Udp:
        return kUdpProtocol;
    case Protocol::Udp6:
        return kUdp6Protocol;
    case Protocol::None:
        break;
    }
    return {};
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
