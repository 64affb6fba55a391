#include "connections/connection_row.h"
#include "connections/row_painting.h"
#include "util/ascii_text.h"

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
    EXPECT_EQ(util::TrimControlAndBlank(L"SYN-SENT "), L"SYN-SENT");
    EXPECT_EQ(util::TrimControlAndBlank(L"\t 912\r\n"), L"912");
    EXPECT_EQ(util::TrimControlAndBlank(L"delete TCB"), L"delete TCB");
    EXPECT_EQ(util::TrimControlAndBlank(L" \x01 "), L"");
}

TEST(RowPaintingTest, ColoursEstablishedRows)
{
    EXPECT_EQ(RowBackground(Row(L"TCP", L"ESTABLISHED", L"1", L"2", L"3", L"4", L"5")), (RowColour{184, 233, 148}));
    EXPECT_EQ(RowBackground(Row(L"TCP", L"established", L"1", L"2", L"3", L"4", L"5")), std::nullopt);
    EXPECT_EQ(RowBackground(Row(L"TCP", L"CLOSE-WAIT", L"1", L"2", L"3", L"4", L"5")), std::nullopt);
}

} // namespace
} // namespace vq::connections
