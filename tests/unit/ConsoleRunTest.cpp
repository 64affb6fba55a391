#include "console/console_run.h"

#include "connections/tcp_state_names.h"
#include "fake_platform.h"
#include "table_fixtures.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace vq::console {
namespace {

using fake::Addr;
using fake::Fake;
using fake::Port;

class RecordingHost final : public ConsoleHost {
public:
    std::string output;
    std::string error;
    platform::StreamWrite answer = platform::StreamWrite::Written;
    // Runs at each wait: the test changes the tables; false ends the watch.
    std::function<bool(int wait)> onWait = [](int) { return false; };
    int waits = 0;
    int writes = 0;

    platform::StreamWrite WriteOutput(std::string_view utf8) override
    {
        ++writes;
        output += utf8;
        return answer;
    }
    void WriteError(std::string_view utf8) override { error += utf8; }
    platform::UtcTime Now() override { return {2024, 1, 2, 3, 4, 5, 6}; }
    bool WaitForNextReading(std::uint32_t seconds) override
    {
        EXPECT_EQ(seconds, 1u);
        return onWait(++waits);
    }
};

class ConsoleRunTest : public ::testing::Test {
protected:
    void SetUp() override { fake::Reset(); }
    void TearDown() override { fake::Reset(); }

    int Run(std::vector<std::wstring> arguments)
    {
        return RunConsole(arguments, system_, host_);
    }

    static void Established(std::uint32_t localPort, std::uint32_t state = connections::kTcpStateEstablished)
    {
        fake::AddTcpRow(Fake().tcpTable, {state, Addr(127, 0, 0, 1), Port(localPort), Addr(127, 0, 0, 1), Port(80), 77});
    }

    static std::vector<std::string> Lines(const std::string& text)
    {
        std::vector<std::string> lines;
        for (std::size_t start = 0, end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
            lines.push_back(text.substr(start, end - start));
        }
        return lines;
    }

    ConsoleSystem system_{fake::FakeIpHelper(), L"C:\\Windows\\system32\\kernel32.dll",
                          [](const std::wstring& a, const std::wstring& b) { return a.compare(b); }};
    RecordingHost host_;
};

TEST_F(ConsoleRunTest, HelpPrintsTheUsageAndUsageErrorsGoToStandardErrorWithoutAnyRead)
{
    EXPECT_EQ(Run({L"--help"}), kExitDone);
    EXPECT_EQ(host_.output.rfind("Usage: velquistcon [-4 | -6]", 0), 0u);
    EXPECT_EQ(host_.error, "");

    for (const std::vector<std::wstring>& arguments :
         {std::vector<std::wstring>{L"--format", L"xml"}, std::vector<std::wstring>{L"bogus:1"}}) {
        host_ = {};
        EXPECT_EQ(Run(arguments), kExitUsage);
        EXPECT_EQ(host_.output, "");
        const std::vector<std::string> lines = Lines(host_.error);
        ASSERT_GE(lines.size(), 2u);
        EXPECT_EQ(lines[1].rfind("Usage: ", 0), 0u);
    }
    EXPECT_EQ(Lines(host_.error)[0], "Unknown filter key \"bogus:\"");
    EXPECT_TRUE(Fake().tcpTable.calls.empty());
}

TEST_F(ConsoleRunTest, AMissingTableFunctionOrAFailedReadEndsWithCodeTwoAndTheReason)
{
    struct Case {
        std::function<void()> arrange;
        std::string message;
    };
    const Case cases[] = {
        {[this] { system_.ipHelper = {}; }, "Unsupported OS version! Aborting..."},
        {[this] { system_.ipHelper.getExtendedUdpTable = nullptr; }, "Unsupported OS version! Aborting..."},
        {[] { Fake().udpTable.secondAnswer = 5; }, "Could not read the UDP table."},
        {[] { Fake().tcp6Table.firstAnswer = 50; }, "Could not read the TCPv6 table."},
        {[] { Fake().tcpTable.firstSize = 0x7FFFFFFF; },
         "Could not read the TCP table: the system reported 2147483647 bytes, more than any table of connections "
         "takes"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        fake::Reset();
        system_.ipHelper = fake::FakeIpHelper();
        host_ = {};
        c.arrange();
        EXPECT_EQ(Run({}), kExitTables);
        EXPECT_EQ(host_.error, c.message + "\r\n");
        EXPECT_EQ(host_.output, "");
    }
}

TEST_F(ConsoleRunTest, AFamilyOptionReadsOnlyItsTablesAndFilterWordsKeepTheirRows)
{
    Established(1000);
    Established(2000, connections::kTcpStateListen);
    EXPECT_EQ(Run({L"-4", L"--format", L"csv", L"-state:listen"}), kExitDone);
    EXPECT_TRUE(Fake().tcp6Table.calls.empty());
    EXPECT_TRUE(Fake().udp6Table.calls.empty());
    const std::vector<std::string> lines = Lines(host_.output);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1], ",TCP,ESTABLISHED,127.0.0.1,1000,127.0.0.1,80,77,");
}

TEST_F(ConsoleRunTest, AReaderThatWentAwayEndsQuietlyAndAFailedWriteWithCodeThree)
{
    Established(1000);
    host_.answer = platform::StreamWrite::Closed;
    EXPECT_EQ(Run({L"--watch", L"1"}), kExitDone);
    EXPECT_EQ(host_.waits, 0) << "no reading after the reader went";
    host_ = {};
    host_.answer = platform::StreamWrite::Failed;
    EXPECT_EQ(Run({}), kExitOutputFailed);
    EXPECT_EQ(host_.error, "");
}

TEST_F(ConsoleRunTest, WatchOpensEveryRowThenReportsEachChangeOnce)
{
    Established(1000);
    Established(2000, connections::kTcpStateListen);
    host_.onWait = [](int wait) {
        if (wait == 1) {
            Fake().tcpTable = {};
            Established(2000);  // LISTEN to ESTABLISHED
            Established(3000);  // new; 1000 went
        }
        return wait <= 2;  // the second reading changes nothing
    };
    EXPECT_EQ(Run({L"--watch", L"1"}), kExitDone);
    std::vector<std::string> events;
    for (const std::string& line : Lines(host_.output)) {
        const std::size_t port = line.find("\"localPort\":");
        events.push_back(line.substr(10, line.find('"', 10) - 10) + " " +
                         line.substr(port + 12, line.find(',', port) - port - 12));
    }
    EXPECT_EQ(events, (std::vector<std::string>{"open 1000", "open 2000", "close 1000", "state 2000", "open 3000"}));
    EXPECT_EQ(host_.writes, 2) << "a reading without changes writes nothing";
    EXPECT_NE(host_.output.find("\"time\":\"2024-01-02T03:04:05.006Z\""), std::string::npos);
}

} // namespace
} // namespace vq::console
