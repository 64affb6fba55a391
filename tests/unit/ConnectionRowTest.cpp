#include "connections/connection_row.h"
#include "connections/row_painting.h"

#include <gtest/gtest.h>

namespace vq::connections {
namespace {

ConnectionRow Row(const wchar_t* protocol, const wchar_t* state, const wchar_t* localAddress,
                  const wchar_t* localPort, const wchar_t* remoteAddress, const wchar_t* remotePort,
                  const wchar_t* processId, const wchar_t* caption = L"")
{
    ConnectionRow row;
    row.caption = caption;
    row.subItems = {protocol, state, localAddress, localPort, remoteAddress, remotePort, processId, L""};
    return row;
}

TEST(ConnectionRowTest, RowKeyJoinsTheIdentityOfItsProtocol)
{
    EXPECT_EQ(RowKey(Row(L"TCP", L"ESTABLISHED", L"10.0.0.5", L"555", L"10.0.0.9", L"443", L"912")),
              L"10.0.0.5|555|10.0.0.9|443|912");
    EXPECT_EQ(RowKey(Row(L"UDP", L"-", L"0.0.0.0", L"500", L"-", L"-", L"912")), L"0.0.0.0|500|912");
}

TEST(ConnectionRowTest, IdentityDependsOnProtocolAndIdentityFieldsOnly)
{
    const auto tcp = Row(L"TCP", L"ESTABLISHED", L"10.0.0.5", L"555", L"10.0.0.9", L"443", L"912", L"a.exe");
    auto otherState = tcp;
    otherState.subItems[kState] = L"CLOSE-WAIT";
    otherState.caption = L"b.exe";
    otherState.subItems[kProcessFolder] = L"C:\\";
    ASSERT_TRUE(RowIdentity(tcp));
    EXPECT_EQ(*RowIdentity(tcp), *RowIdentity(otherState));
    EXPECT_EQ(IdentityHash(*RowIdentity(tcp)), IdentityHash(*RowIdentity(otherState)));
    EXPECT_EQ(*RowIdentity(tcp), TcpIdentity(L"10.0.0.5", L"555", L"10.0.0.9", L"443", L"912"));

    auto otherPid = tcp;
    otherPid.subItems[kProcessId] = L"9120";
    EXPECT_FALSE(*RowIdentity(tcp) == *RowIdentity(otherPid));

    const auto udp = Row(L"UDP", L"-", L"0.0.0.0", L"500", L"-", L"-", L"912");
    EXPECT_EQ(*RowIdentity(udp), UdpIdentity(L"0.0.0.0", L"500", L"912"));
    EXPECT_FALSE(UdpIdentity(L"0.0.0.0", L"500", L"912") ==
                 TcpIdentity(L"0.0.0.0", L"500", L"912", L"", L""));
    EXPECT_FALSE(RowIdentity(Row(L"tcp", L"", L"1", L"2", L"3", L"4", L"5"))) << "protocol compared exactly";
    // Fields that hold the separator cannot pose as other fields.
    EXPECT_FALSE(UdpIdentity(L"a|b", L"c", L"d") == UdpIdentity(L"a", L"b|c", L"d"));
    EXPECT_NE(IdentityHash(UdpIdentity(L"a|b", L"c", L"d")), IdentityHash(UdpIdentity(L"a", L"b|c", L"d")));
}

struct PathCase {
    const wchar_t* path;
    const wchar_t* fileName;
    const wchar_t* folder;
};

TEST(ConnectionRowTest, SplitsProcessPathsAtTheLastBackslashOrColon)
{
    const PathCase cases[] = {
        {L"C:\\Windows\\System32\\svchost.exe", L"svchost.exe", L"C:\\Windows\\System32\\"},
        {L"System", L"System", L""},
        {L"", L"", L""},
        {L"\\", L"", L"\\"},  // a process whose path could not be read
        {L"C:app.exe", L"app.exe", L"C:"},
        {L"\\\\server\\share:stream\\x.exe", L"x.exe", L"\\\\server\\share:stream\\"},
        {L"C:\\dir\\file:stream", L"stream", L"C:\\dir\\file:"},
    };
    for (const auto& c : cases) {
        const auto parts = SplitProcessPath(c.path);
        EXPECT_EQ(parts.fileName, c.fileName) << c.path;
        EXPECT_EQ(parts.folder, c.folder) << c.path;
    }
}

TEST(ConnectionRowTest, TrimsBlanksAndControlCharactersFromBothEnds)
{
    EXPECT_EQ(TrimControlAndBlank(L"SYN-SENT "), L"SYN-SENT");
    EXPECT_EQ(TrimControlAndBlank(L"\t 912\r\n"), L"912");
    EXPECT_EQ(TrimControlAndBlank(L"delete TCB"), L"delete TCB");
    EXPECT_EQ(TrimControlAndBlank(L" \x01 "), L"");
}

TEST(RowPaintingTest, NamesProcessZeroOnceAndColoursEstablishedRows)
{
    EXPECT_TRUE(NeedsIdleProcessName(Row(L"TCP", L"LISTEN", L"0.0.0.0", L"1", L"0.0.0.0", L"0", L"0")));
    EXPECT_TRUE(NeedsIdleProcessName(Row(L"UDP", L"-", L"0.0.0.0", L"1", L"-", L"-", L"0", L"other")));
    EXPECT_FALSE(NeedsIdleProcessName(
        Row(L"TCP", L"LISTEN", L"0.0.0.0", L"1", L"0.0.0.0", L"0", L"0", L"System Idle Process")));
    EXPECT_FALSE(NeedsIdleProcessName(Row(L"TCP", L"LISTEN", L"0.0.0.0", L"1", L"0.0.0.0", L"0", L"4")));
    EXPECT_FALSE(NeedsIdleProcessName(Row(L"TCP", L"LISTEN", L"0.0.0.0", L"1", L"0.0.0.0", L"0", L"00")));

    EXPECT_TRUE(IsEstablishedRow(Row(L"TCP", L"ESTABLISHED", L"1", L"2", L"3", L"4", L"5")));
    EXPECT_FALSE(IsEstablishedRow(Row(L"TCP", L"established", L"1", L"2", L"3", L"4", L"5")));
    EXPECT_FALSE(IsEstablishedRow(Row(L"TCP", L"CLOSE-WAIT", L"1", L"2", L"3", L"4", L"5")));
    EXPECT_EQ(kEstablishedBackground.red, 184);
    EXPECT_EQ(kEstablishedBackground.green, 233);
    EXPECT_EQ(kEstablishedBackground.blue, 148);
}

} // namespace
} // namespace vq::connections
