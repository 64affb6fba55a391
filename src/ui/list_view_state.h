#pragma once

#include "connections/connection_list.h"

#include <cstddef>
#include <optional>
#include <vector>

namespace vq::ui {

// What the list control shows of the model's item states: how many items,
// which are selected (ascending), which has the focus, where a
// Shift-selection starts.
struct ShownListState {
    std::size_t itemCount = 0;
    std::vector<std::size_t> selected;
    std::optional<std::size_t> focused;
    std::optional<std::size_t> anchor;
};

// The messages that bring the control in step with the model, at a cost that
// follows what changed rather than the row count: items to deselect while
// the old count still holds, then the new count, then items to select, then
// the focus and the anchor when they moved.
struct ListViewUpdate {
    std::vector<std::size_t> deselect;
    std::size_t itemCount = 0;
    std::vector<std::size_t> select;
    bool focusChanged = false;
    std::optional<std::size_t> focused;
    bool anchorChanged = false;
    std::optional<std::size_t> anchor;
};

// The model's item states as the control is to show them.
ShownListState StateOf(const connections::ConnectionList& model);

ListViewUpdate PlanListViewUpdate(const ShownListState& shown, const ShownListState& wanted);

// The user's own changes in the control, recorded as they are reported.
void RecordSelected(ShownListState& shown, std::size_t index, bool selected);
void RecordAllSelected(ShownListState& shown, bool selected);
void RecordRangeSelected(ShownListState& shown, std::size_t first, std::size_t last, bool selected);  // inclusive

} // namespace vq::ui
