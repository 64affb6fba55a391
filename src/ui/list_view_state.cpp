#include "ui/list_view_state.h"

#include <algorithm>
#include <iterator>
#include <numeric>

namespace vq::ui {

ShownListState StateOf(const connections::ConnectionList& model)
{
    return {model.size(), model.SelectedIndices(), model.Focused(), model.Anchor()};
}

ListViewUpdate PlanListViewUpdate(const ShownListState& shown, const ShownListState& wanted)
{
    ListViewUpdate update;
    std::set_difference(shown.selected.begin(), shown.selected.end(), wanted.selected.begin(),
                        wanted.selected.end(), std::back_inserter(update.deselect));
    update.itemCount = wanted.itemCount;
    std::set_difference(wanted.selected.begin(), wanted.selected.end(), shown.selected.begin(),
                        shown.selected.end(), std::back_inserter(update.select));
    update.focusChanged = shown.focused != wanted.focused;
    update.focused = wanted.focused;
    update.anchorChanged = shown.anchor != wanted.anchor;
    update.anchor = wanted.anchor;
    return update;
}

void RecordSelected(ShownListState& shown, std::size_t index, bool selected)
{
    auto& items = shown.selected;
    const auto place = std::lower_bound(items.begin(), items.end(), index);
    const bool present = place != items.end() && *place == index;
    if (selected && !present) {
        items.insert(place, index);
    } else if (!selected && present) {
        items.erase(place);
    }
}

void RecordAllSelected(ShownListState& shown, bool selected)
{
    shown.selected.assign(selected ? shown.itemCount : 0, 0);
    std::iota(shown.selected.begin(), shown.selected.end(), std::size_t{0});
}

void RecordRangeSelected(ShownListState& shown, std::size_t first, std::size_t last, bool selected)
{
    if (first > last) {
        return;
    }
    std::vector<std::size_t> range(last - first + 1);
    std::iota(range.begin(), range.end(), first);
    std::vector<std::size_t> result;
    if (selected) {
        std::set_union(shown.selected.begin(), shown.selected.end(), range.begin(), range.end(),
                       std::back_inserter(result));
    } else {
        std::set_difference(shown.selected.begin(), shown.selected.end(), range.begin(), range.end(),
                            std::back_inserter(result));
    }
    shown.selected = std::move(result);
}

} // namespace vq::ui
