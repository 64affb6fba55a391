#pragma once

#include "platform/iphelper.h"

#include <cstddef>
#include <cstdint>

namespace vq::connections {

// None: a row that is no endpoint of a table and has no identity.
enum class Protocol : std::uint8_t { None, Tcp, Udp };

// An endpoint's identity as the table gives it: addresses as the table holds
// them (network byte order), ports as the list shows them (PortFromNetwork),
// the remote end zero for UDP. Two endpoints are the same exactly when the
// list would show the same identity texts for them, so matching a table
// entry to its row needs no text.
struct EndpointKey {
    Protocol protocol = Protocol::None;
    std::uint32_t localAddress = 0;
    std::uint32_t localPort = 0;
    std::uint32_t remoteAddress = 0;
    std::uint32_t remotePort = 0;
    std::uint32_t processId = 0;

    friend bool operator==(const EndpointKey&, const EndpointKey&) = default;
};

// A TCP entry's key, a socket without a remote end with remote port 0.
EndpointKey TcpEndpoint(const platform::TcpRowOwnerPid& entry);
EndpointKey UdpEndpoint(const platform::UdpRowOwnerPid& entry);

std::size_t EndpointHash(const EndpointKey& key);

// The order of rows with equal captions: TCP before UDP, then local address
// and local port, remote address and remote port, all numerically, then the
// process id.
bool EndpointLess(const EndpointKey& a, const EndpointKey& b);

} // namespace vq::connections
