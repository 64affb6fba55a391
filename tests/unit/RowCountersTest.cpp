#include "connections/row_counters.h"

#include <gtest/gtest.h>

#include <random>

namespace vq::connections {
namespace {

// Appends a row of this protocol and state on its own local port.
void AppendWithState(ConnectionList& list, Protocol protocol, std::uint32_t state)
{
    EndpointKey endpoint;
    endpoint.protocol = protocol;
    endpoint.localPort = static_cast<std::uint32_t>(list.size() + 1);
    endpoint.processId = 1;
    list.AppendRow(endpoint, state, {});
}

TEST(RowCountersTest, CountsEstablishedAndListeningConnectionsOfBothFamilies)
{
    ConnectionList list([](const std::wstring& a, const std::wstring& b) { return a.compare(b); });
    EXPECT_EQ(StatusPanelTexts(CountRows(list)),
              (std::array<std::wstring, 3>{L"Connections: 0", L"Established: 0", L"Listening: 0"}));

    const std::pair<Protocol, std::uint32_t> rows[] = {
        {Protocol::Tcp, 2},  {Protocol::Tcp, 2},   {Protocol::Tcp, 5},  {Protocol::Tcp, 5},
        {Protocol::Tcp6, 5}, {Protocol::Tcp6, 2},  {Protocol::Tcp, 11}, {Protocol::Tcp, 8},
        {Protocol::Tcp, 3},  {Protocol::Tcp, 99},  {Protocol::Udp, 5},  {Protocol::Udp6, 2},
    };
    for (const auto& [protocol, state] : rows) {
        AppendWithState(list, protocol, state);
    }
    const auto counts = CountRows(list);
    EXPECT_EQ(counts.connections, 12u);
    EXPECT_EQ(counts.established, 3u);
    EXPECT_EQ(counts.listening, 3u) << "a UDP row is never listening, whatever it was given";
    EXPECT_EQ(StatusPanelTexts(counts),
              (std::array<std::wstring, 3>{L"Connections: 12", L"Established: 3", L"Listening: 3"}));
    EXPECT_EQ(StatusPanelTexts({123456, 7, 0})[0], L"Connections: 123456") << "no grouping";
}

TEST(RowCountersTest, TheFilterPanelShowsTheQuerysFaultOrTheHiddenRowsInThousands)
{
    const std::pair<std::size_t, const wchar_t*> cases[] = {
        {0, L""}, {7, L"Hidden: 7"}, {999, L"Hidden: 999"}, {1000, L"Hidden: 1,000"},
        {41870, L"Hidden: 41,870"}, {1234567, L"Hidden: 1,234,567"},
    };
    for (const auto& [hidden, text] : cases) {
        EXPECT_EQ(FilterPanelText({5, 0, 0, hidden}, L""), text);
    }
    EXPECT_EQ(FilterPanelText({0, 0, 0, 12}, L"Unknown filter key \"foo:\""), L"Unknown filter key \"foo:\"");
}

// The kept counts equal a count of the State texts of every row after any
// mix of additions, state changes and removals.
TEST(RowCountersTest, KeptCountsEqualARecountAfterAnyChanges)
{
    const auto recount = [](const ConnectionList& list) {
        RowCounts counts{list.size(), 0, 0};
        for (std::size_t i = 0; i < list.size(); ++i) {
            const std::wstring state = list.row(i).subItems[kState];
            counts.established += state == L"ESTABLISHED" ? 1 : 0;
            counts.listening += state == L"LISTEN" ? 1 : 0;
        }
        return counts;
    };
    const std::uint32_t states[] = {2, 5, 11, 8};
    const Protocol protocols[] = {Protocol::Tcp, Protocol::Tcp6, Protocol::Udp};
    std::mt19937 random(99);
    const auto pick = [&](std::size_t bound) { return std::uniform_int_distribution<std::size_t>(0, bound - 1)(random); };
    ConnectionList list(nullptr);
    for (int step = 0; step < 3000; ++step) {
        const std::size_t what = list.empty() ? 0 : pick(4);
        if (what <= 1) {
            AppendWithState(list, protocols[pick(std::size(protocols))], states[pick(std::size(states))]);
        } else if (what == 2) {
            list.SetTcpState(pick(list.size()), states[pick(std::size(states))]);
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
