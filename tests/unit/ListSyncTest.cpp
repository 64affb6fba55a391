#include "connections/list_sync.h"
#include "connections/row_counters.h"
#include "connections/row_painting.h"
#include "connections/row_search.h"
#include "connections/tcp_state_names.h"
#include "util/ascii_text.h"
#include "fake_platform.h"
#include "table_fixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <map>
#include <optional>

namespace vq::connections {
namespace {

using fake::Addr;
using fake::Fake;
using fake::Port;

int PlainCompare(const std::wstring& a, const std::wstring& b)
{
    return a.compare(b);
}

// The identity texts of a row joined by "|": 10.0.0.5|555|10.0.0.9|443|912
// for TCP, 0.0.0.0|500|912 for UDP.
std::wstring RowKey(const ConnectionRow& row)
{
    const auto& s = row.subItems;
    std::wstring key = s[kLocalAddress] + L'|' + s[kLocalPort];
    if (s[kRemotePort] != kNoValue) {
        key += L'|' + s[kRemoteAddress] + L'|' + s[kRemotePort];
    }
    return key + L'|' + s[kProcessId];
}

// "TCP 10.0.0.5|555|10.0.0.9|443|912 ESTABLISHED": what a row is, for comparisons.
std::wstring Describe(const ConnectionRow& row)
{
    return row.subItems[kProtocol] + L' ' + RowKey(row) + L' ' + row.subItems[kState];
}

std::vector<std::wstring> Fields(const std::wstring& line)
{
    std::vector<std::wstring> fields;
    std::size_t start = 0;
    for (std::size_t bar = line.find(L'|'); bar != std::wstring::npos; bar = line.find(L'|', start)) {
        fields.push_back(line.substr(start, bar - start));
        start = bar + 1;
    }
    fields.push_back(line.substr(start));
    return fields;
}

std::uint32_t AddressField(const std::wstring& text)
{
    unsigned a = 0, b = 0, c = 0, d = 0;
    EXPECT_EQ(std::swscanf(text.c_str(), L"%u.%u.%u.%u", &a, &b, &c, &d), 4) << text;
    return Addr(a, b, c, d);
}

std::uint32_t Number(const std::wstring& text)
{
    return static_cast<std::uint32_t>(std::stoul(text));
}

// A TCP table entry written as its row's texts:
// "10.0.0.5|555|10.0.0.9|443|912|ESTABLISHED".
platform::TcpRowOwnerPid TcpEntry(const std::wstring& line)
{
    const auto f = Fields(line);
    std::uint32_t state = 0;
    for (std::size_t i = 0; i < TcpStateNames.size(); ++i) {
        if (util::TrimControlAndBlank(TcpStateNames[i]) == util::TrimControlAndBlank(f.at(5))) {
            state = static_cast<std::uint32_t>(i + 1);
        }
    }
    EXPECT_NE(state, 0u) << line;
    return {state, AddressField(f.at(0)), Port(Number(f.at(1))), AddressField(f.at(2)), Port(Number(f.at(3))),
            Number(f.at(4))};
}

// A UDP table entry: "0.0.0.0|500|912".
platform::UdpRowOwnerPid UdpEntry(const std::wstring& line)
{
    const auto f = Fields(line);
    return {AddressField(f.at(0)), Port(Number(f.at(1))), Number(f.at(2))};
}

// A table read holding rows, as the reader hands it over.
template <typename Row>
TableBuffer<Row> Table(const std::vector<Row>& rows)
{
    std::vector<std::uint32_t> words(1 + rows.size() * sizeof(Row) / sizeof(std::uint32_t));
    words[0] = static_cast<std::uint32_t>(rows.size());
    if (!rows.empty()) {
        std::memcpy(words.data() + 1, rows.data(), rows.size() * sizeof(Row));
    }
    return TableBuffer<Row>(std::move(words));
}

TableBuffer<platform::TcpRowOwnerPid> TcpTable(const std::vector<std::wstring>& lines)
{
    std::vector<platform::TcpRowOwnerPid> rows;
    for (const auto& line : lines) {
        rows.push_back(TcpEntry(line));
    }
    return Table(rows);
}

TableBuffer<platform::UdpRowOwnerPid> UdpTable(const std::vector<std::wstring>& lines)
{
    std::vector<platform::UdpRowOwnerPid> rows;
    for (const auto& line : lines) {
        rows.push_back(UdpEntry(line));
    }
    return Table(rows);
}

std::vector<std::wstring> DescribeSorted(const ConnectionList& list)
{
    std::vector<std::wstring> rows;
    for (std::size_t i = 0; i < list.size(); ++i) {
        rows.push_back(Describe(list.row(i)));
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

std::vector<std::wstring> Captions(const ConnectionList& list)
{
    std::vector<std::wstring> captions;
    for (std::size_t i = 0; i < list.size(); ++i) {
        captions.push_back(list.row(i).caption);
    }
    return captions;
}

std::optional<std::size_t> IndexOfKey(const ConnectionList& list, const std::wstring& key)
{
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (RowKey(list.row(i)) == key) {
            return i;
        }
    }
    return std::nullopt;
}

class ListSyncTest : public ::testing::Test {
protected:
    void SetUp() override { fake::Reset(); }

    // Process paths by id; every id without one resolves to C:\apps\p<id>.exe.
    // A process started at 7000 + its id unless startTimes says otherwise.
    std::map<std::uint32_t, std::wstring> paths;
    std::map<std::uint32_t, std::optional<std::uint64_t>> startTimes;
    std::vector<std::uint32_t> resolved;
    ProcessPathResolver resolve = [this](std::uint32_t processId) {
        resolved.push_back(processId);
        const auto path = paths.find(processId);
        const auto started = startTimes.find(processId);
        return OwningProcess{
            path != paths.end() ? path->second : L"C:\\apps\\p" + std::to_wstring(processId) + L".exe",
            started != startTimes.end() ? started->second : std::optional<std::uint64_t>(7000 + processId)};
    };

    ConnectionList list{PlainCompare};

    void SyncTcp(const std::vector<std::wstring>& lines) { SyncTcpRows(list, TcpTable(lines), resolve); }
    void SyncUdp(const std::vector<std::wstring>& lines) { SyncUdpRows(list, UdpTable(lines), resolve); }
    void Refresh() { RefreshRows(list, fake::FakeIpHelper(), resolve); }

    static void SetTcpTable(const std::vector<platform::TcpRowOwnerPid>& rows)
    {
        Fake().tcpTable.rowWords.clear();
        Fake().tcpTable.rowCount = 0;
        for (const auto& row : rows) {
            fake::AddTcpRow(Fake().tcpTable, row);
        }
    }
};

struct SyncCase {
    const char* name;
    std::vector<std::wstring> tcpBefore;  // table entries that built the list
    std::vector<std::wstring> udpBefore;
    bool tcp;                             // which synchronisation runs
    std::vector<std::wstring> table;
    std::vector<std::wstring> rowsAfter;  // Describe of every row, any order
};

void PrintTo(const SyncCase& c, std::ostream* out)
{
    *out << c.name;
}

class SyncCaseTest : public ListSyncTest, public ::testing::WithParamInterface<SyncCase> {};

TEST_P(SyncCaseTest, KeepsRemovesUpdatesAndAddsRows)
{
    const auto& c = GetParam();
    SyncTcp(c.tcpBefore);
    SyncUdp(c.udpBefore);
    if (c.tcp) {
        SyncTcp(c.table);
    } else {
        SyncUdp(c.table);
    }
    auto expected = c.rowsAfter;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(DescribeSorted(list), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Tables, SyncCaseTest,
    ::testing::Values(
        SyncCase{"VanishedRowGoesNewLineComes",
                 {L"10.0.0.5|555|10.0.0.9|443|912|ESTABLISHED", L"0.0.0.0|135|0.0.0.0|0|912|LISTEN"},
                 {},
                 true,
                 {L"10.0.0.5|555|10.0.0.9|443|912|ESTABLISHED", L"10.0.0.5|556|10.0.0.9|80|77|SYN-RECEIVED"},
                 {L"TCP 10.0.0.5|555|10.0.0.9|443|912 ESTABLISHED", L"TCP 10.0.0.5|556|10.0.0.9|80|77 SYN-RECEIVED"}},
        // The texts 0.0.0.0|445|0.0.0.0|0|4 lie inside those of process 412: still another endpoint.
        SyncCase{"AnotherProcessIdIsNoMatch",
                 {L"0.0.0.0|445|0.0.0.0|0|4|LISTEN"},
                 {},
                 true,
                 {L"0.0.0.0|445|0.0.0.0|0|412|LISTEN"},
                 {L"TCP 0.0.0.0|445|0.0.0.0|0|412 LISTEN"}},
        SyncCase{"AnotherAddressIsNoMatch",
                 {L"1.2.3.4|80|5.6.7.8|443|9|ESTABLISHED"},
                 {L"1.2.3.4|53|7"},
                 false,
                 {L"11.2.3.4|53|7"},
                 {L"TCP 1.2.3.4|80|5.6.7.8|443|9 ESTABLISHED", L"UDP 11.2.3.4|53|7 -"}},
        SyncCase{"AnotherAddressIsNoMatchForTcp",
                 {L"1.2.3.4|80|5.6.7.8|443|9|ESTABLISHED"},
                 {},
                 true,
                 {L"11.2.3.4|80|5.6.7.8|443|9|ESTABLISHED"},
                 {L"TCP 11.2.3.4|80|5.6.7.8|443|9 ESTABLISHED"}},
        // Frozen state: the row follows its connection's state.
        SyncCase{"StateFollowsTheConnection",
                 {L"10.0.0.5|555|10.0.0.9|443|912|ESTABLISHED", L"10.0.0.5|600|10.0.0.9|443|912|SYN-SENT "},
                 {},
                 true,
                 {L"10.0.0.5|555|10.0.0.9|443|912|CLOSE-WAIT", L"10.0.0.5|600|10.0.0.9|443|912|ESTABLISHED"},
                 {L"TCP 10.0.0.5|555|10.0.0.9|443|912 CLOSE-WAIT", L"TCP 10.0.0.5|600|10.0.0.9|443|912 ESTABLISHED"}},
        SyncCase{"SynSentWithoutItsBlank",
                 {},
                 {},
                 true,
                 {L"10.0.0.5|1|1.2.3.4|80|7|SYN-SENT "},
                 {L"TCP 10.0.0.5|1|1.2.3.4|80|7 SYN-SENT"}},
        SyncCase{"IdenticalLinesAddOneRow",
                 {},
                 {L"0.0.0.0|500|912"},
                 true,
                 {L"10.0.0.5|1|1.2.3.4|80|7|ESTABLISHED", L"10.0.0.5|1|1.2.3.4|80|7|ESTABLISHED"},
                 {L"TCP 10.0.0.5|1|1.2.3.4|80|7 ESTABLISHED", L"UDP 0.0.0.0|500|912 -"}},
        SyncCase{"ListedIdentityGetsNoSecondRow",
                 {L"10.0.0.5|1|1.2.3.4|80|7|ESTABLISHED"},
                 {L"0.0.0.0|500|912"},
                 false,
                 {L"0.0.0.0|500|912", L"0.0.0.0|500|912"},
                 {L"TCP 10.0.0.5|1|1.2.3.4|80|7 ESTABLISHED", L"UDP 0.0.0.0|500|912 -"}},
        SyncCase{"EmptyTableChangesNothing",
                 {L"10.0.0.5|1|1.2.3.4|80|7|ESTABLISHED"},
                 {L"0.0.0.0|500|912"},
                 true,
                 {},
                 {L"TCP 10.0.0.5|1|1.2.3.4|80|7 ESTABLISHED", L"UDP 0.0.0.0|500|912 -"}},
        SyncCase{"TcpPassLeavesUdpRows",
                 {L"10.0.0.5|1|1.2.3.4|80|7|ESTABLISHED"},
                 {L"0.0.0.0|500|912"},
                 true,
                 {L"0.0.0.0|500|0.0.0.0|0|912|LISTEN"},
                 {L"TCP 0.0.0.0|500|0.0.0.0|0|912 LISTEN", L"UDP 0.0.0.0|500|912 -"}},
        SyncCase{"UdpPassLeavesTcpRows",
                 {L"0.0.0.0|500|0.0.0.0|0|912|LISTEN"},
                 {L"0.0.0.0|500|912"},
                 false,
                 {L"0.0.0.0|501|912"},
                 {L"TCP 0.0.0.0|500|0.0.0.0|0|912 LISTEN", L"UDP 0.0.0.0|501|912 -"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ListSyncTest, FillAddsEveryEntryWithItsProcessFileAndFolder)
{
    paths[912] = L"C:\\Windows\\System32\\svchost.exe";
    paths[4] = L"System";
    paths[0] = L"";
    fake::AddTcpRow(Fake().tcpTable, {2, 0, Port(135), 0, Port(4711), 912});  // junk remote port
    fake::AddTcpRow(Fake().tcpTable, {3, Addr(10, 0, 0, 5), Port(1), Addr(1, 2, 3, 4), Port(80), 4});
    fake::AddTcpRow(Fake().tcpTable, {5, Addr(10, 0, 0, 5), Port(2), Addr(1, 2, 3, 4), Port(443), 4});
    fake::AddTcpRow(Fake().tcpTable, {5, Addr(10, 0, 0, 5), Port(2), Addr(1, 2, 3, 4), Port(443), 4});
    fake::AddTcpRow(Fake().tcpTable, {11, Addr(127, 0, 0, 1), Port(5000), Addr(127, 0, 0, 1), Port(5001), 0});
    fake::AddUdpRow(Fake().udpTable, {Addr(192, 168, 1, 10), Port(53), 912});

    FillTcpRows(list, fake::FakeIpHelper(), resolve);
    EXPECT_EQ(Captions(list), (std::vector<std::wstring>{L"System", L"System", L"System", L"System Idle Process",
                                                         L"svchost.exe"}))
        << "sorted; process 0 is the idle process from the start";
    FillUdpRows(list, fake::FakeIpHelper(), resolve);
    EXPECT_EQ(Captions(list), (std::vector<std::wstring>{L"System", L"System", L"System", L"System Idle Process",
                                                         L"svchost.exe", L"svchost.exe"}));
    EXPECT_EQ(resolved, (std::vector<std::uint32_t>{912, 4, 912}))
        << "each process once per table; process 0 has no image to ask for";
    const auto listening = list.row(*IndexOfKey(list, L"0.0.0.0|135|0.0.0.0|0|912"));
    EXPECT_EQ(listening.caption, L"svchost.exe");
    EXPECT_EQ(listening.subItems, (std::array<std::wstring, 8>{L"TCP", L"LISTEN", L"0.0.0.0", L"135", L"0.0.0.0",
                                                                L"0", L"912", L"C:\\Windows\\System32\\"}));
    const auto udp = list.row(*IndexOfKey(list, L"192.168.1.10|53|912"));
    EXPECT_EQ(udp.subItems, (std::array<std::wstring, 8>{L"UDP", L"-", L"192.168.1.10", L"53", L"-", L"-", L"912",
                                                          L"C:\\Windows\\System32\\"}));
    EXPECT_EQ(DescribeSorted(list), (std::vector<std::wstring>{
                                        L"TCP 0.0.0.0|135|0.0.0.0|0|912 LISTEN",
                                        L"TCP 10.0.0.5|1|1.2.3.4|80|4 SYN-SENT",  // the stray blank is gone
                                        L"TCP 10.0.0.5|2|1.2.3.4|443|4 ESTABLISHED",
                                        L"TCP 10.0.0.5|2|1.2.3.4|443|4 ESTABLISHED",  // duplicates stay
                                        L"TCP 127.0.0.1|5000|127.0.0.1|5001|0 TIME-WAIT",
                                        L"UDP 192.168.1.10|53|912 -",
                                    }));

    // A refresh over the same tables finds every row as it is.
    resolved.clear();
    const auto version = list.version();
    Refresh();
    EXPECT_EQ(list.version(), version);
    EXPECT_TRUE(resolved.empty());
    EXPECT_EQ(list.size(), 6u);
}

// Terminate tells the row's process from a later one by this time.
TEST_F(ListSyncTest, RowsKeepTheStartTimeReadWithTheirProcessPath)
{
    startTimes[5] = std::nullopt;
    SyncTcp({L"0.0.0.0|1|0.0.0.0|0|912|LISTEN", L"0.0.0.0|2|0.0.0.0|0|5|LISTEN", L"0.0.0.0|3|0.0.0.0|0|0|LISTEN"});
    EXPECT_EQ(list.row(*IndexOfKey(list, L"0.0.0.0|1|0.0.0.0|0|912")).processStartTime, 7912u);
    EXPECT_EQ(list.row(*IndexOfKey(list, L"0.0.0.0|2|0.0.0.0|0|5")).processStartTime, std::nullopt)
        << "not read with the path";
    EXPECT_EQ(list.row(*IndexOfKey(list, L"0.0.0.0|3|0.0.0.0|0|0")).processStartTime, std::nullopt)
        << "the idle process is not asked";
}

TEST_F(ListSyncTest, FailedReadsAddNoRows)
{
    fake::AddTcpRow(Fake().tcpTable, {2, 0, Port(135), 0, 0, 912});
    fake::AddUdpRow(Fake().udpTable, {0, Port(53), 912});
    Fake().tcpTable.firstAnswer = 0u;        // the size query does not answer 122
    Fake().udpTable.growBeforeSecondCall = 4096;  // the table outgrows the buffer
    FillTcpRows(list, fake::FakeIpHelper(), resolve);
    FillUdpRows(list, fake::FakeIpHelper(), resolve);
    FillUdpRows(list, platform::IpHelperEntryPoints{}, resolve);
    EXPECT_EQ(list.size(), 0u);
    EXPECT_TRUE(resolved.empty());
}

TEST_F(ListSyncTest, NewRowsGetTheirProcessPathOnceAndSortIn)
{
    paths[30] = L"C:\\b\\bravo.exe";
    paths[20] = L"C:\\c\\charlie.exe";
    paths[40] = L"";
    paths[10] = L"C:\\a\\alpha.exe";
    SyncTcp({L"0.0.0.0|1|0.0.0.0|0|30|LISTEN"});
    SyncTcp({L"0.0.0.0|1|0.0.0.0|0|30|LISTEN", L"0.0.0.0|2|0.0.0.0|0|20|LISTEN", L"0.0.0.0|3|0.0.0.0|0|40|LISTEN"});
    EXPECT_EQ(resolved, (std::vector<std::uint32_t>{30, 20, 40})) << "kept rows resolve nothing";
    EXPECT_EQ(Captions(list), (std::vector<std::wstring>{L"bravo.exe", L"charlie.exe", L""}))
        << "a row without a path added after the last named one stays at the end";
    EXPECT_EQ(list.row(1).subItems[kProcessFolder], L"C:\\c\\");

    SyncTcp({L"0.0.0.0|1|0.0.0.0|0|30|LISTEN", L"0.0.0.0|2|0.0.0.0|0|20|LISTEN", L"0.0.0.0|3|0.0.0.0|0|40|LISTEN",
             L"0.0.0.0|5|0.0.0.0|0|10|LISTEN", L"0.0.0.0|6|0.0.0.0|0|0|TIME-WAIT"});
    EXPECT_EQ(Captions(list),
              (std::vector<std::wstring>{L"", L"System Idle Process", L"alpha.exe", L"bravo.exe", L"charlie.exe"}))
        << "the next sort moves it to the top; process 0 sorts in with its name at once";
    EXPECT_EQ(resolved, (std::vector<std::uint32_t>{30, 20, 40, 10}));
}

TEST_F(ListSyncTest, OnlyTheFirstSelectedRowSurvivesItsVanishedConnection)
{
    std::vector<std::wstring> lines;
    for (int i = 0; i < 10; ++i) {
        paths[static_cast<std::uint32_t>(100 + i)] = L"C:\\p" + std::to_wstring(i) + L".exe";
        lines.push_back(L"10.0.0.1|" + std::to_wstring(1000 + i) + L"|10.0.0.2|80|" + std::to_wstring(100 + i) +
                        L"|ESTABLISHED");
    }
    SyncTcp(lines);
    SyncUdp({L"0.0.0.0|53|999"});  // "p999.exe" sorts after "p9.exe"
    ASSERT_EQ(RowKey(list.row(3)), L"10.0.0.1|1003|10.0.0.2|80|103");
    ASSERT_EQ(RowKey(list.row(7)), L"10.0.0.1|1007|10.0.0.2|80|107");
    list.SetSelected(3, true);
    list.SetSelected(7, true);

    auto vanished = lines;
    vanished.erase(vanished.begin() + 7);
    vanished.erase(vanished.begin() + 3);
    SyncTcp(vanished);
    EXPECT_EQ(list.size(), 10u);
    EXPECT_TRUE(IndexOfKey(list, L"10.0.0.1|1003|10.0.0.2|80|103")) << "the selected row is spared";
    EXPECT_FALSE(IndexOfKey(list, L"10.0.0.1|1007|10.0.0.2|80|107")) << "further selected rows are not";
    EXPECT_EQ(list.SelectedIndices(), (std::vector<std::size_t>{3}));

    SyncTcp(vanished);
    EXPECT_TRUE(IndexOfKey(list, L"10.0.0.1|1003|10.0.0.2|80|103")) << "as long as it stays selected";

    list.SetSelected(3, false);
    list.SetSelected(*IndexOfKey(list, L"0.0.0.0|53|999"), true);
    SyncTcp(vanished);
    EXPECT_FALSE(IndexOfKey(list, L"10.0.0.1|1003|10.0.0.2|80|103")) << "a selected UDP row spares no TCP row";
    EXPECT_EQ(list.size(), 9u);
}

TEST_F(ListSyncTest, RefreshFollowsTheTablesAndSparesTheSelectedRowUntilTheSelectionMoves)
{
    const platform::TcpRowOwnerPid a{5, Addr(10, 0, 0, 5), Port(555), Addr(10, 0, 0, 9), Port(443), 912};
    const platform::TcpRowOwnerPid b{2, 0, Port(135), 0, 0, 913};
    SetTcpTable({a, b});
    FillTcpRows(list, fake::FakeIpHelper(), resolve);
    list.SetSelected(*IndexOfKey(list, L"10.0.0.5|555|10.0.0.9|443|912"), true);

    SetTcpTable({b});
    Refresh();
    Refresh();
    EXPECT_TRUE(IndexOfKey(list, L"10.0.0.5|555|10.0.0.9|443|912"));

    list.SetAllSelected(false);
    list.SetSelected(*IndexOfKey(list, L"0.0.0.0|135|0.0.0.0|0|913"), true);
    Refresh();
    EXPECT_EQ(DescribeSorted(list), (std::vector<std::wstring>{L"TCP 0.0.0.0|135|0.0.0.0|0|913 LISTEN"}));
}

TEST_F(ListSyncTest, RefreshSkipsATableThatCannotBeRead)
{
    SyncTcp({L"10.0.0.5|1|1.2.3.4|80|7|ESTABLISHED"});
    fake::AddUdpRow(Fake().udpTable, {0, Port(53), 912});

    auto ipHelper = fake::FakeIpHelper();
    ipHelper.getExtendedTcpTable = nullptr;
    RefreshRows(list, ipHelper, resolve);
    EXPECT_EQ(DescribeSorted(list), (std::vector<std::wstring>{L"TCP 10.0.0.5|1|1.2.3.4|80|7 ESTABLISHED",
                                                               L"UDP 0.0.0.0|53|912 -"}));

    // A table that grows between the two calls is no read: nothing changes.
    Fake().tcpTable.growBeforeSecondCall = 4096;
    Fake().udpTable.growBeforeSecondCall = 4096;
    const auto version = list.version();
    Refresh();
    EXPECT_EQ(list.version(), version);
    EXPECT_EQ(list.size(), 2u);
}

TEST_F(ListSyncTest, Ipv6RowsFollowTheirOwnTablesBesideTheIPv4Rows)
{
    using fake::Tcp6Entry;
    using fake::Udp6Entry;
    const fake::Groups6 any{};
    const fake::Groups6 loopback{0, 0, 0, 0, 0, 0, 0, 1};
    const auto setTables6 = [](const std::vector<platform::Tcp6RowOwnerPid>& tcp,
                               const std::vector<platform::Udp6RowOwnerPid>& udp) {
        Fake().tcp6Table = {};
        Fake().udp6Table = {};
        for (const auto& entry : tcp) {
            fake::AddTcp6Row(Fake().tcp6Table, entry);
        }
        for (const auto& entry : udp) {
            fake::AddUdp6Row(Fake().udp6Table, entry);
        }
    };
    SetTcpTable({{2, 0, Port(445), 0, 0, 4}});
    fake::AddUdpRow(Fake().udpTable, {0, Port(53), 912});
    setTables6({Tcp6Entry(2, any, 0, 445, any, 0, 0, 4), Tcp6Entry(5, loopback, 0, 5000, loopback, 0, 5001, 7)},
               {Udp6Entry(any, 0, 53, 912)});

    FillTcpRows(list, fake::FakeIpHelper(), resolve);
    FillUdpRows(list, fake::FakeIpHelper(), resolve);
    Refresh();
    EXPECT_EQ(list.size(), 2u) << "without the option no IPv6 table is read";
    EXPECT_TRUE(Fake().tcp6Table.calls.empty());
    EXPECT_TRUE(Fake().udp6Table.calls.empty());

    FillIPv6Rows(list, fake::FakeIpHelper(), resolve);
    EXPECT_EQ(DescribeSorted(list), (std::vector<std::wstring>{
                                        L"TCP 0.0.0.0|445|0.0.0.0|0|4 LISTEN",
                                        L"TCPv6 ::1|5000|::1|5001|7 ESTABLISHED",
                                        L"TCPv6 ::|445|::|0|4 LISTEN",
                                        L"UDP 0.0.0.0|53|912 -",
                                        L"UDPv6 ::|53|912 -",
                                    }));
    EXPECT_EQ(Fake().tcp6Table.calls.at(0).family, 23u);
    EXPECT_EQ(Fake().udp6Table.calls.at(0).family, 23u);
    const auto counts = CountRows(list);
    EXPECT_EQ(counts.connections, 5u);
    EXPECT_EQ(counts.established, 1u);
    EXPECT_EQ(counts.listening, 2u);

    // The same ports on both families never match each other: each table
    // keeps its own rows and changes only them.
    setTables6({Tcp6Entry(8, loopback, 0, 5000, loopback, 0, 5001, 7), Tcp6Entry(2, loopback, 0, 80, any, 0, 0, 9)},
               {Udp6Entry(any, 0, 53, 912)});
    RefreshRows(list, fake::FakeIpHelper(), resolve, true);
    EXPECT_EQ(DescribeSorted(list), (std::vector<std::wstring>{
                                        L"TCP 0.0.0.0|445|0.0.0.0|0|4 LISTEN",
                                        L"TCPv6 ::1|5000|::1|5001|7 CLOSE-WAIT",
                                        L"TCPv6 ::1|80|::|0|9 LISTEN",
                                        L"UDP 0.0.0.0|53|912 -",
                                        L"UDPv6 ::|53|912 -",
                                    }));

    // A table that cannot be read leaves its own rows, whichever family.
    Fake().tcp6Table.secondAnswer = 87;
    SetTcpTable({{2, 0, Port(139), 0, 0, 4}});
    RefreshRows(list, fake::FakeIpHelper(), resolve, true);
    EXPECT_TRUE(IndexOfKey(list, L"::1|80|::|0|9"));
    EXPECT_TRUE(IndexOfKey(list, L"0.0.0.0|139|0.0.0.0|0|4"));
    EXPECT_FALSE(IndexOfKey(list, L"0.0.0.0|445|0.0.0.0|0|4"));

    setTables6({Tcp6Entry(2, any, 0, 8080, any, 0, 0, 9)}, {Udp6Entry(any, 0, 53, 912)});
    Fake().tcpTable.secondAnswer = 87;
    RefreshRows(list, fake::FakeIpHelper(), resolve, true);
    EXPECT_TRUE(IndexOfKey(list, L"0.0.0.0|139|0.0.0.0|0|4"));
    EXPECT_TRUE(IndexOfKey(list, L"::|8080|::|0|9"));
    EXPECT_FALSE(IndexOfKey(list, L"::1|80|::|0|9"));

    // Turning the option off takes every IPv6 row, the selected one too.
    list.SetSelected(*IndexOfKey(list, L"::|8080|::|0|9"), true);
    RemoveIPv6Rows(list);
    EXPECT_EQ(DescribeSorted(list), (std::vector<std::wstring>{L"TCP 0.0.0.0|139|0.0.0.0|0|4 LISTEN",
                                                               L"UDP 0.0.0.0|53|912 -"}));
    EXPECT_EQ(CountRows(list).listening, 1u);
}

// Without IPv6 connections the IPv6 tables are read with no entries: their
// rows go, but for the selected row, which every table spares. An empty IPv4
// table still changes nothing.
TEST_F(ListSyncTest, AnEmptyIPv6TableRemovesItsRowsWhereAnEmptyIPv4TableChangesNothing)
{
    const fake::Groups6 any{};
    SetTcpTable({{2, 0, Port(445), 0, 0, 4}});
    fake::AddUdpRow(Fake().udpTable, {0, Port(53), 912});
    fake::AddTcp6Row(Fake().tcp6Table, fake::Tcp6Entry(2, any, 0, 445, any, 0, 0, 4));
    fake::AddTcp6Row(Fake().tcp6Table, fake::Tcp6Entry(2, any, 0, 8080, any, 0, 0, 9));
    fake::AddUdp6Row(Fake().udp6Table, fake::Udp6Entry(any, 0, 53, 912));
    FillTcpRows(list, fake::FakeIpHelper(), resolve);
    FillUdpRows(list, fake::FakeIpHelper(), resolve);
    FillIPv6Rows(list, fake::FakeIpHelper(), resolve);
    list.SetSelected(*IndexOfKey(list, L"::|8080|::|0|9"), true);

    Fake().tcpTable = {};
    Fake().udpTable = {};
    Fake().tcp6Table = {};
    Fake().udp6Table = {};
    RefreshRows(list, fake::FakeIpHelper(), resolve, true);

    EXPECT_EQ(Fake().tcp6Table.calls.size(), 2u) << "read, not failed";
    EXPECT_EQ(DescribeSorted(list), (std::vector<std::wstring>{L"TCP 0.0.0.0|445|0.0.0.0|0|4 LISTEN",
                                                               L"TCPv6 ::|8080|::|0|9 LISTEN",
                                                               L"UDP 0.0.0.0|53|912 -"}));
    EXPECT_EQ(CountRows(list).listening, 2u);
}

TEST_F(ListSyncTest, StateUpdatesReachCountersAndPaintingWithoutMovingTheRow)
{
    paths[7] = L"C:\\x\\x.exe";
    SyncTcp({L"10.0.0.5|1|1.2.3.4|80|7|ESTABLISHED", L"0.0.0.0|80|0.0.0.0|0|8|LISTEN"});
    const std::size_t index = *IndexOfKey(list, L"10.0.0.5|1|1.2.3.4|80|7");
    list.SetSelected(index, true);
    EXPECT_TRUE(IsEstablished(list.EndpointOf(index), list.TcpStateOf(index)));
    EXPECT_EQ(CountRows(list).established, 1u);
    resolved.clear();

    SyncTcp({L"10.0.0.5|1|1.2.3.4|80|7|CLOSE-WAIT", L"0.0.0.0|80|0.0.0.0|0|8|LISTEN"});
    EXPECT_EQ(RowKey(list.row(index)), L"10.0.0.5|1|1.2.3.4|80|7");
    EXPECT_EQ(list.row(index).caption, L"x.exe");
    EXPECT_EQ(list.row(index).subItems[kState], L"CLOSE-WAIT");
    EXPECT_TRUE(list.IsSelected(index));
    EXPECT_FALSE(IsEstablished(list.EndpointOf(index), list.TcpStateOf(index)));
    const auto counts = CountRows(list);
    EXPECT_EQ(counts.established, 0u);
    EXPECT_EQ(counts.listening, 1u);
    EXPECT_TRUE(resolved.empty()) << "an updated row is not added again";
}

TEST_F(ListSyncTest, AFailingPathLookUpLeavesASortedList)
{
    paths[1] = L"C:\\z.exe";
    paths[2] = L"C:\\a.exe";
    resolve = [this](std::uint32_t processId) {
        if (processId == 3) {
            throw std::bad_alloc();
        }
        return OwningProcess{paths.at(processId), std::nullopt};
    };
    EXPECT_THROW(SyncTcp({L"0.0.0.0|1|0.0.0.0|0|1|LISTEN", L"0.0.0.0|2|0.0.0.0|0|2|LISTEN",
                          L"0.0.0.0|3|0.0.0.0|0|3|LISTEN"}),
                 std::bad_alloc);
    EXPECT_EQ(Captions(list), (std::vector<std::wstring>{L"a.exe", L"z.exe"}));
}

// A refresh first tries the row the same table place matched last time; a
// table in another order, duplicate rows from the fill and entries that come
// and go must match exactly as through the index alone.
TEST_F(ListSyncTest, MatchingInTableOrderGivesWhatTheIndexGives)
{
    SetTcpTable({{5, Addr(10, 0, 0, 1), Port(1), Addr(10, 0, 0, 9), Port(80), 7},
                 {5, Addr(10, 0, 0, 1), Port(1), Addr(10, 0, 0, 9), Port(80), 7},  // listed twice by the fill
                 {5, Addr(10, 0, 0, 1), Port(2), Addr(10, 0, 0, 9), Port(80), 7},
                 {2, 0, Port(3), 0, 0, 8}});
    FillTcpRows(list, fake::FakeIpHelper(), resolve);
    const std::vector<std::vector<std::wstring>> tables = {
        {L"10.0.0.1|1|10.0.0.9|80|7|ESTABLISHED", L"10.0.0.1|2|10.0.0.9|80|7|ESTABLISHED", L"0.0.0.0|3|0.0.0.0|0|8|LISTEN"},
        {L"0.0.0.0|3|0.0.0.0|0|8|LISTEN", L"10.0.0.1|2|10.0.0.9|80|7|CLOSE-WAIT", L"10.0.0.1|1|10.0.0.9|80|7|CLOSE-WAIT"},
        {L"0.0.0.0|4|0.0.0.0|0|8|LISTEN", L"0.0.0.0|3|0.0.0.0|0|8|LISTEN", L"10.0.0.1|1|10.0.0.9|80|7|ESTABLISHED"},
        {L"0.0.0.0|3|0.0.0.0|0|8|LISTEN", L"10.0.0.1|1|10.0.0.9|80|7|ESTABLISHED", L"0.0.0.0|4|0.0.0.0|0|8|LISTEN",
         L"10.0.0.1|2|10.0.0.9|80|7|ESTABLISHED"},
    };
    const std::vector<std::vector<std::wstring>> expected = {
        {L"TCP 0.0.0.0|3|0.0.0.0|0|8 LISTEN", L"TCP 10.0.0.1|1|10.0.0.9|80|7 ESTABLISHED",
         L"TCP 10.0.0.1|1|10.0.0.9|80|7 ESTABLISHED", L"TCP 10.0.0.1|2|10.0.0.9|80|7 ESTABLISHED"},
        {L"TCP 0.0.0.0|3|0.0.0.0|0|8 LISTEN", L"TCP 10.0.0.1|1|10.0.0.9|80|7 CLOSE-WAIT",
         L"TCP 10.0.0.1|1|10.0.0.9|80|7 CLOSE-WAIT", L"TCP 10.0.0.1|2|10.0.0.9|80|7 CLOSE-WAIT"},
        {L"TCP 0.0.0.0|3|0.0.0.0|0|8 LISTEN", L"TCP 0.0.0.0|4|0.0.0.0|0|8 LISTEN",
         L"TCP 10.0.0.1|1|10.0.0.9|80|7 ESTABLISHED", L"TCP 10.0.0.1|1|10.0.0.9|80|7 ESTABLISHED"},
        {L"TCP 0.0.0.0|3|0.0.0.0|0|8 LISTEN", L"TCP 0.0.0.0|4|0.0.0.0|0|8 LISTEN",
         L"TCP 10.0.0.1|1|10.0.0.9|80|7 ESTABLISHED", L"TCP 10.0.0.1|1|10.0.0.9|80|7 ESTABLISHED",
         L"TCP 10.0.0.1|2|10.0.0.9|80|7 ESTABLISHED"},
    };
    for (std::size_t step = 0; step < tables.size(); ++step) {
        SyncTcp(tables[step]);
        EXPECT_EQ(DescribeSorted(list), expected[step]) << "step " << step;
        EXPECT_EQ(CountRows(list).established, static_cast<std::size_t>(std::count_if(
                                                  expected[step].begin(), expected[step].end(),
                                                  [](const std::wstring& d) { return d.ends_with(L"ESTABLISHED"); })))
            << "step " << step;
    }
}

TEST_F(ListSyncTest, ASyncComparesCaptionsOnlyForNewCaptions)
{
    constexpr int kRows = 3000;
    std::size_t comparisons = 0;
    ConnectionList counted([&](const std::wstring& a, const std::wstring& b) {
        ++comparisons;
        return a.compare(b);
    });
    std::vector<std::wstring> lines;
    for (int i = 0; i < kRows; ++i) {
        lines.push_back(L"10.0.0.1|" + std::to_wstring(i) + L"|10.0.0.2|80|" + std::to_wstring(1 + i * 7 % 500) +
                        L"|ESTABLISHED");
    }
    SyncTcpRows(counted, TcpTable(lines), resolve);
    for (int i = 0; i < 30; ++i) {
        lines.push_back(L"10.0.0.3|" + std::to_wstring(i) + L"|10.0.0.2|80|" + std::to_wstring(1 + i) + L"|LISTEN");
    }
    lines.push_back(L"10.0.0.3|99|10.0.0.2|80|9999|LISTEN");
    comparisons = 0;
    resolved.clear();
    SyncTcpRows(counted, TcpTable(lines), resolve);
    EXPECT_EQ(counted.size(), static_cast<std::size_t>(kRows + 31));
    EXPECT_EQ(resolved.size(), 31u);
    EXPECT_LT(comparisons, 16u) << "one binary search for the one new caption; known captions cost nothing";
    const auto captions = Captions(counted);
    EXPECT_TRUE(std::is_sorted(captions.begin(), captions.end()));
}

// The rows shown, each as Describe gives it, in list order.
std::vector<std::wstring> DescribeShown(const ConnectionList& list)
{
    std::vector<std::wstring> rows;
    for (std::size_t i = 0; i < list.size(); ++i) {
        rows.push_back(Describe(list.row(i)));
    }
    return rows;
}

RowFilter WithoutWaiting()
{
    RowFilter filter;
    filter.ShowWaiting(false);
    return filter;
}

TEST_F(ListSyncTest, AFilterShowsThePassingRowsInOrderAndEverythingElseActsOnThemOnly)
{
    paths[1] = L"C:\\apps\\alpha.exe";
    paths[2] = L"C:\\apps\\beta.exe";
    SyncTcp({L"10.0.0.5|1|10.0.0.9|80|1|ESTABLISHED", L"10.0.0.5|2|10.0.0.9|80|2|ESTABLISHED",
             L"0.0.0.0|135|0.0.0.0|0|1|LISTEN", L"0.0.0.0|445|0.0.0.0|0|2|LISTEN"});
    SyncUdp({L"0.0.0.0|53|2"});
    const auto all = DescribeShown(list);
    list.SetSelected(*IndexOfKey(list, L"10.0.0.5|2|10.0.0.9|80|2"), true);
    list.SetSelected(*IndexOfKey(list, L"10.0.0.5|1|10.0.0.9|80|1"), true);
    list.SetFocused(IndexOfKey(list, L"0.0.0.0|445|0.0.0.0|0|2"));

    list.SetFilter(RowFilter(L"alpha"));
    EXPECT_EQ(DescribeShown(list), (std::vector<std::wstring>{L"TCP 0.0.0.0|135|0.0.0.0|0|1 LISTEN",
                                                              L"TCP 10.0.0.5|1|10.0.0.9|80|1 ESTABLISHED"}));
    const RowCounts counts = list.Counts();
    EXPECT_EQ(std::make_tuple(counts.connections, counts.established, counts.listening, counts.hidden),
              std::make_tuple(2u, 1u, 1u, 3u));
    EXPECT_EQ(list.SelectedIndices(), (std::vector<std::size_t>{1})) << "a hidden row loses its selection";
    EXPECT_TRUE(list.Focused()) << "the focus of a hidden row moves to a shown one";
    const EndpointKey hidden = TcpEndpoint(TcpEntry(L"10.0.0.5|2|10.0.0.9|80|2|ESTABLISHED"));
    bool visited = false;
    list.VisitRowsWithEndpoint(hidden, [&](std::size_t) { visited = true; });
    EXPECT_TRUE(list.HasEndpoint(hidden) && !visited) << "a hidden row is kept, not shown";

    list.SetFilter(RowFilter{});
    EXPECT_EQ(DescribeShown(list), all) << "every row comes back to its place";
    EXPECT_EQ(list.Counts().hidden, 0u);
    EXPECT_EQ(list.SelectedIndices(), (std::vector<std::size_t>{*IndexOfKey(list, L"10.0.0.5|1|10.0.0.9|80|1")}));
}

TEST_F(ListSyncTest, ARefreshTestsNewAndChangedRowsAndRemovesHiddenRowsThatWent)
{
    list.SetFilter(WithoutWaiting());
    SyncTcp({L"10.0.0.5|1|10.0.0.9|80|7|ESTABLISHED", L"10.0.0.5|2|10.0.0.9|80|7|TIME-WAIT"});
    EXPECT_EQ(DescribeShown(list), (std::vector<std::wstring>{L"TCP 10.0.0.5|1|10.0.0.9|80|7 ESTABLISHED"}));
    EXPECT_EQ(list.Counts().hidden, 1u);

    list.SetSelected(0, true);
    SyncTcp({L"10.0.0.5|1|10.0.0.9|80|7|CLOSE-WAIT", L"10.0.0.5|2|10.0.0.9|80|7|ESTABLISHED",
             L"10.0.0.5|3|10.0.0.9|80|7|FIN-WAIT-1", L"10.0.0.5|4|10.0.0.9|80|7|SYN-SENT"});
    EXPECT_EQ(DescribeShown(list), (std::vector<std::wstring>{L"TCP 10.0.0.5|2|10.0.0.9|80|7 ESTABLISHED",
                                                              L"TCP 10.0.0.5|4|10.0.0.9|80|7 SYN-SENT"}));
    EXPECT_FALSE(list.AnySelected()) << "a selected row the new state hides is deselected";
    EXPECT_EQ(list.Counts().hidden, 2u);
    EXPECT_EQ(list.Counts().established, 1u);

    list.SetSelected(0, true);
    SyncTcp({L"10.0.0.5|4|10.0.0.9|80|7|SYN-SENT"});
    EXPECT_EQ(DescribeShown(list), (std::vector<std::wstring>{L"TCP 10.0.0.5|2|10.0.0.9|80|7 ESTABLISHED",
                                                              L"TCP 10.0.0.5|4|10.0.0.9|80|7 SYN-SENT"}))
        << "the selected row that passes is spared";
    EXPECT_EQ(list.Counts().hidden, 0u) << "hidden rows whose connections went are removed";

    list.SetFilter(RowFilter{});
    EXPECT_EQ(list.size(), 2u);
}

TEST_F(ListSyncTest, TurningIPv6OffRemovesItsHiddenRowsToo)
{
    SetTcpTable({{2, 0, Port(135), 0, 0, 9}});
    Fake().tcp6Table.rowWords.clear();
    fake::AddTcp6Row(Fake().tcp6Table, fake::Tcp6Entry(2, {}, 0, 135, {}, 0, 0, 9));
    fake::AddTcp6Row(Fake().tcp6Table, fake::Tcp6Entry(5, {}, 0, 136, {0, 0, 0, 0, 0, 0, 0, 1}, 0, 80, 9));
    RefreshRows(list, fake::FakeIpHelper(), resolve, true);
    list.SetFilter(RowFilter(L"LISTEN"));
    ASSERT_EQ(list.Counts().hidden, 1u);

    RemoveIPv6Rows(list);
    EXPECT_EQ(list.size(), 1u);
    list.SetFilter(RowFilter{});
    EXPECT_EQ(DescribeShown(list), (std::vector<std::wstring>{L"TCP 0.0.0.0|135|0.0.0.0|0|9 LISTEN"}));
}

// "<local port> new|changed|closed" for every marked row, in list order.
std::vector<std::wstring> Marks(const ConnectionList& list)
{
    std::vector<std::wstring> marks;
    for (std::size_t i = 0; i < list.size(); ++i) {
        const RowMark mark = list.MarkOf(i);
        if (mark != RowMark::None) {
            const wchar_t* name = mark == RowMark::New ? L" new" : mark == RowMark::Changed ? L" changed" : L" closed";
            marks.push_back(list.row(i).subItems[kLocalPort] + name);
        }
    }
    return marks;
}

using Marks_ = std::vector<std::wstring>;

class HighlightTest : public ListSyncTest {
protected:
    void Serve(const std::vector<std::wstring>& lines)
    {
        std::vector<platform::TcpRowOwnerPid> entries;
        for (const auto& line : lines) {
            entries.push_back(TcpEntry(line));
        }
        SetTcpTable(entries);
    }
};

TEST_F(HighlightTest, RefreshesMarkNewChangedAndClosedRowsForTwoRefreshes)
{
    list.SetHighlighting(true);
    Serve({L"10.0.0.5|1|10.0.0.9|80|7|ESTABLISHED", L"10.0.0.5|2|10.0.0.9|80|7|ESTABLISHED"});
    FillTcpRows(list, fake::FakeIpHelper(), resolve);
    Refresh();
    EXPECT_EQ(Marks(list), Marks_{}) << "the fill and an unchanged refresh mark nothing";

    Serve({L"10.0.0.5|1|10.0.0.9|80|7|CLOSE-WAIT", L"10.0.0.5|3|10.0.0.9|80|7|SYN-SENT"});
    Refresh();
    EXPECT_EQ(Marks(list), (Marks_{L"1 changed", L"2 closed", L"3 new"}));
    const RowCounts counts = list.Counts();
    EXPECT_EQ(std::make_tuple(counts.connections, counts.established), std::make_tuple(2u, 0u))
        << "a closed row is not counted";
    const std::size_t closed = *IndexOfKey(list, L"10.0.0.5|2|10.0.0.9|80|7");
    EXPECT_TRUE(list.IsClosed(closed));
    EXPECT_FALSE(list.HasEndpoint(TcpEndpoint(TcpEntry(L"10.0.0.5|2|10.0.0.9|80|7|ESTABLISHED"))));
    list.SetSelected(closed, true);
    list.SetAllSelected(true);
    EXPECT_EQ(list.SelectedCount(), 2u) << "a closed row cannot be selected";
    list.SetAllSelected(false);

    Refresh();
    EXPECT_EQ(Marks(list), (Marks_{L"1 changed", L"2 closed", L"3 new"})) << "one refresh later";
    Serve({L"10.0.0.5|1|10.0.0.9|80|7|CLOSE-WAIT", L"10.0.0.5|3|10.0.0.9|80|7|ESTABLISHED"});
    Refresh();
    EXPECT_EQ(Marks(list), (Marks_{L"3 changed"})) << "the second refresh ends the marks and the closed row";
    EXPECT_EQ(list.size(), 2u);
    Refresh();
    Refresh();
    EXPECT_EQ(Marks(list), Marks_{});
}

TEST_F(HighlightTest, NoNewsFromFillsIPv6TurnOnFilterChangesOrARecoveredRead)
{
    list.SetHighlighting(true);
    Serve({L"10.0.0.5|1|10.0.0.9|80|7|ESTABLISHED"});
    auto failing = fake::FakeIpHelper();
    failing.getExtendedTcpTable = nullptr;
    FillTcpRows(list, failing, resolve);
    RefreshRows(list, failing, resolve);
    Refresh();
    EXPECT_EQ(list.size(), 1u);
    EXPECT_EQ(Marks(list), Marks_{}) << "rows of the first read after failures are no news";

    fake::AddTcp6Row(Fake().tcp6Table, fake::Tcp6Entry(2, {}, 0, 445, {}, 0, 0, 4));
    FillIPv6Rows(list, fake::FakeIpHelper(), resolve);
    RefreshRows(list, fake::FakeIpHelper(), resolve, true);
    EXPECT_EQ(Marks(list), Marks_{}) << "the IPv6 rows' fill";

    list.SetFilter(RowFilter(L"LISTEN"));
    list.SetFilter(RowFilter{});
    EXPECT_EQ(Marks(list), Marks_{}) << "rows a filter shows again";

    Serve({L"10.0.0.5|1|10.0.0.9|80|7|ESTABLISHED", L"10.0.0.5|2|10.0.0.9|80|7|ESTABLISHED"});
    Refresh();
    EXPECT_EQ(Marks(list), Marks_{L"2 new"});
    list.SetHighlighting(false);
    EXPECT_EQ(Marks(list), Marks_{});
}

TEST_F(HighlightTest, AClosedRowStepsAsideForANewConnectionAndOffRemovesIt)
{
    list.SetHighlighting(true);
    Serve({L"10.0.0.5|1|10.0.0.9|80|7|ESTABLISHED"});
    FillTcpRows(list, fake::FakeIpHelper(), resolve);
    Serve({L"10.0.0.5|2|10.0.0.9|80|7|ESTABLISHED"});
    Refresh();
    Serve({L"10.0.0.5|1|10.0.0.9|80|7|ESTABLISHED", L"10.0.0.5|2|10.0.0.9|80|7|ESTABLISHED"});
    Refresh();
    EXPECT_EQ(DescribeShown(list), (std::vector<std::wstring>{L"TCP 10.0.0.5|1|10.0.0.9|80|7 ESTABLISHED",
                                                              L"TCP 10.0.0.5|1|10.0.0.9|80|7 ESTABLISHED",
                                                              L"TCP 10.0.0.5|2|10.0.0.9|80|7 ESTABLISHED"}));
    EXPECT_EQ(Marks(list), (Marks_{L"1 closed", L"1 new", L"2 new"}))
        << "the endpoint came back while its old row lingers: a row of its own";
    EXPECT_FALSE(FindNextRow(list, {L"closed", false, true}, std::nullopt));
    const auto first = FindNextRow(list, {L"10.0.0.5", false, true}, std::nullopt);
    ASSERT_TRUE(first);
    EXPECT_FALSE(list.IsClosed(*first)) << "Find passes over a closed row";

    list.SetHighlighting(false);
    EXPECT_EQ(list.size(), 2u);
    EXPECT_EQ(list.Counts().connections, 2u);
}

TEST_F(HighlightTest, AtMostTenThousandClosedRowsLinger)
{
    list.SetHighlighting(true);
    std::vector<std::wstring> lines;
    for (std::size_t i = 0; i < ConnectionList::kMaxClosedRows + 5; ++i) {
        lines.push_back(L"10.0.0.5|" + std::to_wstring(1000 + i) + L"|10.0.0.9|80|7|ESTABLISHED");
    }
    Serve(lines);
    FillTcpRows(list, fake::FakeIpHelper(), resolve);
    Serve({L"10.0.0.6|1|10.0.0.9|80|7|ESTABLISHED"});
    Refresh();
    EXPECT_EQ(list.size(), ConnectionList::kMaxClosedRows + 1);
    EXPECT_EQ(list.Counts().connections, 1u);
    EXPECT_FALSE(IndexOfKey(list, L"10.0.0.5|1000|10.0.0.9|80|7")) << "the first closed went first";
    EXPECT_TRUE(IndexOfKey(list, L"10.0.0.5|1005|10.0.0.9|80|7"));
}

} // namespace
} // namespace vq::connections
