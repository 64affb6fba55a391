#include "connections/endpoint_key.h"

#include "connections/ipv4_text.h"

#include <cstring>

namespace vq::connections {
namespace {

std::uint64_t Mix(std::uint64_t hash, std::uint64_t value)
{
    hash ^= value + 0x9e3779b97f4a7c15ull + (hash << 6) + (hash >> 2);
    return hash;
}

std::uint64_t MixAddress(std::uint64_t hash, const IpAddress& address)
{
    hash = Mix(hash, (static_cast<std::uint64_t>(address.words[0]) << 32) | address.words[1]);
    if ((address.words[2] | address.words[3] | address.scopeId) != 0) {
        hash = Mix(hash, (static_cast<std::uint64_t>(address.words[2]) << 32) | address.words[3]);
        hash = Mix(hash, address.scopeId);
    }
    return hash;
}

// A word's four bytes, first in memory first, as one number: words compare
// like their bytes. Sorting compares addresses millions of times, so this
// stays inline rather than calling memcmp.
std::uint32_t InMemoryOrder(std::uint32_t word)
{
    unsigned char bytes[4];
    std::memcpy(bytes, &word, sizeof(bytes));
    return (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) | (std::uint32_t{bytes[2]} << 8) |
           bytes[3];
}

// Numeric order of two addresses: their bytes in network order, then the scope.
int CompareAddresses(const IpAddress& a, const IpAddress& b)
{
    for (std::size_t i = 0; i < a.words.size(); ++i) {
        if (a.words[i] != b.words[i]) {
            return InMemoryOrder(a.words[i]) < InMemoryOrder(b.words[i]) ? -1 : 1;
        }
    }
    return a.scopeId < b.scopeId ? -1 : a.scopeId > b.scopeId ? 1 : 0;
}

} // namespace

IpAddress IPv4Address(std::uint32_t field)
{
    IpAddress address;
    address.words[0] = field;
    return address;
}

IpAddress IPv6Address(const std::uint8_t (&bytes)[16], std::uint32_t scopeId)
{
    IpAddress address;
    std::memcpy(address.words.data(), bytes, sizeof(bytes));
    address.scopeId = scopeId;
    return address;
}

void AddressBytes(const IpAddress& address, std::uint8_t (&bytes)[16])
{
    std::memcpy(bytes, address.words.data(), sizeof(bytes));
}

EndpointKey TcpEndpoint(const platform::TcpRowOwnerPid& entry)
{
    return {Protocol::Tcp,
            IPv4Address(entry.localAddr),
            PortFromNetwork(entry.localPort),
            IPv4Address(entry.remoteAddr),
            entry.remoteAddr == 0 ? 0 : PortFromNetwork(entry.remotePort),
            entry.owningPid};
}

EndpointKey UdpEndpoint(const platform::UdpRowOwnerPid& entry)
{
    return {Protocol::Udp, IPv4Address(entry.localAddr), PortFromNetwork(entry.localPort), {}, 0, entry.owningPid};
}

EndpointKey Tcp6Endpoint(const platform::Tcp6RowOwnerPid& entry)
{
    EndpointKey key{Protocol::Tcp6,
                    IPv6Address(entry.localAddr, entry.localScopeId),
                    PortFromNetwork(entry.localPort),
                    IPv6Address(entry.remoteAddr, entry.remoteScopeId),
                    0,
                    entry.owningPid};
    // The unspecified remote address "::" is a socket without a remote end.
    key.remotePort = key.remoteAddress.IsZero() ? 0 : PortFromNetwork(entry.remotePort);
    return key;
}

EndpointKey Udp6Endpoint(const platform::Udp6RowOwnerPid& entry)
{
    return {Protocol::Udp6, IPv6Address(entry.localAddr, entry.localScopeId), PortFromNetwork(entry.localPort), {},
            0, entry.owningPid};
}

std::size_t EndpointHash(const EndpointKey& key)
{
    std::uint64_t hash = static_cast<std::uint64_t>(key.protocol);
    hash = Mix(MixAddress(hash, key.localAddress), key.localPort);
    hash = Mix(MixAddress(hash, key.remoteAddress), key.remotePort);
    hash = Mix(hash, key.processId);
    // The index uses the low bits: fold the high ones in.
    hash ^= hash >> 29;
    hash *= 0xbf58476d1ce4e5b9ull;
    hash ^= hash >> 32;
    return static_cast<std::size_t>(hash);
}

bool EndpointLess(const EndpointKey& a, const EndpointKey& b)
{
    if (a.protocol != b.protocol) {
        return a.protocol < b.protocol;
    }
    if (const int local = CompareAddresses(a.localAddress, b.localAddress); local != 0) {
        return local < 0;
    }
    if (a.localPort != b.localPort) {
        return a.localPort < b.localPort;
    }
    if (const int remote = CompareAddresses(a.remoteAddress, b.remoteAddress); remote != 0) {
        return remote < 0;
    }
    if (a.remotePort != b.remotePort) {
        return a.remotePort < b.remotePort;
    }
    return a.processId < b.processId;
}

} // namespace vq::connections
