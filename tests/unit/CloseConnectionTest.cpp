#include "connections/close_connection.h"
#include "connections/ipv4_text.h"
#include "connections/tcp_state_names.h"
#include "fake_platform.h"
#include "resource.h"
#include "table_fixtures.h"
#include "ui/command_controller.h"
#include "ui/connection_commands.h"
#include "list_rows.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace vq {
namespace {

using connections::ConnectionList;
using fake::Addr;
using fake::Fake;
using fake::Port;
using platform::TcpRowOwnerPid;

// ---------------------------------------------------------------------------
// CloseTcpConnections against the fake table

constexpr TcpRowOwnerPid kEstablished{5, Addr(10, 0, 0, 1), Port(1001), Addr(10, 0, 0, 9), Port(443), 812};
// A listening entry whose remote port field is not 0, although it has no
// remote address: the list shows such a row with remote port 0.
constexpr TcpRowOwnerPid kListenWithPortField{2, Addr(0, 0, 0, 0), Port(445), 0, Port(4660), 4};
constexpr TcpRowOwnerPid kListen{2, Addr(0, 0, 0, 0), Port(135), 0, 0, 900};
// Bytes 01 BB 01 00: the upper half of the field shows in the port text (699).
constexpr TcpRowOwnerPid kPortWithUpperBits{5, Addr(10, 0, 0, 1), 0x0001BB01, Addr(10, 0, 0, 9), Port(443), 812};
constexpr TcpRowOwnerPid kHighPid{5, Addr(10, 0, 0, 1), Port(1001), Addr(10, 0, 0, 9), Port(443), 0xFFFFFFFC};

TcpRowOwnerPid With(TcpRowOwnerPid entry, std::uint32_t TcpRowOwnerPid::*field, std::uint32_t value)
{
    entry.*field = value;
    return entry;
}

struct CloseCase {
    const char* name;
    std::vector<TcpRowOwnerPid> table;
    TcpRowOwnerPid row;  // the entry the list row was made from
    bool closes;
    // The table entry handed to SetTcpEntry, if any.
    int handedOver = -1;
    std::size_t tableCalls = 2;  // one read: the size query and the read
    std::vector<std::uint32_t> setTcpEntryAnswers = {};
    bool withoutSetTcpEntry = false;
    bool withoutGetTable = false;
    bool readFails = false;
};

class CloseTcpConnectionTest : public ::testing::Test {
protected:
    void SetUp() override { fake::Reset(); }
};

TEST_F(CloseTcpConnectionTest, MatchesTheFiveFieldsAndDeletesTheFirstMatchingEntry)
{
    using E = TcpRowOwnerPid;
    const CloseCase cases[] = {
        {"exact match after an entry of another process", {With(kEstablished, &E::owningPid, 813), kEstablished},
         kEstablished, true, 1},
        {"local address differs", {kEstablished}, With(kEstablished, &E::localAddr, Addr(10, 0, 0, 2)), false},
        {"local port differs", {kEstablished}, With(kEstablished, &E::localPort, Port(1002)), false},
        {"remote address differs", {kEstablished}, With(kEstablished, &E::remoteAddr, Addr(10, 0, 0, 8)), false},
        {"remote port differs", {kEstablished}, With(kEstablished, &E::remotePort, Port(444)), false},
        {"process id differs", {kEstablished}, With(kEstablished, &E::owningPid, 8120), false},
        {"listening row against a non-zero remote port field", {kListenWithPortField}, kListenWithPortField, false},
        {"listening row against a zero remote port field", {kListen}, kListen, true, 0},
        {"process id read as unsigned", {kHighPid}, kHighPid, true, 0},
        {"port field with its upper half", {kPortWithUpperBits}, kPortWithUpperBits, true, 0},
        {"empty table", {}, kEstablished, false},
        {"SetTcpEntry missing", {kEstablished}, kEstablished, false, -1, 0, {}, true},
        {"GetExtendedTcpTable missing", {kEstablished}, kEstablished, false, -1, 0, {}, false, true},
        {"table read fails", {kEstablished}, kEstablished, false, -1, 2, {}, false, false, true},
        {"SetTcpEntry refuses", {kEstablished}, kEstablished, false, 0, 2, {5}},
        {"first match only", {kEstablished, kEstablished}, kEstablished, true, 0},
        {"a refused first match is not followed by the next", {kEstablished, kEstablished}, kEstablished, false, 0,
         2, {5, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fake::Reset();
        for (const auto& entry : c.table) {
            fake::AddTcpRow(Fake().tcpTable, entry);
        }
        Fake().setTcpEntryAnswers.assign(c.setTcpEntryAnswers.begin(), c.setTcpEntryAnswers.end());
        if (c.readFails) {
            Fake().tcpTable.secondAnswer = 87;
        }
        auto ipHelper = fake::FakeIpHelper();
        if (c.withoutSetTcpEntry) {
            ipHelper.setTcpEntry = nullptr;
        }
        if (c.withoutGetTable) {
            ipHelper.getExtendedTcpTable = nullptr;
        }

        EXPECT_EQ(connections::CloseTcpConnections(ipHelper, {connections::TcpEndpoint(c.row)}), c.closes ? 1u : 0u);

        EXPECT_EQ(Fake().tcpTable.calls.size(), c.tableCalls);
        if (c.handedOver < 0) {
            EXPECT_TRUE(Fake().setTcpEntries.empty());
            continue;
        }
        ASSERT_EQ(Fake().setTcpEntries.size(), 1u);
        const auto& entry = c.table[static_cast<std::size_t>(c.handedOver)];
        const auto& record = Fake().setTcpEntries[0];
        EXPECT_EQ(record.state, 12u);
        EXPECT_EQ(record.state, connections::kTcpStateDeleteTcb);
        EXPECT_EQ(record.localAddr, entry.localAddr);
        EXPECT_EQ(record.localPort, entry.localPort) << "the field as the table gave it";
        EXPECT_EQ(record.remoteAddr, entry.remoteAddr);
        EXPECT_EQ(record.remotePort, entry.remotePort);
    }
}

TEST_F(CloseTcpConnectionTest, ReadsTheTableOnceForManyRowsAndClosesEachEntryOnce)
{
    std::vector<connections::EndpointKey> rows;
    for (std::uint32_t n = 0; n < 4000; ++n) {
        const TcpRowOwnerPid entry{5, Addr(10, 0, 0, 1), Port(1024 + n), Addr(10, 0, 1, 1), Port(443), 100 + n % 7};
        fake::AddTcpRow(Fake().tcpTable, entry);
        rows.push_back(connections::TcpEndpoint(entry));
    }
    // Two rows of one endpoint (the initial fill lists duplicates) close two
    // entries of it, not one entry twice.
    fake::AddTcpRow(Fake().tcpTable, kEstablished);
    fake::AddTcpRow(Fake().tcpTable, kEstablished);
    rows.push_back(connections::TcpEndpoint(kEstablished));
    rows.push_back(connections::TcpEndpoint(kEstablished));
    rows.push_back(connections::TcpEndpoint(kEstablished));
    rows.push_back(connections::UdpEndpoint({Addr(10, 0, 0, 1), Port(1024), 100}));

    EXPECT_EQ(connections::CloseTcpConnections(fake::FakeIpHelper(), rows), 4002u);
    EXPECT_EQ(Fake().tcpTable.calls.size(), 2u) << "one read for the whole command";
    ASSERT_EQ(Fake().setTcpEntries.size(), 4002u) << "the third row of the pair finds no entry left";
    EXPECT_EQ(connections::PortFromNetwork(Fake().setTcpEntries[1234].localPort), 1024u + 1234u) << "in row order";
}

// ---------------------------------------------------------------------------
// The close commands

// When the rows' processes started, as read with their paths: when the fake's
// processes start unless told.
constexpr std::uint64_t kOwnerStarted = 1;

// A row as a refresh makes it, with the caption and folder of its path.
fake::ListRow Listed(fake::ListRow row, const wchar_t* caption, const wchar_t* folder)
{
    row.owner = {std::wstring(folder) + caption, kOwnerStarted};
    return row;
}

fake::ListRow ListTcpRow(const wchar_t* caption, const wchar_t* folder, const wchar_t* processId,
                         std::uint32_t localPort)
{
    const auto pid = static_cast<std::uint32_t>(std::stoul(processId));
    return Listed(fake::TcpListRow({5, Addr(10, 0, 0, 1), Port(localPort), Addr(10, 0, 0, 9), Port(443), pid}),
                  caption, folder);
}

fake::ListRow ListUdpRow(const wchar_t* caption, const wchar_t* folder, const wchar_t* processId,
                         std::uint32_t localPort)
{
    const auto pid = static_cast<std::uint32_t>(std::stoul(processId));
    return Listed(fake::UdpListRow({0, Port(localPort), pid}), caption, folder);
}

bool IsTcp(const connections::EndpointKey& endpoint)
{
    return endpoint.protocol == connections::Protocol::Tcp;
}

// The table entry of a row made by ListTcpRow.
TcpRowOwnerPid EntryOf(const connections::EndpointKey& endpoint)
{
    return {5, Addr(10, 0, 0, 1), Port(endpoint.localPort), Addr(10, 0, 0, 9), Port(443), endpoint.processId};
}

using CloseCommand = std::size_t (*)(const ConnectionList&, const platform::IpHelperEntryPoints&,
                                     const ui::RefreshList&);

class CloseCommandsTest : public ::testing::Test {
protected:
    ConnectionList list{nullptr};
    int refreshes = 0;
    std::size_t closesBeforeRefresh = 0;
    ui::RefreshList refresh = [this] {
        ++refreshes;
        closesBeforeRefresh = Fake().setTcpEntries.size();
    };

    void SetUp() override { fake::Reset(); }

    // Adds the rows to the list; the TCP rows' connections to the table too.
    void AddRows(const std::vector<fake::ListRow>& rows)
    {
        for (const auto& row : rows) {
            if (IsTcp(row.endpoint)) {
                fake::AddTcpRow(Fake().tcpTable, EntryOf(row.endpoint));
            }
            fake::Append(list, row);
        }
    }

    // Selects the row with this local port (unique in each test's list).
    void Select(std::uint32_t localPort)
    {
        for (std::size_t i = 0; i < list.size(); ++i) {
            if (list.row(i).subItems[connections::kLocalPort] == std::to_wstring(localPort)) {
                list.SetSelected(i, true);
                return;
            }
        }
        FAIL() << "no row with local port " << localPort;
    }

    // The local ports of the connections handed to SetTcpEntry, in order.
    static std::vector<std::uint32_t> ClosedPorts()
    {
        std::vector<std::uint32_t> ports;
        for (const auto& record : Fake().setTcpEntries) {
            ports.push_back(connections::PortFromNetwork(record.localPort));
        }
        return ports;
    }

    // Two instances of a.exe in C:\A\ (one of them also has a UDP row), a.exe
    // in another folder, and b.exe in the same folder.
    void AddProcessRows()
    {
        AddRows({ListTcpRow(L"b.exe", L"C:\\A\\", L"400", 1004), ListTcpRow(L"a.exe", L"C:\\A\\", L"100", 1001),
                 ListUdpRow(L"a.exe", L"C:\\A\\", L"100", 500), ListTcpRow(L"a.exe", L"C:\\A\\", L"200", 1002),
                 ListTcpRow(L"a.exe", L"C:\\B\\", L"300", 1003)});
    }
};

TEST_F(CloseCommandsTest, EachCommandClosesTheRowsItActsOnInListOrderThenRefreshesOnce)
{
    struct ChoiceCase {
        const char* name;
        CloseCommand command;
        std::vector<std::uint32_t> select;  // local ports, in the order of selection
        std::vector<std::uint32_t> closed;  // local ports, in the order of closing
    };
    const ChoiceCase cases[] = {
        {"selected: a TCP and a UDP row", ui::CloseSelectedConnections, {500, 1001}, {1001}},
        {"selected: only a UDP row", ui::CloseSelectedConnections, {500}, {}},
        {"selected: list order, not selection order", ui::CloseSelectedConnections, {1004, 1003, 1001},
         {1001, 1003, 1004}},
        {"selected: nothing", ui::CloseSelectedConnections, {}, {}},
        {"process of a UDP row: both instances, not the other folder or file",
         ui::CloseProcessConnections, {500}, {1001, 1002}},
        {"process: the same file name in another folder", ui::CloseProcessConnections,
         {1003}, {1003}},
        {"process: the first selected row in list order decides", ui::CloseProcessConnections,
         {1004, 1003}, {1003}},
        {"process: nothing selected", ui::CloseProcessConnections, {}, {}},
        {"all: no selection needed", ui::CloseAllConnections, {}, {1001, 1002, 1003, 1004}},
        {"all: the selection plays no part", ui::CloseAllConnections, {500}, {1001, 1002, 1003, 1004}},
    };
    AddProcessRows();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fake::Reset();
        for (std::size_t i = 0; i < list.size(); ++i) {
            if (IsTcp(list.EndpointOf(i))) {
                fake::AddTcpRow(Fake().tcpTable, EntryOf(list.EndpointOf(i)));
            }
        }
        list.SetAllSelected(false);
        for (const auto port : c.select) {
            Select(port);
        }
        refreshes = 0;
        closesBeforeRefresh = 0;

        EXPECT_EQ(c.command(list, fake::FakeIpHelper(), refresh), c.closed.size());

        EXPECT_EQ(ClosedPorts(), c.closed);
        EXPECT_EQ(Fake().tcpTable.calls.size(), c.closed.empty() ? 0u : 2u) << "one table read per command";
        EXPECT_EQ(refreshes, c.closed.empty() ? 0 : 1);
        EXPECT_EQ(closesBeforeRefresh, c.closed.size()) << "the refresh comes after the scan";
    }
}

TEST_F(CloseCommandsTest, RefreshesOnlyWhenAtLeastOneCloseSucceeded)
{
    struct RefreshCase {
        const char* name;
        std::vector<fake::ListRow> rows;
        bool inTable;
        std::vector<std::uint32_t> answers;  // SetTcpEntry, in turn
        bool withSetTcpEntry;
        std::size_t closed;
        std::size_t tableCalls;
    };
    const RefreshCase cases[] = {
        {"both closed", {ListTcpRow(L"a.exe", L"C:\\", L"1", 1), ListTcpRow(L"b.exe", L"C:\\", L"2", 2)}, true, {},
         true, 2, 2},
        {"one refused, one closed",
         {ListTcpRow(L"a.exe", L"C:\\", L"1", 1), ListTcpRow(L"b.exe", L"C:\\", L"2", 2)}, true, {5, 0}, true, 1, 2},
        {"all refused", {ListTcpRow(L"a.exe", L"C:\\", L"1", 1), ListTcpRow(L"b.exe", L"C:\\", L"2", 2)}, true,
         {5, 5}, true, 0, 2},
        {"connections already gone", {ListTcpRow(L"a.exe", L"C:\\", L"1", 1)}, false, {}, true, 0, 2},
        {"SetTcpEntry missing", {ListTcpRow(L"a.exe", L"C:\\", L"1", 1)}, true, {}, false, 0, 0},
        {"no TCP rows", {ListUdpRow(L"a.exe", L"C:\\", L"1", 1)}, true, {}, true, 0, 0},
        {"empty list", {}, true, {}, true, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fake::Reset();
        ConnectionList rows{nullptr};
        for (const auto& row : c.rows) {
            if (c.inTable && IsTcp(row.endpoint)) {
                fake::AddTcpRow(Fake().tcpTable, EntryOf(row.endpoint));
            }
            fake::Append(rows, row);
        }
        Fake().setTcpEntryAnswers.assign(c.answers.begin(), c.answers.end());
        auto ipHelper = fake::FakeIpHelper();
        if (!c.withSetTcpEntry) {
            ipHelper.setTcpEntry = nullptr;
        }
        refreshes = 0;

        EXPECT_EQ(ui::CloseAllConnections(rows, ipHelper, refresh), c.closed);
        EXPECT_EQ(refreshes, c.closed > 0 ? 1 : 0);
        EXPECT_EQ(Fake().tcpTable.calls.size(), c.tableCalls);
    }
}

TEST_F(CloseCommandsTest, WorksWithoutARefreshToChoose)
{
    AddRows({ListTcpRow(L"a.exe", L"C:\\", L"1", 1)});
    Select(1);
    EXPECT_EQ(ui::CloseSelectedConnections(list, fake::FakeIpHelper(), ui::RefreshList{}), 1u);
}

TEST_F(CloseCommandsTest, AProcessWithoutAKnownImageIsIdentifiedByItsProcessId)
{
    // Processes that could not be opened have an empty path; one that could be
    // opened but not read has the path "\". Neither stands for one program.
    AddRows({ListTcpRow(L"", L"", L"500", 2001), ListTcpRow(L"", L"", L"600", 2002),
             ListTcpRow(L"", L"", L"500", 2003), ListTcpRow(L"", L"\\", L"700", 2004),
             ListTcpRow(L"", L"\\", L"800", 2005), ListTcpRow(L"", L"\\", L"700", 2006)});

    Select(2003);
    EXPECT_EQ(ui::CloseProcessConnections(list, fake::FakeIpHelper(), refresh), 2u);
    EXPECT_EQ(ClosedPorts(), (std::vector<std::uint32_t>{2001, 2003}));

    Fake().setTcpEntries.clear();
    list.SetAllSelected(false);
    Select(2004);
    EXPECT_EQ(ui::CloseProcessConnections(list, fake::FakeIpHelper(), refresh), 2u);
    EXPECT_EQ(ClosedPorts(), (std::vector<std::uint32_t>{2004, 2006}));
}

// ---------------------------------------------------------------------------
// Terminate Process

class TerminateProcessTest : public CloseCommandsTest {
protected:
    static constexpr std::uint32_t kTerminateAccess =
        platform::kProcessTerminate | platform::kProcessQueryLimitedInformation;
    // A process the fake lets us open for termination, started before the rows were added.
    static void Terminable(std::uint32_t processId) { Fake().processes[processId].grantedAccess = {kTerminateAccess}; }
};

TEST_F(TerminateProcessTest, EndsTheFirstSelectedRowsProcessWithExitCodeZeroAndClosesTheHandle)
{
    AddRows({ListTcpRow(L"b.exe", L"C:\\", L"900", 2), ListTcpRow(L"a.exe", L"C:\\", L"812", 1)});
    Terminable(812);
    Terminable(900);
    Select(2);
    Select(1);

    ui::TerminateSelectedProcess(list);

    ASSERT_EQ(Fake().Count("OpenProcess"), 1u);
    const std::size_t open = Fake().IndexOf("OpenProcess 812 0x1001");
    const std::size_t terminate = Fake().IndexOf("TerminateProcess 812 0");
    const std::size_t close = Fake().IndexOf("CloseHandle");
    ASSERT_NE(open, std::string::npos);
    ASSERT_NE(terminate, std::string::npos);
    ASSERT_NE(close, std::string::npos);
    EXPECT_LT(open, terminate);
    EXPECT_LT(terminate, close);
    EXPECT_TRUE(Fake().openHandles.empty());
    EXPECT_TRUE(Fake().tcpTable.calls.empty()) << "nothing is refreshed or read";
}

TEST_F(TerminateProcessTest, DoesNothingWithoutASelectionOrAProcessToOpen)
{
    AddRows({ListTcpRow(L"a.exe", L"C:\\", L"812", 1)});
    ui::TerminateSelectedProcess(list);
    EXPECT_EQ(Fake().Count("OpenProcess"), 0u);

    Select(1);  // 812 is not known to the fake: it has exited, or access is denied
    ui::TerminateSelectedProcess(list);
    EXPECT_EQ(Fake().Count("OpenProcess 812 0x1001"), 1u);
    EXPECT_EQ(Fake().Count("TerminateProcess"), 0u);
    EXPECT_EQ(Fake().Count("CloseHandle"), 0u);
}

// The row holds the process id as the number the table gave, up to the
// largest.
TEST_F(TerminateProcessTest, OpensTheProcessIdTheRowHolds)
{
    for (const std::uint32_t processId : {812u, 4294967295u}) {
        SCOPED_TRACE(processId);
        fake::Reset();
        Terminable(processId);
        ConnectionList rows{nullptr};
        fake::Append(rows, ListTcpRow(L"a.exe", L"C:\\", std::to_wstring(processId).c_str(), 1));
        rows.SetSelected(0, true);

        ui::TerminateSelectedProcess(rows);

        EXPECT_EQ(Fake().Count("OpenProcess"), 1u);
        EXPECT_EQ(Fake().Count("OpenProcess " + std::to_string(processId) + " 0x1001"), 1u);
        EXPECT_EQ(Fake().Count("TerminateProcess " + std::to_string(processId) + " 0"), 1u);
    }
}

// The id may since belong to another process, one that started later or,
// with the clock set back since, earlier: only the exact start time read with
// the row's path tells the row's own process.
TEST_F(TerminateProcessTest, EndsOnlyTheProcessThatStartedExactlyWhenTheRowsOwnerDid)
{
    struct StartCase {
        const char* name;
        std::optional<std::uint64_t> rowStamp;   // read with the row's path
        std::optional<std::uint64_t> startTime;  // of the process holding the id now
        bool ended;
    };
    constexpr std::uint64_t kStamp = 500;
    const StartCase cases[] = {
        {"the row's own process", kStamp, kStamp, true},
        {"an earlier start: the clock was set back", kStamp, kStamp - 1, false},
        {"a later process holds the id", kStamp, kStamp + 1, false},
        {"start time unreadable", kStamp, std::nullopt, false},
        {"the row's start time was not read", std::nullopt, kStamp, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fake::Reset();
        Terminable(812);
        Fake().processes[812].startTime = c.startTime;
        fake::ListRow row = ListTcpRow(L"a.exe", L"C:\\", L"812", 1);
        row.owner.startTime = c.rowStamp;
        ConnectionList rows{nullptr};
        fake::Append(rows, row);
        rows.SetSelected(0, true);

        ui::TerminateSelectedProcess(rows);

        EXPECT_EQ(Fake().Count("TerminateProcess 812 0"), c.ended ? 1u : 0u);
        EXPECT_EQ(Fake().Count("CloseHandle"), c.rowStamp ? 1u : 0u) << "without a stamp nothing is opened";
        EXPECT_TRUE(Fake().openHandles.empty());
    }
}

class NoWindow : public ui::WindowActions {
public:
    void SetRefreshTimerEnabled(bool) override {}
    void CloseMainWindow() override {}
};

TEST_F(TerminateProcessTest, TheIdleProcessAndTheSystemAreNeverOpenedThroughTheMenu)
{
    NoWindow window;
    for (const wchar_t* processId : {L"0", L"4"}) {
        SCOPED_TRACE(fake::Narrow(processId));
        fake::Reset();
        Terminable(0);
        Terminable(4);
        ConnectionList rows{nullptr};
        fake::Append(rows, ListTcpRow(L"a.exe", L"C:\\", processId, 1));
        fake::Append(rows, ListTcpRow(L"b.exe", L"C:\\", L"812", 2));
        rows.SetAllSelected(true);
        ui::CommandController commands(rows, window);
        commands.SetHandler(ID_TERMINATE_PROCESS, [&rows] { ui::TerminateSelectedProcess(rows); });

        commands.UpdatePopupEnabling();
        EXPECT_FALSE(commands.Choose(ID_TERMINATE_PROCESS));
        EXPECT_EQ(Fake().Count("OpenProcess"), 0u);
    }
}

} // namespace
} // namespace vq
