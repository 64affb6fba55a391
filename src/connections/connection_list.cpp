#include "connections/connection_list.h"

#include "connections/row_painting.h"

#include <algorithm>
#include <stdexcept>

namespace vq::connections {
namespace {

// Room for one more item, growing the way push_back would, so that the
// push_back after it cannot fail.
template <typename T>
void ReserveOneMore(std::vector<T>& items)
{
    if (items.size() == items.capacity()) {
        items.reserve(std::max<std::size_t>(16, items.size() * 2));
    }
}

} // namespace

ConnectionList::ConnectionList(CaptionCompare compare) : captions_(std::move(compare)) {}

ConnectionList::~ConnectionList() = default;

std::uint32_t ConnectionList::IdAt(std::size_t index) const
{
    if (index >= order_.size()) {
        throw std::out_of_range("connection list index out of range");
    }
    return order_[index];
}

const ConnectionRow& ConnectionList::row(std::size_t index) const
{
    return *rows_[IdAt(index)];
}

bool ConnectionList::Less(std::uint32_t a, std::uint32_t b) const
{
    const Meta& left = meta_[a];
    const Meta& right = meta_[b];
    if (left.caption->rank != right.caption->rank) {
        return left.caption->rank < right.caption->rank;
    }
    return EndpointLess(left.endpoint, right.endpoint);
}

void ConnectionList::Renumber(std::size_t first, std::size_t last)
{
    for (std::size_t i = first; i < last; ++i) {
        meta_[order_[i]].position = static_cast<std::uint32_t>(i);
    }
}

void ConnectionList::CountState(const std::wstring& state, int change)
{
    const std::wstring_view text = state;
    std::size_t* count = text == kEstablishedState ? &established_ : text == kListenState ? &listening_ : nullptr;
    if (count != nullptr) {
        *count = change > 0 ? *count + 1 : *count - 1;
    }
}

void ConnectionList::AppendRow(ConnectionRow row)
{
    // Everything that can fail happens before the list changes: the row's
    // copy, room for one more in every array it goes into, its caption and
    // its index slot, each undone when a later one fails.
    auto owned = std::make_unique<ConnectionRow>(std::move(row));
    ReserveOneMore(order_);
    const bool newId = freeIds_.empty();
    if (newId) {
        ReserveOneMore(rows_);
        ReserveOneMore(meta_);
    }
    const std::uint32_t id = newId ? static_cast<std::uint32_t>(rows_.size()) : freeIds_.back();
    const RankedCaption* caption = captions_.Acquire(owned->caption);
    const bool indexed = owned->endpoint.protocol != Protocol::None;
    const std::size_t hash = indexed ? EndpointHash(owned->endpoint) : 0;
    if (indexed) {
        try {
            index_.Insert(hash, id);
        } catch (...) {
            captions_.Release(caption);
            throw;
        }
    }

    // Nothing below fails.
    if (newId) {
        rows_.emplace_back();
        meta_.emplace_back();
    } else {
        freeIds_.pop_back();
    }
    bool twin = false;
    if (indexed) {
        index_.ForEach(hash, [&](std::uint32_t other) {
            if (other != id && meta_[other].endpoint == owned->endpoint) {
                meta_[other].twin = true;
                twin = true;
            }
        });
    }
    Meta& meta = meta_[id];
    meta = Meta{};
    meta.endpoint = owned->endpoint;
    meta.tcpState = owned->tcpState;
    meta.position = static_cast<std::uint32_t>(order_.size());
    meta.hash = hash;
    meta.caption = caption;
    meta.live = true;
    meta.twin = twin;
    CountState(owned->subItems[kState], +1);
    const bool sortDue = !owned->caption.empty();
    rows_[id] = std::move(owned);
    order_.push_back(id);
    if (sortDue) {
        sortEnd_ = order_.size();
    }
    Changed();
    SortIfDue();
}

void ConnectionList::SetState(std::size_t index, std::wstring state, std::uint32_t tcpState)
{
    const std::uint32_t id = IdAt(index);
    meta_[id].tcpState = tcpState;
    ConnectionRow& row = *rows_[id];
    row.tcpState = tcpState;
    std::wstring& current = row.subItems[kState];
    if (current == state) {
        return;
    }
    CountState(current, -1);
    current = std::move(state);
    CountState(current, +1);
    Changed();
}

void ConnectionList::Forget(std::uint32_t id)
{
    Meta& meta = meta_[id];
    if (meta.endpoint.protocol != Protocol::None) {
        index_.Erase(meta.hash, id);
    }
    captions_.Release(meta.caption);
    CountState(rows_[id]->subItems[kState], -1);
    if (meta.selected) {
        selected_.erase(id);
    }
    if (anchor_ == id) {
        anchor_ = kNoRow;
    }
    meta.live = false;
    meta.selected = false;
    rows_[id].reset();
    freeIds_.push_back(id);
}

void ConnectionList::RemoveRows(const std::vector<bool>& remove)
{
    const std::size_t count = order_.size();
    const std::size_t end = std::min(count, remove.size());
    const std::size_t first = static_cast<std::size_t>(std::find(remove.begin(), remove.begin() +
                                                                 static_cast<std::ptrdiff_t>(end), true) -
                                                       remove.begin());
    if (first >= end) {
        return;
    }
    // Forgetting a row frees its id: room for every id first, so no removal fails half-way.
    freeIds_.reserve(freeIds_.size() + (end - first));
    std::size_t kept = first;
    std::size_t keptSorted = std::min(first, sortedCount_);
    std::size_t keptBeforeSortEnd = std::min(first, sortEnd_);
    std::optional<std::size_t> focus;
    for (std::size_t i = first; i < count; ++i) {
        const std::uint32_t id = order_[i];
        if (i < end && remove[i]) {
            if (id == focused_) {
                focus = kept;  // the next remaining row takes its place
            }
            Forget(id);
            continue;
        }
        if (i < sortedCount_) {
            ++keptSorted;
        }
        if (i < sortEnd_) {
            ++keptBeforeSortEnd;
        }
        order_[kept] = id;
        meta_[id].position = static_cast<std::uint32_t>(kept);
        ++kept;
    }
    order_.resize(kept);
    sortedCount_ = keptSorted;
    sortEnd_ = keptBeforeSortEnd;
    if (focus) {
        focused_ = kept == 0 ? kNoRow : order_[std::min(*focus, kept - 1)];
    }
    Changed();
}

void ConnectionList::BeginUpdate()
{
    ++updateDepth_;
}

void ConnectionList::EndUpdate()
{
    if (updateDepth_ == 0) {
        return;
    }
    --updateDepth_;
    SortIfDue();
}

void ConnectionList::SortIfDue()
{
    if (updateDepth_ != 0 || sortEnd_ <= sortedCount_) {
        return;
    }
    const auto less = [this](std::uint32_t a, std::uint32_t b) { return Less(a, b); };
    const auto begin = order_.begin();
    const auto middle = begin + static_cast<std::ptrdiff_t>(sortedCount_);
    const auto end = begin + static_cast<std::ptrdiff_t>(sortEnd_);
    std::stable_sort(middle, end, less);
    // The sorted rows before the first new one stay where they are.
    const auto firstMoved = std::upper_bound(begin, middle, *middle, less);
    std::inplace_merge(firstMoved, middle, end, less);
    Renumber(static_cast<std::size_t>(firstMoved - begin), sortEnd_);
    sortedCount_ = sortEnd_;
    Changed();
}

bool ConnectionList::HasEndpoint(const EndpointKey& endpoint) const
{
    bool found = false;
    VisitRowsWithEndpoint(endpoint, [&](std::size_t) { found = true; });
    return found;
}

void ConnectionList::BeginMatch(Protocol protocol)
{
    ++pass_;
    passProtocol_ = protocol;
    cursor_ = 0;
    passOrder_.clear();
    passOrder_.reserve(TableOrder(protocol).size());
}

void ConnectionList::EndMatch()
{
    std::vector<std::uint32_t>& order = TableOrder(passProtocol_);
    order.swap(passOrder_);
    for (std::size_t place = 0; place < order.size(); ++place) {
        if (order[place] != kNoRow) {
            meta_[order[place]].tablePlace = static_cast<std::uint32_t>(place);
        }
    }
}

std::vector<std::size_t> ConnectionList::UnmatchedRows(Protocol protocol) const
{
    std::vector<std::size_t> rows;
    for (const Meta& meta : meta_) {
        if (meta.live && meta.endpoint.protocol == protocol && meta.matchedIn != pass_) {
            rows.push_back(meta.position);
        }
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

bool ConnectionList::IsSelected(std::size_t index) const
{
    return index < order_.size() && meta_[order_[index]].selected;
}

void ConnectionList::SetRowSelected(std::uint32_t id, bool selected)
{
    if (selected) {
        selected_.insert(id);
    } else {
        selected_.erase(id);
    }
    meta_[id].selected = selected;
}

void ConnectionList::SetSelected(std::size_t index, bool selected)
{
    if (index >= order_.size() || meta_[order_[index]].selected == selected) {
        return;
    }
    SetRowSelected(order_[index], selected);
    Changed();
}

void ConnectionList::SetSelectedRange(std::size_t first, std::size_t last, bool selected)
{
    if (first > last || first >= order_.size()) {
        return;
    }
    last = std::min(last, order_.size() - 1);
    bool changed = false;
    for (std::size_t i = first; i <= last; ++i) {
        if (meta_[order_[i]].selected != selected) {
            SetRowSelected(order_[i], selected);
            changed = true;
        }
    }
    if (changed) {
        Changed();
    }
}

void ConnectionList::SetAllSelected(bool selected)
{
    if (!selected) {
        // Only the selected rows change: cheap at any size.
        if (selected_.empty()) {
            return;
        }
        for (const std::uint32_t id : selected_) {
            meta_[id].selected = false;
        }
        selected_.clear();
        Changed();
        return;
    }
    if (!order_.empty()) {
        SetSelectedRange(0, order_.size() - 1, true);
    }
}

std::optional<std::size_t> ConnectionList::FirstSelected() const
{
    std::optional<std::size_t> first;
    for (const std::uint32_t id : selected_) {
        const std::size_t position = meta_[id].position;
        if (!first || position < *first) {
            first = position;
        }
    }
    return first;
}

std::vector<std::size_t> ConnectionList::SelectedIndices() const
{
    std::vector<std::size_t> indices;
    indices.reserve(selected_.size());
    for (const std::uint32_t id : selected_) {
        indices.push_back(meta_[id].position);
    }
    std::sort(indices.begin(), indices.end());
    return indices;
}

std::optional<std::size_t> ConnectionList::PositionOf(std::uint32_t id) const
{
    if (id == kNoRow) {
        return std::nullopt;
    }
    return meta_[id].position;
}

std::uint32_t ConnectionList::IdOrNone(std::optional<std::size_t> index) const
{
    return index ? order_[*index] : kNoRow;
}

std::optional<std::size_t> ConnectionList::Focused() const
{
    return PositionOf(focused_);
}

void ConnectionList::SetFocused(std::optional<std::size_t> index)
{
    if (index && *index >= order_.size()) {
        return;
    }
    const std::uint32_t focused = IdOrNone(index);
    if (focused == focused_) {
        return;
    }
    focused_ = focused;
    Changed();
}

std::optional<std::size_t> ConnectionList::Anchor() const
{
    return PositionOf(anchor_);
}

void ConnectionList::SetAnchor(std::optional<std::size_t> index)
{
    if (index && *index >= order_.size()) {
        return;
    }
    // The anchor is not shown: moving it is no change to redraw.
    anchor_ = IdOrNone(index);
}

} // namespace vq::connections
