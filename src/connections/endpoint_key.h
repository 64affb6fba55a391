#pragma once

#include "platform/iphelper.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace vq::connections {

// None: a row that is no endpoint of a table and has no identity. The order
// of the values is the order of rows with equal captions.
enum class Protocol : std::uint8_t { None, Tcp, Tcp6, Udp, Udp6 };
inline constexpr std::size_t kProtocolCount = 5;

constexpr bool IsIPv6(Protocol protocol)
{
    return protocol == Protocol::Tcp6 || protocol == Protocol::Udp6;
}

// An address as the table holds it, in network byte order: the 16 bytes of
// an IPv6 address, or an IPv4 address field in the first word and zeros
// after it; the IPv6 scope id, 0 for IPv4. Comparing the bytes in memory
// order compares the addresses numerically.
struct IpAddress {
    std::array<std::uint32_t, 4> words{};
    std::uint32_t scopeId = 0;

    friend bool operator==(const IpAddress&, const IpAddress&) = default;

    std::uint32_t IPv4Field() const { return words[0]; }
    bool IsZero() const { return words[0] == 0 && words[1] == 0 && words[2] == 0 && words[3] == 0; }
};

IpAddress IPv4Address(std::uint32_t field);
IpAddress IPv6Address(const std::uint8_t (&bytes)[16], std::uint32_t scopeId);
// The 16 bytes of an address, in network order.
void AddressBytes(const IpAddress& address, std::uint8_t (&bytes)[16]);

// An endpoint's identity as the table gives it: addresses as the table holds
// them, ports as the list shows them (PortFromNetwork), the remote end zero
// for UDP. Two endpoints are the same exactly when the list would show the
// same identity texts for them, so matching a table entry to its row needs
// no text.
struct EndpointKey {
    Protocol protocol = Protocol::None;
    IpAddress localAddress;
    std::uint32_t localPort = 0;
    IpAddress remoteAddress;
    std::uint32_t remotePort = 0;
    std::uint32_t processId = 0;

    friend bool operator==(const EndpointKey&, const EndpointKey&) = default;
};

// A TCP entry's key, a socket without a remote end with remote port 0.
EndpointKey TcpEndpoint(const platform::TcpRowOwnerPid& entry);
EndpointKey UdpEndpoint(const platform::UdpRowOwnerPid& entry);
EndpointKey Tcp6Endpoint(const platform::Tcp6RowOwnerPid& entry);
EndpointKey Udp6Endpoint(const platform::Udp6RowOwnerPid& entry);

std::size_t EndpointHash(const EndpointKey& key);

// The order of rows with equal captions: by protocol (TCP, TCPv6, UDP,
// UDPv6), then local address and local port, remote address and remote
// port, all numerically, then the process id.
bool EndpointLess(const EndpointKey& a, const EndpointKey& b);

} // namespace vq::connections
