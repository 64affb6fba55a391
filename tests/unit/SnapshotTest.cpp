#include "connections/ipv4_text.h"
#include "connections/snapshot.h"
#include "connections/tcp_state_names.h"
#include "fake_platform.h"
#include "table_fixtures.h"

#include <gtest/gtest.h>

namespace vq {
namespace {

using fake::Addr;
using fake::Fake;
using fake::Port;

TEST(Ipv4TextTest, FormatsAddressesAndPortsInTheirPlatformLayout)
{
    EXPECT_EQ(connections::FormatIPv4(Addr(192, 168, 1, 10)), L"192.168.1.10");
    EXPECT_EQ(connections::FormatIPv4(0xC0A8010Au), L"10.1.168.192") << "lowest byte first";
    EXPECT_EQ(connections::FormatIPv4(0), L"0.0.0.0");
    EXPECT_EQ(connections::FormatIPv4(0xFFFFFFFFu), L"255.255.255.255");

    EXPECT_EQ(connections::PortFromNetwork(0x0000BB01u), 443u) << "bytes 01 BB 00 00";
    EXPECT_EQ(connections::PortFromNetwork(0x00005000u), 80u) << "bytes 00 50 00 00";
    EXPECT_EQ(connections::PortFromNetwork(0x0001BB01u), 699u) << "bytes 01 BB 01 00: upper half not masked";
    EXPECT_EQ(connections::PortFromNetwork(0x0000FFFFu), 65535u);
}

TEST(TcpStateNamesTest, UsesThePlatformNumbering)
{
    EXPECT_EQ(connections::TcpStateName(3), L"SYN-SENT ");
    EXPECT_EQ(connections::TcpStateName(9), L"CLOSING");
    EXPECT_EQ(connections::TcpStateName(10), L"LAST-ACK");
    EXPECT_EQ(connections::TcpStateName(12), L"delete TCB");
    EXPECT_EQ(connections::TcpStateName(0), L"UNKNOWN(0)");
    EXPECT_EQ(connections::TcpStateName(13), L"UNKNOWN(13)");
    EXPECT_EQ(connections::TcpStateName(0xFFFFFFFFu), L"UNKNOWN(4294967295)");
}

struct TcpLineCase {
    const char* name;
    platform::TcpRowOwnerPid row;
    const wchar_t* line;
};

class TcpLineTest : public ::testing::TestWithParam<TcpLineCase> {};

TEST_P(TcpLineTest, FormatsOneTableEntry)
{
    fake::Reset();
    fake::AddTcpRow(Fake().tcpTable, GetParam().row);
    connections::SnapshotLines lines;
    ASSERT_TRUE(connections::TakeTcpSnapshot(fake::FakeIpHelper(), lines));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], GetParam().line);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, TcpLineTest,
    ::testing::Values(
        TcpLineCase{"Listening", {2, 0, Port(135), 0, 0, 912}, L"0.0.0.0|135|0.0.0.0|0|912|LISTEN"},
        TcpLineCase{"ListeningWithJunkRemotePort", {2, 0, Port(135), 0, Port(4711), 912},
                    L"0.0.0.0|135|0.0.0.0|0|912|LISTEN"},
        TcpLineCase{"Established",
                    {5, Addr(10, 0, 0, 5), Port(555), Addr(10, 0, 0, 9), Port(443), 912},
                    L"10.0.0.5|555|10.0.0.9|443|912|ESTABLISHED"},
        TcpLineCase{"SynSentKeepsItsBlank", {3, Addr(10, 0, 0, 5), Port(1), Addr(1, 2, 3, 4), Port(80), 7},
                    L"10.0.0.5|1|1.2.3.4|80|7|SYN-SENT "},
        TcpLineCase{"DeleteTcb", {12, Addr(10, 0, 0, 5), Port(1), Addr(1, 2, 3, 4), Port(80), 7},
                    L"10.0.0.5|1|1.2.3.4|80|7|delete TCB"},
        TcpLineCase{"UpperHalfOfPortNotMasked",
                    {5, Addr(10, 0, 0, 5), 0x0001BB01u, Addr(1, 2, 3, 4), 0x0000BB01u, 7},
                    L"10.0.0.5|699|1.2.3.4|443|7|ESTABLISHED"},
        TcpLineCase{"ProcessIdZero", {11, Addr(127, 0, 0, 1), Port(5000), Addr(127, 0, 0, 1), Port(5001), 0},
                    L"127.0.0.1|5000|127.0.0.1|5001|0|TIME-WAIT"},
        TcpLineCase{"LargestValues",
                    {13, 0xFFFFFFFFu, Port(65535), 0xFFFFFFFFu, Port(65535), 0xFFFFFFFFu},
                    L"255.255.255.255|65535|255.255.255.255|65535|4294967295|UNKNOWN(13)"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SnapshotTest, OneLinePerEntryInTableOrderDuplicatesKept)
{
    fake::Reset();
    fake::AddTcpRow(Fake().tcpTable, {2, 0, Port(445), 0, 0, 4});
    fake::AddTcpRow(Fake().tcpTable, {2, 0, Port(445), 0, 0, 4});
    fake::AddTcpRow(Fake().tcpTable, {2, 0, Port(135), 0, 0, 912});
    fake::AddUdpRow(Fake().udpTable, {0, Port(500), 912});
    fake::AddUdpRow(Fake().udpTable, {Addr(127, 0, 0, 1), Port(53), 0});

    connections::SnapshotLines tcp;
    connections::SnapshotLines udp;
    ASSERT_TRUE(connections::TakeTcpSnapshot(fake::FakeIpHelper(), tcp));
    ASSERT_TRUE(connections::TakeUdpSnapshot(fake::FakeIpHelper(), udp));
    EXPECT_EQ(tcp, (connections::SnapshotLines{L"0.0.0.0|445|0.0.0.0|0|4|LISTEN",
                                               L"0.0.0.0|445|0.0.0.0|0|4|LISTEN",
                                               L"0.0.0.0|135|0.0.0.0|0|912|LISTEN"}));
    EXPECT_EQ(udp, (connections::SnapshotLines{L"0.0.0.0|500|912", L"127.0.0.1|53|0"}));
}

TEST(SnapshotTest, AnswersWhetherTheSynchronisationIsDue)
{
    connections::SnapshotLines lines;

    fake::Reset();
    EXPECT_TRUE(connections::TakeTcpSnapshot(fake::FakeIpHelper(), lines)) << "empty table";
    EXPECT_TRUE(lines.empty());

    fake::Reset();
    fake::AddTcpRow(Fake().tcpTable, {2, 0, Port(135), 0, 0, 912});
    Fake().tcpTable.secondAnswer = 122;
    EXPECT_TRUE(connections::TakeTcpSnapshot(fake::FakeIpHelper(), lines)) << "second call failed";
    EXPECT_TRUE(lines.empty());

    fake::Reset();
    Fake().tcpTable.firstAnswer = 0;
    EXPECT_FALSE(connections::TakeTcpSnapshot(fake::FakeIpHelper(), lines)) << "first call not 122";

    fake::Reset();
    EXPECT_FALSE(connections::TakeUdpSnapshot({}, lines)) << "GetExtendedUdpTable missing";
    EXPECT_TRUE(lines.empty());
}

} // namespace
} // namespace vq
