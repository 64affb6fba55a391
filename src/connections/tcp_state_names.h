#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace vq::connections {

// The codes of the states the status bar counts.
inline constexpr std::uint32_t kTcpStateListen = 2;
inline constexpr std::uint32_t kTcpStateEstablished = 5;

// The state that tells SetTcpEntry to delete the connection's control block.
inline constexpr std::uint32_t kTcpStateDeleteTcb = 12;

// Indexed by the platform's MIB_TCP_STATE code minus one. SYN-SENT carries a
// trailing blank, which the list's State text drops (TcpStateText).
inline constexpr std::array<std::wstring_view, 12> TcpStateNames = {
    L"CLOSED",     L"LISTEN",     L"SYN-SENT ", L"SYN-RECEIVED", L"ESTABLISHED", L"FIN-WAIT-1",
    L"FIN-WAIT-2", L"CLOSE-WAIT", L"CLOSING",   L"LAST-ACK",     L"TIME-WAIT",   L"delete TCB",
};

// Appends the name of a state code to out; returns the new end. Needs 19
// characters. A code the table does not know reads "UNKNOWN(<code>)", which
// no real state name can be mistaken for.
wchar_t* AppendTcpStateName(wchar_t* out, std::uint32_t code);

} // namespace vq::connections
