#include "console/row_changes.h"

#include "connections/tcp_state_names.h"

#include <gtest/gtest.h>

#include <vector>

namespace vq::console {
namespace {

using connections::ConnectionRow;

ConnectionRow Row(std::uint32_t localPort, std::uint32_t state = connections::kTcpStateEstablished,
                  std::uint32_t pid = 10)
{
    ConnectionRow row;
    row.endpoint.protocol = connections::Protocol::Tcp;
    row.endpoint.localPort = localPort;
    row.endpoint.processId = pid;
    row.tcpState = state;
    return row;
}

struct Change {
    ChangeKind kind;
    std::size_t row;
    friend bool operator==(const Change&, const Change&) = default;
};

std::vector<Change> Changes(const std::vector<ConnectionRow>& before, const std::vector<ConnectionRow>& after)
{
    std::vector<Change> changes;
    for (const RowChange& change : ChangesBetween(before, after)) {
        changes.push_back({change.kind, change.row});
    }
    return changes;
}

void PrintTo(const Change& change, std::ostream* out)
{
    *out << static_cast<int>(change.kind) << "@" << change.row;
}

constexpr std::uint32_t kListen = connections::kTcpStateListen;

TEST(RowChangesTest, OpensClosesAndStateChangesInOrderClosesFirst)
{
    const std::vector<ConnectionRow> before = {Row(1), Row(2, kListen), Row(3), Row(4)};
    const std::vector<ConnectionRow> after = {Row(5), Row(2), Row(4), Row(6)};
    EXPECT_EQ(Changes(before, after), (std::vector<Change>{{ChangeKind::Close, 0},
                                                           {ChangeKind::Close, 2},
                                                           {ChangeKind::Open, 0},
                                                           {ChangeKind::State, 1},
                                                           {ChangeKind::Open, 3}}));
}

TEST(RowChangesTest, NothingChangedAndEmptyReadingsGiveWhatTheyMust)
{
    const std::vector<ConnectionRow> rows = {Row(1), Row(2, kListen)};
    EXPECT_TRUE(Changes(rows, rows).empty());
    EXPECT_EQ(Changes({}, rows), (std::vector<Change>{{ChangeKind::Open, 0}, {ChangeKind::Open, 1}}));
    EXPECT_EQ(Changes(rows, {}), (std::vector<Change>{{ChangeKind::Close, 0}, {ChangeKind::Close, 1}}));
}

TEST(RowChangesTest, AnotherProcessOnTheSameEndpointIsANewRow)
{
    EXPECT_EQ(Changes({Row(1, kListen, 10)}, {Row(1, kListen, 11)}),
              (std::vector<Change>{{ChangeKind::Close, 0}, {ChangeKind::Open, 0}}));
}

TEST(RowChangesTest, DuplicatesArePairedInOrderAndTheSpareOnesOpenOrClose)
{
    EXPECT_EQ(Changes({Row(1)}, {Row(1), Row(1)}), (std::vector<Change>{{ChangeKind::Open, 1}}));
    EXPECT_EQ(Changes({Row(1), Row(1)}, {Row(1)}), (std::vector<Change>{{ChangeKind::Close, 1}}));
    // The first copy pairs with the first: only the second changed state.
    EXPECT_EQ(Changes({Row(1), Row(1, kListen)}, {Row(1), Row(1)}), (std::vector<Change>{{ChangeKind::State, 1}}));
}

} // namespace
} // namespace vq::console
