#include "connections/connection_list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>

namespace vq::connections {
namespace {

int PlainCompare(const std::wstring& a, const std::wstring& b)
{
    return a.compare(b);
}

// A TCP row whose process id names it, so that tests can follow it.
ConnectionRow Named(const std::wstring& caption, int id)
{
    ConnectionRow row;
    row.caption = caption;
    row.subItems = {L"TCP", L"ESTABLISHED", L"10.0.0.1", L"1000", L"10.0.0.2", L"80",
                    std::to_wstring(id), L"C:\\"};
    return row;
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
    return list.row(index).subItems[kProcessId];
}

std::optional<std::size_t> IndexOfId(const ConnectionList& list, int id)
{
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (IdAt(list, i) == std::to_wstring(id)) {
            return i;
        }
    }
    return std::nullopt;
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
    list.AppendRow(Named(L"svchost.exe", 1));
    list.AppendRow(Named(L"lsass.exe", 2));
    EXPECT_EQ(Captions(list), (Captions_{L"lsass.exe", L"svchost.exe"}));

    list.AppendRow(Named(L"", 3));
    list.AppendRow(Named(L"", 4));
    EXPECT_EQ(Captions(list), (Captions_{L"lsass.exe", L"svchost.exe", L"", L""})) << "no sort yet";

    list.AppendRow(Named(L"app.exe", 5));
    EXPECT_EQ(Captions(list), (Captions_{L"", L"", L"app.exe", L"lsass.exe", L"svchost.exe"}))
        << "the next sort moves empty captions to the top";

    const auto version = list.version();
    list.SetCaption(0, L"");
    EXPECT_EQ(list.version(), version) << "the same text neither changes nor sorts anything";

    list.SetCaption(*IndexOfId(list, 3), L"System Idle Process");
    EXPECT_EQ(Captions(list), (Captions_{L"", L"System Idle Process", L"app.exe", L"lsass.exe", L"svchost.exe"}));
    EXPECT_EQ(IdAt(list, 1), L"3");
    EXPECT_GT(list.version(), version);
}

TEST(ConnectionListTest, RenamingARowInTheSortedRunAlsoSortsTheTrailingEmptyCaptions)
{
    ConnectionList list(PlainCompare);
    list.AppendRow(Named(L"b", 1));
    list.AppendRow(Named(L"d", 2));
    list.AppendRow(Named(L"", 3));
    list.SetCaption(1, L"a");  // "d" becomes "a"
    EXPECT_EQ(Captions(list), (Captions_{L"", L"a", L"b"}));
}

TEST(ConnectionListTest, SelectionAndFocusFollowTheirRowsThroughSortsAndRemovals)
{
    ConnectionList list(PlainCompare);
    list.AppendRow(Named(L"m", 1));
    list.AppendRow(Named(L"t", 2));
    list.SetSelected(0, true);  // m
    list.SetFocused(1);         // t

    list.AppendRow(Named(L"c", 3));  // sorts: c m t
    EXPECT_EQ(list.SelectedIndices(), (std::vector<std::size_t>{1}));
    EXPECT_EQ(list.Focused(), std::optional<std::size_t>(2));

    list.SetCaption(2, L"a");  // t -> a: a c m
    EXPECT_EQ(IdAt(list, *list.Focused()), L"2");
    EXPECT_EQ(IdAt(list, *list.FirstSelected()), L"1");

    list.RemoveRows({false, true, false});  // c goes: a m
    EXPECT_EQ(list.Focused(), std::optional<std::size_t>(0));
    EXPECT_EQ(list.FirstSelected(), std::optional<std::size_t>(1));
    EXPECT_EQ(list.SelectedCount(), 1u);
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
            list.AppendRow(Named(std::wstring(1, static_cast<wchar_t>(L'a' + i)), i));
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
        list.AppendRow(Named(L"x", i));
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

TEST(ConnectionListTest, NoveltyIsExactPerProtocolAndCountsDuplicates)
{
    ConnectionList list(PlainCompare);
    EXPECT_TRUE(list.IsNewTcpRow(L"10.0.0.1", L"1000", L"10.0.0.2", L"80", L"7"));
    list.AppendRow(Named(L"a", 7));
    list.AppendRow(Named(L"a", 7));  // the initial fill may list an entry twice

    ConnectionRow udp;
    udp.subItems = {L"UDP", L"-", L"0.0.0.0", L"53", L"-", L"-", L"7", L""};
    list.AppendRow(udp);

    EXPECT_FALSE(list.IsNewTcpRow(L"10.0.0.1", L"1000", L"10.0.0.2", L"80", L"7"));
    EXPECT_TRUE(list.IsNewTcpRow(L"10.0.0.1", L"1000", L"10.0.0.2", L"80", L"77"));
    EXPECT_TRUE(list.IsNewTcpRow(L"10.0.0.1", L"1000", L"10.0.0.2", L"8", L"07"));
    EXPECT_FALSE(list.IsNewUdpRow(L"0.0.0.0", L"53", L"7"));
    EXPECT_TRUE(list.IsNewUdpRow(L"10.0.0.1", L"1000", L"7")) << "a TCP row is no UDP row";
    EXPECT_TRUE(list.IsNewTcpRow(L"0.0.0.0", L"53", L"-", L"-", L"7")) << "a UDP row is no TCP row";

    list.RemoveRows({true});
    EXPECT_FALSE(list.IsNewTcpRow(L"10.0.0.1", L"1000", L"10.0.0.2", L"80", L"7")) << "one copy is left";
    list.RemoveRows({true, true});
    EXPECT_TRUE(list.IsNewTcpRow(L"10.0.0.1", L"1000", L"10.0.0.2", L"80", L"7"));
    EXPECT_TRUE(list.IsNewUdpRow(L"0.0.0.0", L"53", L"7"));
}

// The order must always be the one a full sort after every caption change
// gives; this drives random work through the list, batched and not, against
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
            const std::size_t what = list.empty() ? 0 : pick(5);
            if (what <= 1) {
                const auto& caption = captions[pick(std::size(captions))];
                list.AppendRow(Named(caption, nextId));
                reference.rows.emplace_back(caption, nextId++);
                if (!caption.empty()) {
                    reference.Sort();
                }
            } else if (what == 2) {
                const std::size_t index = pick(list.size());
                const auto& caption = captions[pick(std::size(captions))];
                const int id = std::stoi(IdAt(list, index));
                auto at = std::find_if(reference.rows.begin(), reference.rows.end(),
                                       [&](const auto& r) { return r.second == id; });
                if (at->first != caption) {
                    at->first = caption;
                    reference.Sort();
                }
                list.SetCaption(index, caption);
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

TEST(ConnectionListTest, ABatchSortsOnlyTheNewRowsIntoTheSortedRun)
{
    constexpr std::size_t kRows = 4000;
    std::size_t comparisons = 0;
    ConnectionList list([&](const std::wstring& a, const std::wstring& b) {
        ++comparisons;
        return a.compare(b);
    });
    {
        BatchUpdate batch(list);
        for (std::size_t i = 0; i < kRows; ++i) {
            list.AppendRow(Named(L"p" + std::to_wstring(i * 7919 % kRows), static_cast<int>(i)));
        }
    }
    comparisons = 0;
    {
        BatchUpdate batch(list);
        for (int i = 0; i < 20; ++i) {
            list.AppendRow(Named(L"q" + std::to_wstring(i), 100000 + i));
        }
    }
    EXPECT_LT(comparisons, 2 * kRows) << "one merge, not twenty sorts of the whole list";
    EXPECT_TRUE(IsSortedByCaption(list));

    comparisons = 0;
    list.SetCaption(kRows / 2, L"a");
    EXPECT_LT(comparisons, 2 * kRows) << "a rename merges one row back in";
    EXPECT_EQ(list.row(0).caption, L"a");
}

} // namespace
} // namespace vq::connections
