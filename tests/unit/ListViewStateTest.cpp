#include "ui/list_view_state.h"

#include "connections/connection_row.h"
#include "list_rows.h"
#include "table_fixtures.h"

#include <gtest/gtest.h>

namespace vq::ui {
namespace {

using connections::ConnectionList;
using Indices = std::vector<std::size_t>;

void AppendNamed(ConnectionList& model, const std::wstring& caption, std::uint32_t port)
{
    fake::Append(model, fake::TcpListRow({2, 0, fake::Port(port), 0, 0, 7}, caption));
}

// The control is told exactly the items whose state moved: the model's rows
// move under a selection by removals, additions and re-sorts, and the update
// follows them without touching any other item.
TEST(ListViewStateTest, UpdatesTouchOnlyTheItemsWhoseStateMoved)
{
    ConnectionList model(nullptr);
    for (const wchar_t* caption : {L"b", L"d", L"f", L"h"}) {
        AppendNamed(model, caption, static_cast<std::uint32_t>(caption[0]));
    }
    model.SetSelected(2, true);  // f
    model.SetFocused(2);
    model.SetAnchor(1);  // d
    ShownListState shown = StateOf(model);
    EXPECT_EQ(shown.selected, (Indices{2}));

    AppendNamed(model, L"a", 1);  // a b d f h: everything moves down one
    auto update = PlanListViewUpdate(shown, StateOf(model));
    EXPECT_EQ(update.deselect, (Indices{2}));
    EXPECT_EQ(update.select, (Indices{3}));
    EXPECT_EQ(update.itemCount, 5u);
    EXPECT_TRUE(update.focusChanged);
    EXPECT_EQ(update.focused, std::optional<std::size_t>(3));
    EXPECT_TRUE(update.anchorChanged);
    EXPECT_EQ(update.anchor, std::optional<std::size_t>(2));
    shown = StateOf(model);

    AppendNamed(model, L"z", 2);  // after every selected row: nothing to say but the count
    update = PlanListViewUpdate(shown, StateOf(model));
    EXPECT_TRUE(update.deselect.empty());
    EXPECT_TRUE(update.select.empty());
    EXPECT_FALSE(update.focusChanged);
    EXPECT_FALSE(update.anchorChanged);
    EXPECT_EQ(update.itemCount, 6u);
    shown = StateOf(model);

    model.RemoveRows({false, false, false, true});  // the selected, focused row goes: a b d h z
    update = PlanListViewUpdate(shown, StateOf(model));
    EXPECT_EQ(update.deselect, (Indices{3}));
    EXPECT_TRUE(update.select.empty());
    EXPECT_EQ(update.focused, std::optional<std::size_t>(3)) << "the next row took the focus";
    EXPECT_FALSE(update.focusChanged) << "at the same index";
}

TEST(ListViewStateTest, RecordsTheUsersOwnChangesInOrder)
{
    ShownListState shown;
    shown.itemCount = 6;
    RecordSelected(shown, 4, true);
    RecordSelected(shown, 1, true);
    RecordSelected(shown, 4, true);
    EXPECT_EQ(shown.selected, (Indices{1, 4}));
    RecordRangeSelected(shown, 2, 4, true);
    EXPECT_EQ(shown.selected, (Indices{1, 2, 3, 4}));
    RecordRangeSelected(shown, 0, 2, false);
    EXPECT_EQ(shown.selected, (Indices{3, 4}));
    RecordAllSelected(shown, true);
    EXPECT_EQ(shown.selected, (Indices{0, 1, 2, 3, 4, 5}));
    RecordSelected(shown, 0, false);
    RecordAllSelected(shown, false);
    EXPECT_TRUE(shown.selected.empty());
}

} // namespace
} // namespace vq::ui
