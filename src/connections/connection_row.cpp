#include "connections/connection_row.h"

#include <cstdint>

namespace vq::connections {

std::wstring RowKey(const ConnectionRow& row)
{
    const auto& s = row.subItems;
    std::wstring key = s[kLocalAddress] + L'|' + s[kLocalPort];
    if (row.IsTcp()) {
        key += L'|';
        key += s[kRemoteAddress];
        key += L'|';
        key += s[kRemotePort];
    }
    key += L'|';
    key += s[kProcessId];
    return key;
}

EndpointIdentity TcpIdentity(std::wstring_view localAddress, std::wstring_view localPort,
                             std::wstring_view remoteAddress, std::wstring_view remotePort,
                             std::wstring_view processId)
{
    return {Protocol::Tcp, {localAddress, localPort, remoteAddress, remotePort, processId}, 5};
}

EndpointIdentity UdpIdentity(std::wstring_view localAddress, std::wstring_view localPort,
                             std::wstring_view processId)
{
    return {Protocol::Udp, {localAddress, localPort, processId}, 3};
}

std::optional<EndpointIdentity> RowIdentity(const ConnectionRow& row)
{
    const auto& s = row.subItems;
    if (row.IsTcp()) {
        return TcpIdentity(s[kLocalAddress], s[kLocalPort], s[kRemoteAddress], s[kRemotePort], s[kProcessId]);
    }
    if (row.IsUdp()) {
        return UdpIdentity(s[kLocalAddress], s[kLocalPort], s[kProcessId]);
    }
    return std::nullopt;
}

std::size_t IdentityHash(const EndpointIdentity& identity)
{
    // FNV-1a over the characters, with each field's length mixed in so that
    // "a|b" + "c" and "a" + "b|c" hash apart.
    std::uint64_t hash = identity.protocol == Protocol::Tcp ? 0xcbf29ce484222325ull : 0x84222325cbf29ce4ull;
    constexpr std::uint64_t kPrime = 0x100000001b3ull;
    for (std::size_t i = 0; i < identity.fieldCount; ++i) {
        for (const wchar_t c : identity.fields[i]) {
            hash = (hash ^ static_cast<std::uint64_t>(static_cast<std::uint32_t>(c))) * kPrime;
        }
        hash = (hash ^ (0x10000ull + identity.fields[i].size())) * kPrime;
    }
    return static_cast<std::size_t>(hash ^ (hash >> 32));
}

ProcessPathParts SplitProcessPath(const std::wstring& path)
{
    const std::size_t split = path.find_last_of(L"\\:");
    if (split == std::wstring::npos) {
        return {path, {}};
    }
    return {path.substr(split + 1), path.substr(0, split + 1)};
}

std::wstring_view TrimControlAndBlank(std::wstring_view text)
{
    std::size_t first = 0;
    std::size_t last = text.size();
    while (first < last && static_cast<unsigned>(text[first]) <= 32) {
        ++first;
    }
    while (last > first && static_cast<unsigned>(text[last - 1]) <= 32) {
        --last;
    }
    return text.substr(first, last - first);
}

std::optional<std::uint32_t> ParseProcessId(std::wstring_view text)
{
    if (text.empty()) {
        return std::nullopt;
    }
    std::uint64_t value = 0;
    for (const wchar_t c : text) {
        if (c < L'0' || c > L'9') {
            return std::nullopt;
        }
        value = value * 10 + static_cast<std::uint64_t>(c - L'0');
        if (value > UINT32_MAX) {
            return std::nullopt;
        }
    }
    return static_cast<std::uint32_t>(value);
}

} // namespace vq::connections
