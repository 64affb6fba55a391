// Random sequences of fills, refreshes (TCP, UDP and TCPv6, and TCP over the
// owner-module table), selection, focus, removals, filters, highlighted
// changes and the optional columns with their origins on the connection list,
// with the model's
// invariants checked after every step, and the rows a filter shows compared
// now and then with the rows a new pass over every row shows.
// Addresses, ports and process ids come from small sets so that identities
// collide, and some processes share a caption or have none.

#include "connections/connection_list.h"
#include "connections/list_sync.h"
#include "connections/row_painting.h"
#include "fake_platform.h"
#include "fuzz_common.h"
#include "table_fixtures.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <cwctype>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace vq {
namespace {

using connections::ConnectionList;
using connections::ConnectionRow;
using connections::EndpointKey;
using connections::Protocol;
using fake::Addr;
using fake::Port;
using fuzz::Check;

// A total order that folds case first, as the list's order does on Windows.
int CompareCaptions(const std::wstring& a, const std::wstring& b)
{
    std::wstring lowerA = a;
    std::wstring lowerB = b;
    std::transform(lowerA.begin(), lowerA.end(), lowerA.begin(), [](wchar_t c) { return std::towlower(c); });
    std::transform(lowerB.begin(), lowerB.end(), lowerB.begin(), [](wchar_t c) { return std::towlower(c); });
    const int folded = lowerA.compare(lowerB);
    return folded != 0 ? folded : a.compare(b);
}

bool RowLess(const ConnectionRow& a, const ConnectionRow& b)
{
    const int captions = CompareCaptions(a.caption, b.caption);
    return captions != 0 ? captions < 0 : connections::EndpointLess(a.endpoint, b.endpoint);
}

// Process 0 is never asked for; 5 and 6 give no caption, 7 no folder.
constexpr std::array<const wchar_t*, 8> kProcessPaths = {
    L"",   L"C:\\Apps\\alpha.exe", L"C:\\Apps\\Beta.exe", L"D:\\Other\\beta.exe", L"C:\\Apps\\alpha.exe",
    L"",   L"C:\\Folder\\",        L"gamma"};

connections::OwningProcess ResolvePath(std::uint32_t processId)
{
    return {processId < kProcessPaths.size() ? kProcessPaths[processId] : L"", std::nullopt};
}

constexpr std::array<std::uint32_t, 3> kLocalAddresses = {0, Addr(127, 0, 0, 1), Addr(10, 0, 0, 2)};
// The last one has bits above the port, which the list keeps.
constexpr std::array<std::uint32_t, 3> kLocalPorts = {Port(80), Port(443), 0x0001BB01};
constexpr std::array<std::uint32_t, 2> kRemoteAddresses = {0, Addr(10, 0, 0, 9)};
constexpr std::array<std::uint32_t, 2> kRemotePorts = {Port(443), Port(50000)};
constexpr std::array<std::uint32_t, 8> kStates = {2, 5, 5, 2, 1, 11, 12, 99};

template <typename Array>
auto Pick(FuzzedDataProvider& data, const Array& values)
{
    return values[data.ConsumeIntegralInRange<std::size_t>(0, values.size() - 1)];
}

std::vector<std::uint32_t> TcpWords(FuzzedDataProvider& data)
{
    std::vector<std::uint32_t> words;
    const std::size_t count = data.ConsumeIntegralInRange<std::size_t>(0, 8);
    for (std::size_t i = 0; i < count; ++i) {
        words.insert(words.end(), {Pick(data, kStates), Pick(data, kLocalAddresses), Pick(data, kLocalPorts),
                                   Pick(data, kRemoteAddresses), Pick(data, kRemotePorts),
                                   data.ConsumeIntegralInRange<std::uint32_t>(0, 7)});
    }
    return words;
}

std::vector<std::uint32_t> UdpWords(FuzzedDataProvider& data)
{
    std::vector<std::uint32_t> words;
    const std::size_t count = data.ConsumeIntegralInRange<std::size_t>(0, 8);
    for (std::size_t i = 0; i < count; ++i) {
        words.insert(words.end(), {Pick(data, kLocalAddresses), Pick(data, kLocalPorts),
                                   data.ConsumeIntegralInRange<std::uint32_t>(0, 7)});
    }
    return words;
}

// IPv6 entries over a few addresses and scopes, the ports as for IPv4.
std::vector<std::uint32_t> Tcp6Words(FuzzedDataProvider& data)
{
    const std::array<fake::Groups6, 3> addresses = {fake::Groups6{}, fake::Groups6{0, 0, 0, 0, 0, 0, 0, 1},
                                                    fake::Groups6{0xfe80, 0, 0, 0, 0, 0, 0, 1}};
    const std::array<std::uint32_t, 2> scopes = {0, 3};
    std::vector<std::uint32_t> words;
    const std::size_t count = data.ConsumeIntegralInRange<std::size_t>(0, 8);
    for (std::size_t i = 0; i < count; ++i) {
        auto entry = fake::Tcp6Entry(Pick(data, kStates), Pick(data, addresses), Pick(data, scopes), 0,
                                     Pick(data, addresses), Pick(data, scopes), 0,
                                     data.ConsumeIntegralInRange<std::uint32_t>(0, 7));
        entry.localPort = Pick(data, kLocalPorts);
        entry.remotePort = Pick(data, kRemotePorts);
        std::uint32_t entryWords[sizeof(entry) / 4];
        std::memcpy(entryWords, &entry, sizeof(entry));
        words.insert(words.end(), std::begin(entryWords), std::end(entryWords));
    }
    return words;
}

// A table as the reader leaves it: the count, then the entries.
template <typename Row>
connections::TableBuffer<Row> MakeTable(const std::vector<std::uint32_t>& entryWords)
{
    std::vector<std::uint32_t> words{static_cast<std::uint32_t>(entryWords.size() * 4 / sizeof(Row))};
    words.insert(words.end(), entryWords.begin(), entryWords.end());
    return connections::TableBuffer<Row>(std::move(words));
}

void ServeTable(fake::FakeTable& table, const std::vector<std::uint32_t>& words, std::size_t wordsPerRow)
{
    table = fake::FakeTable{};
    table.rowWords = words;
    table.rowCount = static_cast<std::uint32_t>(words.size() / wordsPerRow);
}

// The TCP entries of TcpWords as an owner-module table: padding, then each
// entry with a time and an owner tag of a few each.
void ServeModuleTable(fake::FakeTable& table, const std::vector<std::uint32_t>& pidWords, FuzzedDataProvider& data)
{
    table = fake::FakeTable{};
    table.rowWords.push_back(0);
    for (std::size_t at = 0; at + 6 <= pidWords.size(); at += 6) {
        platform::TcpRowOwnerModule row{};
        std::memcpy(&row, &pidWords[at], 6 * sizeof(std::uint32_t));
        row.createTimestamp[0] = data.ConsumeIntegralInRange<std::uint32_t>(0, 2) * 0x40000000u;
        row.createTimestamp[1] = data.ConsumeBool() ? 0x01DC0000u : 0;
        row.owningModuleInfo.words[0] = data.ConsumeIntegralInRange<std::uint32_t>(0, 2);
        std::uint32_t rowWords[sizeof(row) / 4];
        std::memcpy(rowWords, &row, sizeof(row));
        table.rowWords.insert(table.rowWords.end(), std::begin(rowWords), std::end(rowWords));
        ++table.rowCount;
    }
}

// The service of a row: by its owner tag, none for tag 0.
std::wstring ServiceOf(const connections::ServiceQuery& query)
{
    return query.ownerTag == 0 ? std::wstring() : L"svc" + std::to_wstring(query.ownerTag);
}

void CheckInvariants(const ConnectionList& list)
{
    const std::size_t size = list.size();
    connections::RowCounts recount{size, 0, 0, list.Counts().hidden};
    // Rows appended with an empty caption wait at the end for the next sort.
    std::size_t sortedEnd = size;
    while (sortedEnd > 0 && list.row(sortedEnd - 1).caption.empty()) {
        --sortedEnd;
    }
    std::size_t selected = 0;
    for (std::size_t i = 0; i < size; ++i) {
        const ConnectionRow& row = list.row(i);
        if (i + 1 < sortedEnd) {
            Check(!RowLess(list.row(i + 1), row), "rows are sorted by caption, then endpoint");
        }
        Check(row.endpoint.protocol != Protocol::None, "every row has an endpoint");
        Check(list.MarkOf(i) == connections::RowMark::None || list.Highlighting(), "marks only while highlighting");
        if (list.IsClosed(i)) {
            // Shown only: never counted, selected or found by its endpoint.
            --recount.connections;
            Check(!list.IsSelected(i), "a closed row is never selected");
            bool found = false;
            list.VisitRowsWithEndpoint(row.endpoint, [&](std::size_t index) { found = found || index == i; });
            Check(!found, "a closed row is out of the endpoint index");
            continue;
        }
        recount.established += row.subItems[connections::kState] == L"ESTABLISHED" ? 1 : 0;
        recount.listening += row.subItems[connections::kState] == L"LISTEN" ? 1 : 0;
        Check(list.HasEndpoint(row.endpoint), "every row is found by its endpoint");
        Check(list.ProtocolOf(i) == row.endpoint.protocol, "the protocol is the row's");
        Check(list.Filter().Passes(list.Facts(i)), "every row shown passes the filter");
        if (row.endpoint.protocol == Protocol::Tcp || row.endpoint.protocol == Protocol::Tcp6) {
            Check(list.TcpStateOf(i) == row.tcpState, "the state code is the row's");
            connections::CellBuffer buffer;
            Check(row.subItems[connections::kState] == connections::TcpStateText(row.tcpState, buffer),
                  "the State text is the state code's");
        }
        selected += list.IsSelected(i) ? 1 : 0;
    }
    Check(list.Counts().connections + connections::ConnectionList::kMaxClosedRows >= size, "closed rows are capped");
    const connections::RowCounts counts = list.Counts();
    Check(counts.connections == recount.connections && counts.established == recount.established &&
              counts.listening == recount.listening,
          "the counts equal a recount");

    const std::vector<std::size_t> indices = list.SelectedIndices();
    Check(indices.size() == selected && list.SelectedCount() == selected, "the selected count");
    Check(list.AnySelected() == (selected != 0), "AnySelected");
    Check(std::adjacent_find(indices.begin(), indices.end(), std::greater_equal<>()) == indices.end(),
          "selected indices ascend");
    for (const std::size_t index : indices) {
        Check(index < size && list.IsSelected(index), "a selected index is selected");
    }
    Check(list.FirstSelected() == (indices.empty() ? std::nullopt : std::optional<std::size_t>(indices.front())),
          "the first selected row is the first selected index");
    Check(!list.Focused() || *list.Focused() < size, "the focus is within the list");
    Check(!list.Anchor() || *list.Anchor() < size, "the anchor is within the list");
}

struct Snapshot {
    std::vector<std::pair<EndpointKey, std::wstring>> rows;  // endpoint and State text
    std::vector<EndpointKey> selected;
};

bool KeyLess(const EndpointKey& a, const EndpointKey& b)
{
    return connections::EndpointLess(a, b);
}

// The rows of the protocol, or with others the rows of every other protocol.
Snapshot Take(const ConnectionList& list, Protocol protocol, bool others = false)
{
    Snapshot snapshot;
    for (std::size_t i = 0; i < list.size(); ++i) {
        const ConnectionRow& row = list.row(i);
        if ((row.endpoint.protocol == protocol) != others) {
            snapshot.rows.emplace_back(row.endpoint, row.subItems[connections::kState]);
        }
        if (list.IsSelected(i)) {
            snapshot.selected.push_back(row.endpoint);
        }
    }
    std::sort(snapshot.rows.begin(), snapshot.rows.end(), [](const auto& a, const auto& b) {
        return KeyLess(a.first, b.first) || (!KeyLess(b.first, a.first) && a.second < b.second);
    });
    std::sort(snapshot.selected.begin(), snapshot.selected.end(), KeyLess);
    return snapshot;
}

// After a refresh with entries: every entry listed, with the State of the
// first entry of its endpoint; no other row of the protocol but the row that
// was selected first; the other protocol's rows as they were; no row newly
// selected.
template <typename Row>
void CheckSynced(const ConnectionList& list, const connections::TableBuffer<Row>& table, Protocol protocol,
                 const std::optional<EndpointKey>& spared, const Snapshot& otherBefore, const Snapshot& before)
{
    std::vector<EndpointKey> entries;
    for (std::size_t i = 0; i < table.size(); ++i) {
        const Row entry = table[i];
        EndpointKey key;
        if constexpr (std::is_same_v<Row, platform::TcpRowOwnerPid>) {
            key = connections::TcpEndpoint(entry);
        } else if constexpr (std::is_same_v<Row, platform::Tcp6RowOwnerPid>) {
            key = connections::Tcp6Endpoint(entry);
        } else {
            key = connections::UdpEndpoint(entry);
        }
        Check(list.HasEndpoint(key), "every entry of the table is listed");
        if (std::find(entries.begin(), entries.end(), key) != entries.end()) {
            continue;
        }
        entries.push_back(key);
        if constexpr (!std::is_same_v<Row, platform::UdpRowOwnerPid>) {
            list.VisitRowsWithEndpoint(key, [&](std::size_t index) {
                Check(list.row(index).tcpState == entry.state, "a row follows the state of its first entry");
            });
        }
    }
    std::size_t strays = 0;
    for (std::size_t i = 0; i < list.size(); ++i) {
        const EndpointKey& key = list.row(i).endpoint;
        if (list.IsClosed(i)) {
            continue;
        }
        if (key.protocol == protocol && std::find(entries.begin(), entries.end(), key) == entries.end()) {
            Check(spared && key == *spared && list.IsSelected(i), "only the first selected row outlives its entry");
            ++strays;
        }
    }
    Check(strays <= 1, "at most one row outlives its entry");
    if (spared && spared->protocol == protocol) {
        bool shown = false;
        bool kept = false;
        list.VisitRowsWithEndpoint(*spared, [&](std::size_t index) {
            shown = true;
            kept = kept || list.IsSelected(index);
        });
        // Only a new state the filter does not pass may take it away.
        const bool listed = std::find(entries.begin(), entries.end(), *spared) != entries.end();
        Check(kept || (listed && !shown), "the first selected row stays selected");
    }
    const Snapshot otherAfter = Take(list, protocol, true);
    Check(otherAfter.rows == otherBefore.rows, "the other protocols' rows are untouched");
    Check(std::includes(before.selected.begin(), before.selected.end(), otherAfter.selected.begin(),
                        otherAfter.selected.end(), KeyLess),
          "no row becomes selected by a refresh");
}

template <typename Row>
void Sync(ConnectionList& list, const std::vector<std::uint32_t>& words, Protocol protocol)
{
    const auto table = MakeTable<Row>(words);
    const auto first = list.FirstSelected();
    const std::optional<EndpointKey> spared =
        first ? std::optional<EndpointKey>(list.row(*first).endpoint) : std::nullopt;
    const Snapshot otherBefore = Take(list, protocol, true);
    const Snapshot before = Take(list, protocol);
    const std::uint64_t version = list.version();
    const std::size_t size = list.size();
    if constexpr (std::is_same_v<Row, platform::TcpRowOwnerPid>) {
        connections::SyncTcpRows(list, table, &ResolvePath);
    } else if constexpr (std::is_same_v<Row, platform::Tcp6RowOwnerPid>) {
        connections::SyncTcp6Rows(list, table, &ResolvePath);
    } else {
        connections::SyncUdpRows(list, table, &ResolvePath);
    }
    if (table.size() == 0 && !connections::IsIPv6(protocol)) {
        Check(list.version() == version && list.size() == size, "an IPv4 table without entries changes nothing");
        return;
    }
    CheckInvariants(list);
    CheckSynced(list, table, protocol, spared, otherBefore, before);
}

// Filters over the fuzzed rows' texts: words, exclusions, keys, an error.
constexpr std::array<const wchar_t*, 15> kQueries = {
    L"",          L"alpha",       L"-beta",      L"state:listen", L"proto:udp", L"port:443",
    L"10.0.0",    L"-state:time", L"pid:3 tcp",  L"fe80",         L"foo:bar",   L"\\apps -1.0",
    L"service:1", L"-svc2",       L"20",
};

connections::RowFilter SomeFilter(FuzzedDataProvider& data)
{
    connections::RowFilter filter(Pick(data, kQueries));
    filter.ShowUnconnected(data.ConsumeIntegralInRange(0, 3) != 0);
    filter.ShowWaiting(data.ConsumeIntegralInRange(0, 3) != 0);
    return filter;
}

struct ShownRow {
    EndpointKey endpoint;
    std::uint32_t tcpState;
    std::wstring caption;
    bool operator==(const ShownRow&) const = default;
};

std::vector<ShownRow> ShownRows(const ConnectionList& list)
{
    std::vector<ShownRow> rows;
    for (std::size_t i = 0; i < list.size(); ++i) {
        rows.push_back({list.EndpointOf(i), list.TcpStateOf(i), list.CaptionOf(i)});
    }
    return rows;
}

// The rows the filter shows, kept up to date step by step, are the rows a
// pass over every row finds, in the same order; the rows it hides are
// counted. The selection of rows that pass both survives.
void CheckAgainstNewPass(ConnectionList& list)
{
    const connections::RowFilter filter = list.Filter();
    const std::vector<ShownRow> shown = ShownRows(list);
    const std::size_t hidden = list.Counts().hidden;
    const std::vector<std::size_t> selected = list.SelectedIndices();
    list.SetFilter(connections::RowFilter{});
    Check(list.Counts().hidden == 0, "no row is hidden without a filter");
    Check(list.size() == shown.size() + hidden, "the hidden count is what the filter hid");
    std::vector<ShownRow> passing;
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (filter.Passes(list.Facts(i))) {
            passing.push_back({list.EndpointOf(i), list.TcpStateOf(i), list.CaptionOf(i)});
        }
    }
    // Rows with an empty caption may still wait at the end: compare as sets.
    const auto less = [](const ShownRow& a, const ShownRow& b) {
        const int captions = CompareCaptions(a.caption, b.caption);
        if (captions != 0) {
            return captions < 0;
        }
        return connections::EndpointLess(a.endpoint, b.endpoint) ||
               (a.endpoint == b.endpoint && a.tcpState < b.tcpState);
    };
    std::vector<ShownRow> sortedShown = shown;
    std::vector<ShownRow> sortedPassing = passing;
    std::sort(sortedShown.begin(), sortedShown.end(), less);
    std::sort(sortedPassing.begin(), sortedPassing.end(), less);
    Check(sortedShown == sortedPassing, "the rows shown are the rows that pass");
    list.SetFilter(filter);
    Check(ShownRows(list) == passing, "a new pass shows the rows that pass, in order");
    Check(list.SelectedIndices().size() == selected.size(), "the selection of rows that pass survives");
}

std::optional<std::size_t> SomeIndex(FuzzedDataProvider& data, const ConnectionList& list)
{
    // Now and then one past the end, which the list ignores.
    const std::size_t index = data.ConsumeIntegralInRange<std::size_t>(0, list.size() + 1);
    return index == list.size() + 1 ? std::nullopt : std::optional<std::size_t>(index);
}

void Step(FuzzedDataProvider& data, ConnectionList& list)
{
    switch (data.ConsumeIntegralInRange(0, 18)) {
    case 0:
        ServeTable(fake::Fake().tcpTable, TcpWords(data), 6);
        connections::FillTcpRows(list, fake::FakeIpHelper(), &ResolvePath);
        break;
    case 1:
        ServeTable(fake::Fake().udpTable, UdpWords(data), 3);
        connections::FillUdpRows(list, fake::FakeIpHelper(), &ResolvePath);
        break;
    case 2:
    case 3:
        Sync<platform::TcpRowOwnerPid>(list, TcpWords(data), Protocol::Tcp);
        break;
    case 4:
        Sync<platform::UdpRowOwnerPid>(list, UdpWords(data), Protocol::Udp);
        break;
    case 5:
        list.SetSelected(SomeIndex(data, list).value_or(SIZE_MAX), data.ConsumeBool());
        break;
    case 6: {
        const std::size_t first = SomeIndex(data, list).value_or(0);
        const std::size_t last = SomeIndex(data, list).value_or(SIZE_MAX);
        list.SetSelectedRange(first, last, data.ConsumeBool());
        break;
    }
    case 7:
        list.SetAllSelected(data.ConsumeBool());
        break;
    case 8:
        list.SetFocused(SomeIndex(data, list));
        list.SetAnchor(SomeIndex(data, list));
        break;
    case 10:
        ServeTable(fake::Fake().tcp6Table, Tcp6Words(data), sizeof(platform::Tcp6RowOwnerPid) / 4);
        connections::FillIPv6Rows(list, fake::FakeIpHelper(), &ResolvePath);
        break;
    case 11:
        Sync<platform::Tcp6RowOwnerPid>(list, Tcp6Words(data), Protocol::Tcp6);
        break;
    case 12: {
        const Snapshot tcp = Take(list, Protocol::Tcp);
        const Snapshot udp = Take(list, Protocol::Udp);
        connections::RemoveIPv6Rows(list);
        Check(Take(list, Protocol::Tcp6).rows.empty() && Take(list, Protocol::Udp6).rows.empty(),
              "no IPv6 row is left");
        Check(Take(list, Protocol::Tcp).rows == tcp.rows && Take(list, Protocol::Udp).rows == udp.rows,
              "the IPv4 rows stay");
        break;
    }
    case 13: {
        const std::size_t selected = list.SelectedCount();
        const connections::RowCounts before = list.Counts();
        list.SetFilter(SomeFilter(data));
        const connections::RowCounts after = list.Counts();
        Check(after.connections + after.hidden == before.connections + before.hidden, "a filter keeps every row");
        Check(list.SelectedCount() <= selected, "a filter selects no row");
        break;
    }
    case 14:
        CheckAgainstNewPass(list);
        break;
    case 15:
        list.SetHighlighting(data.ConsumeBool());
        break;
    case 16:
        list.BeginRefresh();
        break;
    case 17:
        list.SetShownColumns({data.ConsumeBool(), data.ConsumeBool()});
        break;
    case 18: {
        // A refresh over an owner-module table (read as such while origins
        // are kept), then the origins of the rows still without one from
        // another read.
        ServeModuleTable(fake::Fake().tcpTable, TcpWords(data), data);
        fake::Fake().udpTable = fake::FakeTable{};
        if (list.KeepsOrigins()) {
            connections::RefreshRows(list, fake::FakeIpHelper(), &ResolvePath, false, nullptr, &ServiceOf);
        }
        ServeModuleTable(fake::Fake().tcpTable, TcpWords(data), data);
        const connections::RowCounts before = list.Counts();
        connections::CompleteRowOrigins(list, fake::FakeIpHelper(), &ResolvePath, &ServiceOf, false);
        const connections::RowCounts after = list.Counts();
        Check(after.connections + after.hidden == before.connections + before.hidden,
              "completing origins adds and removes no row");
        break;
    }
    case 9: {
        std::vector<bool> remove(data.ConsumeIntegralInRange<std::size_t>(0, list.size() + 2));
        for (std::size_t i = 0; i < remove.size(); ++i) {
            remove[i] = data.ConsumeBool();
        }
        const auto focused = list.Focused();
        const auto flagged = remove.begin() + static_cast<std::ptrdiff_t>(std::min(remove.size(), list.size()));
        const auto removed = static_cast<std::size_t>(std::count(remove.begin(), flagged, true));
        const std::size_t size = list.size();
        list.RemoveRows(remove);
        Check(list.size() == size - removed, "the flagged rows are removed");
        Check(!focused || list.size() == 0 || list.Focused(), "a focus survives while rows remain");
        break;
    }
    }
    CheckInvariants(list);
}

} // namespace
} // namespace vq

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size)
{
    FuzzedDataProvider data(bytes, size);
    vq::fake::Reset();
    vq::connections::ConnectionList list{&vq::CompareCaptions};
    for (int step = 0; step < 64 && data.remaining_bytes() > 0; ++step) {
        vq::Step(data, list);
    }
    return 0;
}
