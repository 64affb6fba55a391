// The optional Service and Created columns: the owner-module tables, the
// created-time text, the service look-ups and the list's origins.

#include "connections/created_time.h"
#include "connections/list_columns.h"
#include "connections/list_sync.h"
#include "connections/row_search.h"
#include "connections/service_lookup.h"
#include "connections/table_reader.h"
#include "fake_platform.h"
#include "table_fixtures.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace vq::connections {
namespace {

using fake::Addr;
using fake::Fake;
using fake::Port;

// 2026-07-01 12:00:00 and 2026-01-15 12:00:00 UTC as FILETIMEs.
constexpr std::uint64_t kSummerNoon = 134273808000000000ull;
constexpr std::uint64_t kWinterNoon = 134129520000000000ull;

int PlainCompare(const std::wstring& a, const std::wstring& b)
{
    return a.compare(b);
}

// The words of an owner-module row: the owner-pid words, then the time and
// the owner tag where the layout has them.
template <typename Row>
void AddModuleRow(fake::FakeTable& table, const Row& row)
{
    if (table.rowWords.empty()) {
        table.rowWords.push_back(0xDDDDDDDD);  // the padding before the first row
    }
    std::uint32_t words[sizeof(Row) / 4];
    std::memcpy(words, &row, sizeof(Row));
    table.rowWords.insert(table.rowWords.end(), std::begin(words), std::end(words));
    ++table.rowCount;
}

template <typename Row>
void SetOrigin(Row& row, std::uint64_t created, std::uint64_t tag)
{
    row.createTimestamp[0] = static_cast<std::uint32_t>(created);
    row.createTimestamp[1] = static_cast<std::uint32_t>(created >> 32);
    row.owningModuleInfo.words[0] = static_cast<std::uint32_t>(tag);
    row.owningModuleInfo.words[1] = static_cast<std::uint32_t>(tag >> 32);
}

platform::TcpRowOwnerModule TcpModuleRow(std::uint32_t state, std::uint32_t localPort, std::uint32_t pid,
                                         std::uint64_t created, std::uint64_t tag = 0)
{
    platform::TcpRowOwnerModule row{};
    row.state = state;
    row.localAddr = Addr(10, 0, 0, 5);
    row.localPort = Port(localPort);
    row.remoteAddr = Addr(10, 0, 0, 9);
    row.remotePort = Port(443);
    row.owningPid = pid;
    SetOrigin(row, created, tag);
    return row;
}

// --- the tables --------------------------------------------------------------

TEST(OwnerModuleTableTest, RowsBeginAtByteEightInEveryLayout)
{
    // Built word by word: count, padding, then each layout's fields at their
    // offsets (pid, the two time words, the owner tag's first word).
    struct Case {
        const char* name;
        std::size_t rowWords;
        std::size_t pidWord, timeWord, tagWord;
    };
    const Case cases[] = {
        {"TCP", 40, 5, 6, 8},
        {"TCPv6", 48, 13, 14, 16},
        {"UDP", 40, 2, 4, 8},
        {"UDPv6", 44, 6, 8, 12},
    };
    for (const Case& c : cases) {
        fake::Reset();
        std::vector<std::uint32_t> row(c.rowWords, 0);
        row[c.pidWord] = 4242;
        row[c.timeWord] = 0x89ABCDEF;
        row[c.timeWord + 1] = 0x01234567;
        row[c.tagWord] = 77;
        const std::string name = c.name;
        fake::FakeTable& table = name == "TCP"     ? Fake().tcpTable
                                 : name == "TCPv6" ? Fake().tcp6Table
                                 : name == "UDP"   ? Fake().udpTable
                                                   : Fake().udp6Table;
        table.rowWords = {0xDDDDDDDD};
        table.rowWords.insert(table.rowWords.end(), row.begin(), row.end());
        table.rowWords.insert(table.rowWords.end(), row.begin(), row.end());
        table.rowCount = 2;
        const auto check = [&](const auto& read, int tableClass) {
            ASSERT_EQ(read.outcome, ReadOutcome::Read) << c.name;
            ASSERT_EQ(read.table.size(), 2u) << c.name;
            for (std::size_t i = 0; i < 2; ++i) {
                EXPECT_EQ(read.table[i].owningPid, 4242u) << c.name;
                EXPECT_EQ(read.table[i].createTimestamp[0], 0x89ABCDEFu) << c.name;
                EXPECT_EQ(read.table[i].createTimestamp[1], 0x01234567u) << c.name;
                EXPECT_EQ(read.table[i].owningModuleInfo.words[0], 77u) << c.name;
            }
            ASSERT_EQ(table.calls.size(), 2u);
            EXPECT_EQ(table.calls[1].tableClass, tableClass) << c.name;
        };
        const auto ipHelper = fake::FakeIpHelper();
        if (name == "TCP") {
            check(ReadTcpModuleTable(ipHelper), 8);
        } else if (name == "TCPv6") {
            check(ReadTcp6ModuleTable(ipHelper), 8);
            EXPECT_EQ(table.calls[1].family, 23u);
        } else if (name == "UDP") {
            check(ReadUdpModuleTable(ipHelper), 2);
        } else {
            check(ReadUdp6ModuleTable(ipHelper), 2);
            EXPECT_EQ(table.calls[1].family, 23u);
        }
    }
}

TEST(OwnerModuleTableTest, ARowCutShortByTheWrittenLengthIsNotRead)
{
    // 8 bytes of header and one and a half rows written: one row.
    std::vector<std::uint32_t> words(2 + 40 + 20, 0);
    words[0] = 2;
    const TableBuffer<platform::TcpRowOwnerModule> table(words);
    EXPECT_EQ(table.size(), 1u);
    const TableBuffer<platform::TcpRowOwnerModule> header(words, 7);
    EXPECT_EQ(header.size(), 0u);
}

// --- the created time ----------------------------------------------------------

TEST(CreatedTimeTest, ShowsLocalTimeByTheRulesOfItsDate)
{
    fake::Reset();
    struct Case {
        std::uint64_t fileTime;
        std::wstring_view text;
    };
    const Case cases[] = {
        {kSummerNoon, L"2026-07-01 14:00:00"},             // daylight saving: two hours east
        {kWinterNoon + 59 * 10'000'000ull, L"2026-01-15 13:00:59"},  // standard time: one hour
        {0, L""},
    };
    CellBuffer buffer;
    for (const Case& c : cases) {
        EXPECT_EQ(CreatedTimeText(c.fileTime, buffer), c.text);
    }
}

TEST(CreatedTimeTest, AsksTheSystemOncePerQuarterHourAndShowsNothingWhenItCannotConvert)
{
    fake::Reset();
    CellBuffer buffer;
    constexpr std::uint64_t kMinute = 60 * 10'000'000ull;
    // Another thread-local quarter hour first, so that the cache starts cold.
    static_cast<void>(CreatedTimeText(kWinterNoon - 60 * kMinute, buffer));
    const std::size_t before = Fake().fileTimeConversions;
    EXPECT_EQ(CreatedTimeText(kSummerNoon + 3 * kMinute, buffer), L"2026-07-01 14:03:00");
    EXPECT_EQ(CreatedTimeText(kSummerNoon + 14 * kMinute, buffer), L"2026-07-01 14:14:00");
    EXPECT_EQ(Fake().fileTimeConversions, before + 1);
    EXPECT_EQ(CreatedTimeText(kSummerNoon + 15 * kMinute, buffer), L"2026-07-01 14:15:00");
    EXPECT_EQ(Fake().fileTimeConversions, before + 2);

    // A quarter hour no other test asks for: its failed answer stays cached.
    Fake().fileTimeConversionFails = true;
    EXPECT_EQ(CreatedTimeText(kWinterNoon + 24 * 60 * kMinute, buffer), L"");
}

// --- the service look-ups ------------------------------------------------------

// Scripted owner-module look-ups: the module name by owner tag, counted.
struct ScriptedModules {
    std::map<std::uint64_t, std::wstring> names;  // a tag not here: the look-up fails
    std::size_t calls = 0;
};
ScriptedModules g_modules;

std::uint32_t ScriptedLookUp(const void* row, int infoClass, void* buffer, std::uint32_t* size)
{
    ++g_modules.calls;
    platform::TcpRowOwnerModule entry{};
    std::memcpy(&entry, row, sizeof(entry));
    const auto found = g_modules.names.find(entry.owningModuleInfo.words[0]);
    if (infoClass != platform::kOwnerModuleInfoBasic || found == g_modules.names.end()) {
        return 1168;  // not found
    }
    const std::size_t needed = sizeof(platform::OwnerModuleBasicInfo) + (found->second.size() + 1) * sizeof(wchar_t);
    if (buffer == nullptr || *size < needed) {
        *size = static_cast<std::uint32_t>(needed);
        return platform::kErrorInsufficientBuffer;
    }
    auto* text = reinterpret_cast<wchar_t*>(static_cast<unsigned char*>(buffer) + sizeof(platform::OwnerModuleBasicInfo));
    std::wmemcpy(text, found->second.c_str(), found->second.size() + 1);
    const platform::OwnerModuleBasicInfo info{text, text};
    std::memcpy(buffer, &info, sizeof(info));
    return platform::kNoError;
}

class ServiceNameCacheTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_modules = {};
        listings_ = 0;
    }

    ServiceNameCache Cache(bool withLookUps)
    {
        platform::OwnerModuleLookUps lookUps;
        if (withLookUps) {
            lookUps.fromTcpEntry = &ScriptedLookUp;
        }
        return ServiceNameCache(lookUps, [this] {
            ++listings_;
            return services_;
        });
    }

    std::wstring Resolve(ServiceNameCache& cache, std::uint32_t pid, std::uint64_t start, std::uint64_t tag,
                         std::wstring_view fileName = L"svchost.exe")
    {
        entry_ = TcpModuleRow(5, 80, pid, 0, tag);
        return cache.Resolve({Protocol::Tcp, &entry_, pid, start, tag, fileName});
    }

    std::optional<std::vector<platform::RunningService>> services_ = std::vector<platform::RunningService>{
        {L"Dhcp", 700}, {L"EventLog", 700}, {L"Spooler", 800}};
    std::size_t listings_ = 0;
    platform::TcpRowOwnerModule entry_{};
};

TEST_F(ServiceNameCacheTest, LooksUpEachProcessAndTagOnceAndAgainForAReusedProcessId)
{
    g_modules.names = {{1, L"Dnscache"}, {2, L"LanmanServer"}};
    ServiceNameCache cache = Cache(true);
    EXPECT_EQ(Resolve(cache, 700, 11, 1), L"Dnscache");
    EXPECT_EQ(Resolve(cache, 700, 11, 1), L"Dnscache");
    EXPECT_EQ(Resolve(cache, 700, 11, 2), L"LanmanServer");
    EXPECT_EQ(g_modules.calls, 2u * 2u) << "two calls (size, then texts) per process and tag";
    // The same id for a process that started later is another process.
    g_modules.names[1] = L"WinRM";
    EXPECT_EQ(Resolve(cache, 700, 12, 1), L"WinRM");
    EXPECT_EQ(listings_, 0u);
}

TEST_F(ServiceNameCacheTest, FallsBackToTheServicesTheProcessHostsListedOncePerPass)
{
    // 7: the module is the process itself; 9: the look-up fails.
    g_modules.names = {{7, L"SVCHOST.EXE"}};
    ServiceNameCache cache = Cache(true);
    cache.BeginPass();
    EXPECT_EQ(Resolve(cache, 700, 1, 7), L"Dhcp, EventLog");
    EXPECT_EQ(Resolve(cache, 800, 1, 9), L"Spooler");
    EXPECT_EQ(Resolve(cache, 900, 1, 9), L"");
    EXPECT_EQ(listings_, 1u);
    cache.BeginPass();
    EXPECT_EQ(Resolve(cache, 700, 1, 7), L"Dhcp, EventLog") << "known: no listing";
    EXPECT_EQ(listings_, 1u);
    EXPECT_EQ(Resolve(cache, 701, 1, 0), L"");
    EXPECT_EQ(listings_, 2u);
}

TEST_F(ServiceNameCacheTest, WithoutTheLookUpsOrTheServiceManagerCellsStayEmptyAndTheSystemProcessesCostNothing)
{
    ServiceNameCache cache = Cache(false);
    EXPECT_EQ(Resolve(cache, 800, 1, 3), L"Spooler") << "no look-up: the hosted services";
    EXPECT_EQ(Resolve(cache, 0, 0, 0, L"System Idle Process"), L"");
    EXPECT_EQ(Resolve(cache, 4, 0, 0, L"System"), L"");
    EXPECT_EQ(listings_, 1u);

    services_ = std::nullopt;
    ServiceNameCache broken = Cache(true);
    EXPECT_EQ(Resolve(broken, 800, 1, 3), L"");
}

// --- the list --------------------------------------------------------------------

class OriginListTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fake::Reset();
        g_modules = {};
    }

    static OwningProcess Owner(std::uint32_t pid)
    {
        return {pid == 700 ? L"C:\\Windows\\System32\\svchost.exe" : L"C:\\Apps\\app.exe", pid};
    }

    std::wstring CellOf(std::size_t index, std::size_t column)
    {
        CellBuffer buffer;
        return std::wstring(CellText(list_.Facts(index), column, buffer));
    }

    // The rows' "local port: service / created" in list order.
    std::vector<std::wstring> Shown()
    {
        std::vector<std::wstring> rows;
        for (std::size_t i = 0; i < list_.size(); ++i) {
            CellBuffer buffer;
            std::wstring row(list_.Cell(i, 1 + kLocalPort, buffer));
            for (std::size_t column = kListColumnCount; column < list_.ColumnCount(); ++column) {
                row += L" / " + std::wstring(list_.Cell(i, column, buffer));
            }
            rows.push_back(row);
        }
        return rows;
    }

    ServiceResolver Services()
    {
        return [this](const ServiceQuery& query) {
            ++lookUps_;
            return query.processId == 700 ? L"svc" + std::to_wstring(query.ownerTag) : std::wstring();
        };
    }

    ConnectionList list_{PlainCompare};
    ProcessPathResolver resolve_ = [](std::uint32_t pid) { return Owner(pid); };
    std::size_t lookUps_ = 0;
};

TEST_F(OriginListTest, ShownColumnsReadTheOwnerModuleTablesAndFillTheirCells)
{
    AddModuleRow(Fake().tcpTable, TcpModuleRow(5, 81, 700, kSummerNoon, 1));
    AddModuleRow(Fake().tcpTable, TcpModuleRow(2, 82, 700, 0, 2));
    AddModuleRow(Fake().tcpTable, TcpModuleRow(5, 83, 900, kWinterNoon, 0));
    list_.SetShownColumns({true, true});
    FillTcpRows(list_, fake::FakeIpHelper(), resolve_, nullptr, Services());

    EXPECT_EQ(Fake().tcpTable.calls.at(1).tableClass, 8);
    EXPECT_EQ(Shown(), (std::vector<std::wstring>{L"83 /  / 2026-01-15 13:00:00", L"81 / svc1 / 2026-07-01 14:00:00",
                                                  L"82 / svc2 / "}));
    EXPECT_EQ(list_.ColumnCount(), kListColumnCount + 2);

    // Only Created: the service is neither looked up nor shown.
    ConnectionList createdOnly(PlainCompare);
    createdOnly.SetShownColumns({false, true});
    lookUps_ = 0;
    FillTcpRows(createdOnly, fake::FakeIpHelper(), resolve_, nullptr, Services());
    EXPECT_EQ(lookUps_, 0u);
    CellBuffer buffer;
    EXPECT_EQ(createdOnly.Cell(0, kListColumnCount, buffer), L"2026-01-15 13:00:00");
    EXPECT_EQ(createdOnly.ColumnCount(), kListColumnCount + 1);
}

TEST_F(OriginListTest, AColumnShownLaterIsFilledFromARead_AndARefreshGivesNewRowsTheirsWithOneLookUpPerProcessAndTag)
{
    fake::AddTcpRow(Fake().tcpTable, {5, Addr(10, 0, 0, 5), Port(81), Addr(10, 0, 0, 9), Port(443), 700});
    FillTcpRows(list_, fake::FakeIpHelper(), resolve_, nullptr, Services());
    ASSERT_EQ(list_.size(), 1u);
    EXPECT_EQ(Fake().tcpTable.calls.at(1).tableClass, 5) << "no optional column: the owner-pid table";
    list_.SetSelectedRange(0, 0, true);

    Fake().tcpTable = {};
    AddModuleRow(Fake().tcpTable, TcpModuleRow(5, 81, 700, kSummerNoon, 1));
    list_.SetShownColumns({true, false});
    const std::uint64_t version = list_.version();
    CompleteRowOrigins(list_, fake::FakeIpHelper(), resolve_, Services(), false);
    EXPECT_EQ(Shown(), (std::vector<std::wstring>{L"81 / svc1"}));
    EXPECT_NE(list_.version(), version);
    EXPECT_TRUE(list_.IsSelected(0)) << "completing origins changes no row";

    // Three new rows of one process and tag: one look-up.
    for (const std::uint32_t port : {84u, 85u, 86u}) {
        AddModuleRow(Fake().tcpTable, TcpModuleRow(5, port, 700, kSummerNoon, 3));
    }
    ServiceNameCache cache({}, [] { return std::vector<platform::RunningService>{{L"svc3", 700}}; });
    RefreshRows(list_, fake::FakeIpHelper(), resolve_, false, nullptr,
                [&](const ServiceQuery& query) { return cache.Resolve(query); });
    EXPECT_EQ(Shown(), (std::vector<std::wstring>{L"81 / svc1", L"84 / svc3", L"85 / svc3", L"86 / svc3"}));
    EXPECT_EQ(cache.ServiceListings(), 1u);

    // Hidden again, the origins go and the plain table is read.
    list_.SetShownColumns({});
    EXPECT_EQ(list_.ColumnCount(), kListColumnCount);
    Fake().tcpTable.calls.clear();
    RefreshRows(list_, fake::FakeIpHelper(), resolve_);
    EXPECT_EQ(Fake().tcpTable.calls.at(1).tableClass, 5);
}

TEST_F(OriginListTest, FilterAndFindLookAtTheShownOptionalCells)
{
    AddModuleRow(Fake().tcpTable, TcpModuleRow(5, 81, 700, kSummerNoon, 1));
    AddModuleRow(Fake().tcpTable, TcpModuleRow(5, 82, 900, kWinterNoon, 0));
    list_.SetShownColumns({true, true});
    FillTcpRows(list_, fake::FakeIpHelper(), resolve_, nullptr, Services());

    const auto ports = [&](const wchar_t* query) {
        list_.SetFilter(RowFilter(query));
        std::vector<std::wstring> shown;
        CellBuffer buffer;
        for (std::size_t i = 0; i < list_.size(); ++i) {
            shown.emplace_back(list_.Cell(i, 1 + kLocalPort, buffer));
        }
        return shown;
    };
    EXPECT_EQ(ports(L"service:SVC1"), std::vector<std::wstring>{L"81"});
    EXPECT_EQ(ports(L"-service:svc"), std::vector<std::wstring>{L"82"});
    EXPECT_EQ(ports(L"svc1"), std::vector<std::wstring>{L"81"});
    EXPECT_EQ(ports(L"2026-01-15"), std::vector<std::wstring>{L"82"});
    EXPECT_TRUE(RowFilter(L"service:x").Error().empty());

    // The column hidden, its cells no longer match: the filter is tested again.
    list_.SetFilter(RowFilter(L"svc1"));
    list_.SetShownColumns({false, true});
    EXPECT_EQ(list_.size(), 0u);
    list_.SetFilter(RowFilter());

    EXPECT_EQ(FindNextRow(list_, {L"2026-07-01 14", false, true}, std::nullopt), std::optional<std::size_t>(1));
    list_.SetShownColumns({});
    EXPECT_EQ(FindNextRow(list_, {L"2026-07-01 14", false, true}, std::nullopt), std::nullopt);
}

} // namespace
} // namespace vq::connections
