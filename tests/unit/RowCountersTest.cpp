#include "connections/row_counters.h"

#include <gtest/gtest.h>

namespace vq::connections {
namespace {

TEST(RowCountersTest, CountsRowsByTheirExactStateText)
{
    ConnectionList list([](const std::wstring& a, const std::wstring& b) { return a.compare(b); });
    EXPECT_EQ(StatusPanelTexts(CountRows(list)),
              (std::array<std::wstring, 3>{L"Connections: 0", L"Established: 0", L"Listening: 0"}));

    const wchar_t* states[] = {L"LISTEN",    L"LISTEN",     L"ESTABLISHED", L"ESTABLISHED", L"ESTABLISHED",
                               L"TIME-WAIT", L"CLOSE-WAIT", L"SYN-SENT",    L"-",           L"listen",
                               L"LISTEN ",   L"established"};
    int port = 0;
    for (const wchar_t* state : states) {
        ConnectionRow row;
        const bool udp = std::wstring(state) == L"-";
        row.subItems = {udp ? L"UDP" : L"TCP", state, L"0.0.0.0", std::to_wstring(++port), L"0.0.0.0", L"0",
                        L"1", L""};
        list.AppendRow(row);
    }
    const auto counts = CountRows(list);
    EXPECT_EQ(counts.connections, 12u);
    EXPECT_EQ(counts.established, 3u);
    EXPECT_EQ(counts.listening, 2u);
    EXPECT_EQ(StatusPanelTexts(counts),
              (std::array<std::wstring, 3>{L"Connections: 12", L"Established: 3", L"Listening: 2"}));
    EXPECT_EQ(StatusPanelTexts({123456, 7, 0})[0], L"Connections: 123456") << "no grouping";
}

} // namespace
} // namespace vq::connections
