#include "connections/row_search.h"

#include <gtest/gtest.h>

namespace vq::connections {
namespace {

TEST(RowSearchTest, TypedTextFindsTheNextCaptionFromTheStartWrappingAround)
{
    ConnectionList list(nullptr);
    for (const wchar_t* caption : {L"chrome.exe", L"Chrome.exe", L"lsass.exe", L"svchost.exe", L"svchost.exe"}) {
        ConnectionRow row;
        row.caption = caption;
        list.AppendRow(row);
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

} // namespace
} // namespace vq::connections
