#include "connections/endpoint_key.h"

#include "connections/ipv4_text.h"

#include <tuple>

namespace vq::connections {
namespace {

// An address field holds a.b.c.d with a in its lowest byte; numeric order
// puts a first.
constexpr std::uint32_t AddressOrder(std::uint32_t address)
{
    return ((address & 0xFF) << 24) | ((address & 0xFF00) << 8) | ((address >> 8) & 0xFF00) | (address >> 24);
}

std::uint64_t Mix(std::uint64_t hash, std::uint64_t value)
{
    hash ^= value + 0x9e3779b97f4a7c15ull + (hash << 6) + (hash >> 2);
    return hash;
}

} // namespace

EndpointKey TcpEndpoint(const platform::TcpRowOwnerPid& entry)
{
    return {Protocol::Tcp,
            entry.localAddr,
            PortFromNetwork(entry.localPort),
            entry.remoteAddr,
            entry.remoteAddr == 0 ? 0 : PortFromNetwork(entry.remotePort),
            entry.owningPid};
}

EndpointKey UdpEndpoint(const platform::UdpRowOwnerPid& entry)
{
    return {Protocol::Udp, entry.localAddr, PortFromNetwork(entry.localPort), 0, 0, entry.owningPid};
}

std::size_t EndpointHash(const EndpointKey& key)
{
    std::uint64_t hash = static_cast<std::uint64_t>(key.protocol);
    hash = Mix(hash, (static_cast<std::uint64_t>(key.localAddress) << 32) | key.localPort);
    hash = Mix(hash, (static_cast<std::uint64_t>(key.remoteAddress) << 32) | key.remotePort);
    hash = Mix(hash, key.processId);
    // The index uses the low bits: fold the high ones in.
    hash ^= hash >> 29;
    hash *= 0xbf58476d1ce4e5b9ull;
    hash ^= hash >> 32;
    return static_cast<std::size_t>(hash);
}

bool EndpointLess(const EndpointKey& a, const EndpointKey& b)
{
    return std::make_tuple(a.protocol, AddressOrder(a.localAddress), a.localPort, AddressOrder(a.remoteAddress),
                           a.remotePort, a.processId) <
           std::make_tuple(b.protocol, AddressOrder(b.localAddress), b.localPort, AddressOrder(b.remoteAddress),
                           b.remotePort, b.processId);
}

} // namespace vq::connections
