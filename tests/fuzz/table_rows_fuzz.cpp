// Any bytes as the answer of GetExtendedTcpTable and GetExtendedUdpTable,
// for both address families and both the owner-pid and owner-module classes,
// read with the two-call protocol, and the row of every entry read. IPv6 texts are read back with the host's own parser.

#include "connections/connection_list.h"
#include "connections/connection_row.h"
#include "connections/created_time.h"
#include "connections/ipv4_text.h"
#include "connections/table_reader.h"
#include "connections/tcp_state_names.h"
#include "fake_platform.h"
#include "fuzz_common.h"
#include "util/error_report.h"

#include <arpa/inet.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vq {
namespace {

using connections::ConnectionRow;
using fuzz::Check;

// The texts a list shows for the row of an entry with this process path.
ConnectionRow Shown(const connections::EndpointKey& endpoint, std::uint32_t state, const std::wstring& path)
{
    connections::ConnectionList list(nullptr);
    list.AppendRow(endpoint, state, {path, std::nullopt});
    return list.row(0);
}
ConnectionRow MakeTcpRow(const platform::TcpRowOwnerPid& entry, const std::wstring& path)
{
    return Shown(connections::TcpEndpoint(entry), entry.state, path);
}
ConnectionRow MakeUdpRow(const platform::UdpRowOwnerPid& entry, const std::wstring& path)
{
    return Shown(connections::UdpEndpoint(entry), 0, path);
}
ConnectionRow MakeTcp6Row(const platform::Tcp6RowOwnerPid& entry, const std::wstring& path)
{
    return Shown(connections::Tcp6Endpoint(entry), entry.state, path);
}
ConnectionRow MakeUdp6Row(const platform::Udp6RowOwnerPid& entry, const std::wstring& path)
{
    return Shown(connections::Udp6Endpoint(entry), 0, path);
}

constexpr std::uint32_t kLargestTableLength = 256u * 1024 * 1024;

// What the entry point answers, and what it saw.
struct Script {
    std::uint32_t firstAnswer = platform::kErrorInsufficientBuffer;
    std::uint32_t reportedSize = 0;
    std::uint32_t secondAnswer = platform::kNoError;
    std::vector<std::uint8_t> payload;
    std::optional<std::uint32_t> claimedLength;  // none: the bytes really written
    int calls = 0;
    std::uint32_t room = 0;
    std::uint32_t written = 0;
};
Script g_script;

std::uint32_t ServeBytes(void* table, std::uint32_t* size, int, std::uint32_t, int, std::uint32_t)
{
    if (++g_script.calls == 1) {
        Check(table == nullptr, "the first call only asks for the size");
        *size = g_script.reportedSize;
        return g_script.firstAnswer;
    }
    Check(g_script.calls == 2, "two calls at most");
    g_script.room = *size;
    g_script.written = static_cast<std::uint32_t>(std::min<std::size_t>(g_script.payload.size(), *size));
    std::copy_n(g_script.payload.begin(), g_script.written, static_cast<std::uint8_t*>(table));
    *size = g_script.claimedLength.value_or(g_script.written);
    return g_script.secondAnswer;
}

// The address field that dotted-quad text stands for, or none.
std::optional<std::uint32_t> ParseDottedQuad(const std::wstring& text)
{
    std::uint32_t address = 0;
    std::size_t at = 0;
    for (int part = 0; part < 4; ++part) {
        if (part > 0) {
            if (at >= text.size() || text[at] != L'.') {
                return std::nullopt;
            }
            ++at;
        }
        const std::size_t start = at;
        std::uint32_t value = 0;
        while (at < text.size() && at - start < 4 && text[at] >= L'0' && text[at] <= L'9') {
            value = value * 10 + static_cast<std::uint32_t>(text[at++] - L'0');
        }
        const std::size_t digits = at - start;
        if (digits == 0 || digits > 3 || value > 255 || (digits > 1 && text[start] == L'0')) {
            return std::nullopt;
        }
        address |= value << (8 * part);
    }
    return at == text.size() ? std::optional<std::uint32_t>(address) : std::nullopt;
}

// The scope id of an IPv6 text: decimal digits, no leading zero, within 32
// bits and not 0; none for any other text.
std::optional<std::uint32_t> ParseScopeId(std::wstring_view text)
{
    if (text.empty() || text.size() > 10 || text[0] == L'0') {
        return std::nullopt;
    }
    std::uint64_t value = 0;
    for (const wchar_t c : text) {
        if (c < L'0' || c > L'9') {
            return std::nullopt;
        }
        value = value * 10 + static_cast<std::uint64_t>(c - L'0');
    }
    return value <= UINT32_MAX ? std::optional<std::uint32_t>(static_cast<std::uint32_t>(value)) : std::nullopt;
}

// The address and scope an IPv6 text stands for, read by the host's parser.
std::optional<std::pair<std::array<std::uint8_t, 16>, std::uint32_t>> ParseIPv6(const std::wstring& text)
{
    const std::size_t percent = text.find(L'%');
    std::uint32_t scope = 0;
    if (percent != std::wstring::npos) {
        const auto parsed = ParseScopeId(std::wstring_view(text).substr(percent + 1));
        if (!parsed) {
            return std::nullopt;
        }
        scope = *parsed;
    }
    const std::string address(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(std::min(percent, text.size())));
    std::array<std::uint8_t, 16> bytes{};
    if (inet_pton(AF_INET6, address.c_str(), bytes.data()) != 1) {
        return std::nullopt;
    }
    return std::make_pair(bytes, scope);
}

void CheckIPv6Text(const std::wstring& text, const std::uint8_t (&address)[16], std::uint32_t scope)
{
    std::array<std::uint8_t, 16> bytes{};
    std::copy(std::begin(address), std::end(address), bytes.begin());
    Check(ParseIPv6(text) == std::make_optional(std::make_pair(bytes, scope)), "the IPv6 text reads back");
    Check(std::none_of(text.begin(), text.end(), [](wchar_t c) { return c >= L'A' && c <= L'F'; }),
          "no upper-case hex");
    Check(text.find(L"::") == text.rfind(L"::"), "one :: at most");
    Check(text.find(L":::") == std::wstring::npos, "no ::: ");
    const bool mapped = std::all_of(bytes.begin(), bytes.begin() + 10, [](std::uint8_t b) { return b == 0; }) &&
                        bytes[10] == 0xFF && bytes[11] == 0xFF;
    Check(mapped == (text.rfind(L"::ffff:", 0) == 0 && text.find(L'.') != std::wstring::npos),
          "mapped IPv4 addresses, and only they, in mixed notation");
}

bool IsTrimmedNonEmpty(const std::wstring& text)
{
    return !text.empty() && text.front() > L' ' && text.back() > L' ';
}

void CheckCommonTexts(const ConnectionRow& row, const std::wstring& processPath, std::uint32_t localAddress,
                      std::uint32_t localPort, std::uint32_t processId)
{
    using namespace connections;
    Check(ParseDottedQuad(row.subItems[kLocalAddress]) == localAddress, "the local address text is the field");
    Check(row.subItems[kLocalPort] == std::to_wstring(PortFromNetwork(localPort)), "the local port text");
    Check(row.subItems[kProcessId] == std::to_wstring(processId), "the process id text is the number in decimal");
    const ProcessPathParts parts = SplitProcessPath(processPath);
    Check(row.subItems[kProcessFolder] == parts.folder, "the folder is the path's folder");
    if (processId == 0) {
        Check(row.caption == kIdleProcessName, "process id 0 is the idle process");
    } else {
        Check(row.subItems[kProcessFolder] + row.caption == processPath, "folder and caption make the path");
    }
}

void CheckTcpRow(const platform::TcpRowOwnerPid& entry, const std::wstring& processPath)
{
    using namespace connections;
    const ConnectionRow row = MakeTcpRow(entry, processPath);
    CheckCommonTexts(row, processPath, entry.localAddr, entry.localPort, entry.owningPid);
    Check(row.endpoint.protocol == Protocol::Tcp && row.subItems[kProtocol] == kTcpProtocol, "a TCP row");
    Check(IsTrimmedNonEmpty(row.subItems[kState]), "the state text is trimmed and not empty");
    if (entry.state == 0 || entry.state > TcpStateNames.size()) {
        Check(row.subItems[kState] == L"UNKNOWN(" + std::to_wstring(entry.state) + L")", "an unknown state");
    }
    Check(row.tcpState == entry.state, "the state code is kept");
    Check(ParseDottedQuad(row.subItems[kRemoteAddress]) == entry.remoteAddr, "the remote address text is the field");
    const std::uint32_t remotePort = entry.remoteAddr == 0 ? 0 : PortFromNetwork(entry.remotePort);
    Check(row.subItems[kRemotePort] == std::to_wstring(remotePort), "the remote port text");
    Check(row.endpoint == TcpEndpoint(entry), "the row's endpoint is the entry's");
}

void CheckUdpRow(const platform::UdpRowOwnerPid& entry, const std::wstring& processPath)
{
    using namespace connections;
    const ConnectionRow row = MakeUdpRow(entry, processPath);
    CheckCommonTexts(row, processPath, entry.localAddr, entry.localPort, entry.owningPid);
    Check(row.endpoint.protocol == Protocol::Udp && row.subItems[kProtocol] == kUdpProtocol, "a UDP row");
    Check(row.subItems[kState] == kNoValue && row.subItems[kRemoteAddress] == kNoValue &&
              row.subItems[kRemotePort] == kNoValue,
          "a UDP row shows no state and no remote end");
    Check(row.endpoint == UdpEndpoint(entry), "the row's endpoint is the entry's");
}

void CheckTcp6Row(const platform::Tcp6RowOwnerPid& entry, const std::wstring& processPath)
{
    using namespace connections;
    const ConnectionRow row = MakeTcp6Row(entry, processPath);
    Check(row.subItems[kProtocol] == kTcp6Protocol && row.endpoint.protocol == Protocol::Tcp6,
          "a TCPv6 row, not a TCP one");
    CheckIPv6Text(row.subItems[kLocalAddress], entry.localAddr, entry.localScopeId);
    CheckIPv6Text(row.subItems[kRemoteAddress], entry.remoteAddr, entry.remoteScopeId);
    Check(row.subItems[kLocalPort] == std::to_wstring(PortFromNetwork(entry.localPort)), "the local port text");
    const bool remoteEnd = std::any_of(std::begin(entry.remoteAddr), std::end(entry.remoteAddr),
                                       [](std::uint8_t b) { return b != 0; });
    Check(row.subItems[kRemotePort] == std::to_wstring(remoteEnd ? PortFromNetwork(entry.remotePort) : 0),
          "the remote port text");
    Check(IsTrimmedNonEmpty(row.subItems[kState]) && row.tcpState == entry.state, "the state");
    Check(row.subItems[kProcessId] == std::to_wstring(entry.owningPid), "the process id text is the number in decimal");
    Check(row.endpoint == Tcp6Endpoint(entry), "the row's endpoint is the entry's");
}

void CheckUdp6Row(const platform::Udp6RowOwnerPid& entry, const std::wstring& processPath)
{
    using namespace connections;
    const ConnectionRow row = MakeUdp6Row(entry, processPath);
    Check(row.subItems[kProtocol] == kUdp6Protocol && row.endpoint.protocol == Protocol::Udp6,
          "a UDPv6 row, not a UDP one");
    CheckIPv6Text(row.subItems[kLocalAddress], entry.localAddr, entry.localScopeId);
    Check(row.subItems[kRemoteAddress] == kNoValue && row.subItems[kRemotePort] == kNoValue, "no remote end");
    Check(row.endpoint == Udp6Endpoint(entry), "the row's endpoint is the entry's");
}

// An owner-module entry: its owner-pid fields make the row they make in the
// owner-pid table, and its time shows as local time or not at all.
template <typename PidRow, void (*CheckPidRow)(const PidRow&, const std::wstring&)>
struct ModuleRowCheck {
    template <typename Row>
    static void Check(const Row& entry, const std::wstring& processPath)
    {
        PidRow fields{};
        std::memcpy(&fields, &entry, sizeof fields);
        CheckPidRow(fields, processPath);
        const std::uint64_t created = entry.createTimestamp[0] | std::uint64_t{entry.createTimestamp[1]} << 32;
        connections::CellBuffer buffer;
        const std::wstring_view text = connections::CreatedTimeText(created, buffer);
        const std::wstring_view pattern = L"dddd-dd-dd dd:dd:dd";
        // 9999-12-31 00:00 UTC: local time past it may be past the last year shown.
        constexpr std::uint64_t kLastDayBeforeYear10000 = 2650466880000000000ull;
        bool shaped = text.size() == pattern.size();
        for (std::size_t i = 0; shaped && i < text.size(); ++i) {
            shaped = pattern[i] == L'd' ? (text[i] >= L'0' && text[i] <= L'9') : text[i] == pattern[i];
        }
        fuzz::Check(text.empty() ? created == 0 || created >= kLastDayBeforeYear10000 : shaped,
                    "a created time shows as yyyy-mm-dd hh:mm:ss, or not at all for 0 and far-off times");
    }
};

template <typename Row, typename ReadFn, typename CheckRowFn>
void ReadAndCheck(ReadFn read, CheckRowFn checkRow, const std::wstring& processPath)
{
    g_script.calls = 0;
    platform::IpHelperEntryPoints ipHelper;
    ipHelper.getExtendedTcpTable = &ServeBytes;
    ipHelper.getExtendedUdpTable = &ServeBytes;

    connections::TableRead<Row> result;
    try {
        result = read(ipHelper, nullptr);
    } catch (const util::AppError&) {
        Check(g_script.reportedSize > kLargestTableLength && g_script.calls == 1,
              "only an absurd size is refused, before the read");
        return;
    }
    if (g_script.firstAnswer != platform::kErrorInsufficientBuffer) {
        Check(result.outcome == connections::ReadOutcome::Unavailable && g_script.calls == 1,
              "a size query that does not answer 122 reads nothing");
        return;
    }
    Check(g_script.reportedSize <= kLargestTableLength, "an absurd size is refused");
    Check(g_script.calls == 2, "the table is read after the size query");
    Check(g_script.room >= 2ull * g_script.reportedSize && g_script.room >= sizeof(std::uint32_t),
          "the room is twice the reported size");
    if (g_script.secondAnswer != platform::kNoError) {
        Check(result.outcome == connections::ReadOutcome::Failed && result.table.size() == 0,
              "a failed read has no entries");
        return;
    }
    Check(result.outcome == connections::ReadOutcome::Read, "a read table");

    const std::size_t claimed =
        std::min<std::size_t>(g_script.claimedLength.value_or(g_script.written), g_script.room);
    const std::size_t count = result.table.size();
    constexpr std::size_t kRowsOffset = platform::kTableRowsOffset<Row>;
    if (claimed < kRowsOffset) {
        Check(count == 0, "no entries without a count (and the padding before an owner-module table's rows)");
        return;
    }
    Check(kRowsOffset + count * sizeof(Row) <= claimed, "the entries fit in what was written");
    // The count word as the buffer holds it: unwritten bytes stay zero.
    std::uint32_t countWord = 0;
    for (std::size_t i = 0; i < std::min<std::size_t>(g_script.written, sizeof countWord); ++i) {
        countWord |= static_cast<std::uint32_t>(g_script.payload[i]) << (8 * i);
    }
    Check(count <= countWord, "never more entries than the table reports");
    for (std::size_t i = 0; i < count; ++i) {
        checkRow(result.table[i], processPath);
    }
}

} // namespace
} // namespace vq

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size)
{
    using namespace vq;
    FuzzedDataProvider data(bytes, size);
    vq::fake::Reset();
    g_script = Script{};
    const std::uint8_t flags = data.ConsumeIntegral<std::uint8_t>();
    if ((flags & 0x07) == 0) {
        g_script.firstAnswer = data.ConsumeIntegral<std::uint32_t>();
    }
    if ((flags & 0x08) != 0) {
        g_script.reportedSize = data.ConsumeIntegralInRange<std::uint32_t>(kLargestTableLength + 1, UINT32_MAX);
    } else {
        g_script.reportedSize = data.ConsumeIntegralInRange<std::uint32_t>(0, 1u << 12);
    }
    if ((flags & 0x30) == 0) {
        g_script.secondAnswer = data.ConsumeIntegral<std::uint32_t>();
    }
    if ((flags & 0x40) != 0) {
        g_script.claimedLength = data.ConsumeIntegral<std::uint32_t>();
    }
    const std::wstring processPath = fuzz::Utf16Text(data, 64);
    g_script.payload = data.ConsumeRemainingBytes<std::uint8_t>();

    ReadAndCheck<platform::TcpRowOwnerPid>(&connections::ReadTcpTable, &CheckTcpRow, processPath);
    ReadAndCheck<platform::UdpRowOwnerPid>(&connections::ReadUdpTable, &CheckUdpRow, processPath);
    ReadAndCheck<platform::Tcp6RowOwnerPid>(&connections::ReadTcp6Table, &CheckTcp6Row, processPath);
    ReadAndCheck<platform::Udp6RowOwnerPid>(&connections::ReadUdp6Table, &CheckUdp6Row, processPath);
    ReadAndCheck<platform::TcpRowOwnerModule>(&connections::ReadTcpModuleTable,
                                              &ModuleRowCheck<platform::TcpRowOwnerPid, CheckTcpRow>::Check<
                                                  platform::TcpRowOwnerModule>,
                                              processPath);
    ReadAndCheck<platform::UdpRowOwnerModule>(&connections::ReadUdpModuleTable,
                                              &ModuleRowCheck<platform::UdpRowOwnerPid, CheckUdpRow>::Check<
                                                  platform::UdpRowOwnerModule>,
                                              processPath);
    ReadAndCheck<platform::Tcp6RowOwnerModule>(&connections::ReadTcp6ModuleTable,
                                               &ModuleRowCheck<platform::Tcp6RowOwnerPid, CheckTcp6Row>::Check<
                                                   platform::Tcp6RowOwnerModule>,
                                               processPath);
    ReadAndCheck<platform::Udp6RowOwnerModule>(&connections::ReadUdp6ModuleTable,
                                               &ModuleRowCheck<platform::Udp6RowOwnerPid, CheckUdp6Row>::Check<
                                                   platform::Udp6RowOwnerModule>,
                                               processPath);
    return 0;
}
