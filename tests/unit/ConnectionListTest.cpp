#include "connections/connection_list.h"
#include "failing_allocation.h"
#include "list_rows.h"
#include "table_fixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cwctype>
#include <new>
#include <random>
#include <set>

namespace vq::connections {
namespace {

int PlainCompare(const std::wstring& a, const std::wstring& b)
{
    return a.compare(b);
}

using fake::Addr;
using fake::Append;
using fake::ListRow;
using fake::Port;
using fake::TcpListRow;
using fake::UdpListRow;

constexpr platform::TcpRowOwnerPid kEntry{5, Addr(10, 0, 0, 1), Port(1000), Addr(10, 0, 0, 2), Port(80), 0};

// Process ids from here on name the rows of Named; 0 would be the idle process.
constexpr std::uint32_t kFirstNamedPid = 100;

// A TCP row whose process id names it, so that tests can follow it.
ListRow Named(const std::wstring& caption, int id)
{
    auto entry = kEntry;
    entry.owningPid = kFirstNamedPid + static_cast<std::uint32_t>(id);
    return TcpListRow(entry, L"C:\\" + caption);
}

void Add(ConnectionList& list, const std::wstring& caption, int id)
{
    Append(list, Named(caption, id));
}

std::vector<std::wstring> Captions(const ConnectionList& list)
{
    std::vector<std::wstring> captions;
    for (std::size_t i = 0; i < list.size(); ++i) {
        captions.push_back(list.row(i).caption);
    }
    return captions;
}

std::wstring IdAt(const ConnectionList& list, std::size_t index)
{
    return std::to_wstring(list.EndpointOf(index).processId - kFirstNamedPid);
}

bool IsSortedByCaption(const ConnectionList& list)
{
    const auto captions = Captions(list);
    return std::is_sorted(captions.begin(), captions.end());
}

using Captions_ = std::vector<std::wstring>;

TEST(ConnectionListTest, SortsOnEveryNewCaptionAndLeavesEmptyCaptionsAtTheEndUntilThen)
{
    ConnectionList list(PlainCompare);
    Add(list, L"svchost.exe", 1);
    Add(list, L"lsass.exe", 2);
    EXPECT_EQ(Captions(list), (Captions_{L"lsass.exe", L"svchost.exe"}));

    Add(list, L"", 3);
    Add(list, L"", 4);
    EXPECT_EQ(Captions(list), (Captions_{L"lsass.exe", L"svchost.exe", L"", L""})) << "no sort yet";

    Add(list, L"app.exe", 5);
    EXPECT_EQ(Captions(list), (Captions_{L"", L"", L"app.exe", L"lsass.exe", L"svchost.exe"}))
        << "the next sort moves empty captions to the top";

}

// What the list shows and answers: each row in order with its texts, whether
// its endpoint finds it and whether it is selected; then the counts, the
// focus and the version.
std::vector<std::wstring> StateOf(const ConnectionList& list)
{
    std::vector<std::wstring> state;
    for (std::size_t i = 0; i < list.size(); ++i) {
        const ConnectionRow& row = list.row(i);
        std::wstring line = row.caption;
        for (const auto& subItem : row.subItems) {
            line += L"|" + subItem;
        }
        bool found = false;
        list.VisitRowsWithEndpoint(row.endpoint, [&](std::size_t at) { found = found || at == i; });
        state.push_back(line + (found ? L" found" : L" lost") + (list.IsSelected(i) ? L" selected" : L""));
    }
    const RowCounts counts = list.Counts();
    state.push_back(L"counts " + std::to_wstring(counts.connections) + L" " + std::to_wstring(counts.established) +
                    L" " + std::to_wstring(counts.listening) + L" focus " +
                    std::to_wstring(list.Focused().value_or(SIZE_MAX)) + L" version " +
                    std::to_wstring(list.version()));
    return state;
}

// Each allocation of an append is made to fail in turn, over appends that
// take new ids and freed ones, bring new captions and known ones, repeat an
// endpoint and grow every array: a failed append leaves the list as it was,
// and the appends after it work.
TEST(ConnectionListTest, AnAppendThatFailsHalfWayLeavesTheListAsItWas)
{
    ConnectionList list(PlainCompare);
    std::size_t failures = 0;
    for (std::uint32_t n = 0; n < 48; ++n) {
        if (n == 24) {
            std::vector<bool> remove(list.size());
            for (std::size_t i = 0; i < remove.size(); i += 3) {
                remove[i] = true;
            }
            list.RemoveRows(remove);
            list.SetSelected(1, true);
            list.SetFocused(2);
        }
        auto entry = kEntry;
        const std::uint32_t like = n % 7 == 6 ? n - 1 : n;  // the same endpoint as the row before
        entry.state = like % 2 == 0 ? 5 : 2;
        entry.localPort = Port(1000 + like);
        entry.owningPid = like;
        const std::wstring caption = n % 5 == 0 ? L"new" + std::to_wstring(n) + L".exe"
                                                : L"app" + std::to_wstring(n % 3) + L".exe";
        const ListRow row = TcpListRow(entry, L"C:\\" + caption);

        for (std::size_t succeeding = 0;; ++succeeding) {
            const auto before = StateOf(list);
            bool threw = false;
            {
                const fake::FailingAllocation failing(succeeding);
                try {
                    Append(list, row);
                } catch (const std::bad_alloc&) {
                    threw = true;
                }
            }
            if (!threw) {
                break;
            }
            ++failures;
            ASSERT_EQ(StateOf(list), before) << "row " << n << ", allocation " << succeeding + 1 << " failed";
        }
    }
    EXPECT_GT(failures, 48u);
    const auto state = StateOf(list);
    EXPECT_EQ(std::count_if(state.begin(), state.end(),
                            [](const std::wstring& line) { return line.ends_with(L" lost"); }),
              0);
    EXPECT_EQ(list.size(), 40u);
    EXPECT_TRUE(IsSortedByCaption(list));
    std::size_t established = 0;
    for (std::size_t i = 0; i < list.size(); ++i) {
        established += list.row(i).subItems[kState] == L"ESTABLISHED" ? 1 : 0;
    }
    EXPECT_EQ(list.Counts().established, established);
    EXPECT_EQ(list.Counts().listening, list.size() - established);
}

TEST(ConnectionListTest, EqualCaptionsKeepOneOrderByEndpointWhateverTheOrderOfArrival)
{
    const auto row = [](const wchar_t* caption, std::uint32_t state, std::uint32_t localPort, std::uint32_t pid) {
        auto entry = kEntry;
        entry.state = state;
        entry.localPort = Port(localPort);
        entry.owningPid = pid;
        return TcpListRow(entry, caption);
    };
    const auto udp = [](std::uint32_t localPort) { return UdpListRow({0, Port(localPort), 9}, L"a"); };
    const auto ids = [](const ConnectionList& list) {
        std::vector<std::wstring> texts;
        for (std::size_t i = 0; i < list.size(); ++i) {
            texts.push_back(list.row(i).caption + L":" + list.row(i).subItems[kProtocol] + L":" +
                            list.row(i).subItems[kLocalPort] + L":" + list.row(i).subItems[kProcessId]);
        }
        return texts;
    };
    ConnectionList forward(PlainCompare);
    ConnectionList backward(PlainCompare);
    const std::vector<ListRow> rows = {row(L"a", 5, 445, 7), row(L"a", 2, 80, 7), udp(53),
                                             row(L"a", 5, 80, 3), row(L"b", 5, 1, 1), row(L"a", 5, 9000, 7)};
    for (const auto& r : rows) {
        Append(forward, r);
    }
    for (auto r = rows.rbegin(); r != rows.rend(); ++r) {
        Append(backward, *r);
    }
    const std::vector<std::wstring> expected = {L"a:TCP:80:3", L"a:TCP:80:7", L"a:TCP:445:7",
                                                L"a:TCP:9000:7", L"a:UDP:53:9", L"b:TCP:1:1"};
    EXPECT_EQ(ids(forward), expected);
    EXPECT_EQ(ids(backward), expected);
}

// Captions are ranked once with the comparison, and the rows end in the order
// a sort with that comparison gives (here one that ignores case, unlike a
// plain text order).
TEST(ConnectionListTest, RankedCaptionsSortLikeTheComparisonAndAskItOncePerNewCaption)
{
    std::size_t comparisons = 0;
    const auto ignoreCase = [&](const std::wstring& a, const std::wstring& b) {
        ++comparisons;
        std::wstring la = a;
        std::wstring lb = b;
        for (auto* text : {&la, &lb}) {
            for (auto& c : *text) {
                c = static_cast<wchar_t>(std::towlower(c));
            }
        }
        return la.compare(lb);
    };
    const std::wstring captions[] = {L"svchost.exe", L"Chrome.exe", L"lsass.exe", L"chrome2.exe", L"System",
                                     L"Zed.exe",     L"apache.exe", L"Lsass2.exe"};
    ConnectionList list(ignoreCase);
    std::vector<std::wstring> expected;
    int id = 0;
    for (int round = 0; round < 50; ++round) {
        for (const auto& caption : captions) {
            Add(list, caption, id++);
            expected.push_back(caption);
        }
    }
    std::size_t counted = comparisons;
    std::stable_sort(expected.begin(), expected.end(),
                     [&](const std::wstring& a, const std::wstring& b) { return ignoreCase(a, b) < 0; });
    EXPECT_EQ(Captions(list), expected);
    EXPECT_LT(counted, std::size(captions) * 4) << "a few comparisons per distinct caption, none per row";

    comparisons = 0;
    list.RemoveRows(std::vector<bool>(list.size(), true));
    Add(list, L"Chrome.exe", 1);
    EXPECT_EQ(comparisons, 0u) << "a caption that went with its last row is ranked afresh, against nothing";
}

TEST(ConnectionListTest, SelectionAndFocusFollowTheirRowsThroughSortsAndRemovals)
{
    ConnectionList list(PlainCompare);
    Add(list, L"m", 1);
    Add(list, L"t", 2);
    list.SetSelected(0, true);  // m
    list.SetFocused(1);         // t

    Add(list, L"c", 3);  // sorts: c m t
    EXPECT_EQ(list.SelectedIndices(), (std::vector<std::size_t>{1}));
    EXPECT_EQ(list.Focused(), std::optional<std::size_t>(2));

    list.SetAnchor(0);               // c
    Add(list, L"a", 4);  // a c m t
    EXPECT_EQ(IdAt(list, *list.Focused()), L"2");
    EXPECT_EQ(IdAt(list, *list.FirstSelected()), L"1");
    EXPECT_EQ(list.Anchor(), std::optional<std::size_t>(1));

    list.RemoveRows({false, false, true, false});  // m goes: a c t
    EXPECT_EQ(list.Focused(), std::optional<std::size_t>(2));
    EXPECT_EQ(list.FirstSelected(), std::nullopt);
    EXPECT_EQ(list.Anchor(), std::optional<std::size_t>(1));
    list.RemoveRows({false, true});  // the anchor's row goes
    EXPECT_EQ(list.Anchor(), std::nullopt);
}

struct RemovalCase {
    const char* name;
    std::vector<bool> remove;       // over rows a b c d
    std::optional<std::size_t> focusBefore;
    std::vector<std::size_t> selectedBefore;
    std::optional<std::size_t> focusAfter;
    std::vector<std::size_t> selectedAfter;
};

TEST(ConnectionListTest, RemovalKeepsOrderSelectionAndMovesTheFocusToTheNextRow)
{
    const RemovalCase cases[] = {
        {"Nothing", {false, false, false, false}, 2, {1, 3}, 2, {1, 3}},
        {"FocusedRowGoesNextTakesOver", {false, true, true, false}, 1, {0, 2, 3}, 1, {0, 1}},
        {"FocusedLastRowGoesPreviousTakesOver", {false, false, true, true}, 3, {3}, 1, {}},
        {"EverythingGoes", {true, true, true, true}, 0, {0, 1, 2, 3}, std::nullopt, {}},
        {"ShortMaskKeepsTheRest", {true}, std::nullopt, {3}, std::nullopt, {2}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ConnectionList list(PlainCompare);
        for (int i = 0; i < 4; ++i) {
            Add(list, std::wstring(1, static_cast<wchar_t>(L'a' + i)), i);
        }
        list.SetFocused(c.focusBefore);
        for (const auto index : c.selectedBefore) {
            list.SetSelected(index, true);
        }
        list.RemoveRows(c.remove);
        EXPECT_EQ(list.Focused(), c.focusAfter);
        EXPECT_EQ(list.SelectedIndices(), c.selectedAfter);
        EXPECT_EQ(list.SelectedCount(), c.selectedAfter.size());
        const auto kept = static_cast<std::size_t>(std::count(c.remove.begin(), c.remove.end(), false)) +
                          (4 - c.remove.size());
        EXPECT_EQ(list.size(), kept);
        EXPECT_TRUE(IsSortedByCaption(list));
    }
}

TEST(ConnectionListTest, SelectionCallsIgnoreIndicesOutsideTheList)
{
    ConnectionList list(PlainCompare);
    for (int i = 0; i < 3; ++i) {
        Add(list, L"x", i);
    }
    list.SetSelected(7, true);
    list.SetFocused(3);
    EXPECT_FALSE(list.AnySelected());
    EXPECT_FALSE(list.Focused());
    EXPECT_FALSE(list.IsSelected(7));

    list.SetSelectedRange(1, 100, true);
    EXPECT_EQ(list.SelectedIndices(), (std::vector<std::size_t>{1, 2}));
    const auto version = list.version();
    list.SetSelectedRange(1, 2, true);
    EXPECT_EQ(list.version(), version) << "no change, no redraw";
    list.SetAllSelected(false);
    EXPECT_EQ(list.FirstSelected(), std::nullopt);
    EXPECT_GT(list.version(), version);
    EXPECT_THROW(list.row(3), std::out_of_range);
}

TEST(ConnectionListTest, EndpointsAreFoundPerProtocolAndDuplicatesCount)
{
    ConnectionList list(PlainCompare);
    auto tcp = kEntry;
    tcp.owningPid = 7;
    EXPECT_FALSE(list.HasEndpoint(TcpEndpoint(tcp)));
    Append(list, TcpListRow(tcp, L"a"));
    Append(list, TcpListRow(tcp, L"a"));  // the initial fill may list an entry twice
    Append(list, UdpListRow({0, Port(53), 7}, L""));
    EndpointKey noEndpoint;
    noEndpoint.processId = 1;
    list.AppendRow(noEndpoint, 0, {});

    auto otherPid = tcp;
    otherPid.owningPid = 77;
    EXPECT_TRUE(list.HasEndpoint(TcpEndpoint(tcp)));
    EXPECT_FALSE(list.HasEndpoint(TcpEndpoint(otherPid)));
    EXPECT_TRUE(list.HasEndpoint(UdpEndpoint({0, Port(53), 7})));
    EXPECT_FALSE(list.HasEndpoint(TcpEndpoint({2, 0, Port(53), 0, 0, 7}))) << "a UDP row is no TCP row";
    EXPECT_FALSE(list.HasEndpoint(EndpointKey{})) << "a row without an endpoint is never found";

    list.RemoveRows({true});
    EXPECT_TRUE(list.HasEndpoint(TcpEndpoint(tcp))) << "one copy is left";
    list.RemoveRows({true, true});
    EXPECT_FALSE(list.HasEndpoint(TcpEndpoint(tcp)));
    EXPECT_FALSE(list.HasEndpoint(UdpEndpoint({0, Port(53), 7})));
}

// The order must always be the one a full sort after every appended caption
// gives (equal captions here differ only by process id, which grows); this drives random work through the list, batched and not, against
// exactly that.
TEST(ConnectionListTest, BatchedWorkOrdersRowsLikeSortingAfterEveryChange)
{
    struct Reference {
        std::vector<std::pair<std::wstring, int>> rows;  // caption, id
        void Sort()
        {
            std::stable_sort(rows.begin(), rows.end(),
                             [](const auto& a, const auto& b) { return a.first < b.first; });
        }
    };
    const std::wstring captions[] = {L"", L"a", L"b", L"c", L"svchost.exe", L"System Idle Process"};
    std::mt19937 random(4711);
    auto pick = [&](std::size_t bound) { return std::uniform_int_distribution<std::size_t>(0, bound - 1)(random); };

    ConnectionList list(PlainCompare);
    Reference reference;
    std::set<int> selected;
    std::optional<int> focused;
    bool focusMoved = false;  // the focused row was removed and handed the focus on
    int nextId = 0;
    for (int round = 0; round < 300; ++round) {
        const bool batched = pick(2) == 0;
        if (batched) {
            list.BeginUpdate();
        }
        const std::size_t steps = 1 + pick(6);
        for (std::size_t step = 0; step < steps; ++step) {
            const std::size_t what = list.empty() ? 0 : pick(5);  // 0-2 append, 3 remove, 4 select
            if (what <= 2) {
                const auto& caption = captions[pick(std::size(captions))];
                Add(list, caption, nextId);
                reference.rows.emplace_back(caption, nextId++);
                if (!caption.empty()) {
                    reference.Sort();
                }
            } else if (what == 3) {
                std::vector<bool> remove(list.size());
                for (std::size_t i = 0; i < remove.size(); ++i) {
                    remove[i] = pick(4) == 0;
                    if (remove[i]) {
                        const int id = std::stoi(IdAt(list, i));
                        std::erase_if(reference.rows, [&](const auto& r) { return r.second == id; });
                        selected.erase(id);
                        focusMoved = focusMoved || focused == id;
                    }
                }
                list.RemoveRows(remove);
                if (list.empty()) {
                    focused.reset();  // no row is left to take the focus
                    focusMoved = false;
                }
            } else {
                const std::size_t index = pick(list.size());
                const int id = std::stoi(IdAt(list, index));
                list.SetSelected(index, !list.IsSelected(index));
                if (!selected.erase(id)) {
                    selected.insert(id);
                }
                if (pick(2) == 0) {
                    list.SetFocused(index);
                    focused = id;
                    focusMoved = false;
                }
            }
        }
        if (batched) {
            list.EndUpdate();
        }
        ASSERT_EQ(list.size(), reference.rows.size());
        for (std::size_t i = 0; i < list.size(); ++i) {
            ASSERT_EQ(list.row(i).caption, reference.rows[i].first) << "round " << round << ", row " << i;
        }
        std::set<int> selectedIds;
        for (const auto index : list.SelectedIndices()) {
            selectedIds.insert(std::stoi(IdAt(list, index)));
        }
        ASSERT_EQ(selectedIds, selected) << "round " << round;
        if (list.Focused()) {
            const int id = std::stoi(IdAt(list, *list.Focused()));
            ASSERT_TRUE(focused.has_value()) << "round " << round;
            if (!focusMoved) {
                ASSERT_EQ(id, *focused) << "round " << round;
            }
            focused = id;
            focusMoved = false;
        } else {
            ASSERT_TRUE(!focused || (focusMoved && list.empty())) << "round " << round;
            focused.reset();
            focusMoved = false;
        }
    }
}

} // namespace
} // namespace vq::connections
