#include "connections/tcp_state_names.h"

#include "connections/ipv4_text.h"

namespace vq::connections {

wchar_t* AppendTcpStateName(wchar_t* out, std::uint32_t code)
{
    if (code >= 1 && code <= TcpStateNames.size()) {
        const std::wstring_view name = TcpStateNames[code - 1];
        return name.copy(out, name.size()) + out;
    }
    static constexpr std::wstring_view prefix = L"UNKNOWN(";
    out += prefix.copy(out, prefix.size());
    out = AppendDecimal(out, code);
    *out++ = L')';
    return out;
}

} // namespace vq::connections
