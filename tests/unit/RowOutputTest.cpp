#include "console/row_output.h"

#include "list_rows.h"
#include "table_fixtures.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vq::console {
namespace {

using connections::ConnectionRow;
using fake::Addr;
using fake::Port;

ConnectionRow Tcp(std::wstring path = L"C:\\Tools\\web.exe")
{
    return fake::ShownRow(
        fake::TcpListRow({5, Addr(10, 0, 0, 5), Port(555), Addr(10, 0, 0, 9), Port(443), 912}, std::move(path)));
}

ConnectionRow Udp(std::wstring path = L"C:\\Windows\\dns \"cache\".exe")
{
    return fake::ShownRow(fake::UdpListRow({Addr(0, 0, 0, 0), Port(53), 4}, std::move(path)));
}

std::string Text(const std::vector<ConnectionRow>& rows)
{
    std::string out;
    AppendTextTable(out, rows);
    return out;
}

TEST(RowOutputTest, TheTextTableAlignsColumnsByCharactersAndEndsNoLineInBlanks)
{
    // A two-byte character counts once; an unread path leaves its column empty.
    const std::string out = Text({Tcp(L"C:\\T\u00e4st\\web.exe"), Udp(L"")});
    EXPECT_EQ(out,
              "Process  Protocol  State        Local Address  Local Port  Remote Address  Remote Port  Process Id  "
              "Process Path\r\n"
              "web.exe  TCP       ESTABLISHED  10.0.0.5       555         10.0.0.9        443          912         "
              "C:\\T\xc3\xa4st\\\r\n"
              "         UDP       -            0.0.0.0        53          -               -            4\r\n");
}

TEST(RowOutputTest, AnEmptyListingIsTheHeaderAlone)
{
    EXPECT_EQ(Text({}), "Process  Protocol  State  Local Address  Local Port  Remote Address  Remote Port  "
                        "Process Id  Process Path\r\n");
    std::string csv;
    AppendCsv(csv, {});
    EXPECT_EQ(csv, "Process,Protocol,State,Local Address,Local Port,Remote Address,Remote Port,Process Id,"
                   "Process Path\r\n");
    std::string json;
    AppendJsonArray(json, {});
    EXPECT_EQ(json, "[\r\n]\r\n");
}

TEST(RowOutputTest, CsvIsTheWindowsCsvWithoutAByteOrderMark)
{
    std::string out;
    AppendCsv(out, {Udp()});
    EXPECT_EQ(out.substr(out.find("\r\n") + 2), "\"dns \"\"cache\"\".exe\",UDP,-,0.0.0.0,53,-,-,4,C:\\Windows\\\r\n");
}

TEST(RowOutputTest, JsonHasNumbersForPortsAndIdsAndNullsWhereTheWindowShowsADash)
{
    std::string out;
    AppendJsonArray(out, {Tcp(), Udp()});
    EXPECT_EQ(out,
              "[\r\n"
              "{\"protocol\":\"TCP\",\"state\":\"ESTABLISHED\",\"localAddress\":\"10.0.0.5\",\"localPort\":555,"
              "\"remoteAddress\":\"10.0.0.9\",\"remotePort\":443,\"pid\":912,\"process\":\"web.exe\","
              "\"path\":\"C:\\\\Tools\\\\\"},\r\n"
              "{\"protocol\":\"UDP\",\"state\":null,\"localAddress\":\"0.0.0.0\",\"localPort\":53,"
              "\"remoteAddress\":null,\"remotePort\":null,\"pid\":4,\"process\":\"dns \\\"cache\\\".exe\","
              "\"path\":\"C:\\\\Windows\\\\\"}\r\n"
              "]\r\n");
}

TEST(RowOutputTest, AnEventIsOneLineWithItsKindTimeAndTheRow)
{
    std::string out;
    AppendJsonEvent(out, ChangeKind::State, {2024, 3, 9, 7, 5, 4, 21}, Tcp());
    EXPECT_EQ(out, "{\"event\":\"state\",\"time\":\"2024-03-09T07:05:04.021Z\",\"protocol\":\"TCP\","
                   "\"state\":\"ESTABLISHED\",\"localAddress\":\"10.0.0.5\",\"localPort\":555,"
                   "\"remoteAddress\":\"10.0.0.9\",\"remotePort\":443,\"pid\":912,\"process\":\"web.exe\","
                   "\"path\":\"C:\\\\Tools\\\\\"}\r\n");
    out.clear();
    AppendJsonEvent(out, ChangeKind::Close, {2024, 12, 31, 23, 59, 59, 999}, Udp());
    EXPECT_EQ(out.substr(0, 52), "{\"event\":\"close\",\"time\":\"2024-12-31T23:59:59.999Z\",\"");
}

} // namespace
} // namespace vq::console
