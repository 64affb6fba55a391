#pragma once

#include "platform/iphelper.h"

#include <array>
#include <cstdint>
#include <cstring>

namespace vq::fake {

// An address field in network byte order for a.b.c.d.
constexpr std::uint32_t Addr(std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d)
{
    return a | (b << 8) | (c << 16) | (d << 24);
}

// A port field as the platform lays it out: network byte order in the low 16 bits.
constexpr std::uint32_t Port(std::uint32_t port)
{
    return (port >> 8) | ((port & 0xFF) << 8);
}

// An IPv6 address's eight groups, as written in its text.
using Groups6 = std::array<std::uint16_t, 8>;

inline void PutAddress6(std::uint8_t (&out)[16], const Groups6& groups)
{
    for (std::size_t i = 0; i < groups.size(); ++i) {
        out[2 * i] = static_cast<std::uint8_t>(groups[i] >> 8);
        out[2 * i + 1] = static_cast<std::uint8_t>(groups[i]);
    }
}

// A TCPv6 entry with plain port numbers.
inline platform::Tcp6RowOwnerPid Tcp6Entry(std::uint32_t state, const Groups6& local, std::uint32_t localScope,
                                           std::uint32_t localPort, const Groups6& remote, std::uint32_t remoteScope,
                                           std::uint32_t remotePort, std::uint32_t pid)
{
    platform::Tcp6RowOwnerPid entry{};
    PutAddress6(entry.localAddr, local);
    entry.localScopeId = localScope;
    entry.localPort = Port(localPort);
    PutAddress6(entry.remoteAddr, remote);
    entry.remoteScopeId = remoteScope;
    entry.remotePort = Port(remotePort);
    entry.state = state;
    entry.owningPid = pid;
    return entry;
}

inline platform::Udp6RowOwnerPid Udp6Entry(const Groups6& local, std::uint32_t localScope, std::uint32_t localPort,
                                           std::uint32_t pid)
{
    platform::Udp6RowOwnerPid entry{};
    PutAddress6(entry.localAddr, local);
    entry.localScopeId = localScope;
    entry.localPort = Port(localPort);
    entry.owningPid = pid;
    return entry;
}

} // namespace vq::fake
