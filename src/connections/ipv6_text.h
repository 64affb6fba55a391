#pragma once

#include <cstddef>
#include <cstdint>

namespace vq::connections {

// Eight groups of four digits, seven separators, a dotted quad's extra
// characters and "%" with ten digits: well below this.
inline constexpr std::size_t kIPv6TextCapacity = 64;

// Appends the text of an IPv6 address of 16 bytes in network order to out,
// which has room for kIPv6TextCapacity characters; returns the new end. The
// text is the address's canonical form: lower-case hex groups without leading zeros, the longest run of two
// or more zero groups (the first of equally long runs) shortened to "::", an
// IPv4-mapped address as ::ffff:a.b.c.d, and "%" with the scope id appended
// when the scope id is not 0. Copy, the report and the look-ups all show
// this text, so the program makes it itself rather than asking the system,
// whose own form differs for mapped and compatible addresses.
wchar_t* AppendIPv6(wchar_t* out, const std::uint8_t (&address)[16], std::uint32_t scopeId);

} // namespace vq::connections
