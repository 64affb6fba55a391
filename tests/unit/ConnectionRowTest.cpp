#include "connections/connection_row.h"
#include "connections/row_painting.h"
#include "util/ascii_text.h"

#include <gtest/gtest.h>

namespace vq::connections {
namespace {

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

TEST(RowPaintingTest, ColoursEstablishedConnectionsOnly)
{
    const struct {
        Protocol protocol;
        std::uint32_t state;
        bool coloured;
    } cases[] = {
        {Protocol::Tcp, kTcpStateEstablished, true},   {Protocol::Tcp6, kTcpStateEstablished, true},
        {Protocol::Tcp, kTcpStateListen, false},       {Protocol::Tcp, 8, false},  // CLOSE-WAIT
        {Protocol::Udp, kTcpStateEstablished, false},  {Protocol::Udp6, kTcpStateEstablished, false},
    };
    for (const auto& c : cases) {
        EndpointKey endpoint;
        endpoint.protocol = c.protocol;
        EXPECT_EQ(RowBackground(endpoint, c.state),
                  c.coloured ? std::optional<RowColour>(RowColour{184, 233, 148}) : std::nullopt)
            << static_cast<int>(c.protocol) << " " << c.state;
    }
}

} // namespace
} // namespace vq::connections
