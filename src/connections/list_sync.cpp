#include "connections/list_sync.h"

#include "connections/ipv4_text.h"
#include "connections/table_reader.h"
#include "connections/tcp_state_names.h"

#include <array>
#include <optional>
#include <string_view>
#include <vector>

namespace vq::connections {
namespace {

// Empties a snapshot when the synchronisation ends, however it ends.
class SnapshotConsumer {
public:
    explicit SnapshotConsumer(SnapshotLines& lines) : lines_(lines) {}
    ~SnapshotConsumer() { lines_.clear(); }
    SnapshotConsumer(const SnapshotConsumer&) = delete;
    SnapshotConsumer& operator=(const SnapshotConsumer&) = delete;

private:
    SnapshotLines& lines_;
};

// The leading fields of a snapshot line, each ended by "|", and what is left
// after them with blanks and control characters trimmed from both ends.
template <std::size_t FieldCount>
struct SplitLine {
    std::array<std::wstring_view, FieldCount> fields;
    std::wstring_view rest;
};

template <std::size_t FieldCount>
std::optional<SplitLine<FieldCount>> SplitSnapshotLine(std::wstring_view line)
{
    SplitLine<FieldCount> split;
    for (auto& field : split.fields) {
        const std::size_t bar = line.find(L'|');
        if (bar == std::wstring_view::npos) {
            return std::nullopt;  // not a line of this table
        }
        field = line.substr(0, bar);
        line.remove_prefix(bar + 1);
    }
    split.rest = TrimControlAndBlank(line);
    return split;
}

ProcessPathParts ResolveParts(const ProcessPathResolver& resolve, std::optional<std::uint32_t> processId)
{
    if (!resolve || !processId) {
        return {};
    }
    return SplitProcessPath(resolve(*processId));
}

ConnectionRow MakeRow(ProcessPathParts path, std::wstring protocol, std::wstring state,
                      std::wstring localAddress, std::wstring localPort, std::wstring remoteAddress,
                      std::wstring remotePort, std::wstring processId)
{
    ConnectionRow row;
    row.caption = std::move(path.fileName);
    row.subItems = {std::move(protocol),  std::move(state),         std::move(localAddress),
                    std::move(localPort), std::move(remoteAddress), std::move(remotePort),
                    std::move(processId), std::move(path.folder)};
    return row;
}

// A snapshot line reduced to what the synchronisation compares; views into
// the snapshot, which outlives the synchronisation.
struct LineEntry {
    EndpointIdentity identity;
    std::wstring_view state;  // TCP only
};

std::vector<LineEntry> ReadLines(const SnapshotLines& snapshot, Protocol protocol)
{
    std::vector<LineEntry> lines;
    lines.reserve(snapshot.size());
    for (const auto& text : snapshot) {
        if (protocol == Protocol::Tcp) {
            if (const auto split = SplitSnapshotLine<5>(text)) {
                const auto& f = split->fields;
                lines.push_back({TcpIdentity(f[0], f[1], f[2], f[3], f[4]), split->rest});
            }
        } else if (const auto split = SplitSnapshotLine<2>(text)) {
            lines.push_back({UdpIdentity(split->fields[0], split->fields[1], split->rest), {}});
        }
    }
    return lines;
}

// Matches every line with the rows that have its identity. A matched TCP row
// takes the state of the first line that matches it. Rows of the protocol
// that no line matches go, except the selected row; the lines that matched
// no row come back, in snapshot order.
std::vector<const LineEntry*> MatchRows(ConnectionList& list, const std::vector<LineEntry>& lines,
                                        Protocol protocol)
{
    std::vector<bool> matched(list.size(), false);
    std::vector<const LineEntry*> unmatched;
    for (const auto& line : lines) {
        bool found = false;
        list.VisitRowsWithIdentity(line.identity, [&](std::size_t index) {
            found = true;
            if (matched[index]) {
                return;
            }
            matched[index] = true;
            if (protocol == Protocol::Tcp && list.row(index).subItems[kState] != line.state) {
                list.SetState(index, std::wstring(line.state));
            }
        });
        if (!found) {
            unmatched.push_back(&line);
        }
    }

    const auto spared = list.FirstSelected();
    std::vector<bool> remove(list.size(), false);
    bool anyRemoved = false;
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (!matched[i] && spared != i && list.ProtocolOf(i) == protocol) {
            remove[i] = true;
            anyRemoved = true;
        }
    }
    if (anyRemoved) {
        list.RemoveRows(remove);
    }
    return unmatched;
}

// A row for every line whose identity is not listed yet; rows added here
// count for the lines after them.
void AddNewRows(ConnectionList& list, const std::vector<const LineEntry*>& lines,
                const ProcessPathResolver& resolve)
{
    BatchUpdate batch(list);
    for (const LineEntry* line : lines) {
        if (list.HasIdentity(line->identity)) {
            continue;
        }
        const auto& f = line->identity.fields;
        if (line->identity.protocol == Protocol::Tcp) {
            list.AppendRow(MakeRow(ResolveParts(resolve, ParseProcessId(f[4])), kTcpProtocol,
                                   std::wstring(line->state), std::wstring(f[0]), std::wstring(f[1]),
                                   std::wstring(f[2]), std::wstring(f[3]), std::wstring(f[4])));
        } else {
            list.AppendRow(MakeRow(ResolveParts(resolve, ParseProcessId(f[2])), kUdpProtocol, kNoValue,
                                   std::wstring(f[0]), std::wstring(f[1]), kNoValue, kNoValue,
                                   std::wstring(f[2])));
        }
    }
}

void SyncRows(ConnectionList& list, SnapshotLines& snapshot, const ProcessPathResolver& resolve,
              Protocol protocol)
{
    SnapshotConsumer consume(snapshot);
    const auto lines = ReadLines(snapshot, protocol);
    if (lines.empty()) {
        return;  // a failed or empty read never empties the list
    }
    AddNewRows(list, MatchRows(list, lines, protocol), resolve);
}

std::wstring Decimal(std::uint32_t value)
{
    return std::to_wstring(value);
}

} // namespace

void FillTcpRows(ConnectionList& list, const platform::IpHelperEntryPoints& ipHelper,
                 const ProcessPathResolver& resolve)
{
    const auto read = ReadTcpTable(ipHelper);
    if (read.outcome != ReadOutcome::Read) {
        return;
    }
    BatchUpdate batch(list);
    for (std::size_t i = 0; i < read.table.size(); ++i) {
        const auto entry = WithRemotePortRule(read.table[i]);
        list.AppendRow(MakeRow(ResolveParts(resolve, entry.owningPid), kTcpProtocol,
                               std::wstring(TrimControlAndBlank(TcpStateName(entry.state))),
                               FormatIPv4(entry.localAddr), Decimal(PortFromNetwork(entry.localPort)),
                               FormatIPv4(entry.remoteAddr), Decimal(PortFromNetwork(entry.remotePort)),
                               Decimal(entry.owningPid)));
    }
}

void FillUdpRows(ConnectionList& list, const platform::IpHelperEntryPoints& ipHelper,
                 const ProcessPathResolver& resolve)
{
    const auto read = ReadUdpTable(ipHelper);
    if (read.outcome != ReadOutcome::Read) {
        return;
    }
    BatchUpdate batch(list);
    for (std::size_t i = 0; i < read.table.size(); ++i) {
        const auto entry = read.table[i];
        list.AppendRow(MakeRow(ResolveParts(resolve, entry.owningPid), kUdpProtocol, kNoValue,
                               FormatIPv4(entry.localAddr), Decimal(PortFromNetwork(entry.localPort)),
                               kNoValue, kNoValue, Decimal(entry.owningPid)));
    }
}

void SyncTcpRows(ConnectionList& list, SnapshotLines& tcpSnapshot, const ProcessPathResolver& resolve)
{
    SyncRows(list, tcpSnapshot, resolve, Protocol::Tcp);
}

void SyncUdpRows(ConnectionList& list, SnapshotLines& udpSnapshot, const ProcessPathResolver& resolve)
{
    SyncRows(list, udpSnapshot, resolve, Protocol::Udp);
}

void RefreshRows(ConnectionList& list, const platform::IpHelperEntryPoints& ipHelper,
                 SnapshotLines& tcpSnapshot, SnapshotLines& udpSnapshot,
                 const ProcessPathResolver& resolve)
{
    // Lines left over from an earlier refresh that failed half-way would keep
    // vanished rows alive.
    tcpSnapshot.clear();
    udpSnapshot.clear();
    if (TakeTcpSnapshot(ipHelper, tcpSnapshot)) {
        SyncTcpRows(list, tcpSnapshot, resolve);
    }
    tcpSnapshot.clear();
    if (TakeUdpSnapshot(ipHelper, udpSnapshot)) {
        SyncUdpRows(list, udpSnapshot, resolve);
    }
    udpSnapshot.clear();
}

} // namespace vq::connections
