#include "connections/ipv6_text.h"

#include "connections/ipv4_text.h"

#include <cstddef>

namespace vq::connections {
namespace {

constexpr std::size_t kGroups = 8;

wchar_t* AppendHexGroup(wchar_t* out, std::uint32_t group)
{
    constexpr wchar_t kDigits[] = L"0123456789abcdef";
    bool started = false;
    for (int shift = 12; shift >= 0; shift -= 4) {
        const std::uint32_t digit = (group >> shift) & 0xF;
        if (digit != 0 || started || shift == 0) {
            *out++ = kDigits[digit];
            started = true;
        }
    }
    return out;
}

bool IsIPv4Mapped(const std::uint8_t (&address)[16])
{
    for (std::size_t i = 0; i < 10; ++i) {
        if (address[i] != 0) {
            return false;
        }
    }
    return address[10] == 0xFF && address[11] == 0xFF;
}

} // namespace

wchar_t* AppendIPv6(wchar_t* out, const std::uint8_t (&address)[16], std::uint32_t scopeId)
{
    std::uint32_t groups[kGroups];
    for (std::size_t i = 0; i < kGroups; ++i) {
        groups[i] = (static_cast<std::uint32_t>(address[2 * i]) << 8) | address[2 * i + 1];
    }
    const bool mapped = IsIPv4Mapped(address);
    const std::size_t hexGroups = mapped ? 6 : kGroups;

    // The longest run of zero groups; a lone zero group stays as it is.
    std::size_t runStart = kGroups;
    std::size_t runLength = 1;
    for (std::size_t i = 0; i < hexGroups;) {
        std::size_t end = i;
        while (end < hexGroups && groups[end] == 0) {
            ++end;
        }
        if (end - i > runLength) {
            runStart = i;
            runLength = end - i;
        }
        i = end == i ? i + 1 : end;
    }

    for (std::size_t i = 0; i < hexGroups; ++i) {
        if (i == runStart) {
            *out++ = L':';
            *out++ = L':';
            i += runLength - 1;
            continue;
        }
        if (i != 0 && out[-1] != L':') {
            *out++ = L':';
        }
        out = AppendHexGroup(out, groups[i]);
    }
    if (mapped) {
        if (out[-1] != L':') {
            *out++ = L':';
        }
        std::uint32_t field = 0;
        for (std::size_t i = 0; i < 4; ++i) {
            field |= static_cast<std::uint32_t>(address[12 + i]) << (8 * i);
        }
        out = AppendIPv4(out, field);
    }
    if (scopeId != 0) {
        *out++ = L'%';
        out = AppendDecimal(out, scopeId);
    }
    return out;
}

} // namespace vq::connections
