#pragma once

#include "connections/connection_row.h"
#include "connections/identity_index.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vq::connections {

// Orders two captions: negative, zero or positive, like lstrcmpW (which the
// program passes on Windows).
using CaptionCompare = std::function<int(const std::wstring&, const std::wstring&)>;

// The rows of the connection list, in the order the list shows them, with the
// user's selection and focus attached to them.
//
// Order: ascending by caption. A row is appended at the end; whenever a row's
// caption is set to a text different from its current one (an appended row
// with a non-empty caption counts), the whole list is sorted again. A row
// appended with an empty caption therefore stays at the end until the next
// sort moves it to the top. Rows with equal captions keep their relative
// order. Between BeginUpdate and EndUpdate the sorts are deferred and done
// once, with the same outcome; either way only the rows not yet in place are
// sorted, then merged with the sorted run.
//
// Row identities are indexed by a hash, so finding the rows of an endpoint
// costs no scan. Sub-items other than the state never change once a row is
// added.
class ConnectionList {
public:
    explicit ConnectionList(CaptionCompare compare);
    ~ConnectionList();
    ConnectionList(const ConnectionList&) = delete;
    ConnectionList& operator=(const ConnectionList&) = delete;

    std::size_t size() const { return entries_.size(); }
    bool empty() const { return entries_.empty(); }
    // Throws std::out_of_range for an index outside the list.
    const ConnectionRow& row(std::size_t index) const;

    // Appends a row, unselected; a non-empty caption sorts the list.
    void AppendRow(ConnectionRow row);
    // Renames a row; a different text re-sorts the whole list by caption.
    void SetCaption(std::size_t index, std::wstring caption);
    // Sets a row's State text (sub-item 1); identity, caption and order stay.
    void SetState(std::size_t index, std::wstring state);
    // Removes every row whose flag is set, in one pass; indices past the end
    // of remove are kept. The others keep their order, selection and focus.
    // A removed focused row hands the focus to the next remaining row (the
    // previous one at the end of the list).
    void RemoveRows(const std::vector<bool>& remove);

    // Defers sorting until the outermost EndUpdate. Prefer BatchUpdate.
    void BeginUpdate();
    void EndUpdate();

    bool IsNewTcpRow(const std::wstring& localAddress, const std::wstring& localPort,
                     const std::wstring& remoteAddress, const std::wstring& remotePort,
                     const std::wstring& processId) const;
    bool IsNewUdpRow(const std::wstring& localAddress, const std::wstring& localPort,
                     const std::wstring& processId) const;
    bool HasIdentity(const EndpointIdentity& identity) const;
    // Calls visit(index) for every row with this identity (the initial fill
    // may list an endpoint more than once). visit may change states, not rows.
    template <typename Visit>
    void VisitRowsWithIdentity(const EndpointIdentity& identity, Visit&& visit) const
    {
        IndexFor(identity.protocol).ForEach(IdentityHash(identity), [&](const Entry* entry) {
            if (RowIdentity(entry->row) == identity) {
                visit(entry->position);
            }
        });
    }
    // The row's protocol, when it is TCP or UDP.
    std::optional<Protocol> ProtocolOf(std::size_t index) const { return EntryAt(index).protocol; }

    // Selection and focus: the view reports the user's changes here; the list
    // keeps them attached to their rows across removals, additions and
    // re-sorts. Indices outside the list are ignored.
    bool IsSelected(std::size_t index) const;
    void SetSelected(std::size_t index, bool selected);
    void SetSelectedRange(std::size_t first, std::size_t last, bool selected);  // inclusive
    void SetAllSelected(bool selected);
    bool AnySelected() const { return selectedCount_ != 0; }
    std::size_t SelectedCount() const { return selectedCount_; }
    // The selected row: the first selected row in list order.
    std::optional<std::size_t> FirstSelected() const;
    std::vector<std::size_t> SelectedIndices() const;  // list order
    std::optional<std::size_t> Focused() const;
    void SetFocused(std::optional<std::size_t> index);

    // Moves whenever rows, their order, their texts, the selection or the
    // focus change through the list, so a view knows when to redraw.
    std::uint64_t version() const { return version_; }

private:
    struct Entry {
        ConnectionRow row;
        std::size_t position = 0;      // its index in entries_
        std::size_t identityHash = 0;  // of RowIdentity(row), when it has one
        std::optional<Protocol> protocol;
        bool selected = false;
    };
    using Index = IdentityIndex<const Entry>;

    Entry& EntryAt(std::size_t index);
    const Entry& EntryAt(std::size_t index) const;
    Index& IndexFor(Protocol protocol) { return protocol == Protocol::Tcp ? tcpIndex_ : udpIndex_; }
    const Index& IndexFor(Protocol protocol) const
    {
        return protocol == Protocol::Tcp ? tcpIndex_ : udpIndex_;
    }
    void Unindex(const Entry& entry);
    void Renumber(std::size_t first, std::size_t last);
    void Changed() { ++version_; }
    void SortIfDue();

    CaptionCompare compare_;
    std::vector<std::unique_ptr<Entry>> entries_;
    Index tcpIndex_;  // the TCP rows by the hash of their identity
    Index udpIndex_;
    // entries_[0, sortedCount_) is in caption order; entries_[sortedCount_,
    // sortEnd_) still has to be sorted in; entries_[sortEnd_, size) are rows
    // appended with an empty caption after the last sort was due.
    std::size_t sortedCount_ = 0;
    std::size_t sortEnd_ = 0;
    int updateDepth_ = 0;
    std::size_t selectedCount_ = 0;
    const Entry* focused_ = nullptr;
    std::uint64_t version_ = 0;
};

// BeginUpdate for the lifetime of the object, also when a failure cuts the
// work short.
class BatchUpdate {
public:
    explicit BatchUpdate(ConnectionList& list) : list_(list) { list_.BeginUpdate(); }
    ~BatchUpdate() { list_.EndUpdate(); }
    BatchUpdate(const BatchUpdate&) = delete;
    BatchUpdate& operator=(const BatchUpdate&) = delete;

private:
    ConnectionList& list_;
};

} // namespace vq::connections
