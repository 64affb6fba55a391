#include "connections/row_search.h"
#include "list_rows.h"
#include "table_fixtures.h"

#include <gtest/gtest.h>

#include <array>
#include <cwchar>

namespace vq::connections {
namespace {

TEST(RowSearchTest, TypedTextFindsTheNextCaptionFromTheStartWrappingAround)
{
    ConnectionList list(nullptr);
    std::uint32_t port = 0;
    for (const wchar_t* caption : {L"chrome.exe", L"Chrome.exe", L"lsass.exe", L"svchost.exe", L"svchost.exe"}) {
        fake::Append(list, fake::TcpListRow({2, 0, fake::Port(++port), 0, 0, 7}, caption));
    }
    // Plain order: Chrome.exe chrome.exe lsass.exe svchost.exe svchost.exe
    struct Case {
        const wchar_t* typed;
        std::size_t start;
        std::optional<std::size_t> found;
    };
    const Case cases[] = {
        {L"sv", 0, 3},     {L"SV", 4, 4},       {L"sv", 5, 3} /* past the end: wraps */,
        {L"ch", 2, 0},     {L"chrome", 1, 1},   {L"l", 3, 2},
        {L"x", 0, std::nullopt},                {L"", 0, std::nullopt},
        {L"svchost.exe2", 0, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << std::string(c.typed, c.typed + std::wcslen(c.typed)) << " from " << c.start);
        EXPECT_EQ(FindCaptionPrefix(list, c.typed, c.start), c.found);
    }
    EXPECT_EQ(FindCaptionPrefix(ConnectionList(nullptr), L"a", 0), std::nullopt);
}

TEST(RowSearchTest, FindLooksInEveryCellFromTheRowAfterTheFocusedOneAndWraps)
{
    ConnectionList list(nullptr);
    const std::array<std::wstring, kSubItemCount> cells[] = {
        {L"TCP", L"LISTEN", L"0.0.0.0", L"445", L"0.0.0.0", L"0", L"4", L""},
        {L"TCP", L"ESTABLISHED", L"10.0.0.5", L"49152", L"192.0.2.7", L"445", L"900", L"C:\\Apps\\"},
        {L"UDP", L"-", L"0.0.0.0", L"53", L"-", L"-", L"901", L"C:\\Windows\\"},
        {L"TCPv6", L"LISTEN", L"::", L"8445", L"::", L"0", L"902", L"C:\\Apps\\"},
    };
    const wchar_t* captions[] = {L"a.exe", L"b.exe", L"c.exe", L"Mail.exe"};
    for (std::size_t i = 0; i < std::size(cells); ++i) {
        ConnectionRow row;
        row.caption = captions[i];
        row.subItems = cells[i];
        fake::AppendTexts(list, row);
    }
    // Plain order: Mail.exe (3) a.exe (0) b.exe (1) c.exe (2)
    struct Case {
        const wchar_t* text;
        bool matchCase;
        bool down;
        std::optional<std::size_t> from;
        std::optional<std::size_t> found;
    };
    const Case cases[] = {
        {L"445", false, true, std::nullopt, 0},  // a cell that holds the text, Mail.exe's 8445
        {L"445", false, true, 0, 1},
        {L"445", false, true, 1, 2},             // a remote port
        {L"445", false, true, 2, 0},             // wraps past the end
        {L"445", false, false, 0, 2},            // up wraps past the start
        {L"445", false, false, std::nullopt, 2}, // up without focus starts at the last row
        {L"mail", false, true, 1, 0},            // the caption counts, case folded
        {L"mail", true, true, 1, std::nullopt},  // not with match case
        {L"Mail", true, true, 0, 0},             // the focused row itself comes last
        {L"apps\\", false, true, 1, 2},          // the folder
        {L"tcpv6", false, true, std::nullopt, 0},
        {L"udp", false, true, 5, 3},             // a focus past the end counts as none
        {L"", false, true, std::nullopt, std::nullopt},
        {L"nowhere", false, true, 1, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << std::string(c.text, c.text + std::wcslen(c.text)) << " case " << c.matchCase
                                        << " down " << c.down << " from " << c.from.value_or(99));
        EXPECT_EQ(FindNextRow(list, {c.text, c.matchCase, c.down}, c.from), c.found);
    }
    EXPECT_EQ(FindNextRow(ConnectionList(nullptr), {L"a"}, std::nullopt), std::nullopt);
}

} // namespace
} // namespace vq::connections
