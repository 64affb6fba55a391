#pragma once

#include <cstdint>
#include <string>

namespace vq::connections {

// Swaps the two low bytes of a port field. The upper half is not masked away:
// it lands, shifted right by 8, in the result (bytes 01 BB 01 00 give 699).
constexpr std::uint32_t PortFromNetwork(std::uint32_t field)
{
    return (field >> 8) + ((field & 0xFF) << 8);
}

// Appends the decimal text of value to out; returns the new end.
wchar_t* AppendDecimal(wchar_t* out, std::uint32_t value);
// Appends the dotted quad of an address field in network byte order: the
// lowest byte of the 32-bit value first (bytes C0 A8 01 0A give
// 192.168.1.10). Needs 15 characters.
wchar_t* AppendIPv4(wchar_t* out, std::uint32_t address);

} // namespace vq::connections
