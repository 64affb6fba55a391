#pragma once

#include "connections/endpoint_key.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vq::connections {

// The sub-items of a row, in column order after the caption.
enum SubItem : std::size_t {
    kProtocol = 0,
    kState,
    kLocalAddress,
    kLocalPort,
    kRemoteAddress,
    kRemotePort,
    kProcessId,
    kProcessFolder,
};
inline constexpr std::size_t kSubItemCount = 8;

inline constexpr wchar_t kTcpProtocol[] = L"TCP";
inline constexpr wchar_t kUdpProtocol[] = L"UDP";
inline constexpr wchar_t kTcp6Protocol[] = L"TCPv6";
inline constexpr wchar_t kUdp6Protocol[] = L"UDPv6";
// What a UDP row shows for the fields it has not got (state, remote end).
inline constexpr wchar_t kNoValue[] = L"-";

// The caption of a row of process id 0, the system's idle process, which
// has no image file.
inline constexpr wchar_t kIdleProcessName[] = L"System Idle Process";

// The texts of one row of the connection list: the process file name as
// caption and eight text sub-items, with the facts they were made from. The
// list keeps the facts only and makes these when they are asked for.
struct ConnectionRow {
    std::wstring caption;
    std::array<std::wstring, kSubItemCount> subItems;
    EndpointKey endpoint;
    std::uint32_t tcpState = 0;  // the table's state code of a TCP row's State text
    // The exact time the row's process started, read with its path; none when
    // unknown. A process that holds the id with another start time is not the
    // row's owner.
    std::optional<std::uint64_t> processStartTime = std::nullopt;
};

struct ProcessPathParts {
    std::wstring fileName;  // everything after the last "\" or ":"
    std::wstring folder;    // everything up to and including it
};

// Splits a process path at its last "\" or ":". A path without either is all
// file name; an empty path gives two empty parts.
ProcessPathParts SplitProcessPath(const std::wstring& path);

// The Protocol text of an endpoint's protocol; empty for Protocol::None.
std::wstring_view ProtocolText(Protocol protocol);

} // namespace vq::connections
