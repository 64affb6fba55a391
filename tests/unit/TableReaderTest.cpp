#include "connections/table_reader.h"
#include "util/error_report.h"
#include "fake_platform.h"
#include "table_fixtures.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace vq {
namespace {

using connections::ReadOutcome;
using fake::Addr;
using fake::Fake;
using fake::Port;

class TableReaderTest : public ::testing::Test {
protected:
    void SetUp() override { fake::Reset(); }
};

TEST_F(TableReaderTest, AsksForTheSizeThenReadsIntoTwiceThatTellingTheRealRoom)
{
    fake::AddTcpRow(Fake().tcpTable, {5, Addr(10, 0, 0, 5), Port(555), Addr(10, 0, 0, 9), Port(443), 912});
    const auto read = connections::ReadTcpTable(fake::FakeIpHelper());

    ASSERT_EQ(read.outcome, ReadOutcome::Read);
    ASSERT_EQ(read.table.size(), 1u);
    EXPECT_EQ(read.table[0].owningPid, 912u);
    const auto& calls = Fake().tcpTable.calls;
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_TRUE(calls[0].tableNull);
    EXPECT_EQ(calls[0].sizeIn, 0u);
    EXPECT_EQ(calls[0].order, 0);
    EXPECT_EQ(calls[0].family, 2u);
    EXPECT_EQ(calls[0].tableClass, 5);
    EXPECT_EQ(calls[0].reserved, 0u);
    EXPECT_FALSE(calls[1].tableNull);
    EXPECT_EQ(calls[1].sizeIn, 2u * 28u) << "the second call is told the doubled room";
    EXPECT_EQ(calls[1].order, 1);
    EXPECT_EQ(calls[1].family, 2u);
    EXPECT_EQ(calls[1].tableClass, 5);
}

TEST_F(TableReaderTest, UdpUsesItsOwnTableClass)
{
    fake::AddUdpRow(Fake().udpTable, {Addr(0, 0, 0, 0), Port(500), 912});
    const auto read = connections::ReadUdpTable(fake::FakeIpHelper());
    ASSERT_EQ(read.outcome, ReadOutcome::Read);
    ASSERT_EQ(read.table.size(), 1u);
    EXPECT_EQ(read.table[0].localPort, Port(500));
    ASSERT_EQ(Fake().udpTable.calls.size(), 2u);
    EXPECT_EQ(Fake().udpTable.calls[0].tableClass, 1);
    EXPECT_EQ(Fake().udpTable.calls[1].tableClass, 1);
}

TEST_F(TableReaderTest, Ipv6TablesUseTheSameTwoCallsWithTheirFamily)
{
    const fake::Groups6 loopback{0, 0, 0, 0, 0, 0, 0, 1};
    fake::AddTcp6Row(Fake().tcp6Table, fake::Tcp6Entry(5, loopback, 3, 5000, loopback, 4, 5001, 912));
    fake::AddUdp6Row(Fake().udp6Table, fake::Udp6Entry(loopback, 5, 53, 913));

    const auto tcp = connections::ReadTcp6Table(fake::FakeIpHelper());
    ASSERT_EQ(tcp.outcome, ReadOutcome::Read);
    ASSERT_EQ(tcp.table.size(), 1u);
    EXPECT_EQ(tcp.table[0].localScopeId, 3u);
    EXPECT_EQ(tcp.table[0].remoteScopeId, 4u);
    EXPECT_EQ(tcp.table[0].remotePort, Port(5001));
    EXPECT_EQ(tcp.table[0].owningPid, 912u);
    const auto udp = connections::ReadUdp6Table(fake::FakeIpHelper());
    ASSERT_EQ(udp.outcome, ReadOutcome::Read);
    ASSERT_EQ(udp.table.size(), 1u);
    EXPECT_EQ(udp.table[0].localScopeId, 5u);
    EXPECT_EQ(udp.table[0].owningPid, 913u);

    for (const auto* table : {&Fake().tcp6Table, &Fake().udp6Table}) {
        const int tableClass = table == &Fake().tcp6Table ? 5 : 1;
        const std::uint32_t rowLength = table == &Fake().tcp6Table ? 56 : 28;
        ASSERT_EQ(table->calls.size(), 2u);
        EXPECT_TRUE(table->calls[0].tableNull);
        EXPECT_EQ(table->calls[1].sizeIn, 2u * (4 + rowLength)) << "the second call is told the doubled room";
        for (const auto& call : table->calls) {
            EXPECT_EQ(call.family, 23u);
            EXPECT_EQ(call.tableClass, tableClass);
        }
    }
    EXPECT_TRUE(Fake().tcpTable.calls.empty());
    EXPECT_TRUE(Fake().udpTable.calls.empty());

    Fake().tcp6Table.growBeforeSecondCall = 1000;
    EXPECT_EQ(connections::ReadTcp6Table(fake::FakeIpHelper()).outcome, ReadOutcome::Failed);
}

TEST_F(TableReaderTest, OnlyAnInsufficientBufferAnswerToTheSizeQueryLeadsOn)
{
    for (std::uint32_t answer : {0u, 87u, 1u, 232u}) {
        fake::Reset();
        Fake().tcpTable.firstAnswer = answer;
        const auto read = connections::ReadTcpTable(fake::FakeIpHelper());
        EXPECT_EQ(read.outcome, ReadOutcome::Unavailable) << answer;
        EXPECT_EQ(Fake().tcpTable.calls.size(), 1u) << answer;
    }
}

TEST_F(TableReaderTest, AMissingEntryPointIsUnavailable)
{
    platform::IpHelperEntryPoints none;
    EXPECT_EQ(connections::ReadTcpTable(none).outcome, ReadOutcome::Unavailable);
    EXPECT_EQ(connections::ReadUdpTable(none).outcome, ReadOutcome::Unavailable);
}

TEST_F(TableReaderTest, AFailingSecondCallFailsTheRead)
{
    fake::AddTcpRow(Fake().tcpTable, {2, 0, Port(135), 0, 0, 912});
    Fake().tcpTable.secondAnswer = 87;
    const auto read = connections::ReadTcpTable(fake::FakeIpHelper());
    EXPECT_EQ(read.outcome, ReadOutcome::Failed);
    EXPECT_EQ(read.table.size(), 0u);
}

// A table of one TCP entry takes 28 bytes, so its read wants 14 words.
TEST_F(TableReaderTest, AReadReusesSpareRoomThatFitsAndIsNotFarTooLarge)
{
    struct Case {
        std::size_t spareWords;
        bool reused;
    };
    for (const Case c : {Case{14, true}, Case{56, true}, Case{13, false}, Case{57, false}}) {
        SCOPED_TRACE(c.spareWords);
        fake::Reset();
        fake::AddTcpRow(Fake().tcpTable, {2, 0, Port(135), 0, 0, 912});
        // Left over from a read that wrote it all: nothing of it may show.
        connections::TableRoom spare{connections::AllocateTableWords(c.spareWords), c.spareWords,
                                     c.spareWords * 4};
        std::fill_n(spare.words.get(), c.spareWords, 0xFFFFFFFFu);
        const std::uint32_t* const spareWords = spare.words.get();

        auto read = connections::ReadTcpTable(fake::FakeIpHelper(), &spare);

        ASSERT_EQ(read.outcome, ReadOutcome::Read);
        ASSERT_EQ(read.table.size(), 1u);
        EXPECT_EQ(read.table[0].owningPid, 912u);
        EXPECT_EQ(Fake().tcpTable.calls[1].sizeIn, (c.reused ? c.spareWords : 14u) * 4u);
        const connections::TableRoom room = read.table.TakeRoom();
        EXPECT_EQ(room.words.get() == spareWords, c.reused);
        EXPECT_EQ(std::count(room.words.get() + 7, room.words.get() + room.wordCount, 0u),
                  static_cast<std::ptrdiff_t>(room.wordCount - 7))
            << "past the 28 bytes written, the room is zero";
        EXPECT_EQ(spare.words.get() == spareWords, !c.reused) << "room not taken stays in spare";
        EXPECT_EQ(read.table.size(), 0u) << "a table whose room was taken is empty";
    }
}

TEST_F(TableReaderTest, AFailedReadLeavesTheRoomItTookInSpare)
{
    fake::AddTcpRow(Fake().tcpTable, {2, 0, Port(135), 0, 0, 912});
    Fake().tcpTable.secondAnswer = 87;
    connections::TableRoom spare{connections::AllocateTableWords(20), 20};
    const std::uint32_t* const spareWords = spare.words.get();
    EXPECT_EQ(connections::ReadTcpTable(fake::FakeIpHelper(), &spare).outcome, ReadOutcome::Failed);
    EXPECT_EQ(spare.words.get(), spareWords);
    EXPECT_EQ(spare.wordCount, 20u);
}

TEST_F(TableReaderTest, ATableThatGrewWithinTheSlackIsStillRead)
{
    for (int rows = 1; rows <= 3; ++rows) {
        fake::Reset();
        for (int i = 0; i < rows; ++i) {
            fake::AddTcpRow(Fake().tcpTable, {5, 1, Port(1000 + i), 2, Port(80), 7});
        }
        // Grows by less than the doubled room, but by more than the reported size alone.
        Fake().tcpTable.growBeforeSecondCall = 24;
        const auto read = connections::ReadTcpTable(fake::FakeIpHelper());
        EXPECT_EQ(read.outcome, ReadOutcome::Read) << rows;
        EXPECT_EQ(read.table.size(), static_cast<std::size_t>(rows));
    }
}

TEST_F(TableReaderTest, ATableThatOutgrewTheSlackFails)
{
    fake::AddTcpRow(Fake().tcpTable, {5, 1, Port(1000), 2, Port(80), 7});
    Fake().tcpTable.growBeforeSecondCall = 1000;
    EXPECT_EQ(connections::ReadTcpTable(fake::FakeIpHelper()).outcome, ReadOutcome::Failed);
}

TEST_F(TableReaderTest, AnEmptyTableYieldsNoRows)
{
    const auto read = connections::ReadTcpTable(fake::FakeIpHelper());
    EXPECT_EQ(read.outcome, ReadOutcome::Read);
    EXPECT_EQ(read.table.size(), 0u);
}

TEST_F(TableReaderTest, AnEntryCountBeyondWhatTheCallWroteYieldsOnlyTheWrittenRows)
{
    fake::AddTcpRow(Fake().tcpTable, {5, 1, Port(1000), 2, Port(80), 7});
    Fake().tcpTable.rowCount = 1000000;
    const auto read = connections::ReadTcpTable(fake::FakeIpHelper());
    ASSERT_EQ(read.outcome, ReadOutcome::Read);
    EXPECT_EQ(read.table.size(), 1u) << "the doubled buffer has room for two, the call wrote one";
    EXPECT_EQ(read.table[0].localPort, Port(1000));

    // Without a size back, the buffer bounds the rows.
    EXPECT_EQ((connections::TableBuffer<platform::TcpRowOwnerPid>({1000000, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12})
                   .size()),
              2u);
}

TEST_F(TableReaderTest, AnAbsurdSizeIsRefusedWithAMessageNamingTheTable)
{
    Fake().udpTable.firstSize = 0xFFFFFFF0u;
    try {
        connections::ReadUdpTable(fake::FakeIpHelper());
        FAIL() << "no failure";
    } catch (const util::AppError& error) {
        EXPECT_EQ(error.message(),
                  L"Could not read the UDP table: the system reported 4294967280 bytes, more than any table of "
                  L"connections takes");
    }
    EXPECT_EQ(Fake().udpTable.calls.size(), 1u) << "nothing was allocated or asked for again";
}

} // namespace
} // namespace vq
