#include "connections/ipv4_text.h"

namespace vq::connections {

wchar_t* AppendDecimal(wchar_t* out, std::uint32_t value)
{
    wchar_t digits[10];
    int count = 0;
    do {
        digits[count++] = static_cast<wchar_t>(L'0' + value % 10);
        value /= 10;
    } while (value != 0);
    while (count > 0) {
        *out++ = digits[--count];
    }
    return out;
}

wchar_t* AppendIPv4(wchar_t* out, std::uint32_t address)
{
    out = AppendDecimal(out, address & 0xFF);
    *out++ = L'.';
    out = AppendDecimal(out, (address >> 8) & 0xFF);
    *out++ = L'.';
    out = AppendDecimal(out, (address >> 16) & 0xFF);
    *out++ = L'.';
    return AppendDecimal(out, address >> 24);
}

} // namespace vq::connections
