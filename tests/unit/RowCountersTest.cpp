#include "connections/row_counters.h"

#include <gtest/gtest.h>

#include <random>

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

// The kept counts equal a count of every row after any mix of additions,
// state changes and removals.
TEST(RowCountersTest, KeptCountsEqualARecountAfterAnyChanges)
{
    const auto recount = [](const ConnectionList& list) {
        RowCounts counts{list.size(), 0, 0};
        for (std::size_t i = 0; i < list.size(); ++i) {
            const std::wstring& state = list.row(i).subItems[kState];
            counts.established += state == L"ESTABLISHED" ? 1 : 0;
            counts.listening += state == L"LISTEN" ? 1 : 0;
        }
        return counts;
    };
    const std::wstring states[] = {L"LISTEN", L"ESTABLISHED", L"TIME-WAIT", L"-", L"CLOSE-WAIT"};
    std::mt19937 random(99);
    const auto pick = [&](std::size_t bound) { return std::uniform_int_distribution<std::size_t>(0, bound - 1)(random); };
    ConnectionList list(nullptr);
    for (int step = 0; step < 3000; ++step) {
        const std::size_t what = list.empty() ? 0 : pick(4);
        if (what <= 1) {
            ConnectionRow row;
            row.subItems[kState] = states[pick(std::size(states))];
            list.AppendRow(row);
        } else if (what == 2) {
            list.SetState(pick(list.size()), states[pick(std::size(states))]);
        } else {
            std::vector<bool> remove(list.size());
            for (std::size_t i = 0; i < remove.size(); ++i) {
                remove[i] = pick(8) == 0;
            }
            list.RemoveRows(remove);
        }
        const auto kept = CountRows(list);
        const auto counted = recount(list);
        ASSERT_EQ(kept.connections, counted.connections) << "step " << step;
        ASSERT_EQ(kept.established, counted.established) << "step " << step;
        ASSERT_EQ(kept.listening, counted.listening) << "step " << step;
    }
}

} // namespace
} // namespace vq::connections
