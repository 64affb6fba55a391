#include "connections/connection_list.h"

#include "util/vector_room.h"

#include <algorithm>
#include <memory>
#include <new>
#include <stdexcept>

namespace vq::connections {
using util::ReserveOneMore;

ConnectionList::ConnectionList(CaptionCompare compare) : processes_(std::move(compare)) {}

ConnectionList::~ConnectionList() = default;

std::uint32_t ConnectionList::IdAt(std::size_t index) const
{
    if (index >= order_.size()) {
        throw std::out_of_range("connection list index out of range");
    }
    return order_[index];
}

RowFacts ConnectionList::Facts(std::size_t index) const
{
    return FactsOf(IdAt(index));
}

RowFacts ConnectionList::FactsOf(std::uint32_t id) const
{
    const Row& row = rows_[id];
    RowFacts facts{row.endpoint, row.tcpState, processes_[row.process]};
    if (!origins_.empty()) {
        const Origin& origin = origins_[id];
        if (columns_.Optional().created) {
            facts.created = origin.created;
        }
        if (columns_.Optional().service) {
            facts.service = serviceTexts_[origin.service];
        }
    }
    return facts;
}

void ConnectionList::SetShownColumns(OptionalColumns columns)
{
    const OptionalColumns before = columns_.Optional();
    if (columns == before) {
        return;
    }
    const bool added = (columns.service && !before.service) || (columns.created && !before.created);
    if (!columns.service && !columns.created) {
        origins_ = {};
        serviceTexts_.resize(1);
        serviceNumbers_.clear();
    } else if (added) {
        origins_.assign(rows_.size(), Origin{});
    }
    columns_ = ShownColumns(columns);
    // The words of a filter look at the cells shown.
    if (filter_.HasWords()) {
        SetFilter(RowFilter(filter_));
    }
    Changed();
}

std::uint32_t ConnectionList::ServiceNumber(const std::wstring& service)
{
    if (service.empty()) {
        return 0;
    }
    if (const auto found = serviceNumbers_.find(service); found != serviceNumbers_.end()) {
        return found->second;
    }
    const auto number = static_cast<std::uint32_t>(serviceTexts_.size());
    serviceTexts_.push_back(service);
    try {
        serviceNumbers_.emplace(service, number);
    } catch (...) {
        serviceTexts_.pop_back();
        throw;
    }
    return number;
}

void ConnectionList::SetOrigin(std::uint32_t id, const RowOrigin& origin)
{
    origins_[id] = Origin{origin.created, ServiceNumber(origin.service), true};
    Place& place = places_[id];
    if (filterPassesAll_ || !filter_.HasWords() || place.mark == RowMark::Closed || !place.live) {
        Changed();
        return;
    }
    const bool passes = Passes(id);
    if (place.shown && !passes) {
        Hide(id);
    } else if (!place.shown && passes) {
        ReserveOneMore(order_);
        Show(id);
    }
    Changed();
}

bool ConnectionList::Less(std::uint32_t a, std::uint32_t b) const
{
    const Row& left = rows_[a];
    const Row& right = rows_[b];
    const std::size_t leftRank = processes_[left.process].caption->rank;
    const std::size_t rightRank = processes_[right.process].caption->rank;
    if (leftRank != rightRank) {
        return leftRank < rightRank;
    }
    return EndpointLess(left.endpoint, right.endpoint);
}

void ConnectionList::Renumber(std::size_t first, std::size_t last)
{
    for (std::size_t i = first; i < last; ++i) {
        places_[order_[i]].position = static_cast<std::uint32_t>(i);
    }
}

void ConnectionList::CountState(const Row& row, int change)
{
    std::size_t* count = IsEstablished(row.endpoint, row.tcpState) ? &established_
                         : IsListening(row.endpoint, row.tcpState)  ? &listening_
                                                                    : nullptr;
    if (count != nullptr) {
        *count = change > 0 ? *count + 1 : *count - 1;
    }
}

bool ConnectionList::Passes(std::uint32_t id) const
{
    if (filterPassesAll_) {
        return true;
    }
    return filter_.Passes(FactsOf(id));
}

void ConnectionList::AppendRow(const EndpointKey& endpoint, std::uint32_t tcpState, const OwningProcess& owner,
                               bool news, const RowOrigin* origin)
{
    // Everything that can fail happens before the list changes: room for one
    // more in every array the row goes into, its process and its index slot,
    // each undone when a later one fails.
    ReserveOneMore(order_);
    const bool newId = freeIds_.empty();
    const bool keepsOrigin = KeepsOrigins();
    if (newId) {
        ReserveOneMore(rows_);
        ReserveOneMore(places_);
        if (keepsOrigin) {
            ReserveOneMore(origins_);
        }
    }
    const std::uint32_t service = keepsOrigin && origin != nullptr ? ServiceNumber(origin->service) : 0;
    const std::uint32_t id = newId ? static_cast<std::uint32_t>(rows_.size()) : freeIds_.back();
    const bool inFillOrder = filling_ && endpoint.protocol == passProtocol_;
    if (inFillOrder) {
        ReserveOneMore(passOrder_);
    }
    const ProcessTable::Ref process = processes_.Acquire(endpoint.processId, owner);
    const bool indexed = endpoint.protocol != Protocol::None;
    const std::size_t hash = indexed ? EndpointHash(endpoint) : 0;
    if (indexed) {
        try {
            index_.Insert(hash, id);
        } catch (...) {
            processes_.Release(process);
            throw;
        }
    }

    // Nothing below fails.
    if (newId) {
        rows_.emplace_back();
        places_.emplace_back();
        if (keepsOrigin) {
            origins_.emplace_back();
        }
    } else {
        freeIds_.pop_back();
    }
    bool twin = false;
    if (indexed) {
        index_.ForEach(hash, [&](std::uint32_t other) {
            if (other != id && rows_[other].endpoint == endpoint) {
                places_[other].twin = true;
                twin = true;
            }
        });
    }
    rows_[id] = Row{endpoint, tcpState, process};
    if (keepsOrigin) {
        origins_[id] = origin != nullptr ? Origin{origin->created, service, true} : Origin{};
    }
    Place& place = places_[id];
    place = Place{};
    place.protocol = endpoint.protocol;
    place.live = true;
    place.twin = twin;
    ++liveRows_;
    if (inFillOrder) {
        passOrder_.push_back(id);
        place.matchedIn = pass_;
    }
    if (!Passes(id)) {
        return;
    }
    place.shown = true;
    place.position = static_cast<std::uint32_t>(order_.size());
    CountState(rows_[id], +1);
    order_.push_back(id);
    if (!processes_[process].caption->text.empty()) {
        sortEnd_ = order_.size();
    }
    if (news && highlighting_) {
        SetMark(id, RowMark::New);
    }
    Changed();
    SortIfDue();
}

void ConnectionList::ApplyState(std::uint32_t id, std::uint32_t tcpState)
{
    Row& row = rows_[id];
    Place& place = places_[id];
    if (place.mark == RowMark::Closed) {
        return;
    }
    if (place.shown) {
        CountState(row, -1);
        row.tcpState = tcpState;
        CountState(row, +1);
        Changed();
        if (!Passes(id)) {
            Hide(id);
            return;
        }
    } else {
        // Room first: a row that comes back goes to the end of order_.
        ReserveOneMore(order_);
        row.tcpState = tcpState;
        if (!Passes(id)) {
            return;
        }
        Show(id);
    }
    if (highlighting_) {
        SetMark(id, RowMark::Changed);
    }
}

void ConnectionList::SetTcpState(std::size_t index, std::uint32_t tcpState)
{
    const std::uint32_t id = IdAt(index);
    if (rows_[id].tcpState == tcpState) {
        return;
    }
    ApplyState(id, tcpState);
    CompactOrder();
}

void ConnectionList::Hide(std::uint32_t id)
{
    Place& place = places_[id];
    place.shown = false;
    if (place.mark != RowMark::Closed) {
        CountState(rows_[id], -1);
    }
    if (place.selected) {
        SetRowSelected(id, false);
    }
    if (anchor_ == id) {
        anchor_ = kNoRow;
    }
    compactFrom_ = std::min<std::size_t>(compactFrom_, place.position);
    Changed();
}

void ConnectionList::Show(std::uint32_t id)
{
    Place& place = places_[id];
    place.shown = true;
    place.position = static_cast<std::uint32_t>(order_.size());
    if (place.mark != RowMark::Closed) {
        CountState(rows_[id], +1);
    }
    order_.push_back(id);
    sortEnd_ = order_.size();
    Changed();
    SortIfDue();
}

void ConnectionList::SetMark(std::uint32_t id, RowMark mark)
{
    marks_.push_back({id, refresh_});
    places_[id].mark = mark;
    places_[id].markedIn = refresh_;
    Changed();
}

void ConnectionList::Close(std::uint32_t id)
{
    Place& place = places_[id];
    index_.Erase(EndpointHash(rows_[id].endpoint), id);
    CountState(rows_[id], -1);
    if (place.selected) {
        SetRowSelected(id, false);
    }
    if (anchor_ == id) {
        anchor_ = kNoRow;
    }
    closedOrder_.push_back({id, refresh_});
    SetMark(id, RowMark::Closed);
    if (++closedRows_ > kMaxClosedRows) {
        ForgetOldestClosed();
    }
}

bool ConnectionList::IsClosedSince(const MarkEntry& entry) const
{
    const Place& place = places_[entry.id];
    return place.live && place.mark == RowMark::Closed && place.markedIn == entry.refresh;
}

void ConnectionList::ForgetOldestClosed()
{
    while (!closedOrder_.empty()) {
        const MarkEntry entry = closedOrder_.front();
        closedOrder_.pop_front();
        if (IsClosedSince(entry)) {
            Forget(entry.id);
            return;
        }
    }
}

void ConnectionList::Forget(std::uint32_t id)
{
    const Row& row = rows_[id];
    Place& place = places_[id];
    if (row.endpoint.protocol != Protocol::None && place.mark != RowMark::Closed) {
        index_.Erase(EndpointHash(row.endpoint), id);
    }
    processes_.Release(row.process);
    if (place.shown) {
        Hide(id);
    }
    if (place.mark == RowMark::Closed) {
        --closedRows_;
    }
    place.mark = RowMark::None;
    place.live = false;
    --liveRows_;
    freeIds_.push_back(id);
}

void ConnectionList::RemoveRows(const std::vector<bool>& remove)
{
    const std::size_t end = std::min(order_.size(), remove.size());
    const auto first = std::find(remove.begin(), remove.begin() + static_cast<std::ptrdiff_t>(end), true);
    if (first == remove.begin() + static_cast<std::ptrdiff_t>(end)) {
        return;
    }
    // Forgetting a row frees its id: room for every id first, so no removal fails half-way.
    const auto last = remove.begin() + static_cast<std::ptrdiff_t>(end);
    freeIds_.reserve(freeIds_.size() + static_cast<std::size_t>(std::count(first, last, true)));
    for (std::size_t i = static_cast<std::size_t>(first - remove.begin()); i < end; ++i) {
        if (remove[i]) {
            Forget(order_[i]);
        }
    }
    CompactOrder();
}

void ConnectionList::RemoveRowsOfProtocol(Protocol protocol)
{
    std::vector<std::uint32_t> ids;
    for (std::uint32_t id = 0; id < places_.size(); ++id) {
        if (places_[id].live && places_[id].protocol == protocol) {
            ids.push_back(id);
        }
    }
    freeIds_.reserve(freeIds_.size() + ids.size());
    for (const std::uint32_t id : ids) {
        Forget(id);
    }
    CompactOrder();
}

void ConnectionList::CompactOrder()
{
    if (compactFrom_ >= order_.size()) {
        compactFrom_ = SIZE_MAX;
        return;
    }
    const std::size_t count = order_.size();
    const std::size_t first = compactFrom_;
    compactFrom_ = SIZE_MAX;
    std::size_t kept = first;
    std::size_t keptSorted = std::min(first, sortedCount_);
    std::size_t keptBeforeSortEnd = std::min(first, sortEnd_);
    std::optional<std::size_t> focus;
    for (std::size_t i = first; i < count; ++i) {
        const std::uint32_t id = order_[i];
        if (!places_[id].shown) {
            if (id == focused_) {
                focus = kept;  // the next remaining row takes its place
            }
            continue;
        }
        if (i < sortedCount_) {
            ++keptSorted;
        }
        if (i < sortEnd_) {
            ++keptBeforeSortEnd;
        }
        order_[kept] = id;
        places_[id].position = static_cast<std::uint32_t>(kept);
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

void ConnectionList::SetFilter(RowFilter filter)
{
    const bool passesAll = filter.PassesEverything();
    // What a process's own cells match is worked out once per process.
    std::vector<RowFilter::ProcessMatches> processMatches;
    std::vector<bool> processKnown;
    if (filter.HasWords()) {
        processMatches.resize(processes_.capacity());
        processKnown.resize(processes_.capacity());
    }
    const auto passes = [&](std::uint32_t id) {
        if (passesAll) {
            return true;
        }
        const Row& row = rows_[id];
        RowFilter::ProcessMatches matches = 0;
        if (!processMatches.empty()) {
            if (!processKnown[row.process]) {
                processMatches[row.process] = filter.MatchProcess(processes_[row.process]);
                processKnown[row.process] = true;
            }
            matches = processMatches[row.process];
        }
        return filter.Passes(FactsOf(id), matches);
    };
    std::vector<std::uint32_t> coming;
    for (std::uint32_t id = 0; id < places_.size(); ++id) {
        if (places_[id].live && !places_[id].shown && passes(id)) {
            coming.push_back(id);
        }
    }
    order_.reserve(liveRows_);
    freeIds_.reserve(freeIds_.size() + closedRows_);
    // Nothing below fails. A closed row the filter does not pass goes now.
    for (const std::uint32_t id : order_) {
        if (!passes(id)) {
            if (places_[id].mark == RowMark::Closed) {
                Forget(id);
            } else {
                Hide(id);
            }
        }
    }
    CompactOrder();
    filter_ = std::move(filter);
    filterPassesAll_ = passesAll;
    BatchUpdate batch(*this);
    for (const std::uint32_t id : coming) {
        Show(id);
    }
}

void ConnectionList::Reserve(std::size_t rows)
{
    // Closed rows keep their records beside the rows that replace them:
    // room for them too, so the first refresh that closes many does not
    // move every record.
    const std::size_t records = rows + (highlighting_ ? kMaxClosedRows : 0);
    rows_.reserve(records);
    places_.reserve(records);
    if (KeepsOrigins()) {
        origins_.reserve(records);
    }
    order_.reserve(records);
    index_.Reserve(rows);
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
    const std::size_t added = sortEnd_ - sortedCount_;
    // A few rows into many: each finds its place by binary search and the
    // rows after it move up in blocks, so the cost is in the rows added,
    // not in comparisons with every listed row. Without room for the copy,
    // or with many rows added, a plain merge does the same.
    std::unique_ptr<std::uint32_t[]> copy(added <= sortedCount_ / 16 ? new (std::nothrow) std::uint32_t[added]
                                                                      : nullptr);
    std::size_t firstMoved = 0;
    if (copy) {
        std::copy(middle, end, copy.get());
        std::size_t unmerged = sortedCount_;
        std::size_t write = sortEnd_;
        for (std::size_t i = added; i-- > 0;) {
            const std::uint32_t id = copy[i];
            // After every listed row that does not sort behind it, as a merge puts it.
            const auto place = std::upper_bound(begin, begin + static_cast<std::ptrdiff_t>(unmerged), id, less);
            const auto placeIndex = static_cast<std::size_t>(place - begin);
            std::move_backward(place, begin + static_cast<std::ptrdiff_t>(unmerged),
                               begin + static_cast<std::ptrdiff_t>(write));
            write -= unmerged - placeIndex;
            order_[--write] = id;
            unmerged = placeIndex;
        }
        firstMoved = unmerged;
    } else {
        // The sorted rows before the first new one stay where they are.
        const auto moved = std::upper_bound(begin, middle, *middle, less);
        std::inplace_merge(moved, middle, end, less);
        firstMoved = static_cast<std::size_t>(moved - begin);
    }
    Renumber(firstMoved, sortEnd_);
    sortedCount_ = sortEnd_;
    Changed();
}

bool ConnectionList::HasEndpoint(const EndpointKey& endpoint) const
{
    bool found = false;
    index_.ForEach(EndpointHash(endpoint), [&](std::uint32_t id) { found = found || rows_[id].endpoint == endpoint; });
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

void ConnectionList::BeginFill(Protocol protocol)
{
    BeginMatch(protocol);
    filling_ = true;
}

void ConnectionList::EndMatch()
{
    filling_ = false;
    CompactOrder();
    std::vector<std::uint32_t>& order = TableOrder(passProtocol_);
    order.swap(passOrder_);
    for (std::size_t place = 0; place < order.size(); ++place) {
        if (order[place] != kNoRow) {
            places_[order[place]].tablePlace = static_cast<std::uint32_t>(place);
        }
    }
}

void ConnectionList::RemoveUnmatchedRows(Protocol protocol, std::optional<std::size_t> spared)
{
    const std::uint32_t sparedId = spared && *spared < order_.size() ? order_[*spared] : kNoRow;
    std::vector<std::uint32_t> ids;
    for (std::uint32_t id = 0; id < places_.size(); ++id) {
        const Place& place = places_[id];
        if (place.live && place.protocol == protocol && place.matchedIn != pass_ && id != sparedId &&
            place.mark != RowMark::Closed) {
            ids.push_back(id);
        }
    }
    freeIds_.reserve(freeIds_.size() + ids.size());
    for (const std::uint32_t id : ids) {
        if (highlighting_ && places_[id].shown) {
            Close(id);
        } else {
            Forget(id);
        }
    }
    CompactOrder();
}

void ConnectionList::SetHighlighting(bool on)
{
    if (on == highlighting_) {
        return;
    }
    highlighting_ = on;
    if (on) {
        Reserve(rows_.size());
        return;
    }
    freeIds_.reserve(freeIds_.size() + closedRows_);
    for (const MarkEntry& entry : marks_) {
        Place& place = places_[entry.id];
        if (place.live && place.mark == RowMark::Closed) {
            Forget(entry.id);
        }
        place.mark = RowMark::None;
    }
    marks_.clear();
    closedOrder_.clear();
    CompactOrder();
    Changed();
}

void ConnectionList::BeginRefresh()
{
    ++refresh_;
    freeIds_.reserve(freeIds_.size() + closedRows_);
    while (!marks_.empty() && marks_.front().refresh + 2 <= refresh_) {
        const MarkEntry entry = marks_.front();
        marks_.pop_front();
        Place& place = places_[entry.id];
        if (!place.live || place.mark == RowMark::None || place.markedIn != entry.refresh) {
            continue;
        }
        if (place.mark == RowMark::Closed) {
            Forget(entry.id);
        } else {
            place.mark = RowMark::None;
        }
        Changed();
    }
    while (!closedOrder_.empty() && !IsClosedSince(closedOrder_.front())) {
        closedOrder_.pop_front();
    }
    CompactOrder();
}

bool ConnectionList::IsSelected(std::size_t index) const
{
    return index < order_.size() && places_[order_[index]].selected;
}

void ConnectionList::SetRowSelected(std::uint32_t id, bool selected)
{
    if (selected) {
        selected_.insert(id);
    } else {
        selected_.erase(id);
    }
    places_[id].selected = selected;
}

void ConnectionList::SetSelected(std::size_t index, bool selected)
{
    if (index >= order_.size() || places_[order_[index]].selected == selected ||
        places_[order_[index]].mark == RowMark::Closed) {
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
        if (places_[order_[i]].selected != selected && places_[order_[i]].mark != RowMark::Closed) {
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
            places_[id].selected = false;
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
        const std::size_t position = places_[id].position;
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
        indices.push_back(places_[id].position);
    }
    std::sort(indices.begin(), indices.end());
    return indices;
}

std::optional<std::size_t> ConnectionList::PositionOf(std::uint32_t id) const
{
    if (id == kNoRow) {
        return std::nullopt;
    }
    return places_[id].position;
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
