#include "connections/connection_list.h"

#include <algorithm>
#include <stdexcept>

namespace vq::connections {

ConnectionList::ConnectionList(CaptionCompare compare) : compare_(std::move(compare))
{
    if (!compare_) {
        compare_ = [](const std::wstring& a, const std::wstring& b) { return a.compare(b); };
    }
}

ConnectionList::~ConnectionList() = default;

ConnectionList::Entry& ConnectionList::EntryAt(std::size_t index)
{
    if (index >= entries_.size()) {
        throw std::out_of_range("connection list index out of range");
    }
    return *entries_[index];
}

const ConnectionList::Entry& ConnectionList::EntryAt(std::size_t index) const
{
    if (index >= entries_.size()) {
        throw std::out_of_range("connection list index out of range");
    }
    return *entries_[index];
}

const ConnectionRow& ConnectionList::row(std::size_t index) const
{
    return EntryAt(index).row;
}

void ConnectionList::Renumber(std::size_t first, std::size_t last)
{
    for (std::size_t i = first; i < last; ++i) {
        entries_[i]->position = i;
    }
}

void ConnectionList::AppendRow(ConnectionRow row)
{
    auto entry = std::make_unique<Entry>();
    entry->row = std::move(row);
    entry->position = entries_.size();
    const auto identity = RowIdentity(entry->row);
    if (identity) {
        entry->identityHash = IdentityHash(*identity);
        entry->protocol = identity->protocol;
    }
    const bool sortDue = !entry->row.caption.empty();
    entries_.push_back(std::move(entry));
    if (identity) {
        try {
            IndexFor(identity->protocol).Insert(entries_.back()->identityHash, entries_.back().get());
        } catch (...) {
            entries_.pop_back();
            throw;
        }
    }
    if (sortDue) {
        sortEnd_ = entries_.size();
    }
    Changed();
    SortIfDue();
}

void ConnectionList::SetCaption(std::size_t index, std::wstring caption)
{
    Entry& entry = EntryAt(index);
    if (entry.row.caption == caption) {
        return;
    }
    entry.row.caption = std::move(caption);
    if (index < sortedCount_) {
        // The sorted run stays sorted without this row: move the row just
        // past its end, among the rows still to be sorted in.
        std::rotate(entries_.begin() + static_cast<std::ptrdiff_t>(index),
                    entries_.begin() + static_cast<std::ptrdiff_t>(index) + 1,
                    entries_.begin() + static_cast<std::ptrdiff_t>(sortedCount_));
        Renumber(index, sortedCount_);
        --sortedCount_;
    }
    sortEnd_ = entries_.size();
    Changed();
    SortIfDue();
}

void ConnectionList::SetState(std::size_t index, std::wstring state)
{
    Entry& entry = EntryAt(index);
    if (entry.row.subItems[kState] == state) {
        return;
    }
    entry.row.subItems[kState] = std::move(state);
    Changed();
}

void ConnectionList::Unindex(const Entry& entry)
{
    if (entry.protocol) {
        IndexFor(*entry.protocol).Erase(entry.identityHash, &entry);
    }
}

void ConnectionList::RemoveRows(const std::vector<bool>& remove)
{
    const std::size_t count = entries_.size();
    std::size_t kept = 0;
    std::size_t keptSorted = 0;
    std::size_t keptBeforeSortEnd = 0;
    std::optional<std::size_t> focus;
    for (std::size_t i = 0; i < count; ++i) {
        auto& entry = entries_[i];
        if (i < remove.size() && remove[i]) {
            Unindex(*entry);
            if (entry->selected) {
                --selectedCount_;
            }
            if (entry.get() == focused_) {
                focus = kept;  // the next remaining row takes its place
            }
            entry.reset();
            continue;
        }
        if (i < sortedCount_) {
            ++keptSorted;
        }
        if (i < sortEnd_) {
            ++keptBeforeSortEnd;
        }
        entry->position = kept;
        if (kept != i) {
            entries_[kept] = std::move(entry);
        }
        ++kept;
    }
    if (kept == count) {
        return;
    }
    entries_.resize(kept);
    sortedCount_ = keptSorted;
    sortEnd_ = keptBeforeSortEnd;
    if (focus) {
        focused_ = kept == 0 ? nullptr : entries_[std::min(*focus, kept - 1)].get();
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
    const auto less = [this](const std::unique_ptr<Entry>& a, const std::unique_ptr<Entry>& b) {
        return compare_(a->row.caption, b->row.caption) < 0;
    };
    const auto begin = entries_.begin();
    const auto middle = begin + static_cast<std::ptrdiff_t>(sortedCount_);
    const auto end = begin + static_cast<std::ptrdiff_t>(sortEnd_);
    std::stable_sort(middle, end, less);
    std::inplace_merge(begin, middle, end, less);
    Renumber(0, sortEnd_);
    sortedCount_ = sortEnd_;
    Changed();
}

bool ConnectionList::IsNewTcpRow(const std::wstring& localAddress, const std::wstring& localPort,
                                 const std::wstring& remoteAddress, const std::wstring& remotePort,
                                 const std::wstring& processId) const
{
    return !HasIdentity(TcpIdentity(localAddress, localPort, remoteAddress, remotePort, processId));
}

bool ConnectionList::IsNewUdpRow(const std::wstring& localAddress, const std::wstring& localPort,
                                 const std::wstring& processId) const
{
    return !HasIdentity(UdpIdentity(localAddress, localPort, processId));
}

bool ConnectionList::HasIdentity(const EndpointIdentity& identity) const
{
    bool found = false;
    VisitRowsWithIdentity(identity, [&](std::size_t) { found = true; });
    return found;
}

bool ConnectionList::IsSelected(std::size_t index) const
{
    return index < entries_.size() && entries_[index]->selected;
}

void ConnectionList::SetSelected(std::size_t index, bool selected)
{
    if (index >= entries_.size() || entries_[index]->selected == selected) {
        return;
    }
    entries_[index]->selected = selected;
    if (selected) {
        ++selectedCount_;
    } else {
        --selectedCount_;
    }
    Changed();
}

void ConnectionList::SetSelectedRange(std::size_t first, std::size_t last, bool selected)
{
    if (first > last || first >= entries_.size()) {
        return;
    }
    last = std::min(last, entries_.size() - 1);
    bool changed = false;
    for (std::size_t i = first; i <= last; ++i) {
        Entry& entry = *entries_[i];
        if (entry.selected != selected) {
            entry.selected = selected;
            changed = true;
            if (selected) {
                ++selectedCount_;
            } else {
                --selectedCount_;
            }
        }
    }
    if (changed) {
        Changed();
    }
}

void ConnectionList::SetAllSelected(bool selected)
{
    if (!entries_.empty()) {
        SetSelectedRange(0, entries_.size() - 1, selected);
    }
}

std::optional<std::size_t> ConnectionList::FirstSelected() const
{
    if (selectedCount_ == 0) {
        return std::nullopt;
    }
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        if (entries_[i]->selected) {
            return i;
        }
    }
    return std::nullopt;
}

std::vector<std::size_t> ConnectionList::SelectedIndices() const
{
    std::vector<std::size_t> indices;
    indices.reserve(selectedCount_);
    for (std::size_t i = 0; i < entries_.size() && indices.size() < selectedCount_; ++i) {
        if (entries_[i]->selected) {
            indices.push_back(i);
        }
    }
    return indices;
}

std::optional<std::size_t> ConnectionList::Focused() const
{
    if (focused_ == nullptr) {
        return std::nullopt;
    }
    return focused_->position;
}

void ConnectionList::SetFocused(std::optional<std::size_t> index)
{
    if (index && *index >= entries_.size()) {
        return;
    }
    const Entry* focused = index ? entries_[*index].get() : nullptr;
    if (focused == focused_) {
        return;
    }
    focused_ = focused;
    Changed();
}

} // namespace vq::connections
