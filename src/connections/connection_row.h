#pragma once

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
// What a UDP row shows for the fields it has not got (state, remote end).
inline constexpr wchar_t kNoValue[] = L"-";

// One row of the connection list: the process file name as caption and eight
// text sub-items. Every value is text.
struct ConnectionRow {
    std::wstring caption;
    std::array<std::wstring, kSubItemCount> subItems;

    bool IsTcp() const { return subItems[kProtocol] == kTcpProtocol; }
    bool IsUdp() const { return subItems[kProtocol] == kUdpProtocol; }
};

// The row's identity sub-items joined by "|": local address, local port,
// remote address, remote port and process id for a TCP row; local address,
// local port and process id for any other row. This is the row's snapshot
// line without the state.
std::wstring RowKey(const ConnectionRow& row);

enum class Protocol { Tcp, Udp };

// The identity sub-items of an endpoint, compared as exact texts: for TCP the
// local address, local port, remote address, remote port and process id; for
// UDP the local address, local port and process id. The fields are views:
// the texts they come from must outlive the identity.
struct EndpointIdentity {
    Protocol protocol = Protocol::Tcp;
    std::array<std::wstring_view, 5> fields{};
    std::size_t fieldCount = 0;

    friend bool operator==(const EndpointIdentity& a, const EndpointIdentity& b)
    {
        if (a.protocol != b.protocol || a.fieldCount != b.fieldCount) {
            return false;
        }
        for (std::size_t i = 0; i < a.fieldCount; ++i) {
            if (a.fields[i] != b.fields[i]) {
                return false;
            }
        }
        return true;
    }
};

EndpointIdentity TcpIdentity(std::wstring_view localAddress, std::wstring_view localPort,
                             std::wstring_view remoteAddress, std::wstring_view remotePort,
                             std::wstring_view processId);
EndpointIdentity UdpIdentity(std::wstring_view localAddress, std::wstring_view localPort,
                             std::wstring_view processId);
// The identity of a row by its protocol sub-item ("TCP" or "UDP" exactly);
// none for a row of neither.
std::optional<EndpointIdentity> RowIdentity(const ConnectionRow& row);
// A hash of the fields and the protocol, for the list's index.
std::size_t IdentityHash(const EndpointIdentity& identity);

struct ProcessPathParts {
    std::wstring fileName;  // everything after the last "\" or ":"
    std::wstring folder;    // everything up to and including it
};

// Splits a process path at its last "\" or ":". A path without either is all
// file name; an empty path gives two empty parts.
ProcessPathParts SplitProcessPath(const std::wstring& path);

// Text with every character of code 32 or below removed from both ends.
std::wstring_view TrimControlAndBlank(std::wstring_view text);

// A process id text as the list writes it (decimal digits within 32 bits) as
// a number; none for any other text.
std::optional<std::uint32_t> ParseProcessId(std::wstring_view text);

} // namespace vq::connections
