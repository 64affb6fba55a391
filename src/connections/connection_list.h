#pragma once

#include "connections/caption_ranks.h"
#include "connections/connection_row.h"
#include "connections/identity_index.h"
#include "connections/list_columns.h"
#include "connections/process_table.h"
#include "connections/row_cells.h"
#include "connections/row_filter.h"

#include <array>
#include <cstddef>
#include <deque>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace vq::connections {

// What a refresh marks on a row while changes are highlighted.
enum class RowMark : std::uint8_t {
    None,
    New,      // a refresh added it
    Changed,  // a refresh changed its State
    Closed,   // its connection went; it stays a while, shown only
};

// Where a row's endpoint came from, as the owner-module tables tell: when it
// was made (a FILETIME, 0 when unknown) and the service that holds it.
struct RowOrigin {
    std::uint64_t created = 0;
    std::wstring service;
};

// The numbers of the status bar, of the rows the list shows.
struct RowCounts {
    std::size_t connections = 0;  // every row shown
    std::size_t established = 0;  // State "ESTABLISHED"
    std::size_t listening = 0;    // State "LISTEN"
    std::size_t hidden = 0;       // rows kept but not shown
};

// The rows of the connection list, in the order the list shows them, with the
// user's selection, focus and selection anchor attached to them.
//
// Order: ascending by caption, rows with equal captions by their endpoint
// (EndpointLess), so a re-sort never reshuffles them. A row is appended at the
// end; an appended row with a non-empty caption sorts the list again. A row
// appended with an empty caption therefore stays at the end until the next
// sort moves it to the top. Between BeginUpdate and EndUpdate the sorts are
// deferred and done once, with the same outcome; either way only the rows not
// yet in place are sorted, then merged with the sorted run (a few new rows
// find their places by binary search). Captions are ranked once
// (CaptionRanks), so sorting compares numbers.
//
// A row is its facts only: its endpoint, its TCP state code and a reference
// to its process, kept once per process (ProcessTable). Its texts are made
// when they are asked for (CellText, row), so a row costs no heap of its own.
//
// Rows are indexed by the hash of their endpoint, so finding the rows of an
// endpoint costs no scan, and the status counts are kept as rows come, go and
// change state, so reading them costs the same at any size. Facts other
// than the state never change once a row is added.
//
// A filter (RowFilter) decides which rows are shown. The list keeps every
// row, and its indices, order, selection, counts and searches are those of
// the shown rows only: nothing acts on a row the user cannot see. A row is
// tested when it comes, when its state changes and when the filter changes;
// a row that stops passing loses its selection.
//
// While changes are highlighted (SetHighlighting), a refresh marks the rows
// it adds and the rows whose state it changes, and a row whose connection
// went stays as a closed row. A mark lasts until the second refresh after
// the one that set it; a closed row then leaves. A closed row is shown only:
// it is out of the endpoint index and the counts, cannot be selected, and
// the commands pass over it. At most kMaxClosedRows linger.
//
// The optional columns (SetShownColumns) show where each row's endpoint came
// from (RowOrigin); the list keeps that only while one of them is shown.
//
// Layout: each row has a stable id, a 64-byte record of its facts and a
// 20-byte record of its place by id, so renumbering and the search for
// unmatched rows walk a third of what the facts take; while origins are
// kept, a 16-byte record of its origin.
class ConnectionList {
public:
    explicit ConnectionList(CaptionCompare compare);
    ~ConnectionList();
    ConnectionList(const ConnectionList&) = delete;
    ConnectionList& operator=(const ConnectionList&) = delete;

    std::size_t size() const { return order_.size(); }
    bool empty() const { return order_.empty(); }
    // The facts of a row and every text made from them. Both throw
    // std::out_of_range for an index outside the list.
    RowFacts Facts(std::size_t index) const;
    ConnectionRow row(std::size_t index) const { return RowTexts(Facts(index)); }
    // The text of the cell in a shown column (see CellText): the built-in
    // columns first, then the optional ones shown.
    std::wstring_view Cell(std::size_t index, std::size_t shownColumn, CellBuffer& buffer) const
    {
        return CellText(Facts(index), columns_[shownColumn], buffer);
    }

    // The optional columns shown. While either is, the list keeps each row's
    // origin, given as rows are added and completed from the owner-module
    // tables (CompleteOrigins); a column shown anew forgets the origins kept,
    // so that the next read gives every row its origin again.
    void SetShownColumns(OptionalColumns columns);
    const ShownColumns& Columns() const { return columns_; }
    std::size_t ColumnCount() const { return columns_.size(); }
    bool KeepsOrigins() const { return columns_.Optional().service || columns_.Optional().created; }
    bool ShowsService() const { return columns_.Optional().service; }
    // Gives each row of the protocol that the last matching pass matched,
    // and that has no origin yet, the origin of its table entry:
    // originOf(place) for the entry at that place of the table.
    template <typename OriginOf>
    void CompleteOrigins(Protocol protocol, OriginOf&& originOf)
    {
        if (!KeepsOrigins()) {
            return;
        }
        const std::vector<std::uint32_t>& order = TableOrder(protocol);
        for (std::size_t place = 0; place < order.size(); ++place) {
            const std::uint32_t id = order[place];
            if (id != kNoRow && !origins_[id].known) {
                SetOrigin(id, originOf(place));
            }
        }
        CompactOrder();
    }
    // Gives every row with the endpoint, shown or hidden, that has no origin
    // yet this one: for a read of the owner-module tables outside a refresh.
    template <typename OriginOf>
    void CompleteOriginsOf(const EndpointKey& endpoint, OriginOf&& originOf)
    {
        if (!KeepsOrigins()) {
            return;
        }
        index_.ForEach(EndpointHash(endpoint), [&](std::uint32_t id) {
            if (rows_[id].endpoint == endpoint && !origins_[id].known) {
                SetOrigin(id, originOf());
            }
        });
        CompactOrder();
    }
    const std::wstring& CaptionOf(std::size_t index) const { return processes_[RowAt(index).process].caption->text; }
    // A row's process, by its reference into Processes().
    ProcessTable::Ref ProcessOf(std::size_t index) const { return RowAt(index).process; }
    const ProcessTable& Processes() const { return processes_; }

    // Appends the row of an endpoint, unselected; a non-empty caption sorts
    // the list. tcpState is the state code of a TCP row; a UDP row shows
    // none. A row the filter does not pass is kept hidden. With news and
    // changes highlighted, the row is marked new. While origins are kept,
    // origin is the row's (none: to be completed).
    void AppendRow(const EndpointKey& endpoint, std::uint32_t tcpState, const OwningProcess& owner,
                   bool news = false, const RowOrigin* origin = nullptr);
    // Sets a TCP row's state code (and so its State text); identity, caption
    // and order stay, unless the filter no longer passes the row.
    void SetTcpState(std::size_t index, std::uint32_t tcpState);
    // Removes every row whose flag is set, in one pass; indices past the end
    // of remove are kept. The others keep their order, selection and focus.
    // A removed focused row hands the focus to the next remaining row (the
    // previous one at the end of the list); so does a row the filter hides.
    void RemoveRows(const std::vector<bool>& remove);
    // Removes every row of a protocol, shown or hidden.
    void RemoveRowsOfProtocol(Protocol protocol);

    // Tests every row against a new filter: rows that pass are shown in
    // their places, the others hidden. Costs one test per row and placing
    // the rows that come back.
    void SetFilter(RowFilter filter);
    const RowFilter& Filter() const { return filter_; }

    // Highlighting changes: off removes every closed row and every mark.
    void SetHighlighting(bool on);
    bool Highlighting() const { return highlighting_; }
    static constexpr std::size_t kMaxClosedRows = 10000;
    // A refresh begins: marks set two refreshes ago expire, and closed rows
    // among them leave.
    void BeginRefresh();
    // Whether a protocol's last table read was one: only then do the rows
    // the next read adds count as news (not after a fill, a failed read or
    // the IPv6 rows' removal).
    bool TableWasRead(Protocol protocol) const { return tableRead_[static_cast<std::size_t>(protocol)]; }
    void SetTableRead(Protocol protocol, bool read) { tableRead_[static_cast<std::size_t>(protocol)] = read; }
    RowMark MarkOf(std::size_t index) const { return places_[IdAt(index)].mark; }
    bool IsClosed(std::size_t index) const { return MarkOf(index) == RowMark::Closed; }

    // Room for this many rows in all, so that appending up to that many
    // moves nothing already held (and for the closed rows that may linger
    // while changes are highlighted).
    void Reserve(std::size_t rows);

    // Defers sorting until the outermost EndUpdate. Prefer BatchUpdate.
    void BeginUpdate();
    void EndUpdate();

    // Asks the processor to fetch where an endpoint's row is indexed, for a
    // caller that will add or look up that endpoint soon.
    void PrefetchEndpoint(const EndpointKey& endpoint) const { index_.Prefetch(EndpointHash(endpoint)); }
    // Whether a row, shown or hidden, has this endpoint; never for
    // Protocol::None.
    bool HasEndpoint(const EndpointKey& endpoint) const;
    // Calls visit(index) for every shown row with this endpoint (the initial
    // fill may list an endpoint more than once).
    template <typename Visit>
    void VisitRowsWithEndpoint(const EndpointKey& endpoint, Visit&& visit) const
    {
        index_.ForEach(EndpointHash(endpoint), [&](std::uint32_t id) {
            if (rows_[id].endpoint == endpoint && places_[id].shown) {
                visit(static_cast<std::size_t>(places_[id].position));
            }
        });
    }
    Protocol ProtocolOf(std::size_t index) const { return RowAt(index).endpoint.protocol; }
    std::uint32_t TcpStateOf(std::size_t index) const { return RowAt(index).tcpState; }
    const EndpointKey& EndpointOf(std::size_t index) const { return RowAt(index).endpoint; }

    // A matching pass of a refresh: BeginMatch, then MatchEndpoint for every
    // table entry in table order, then EndMatch, then RemoveUnmatchedRows.
    // MatchEndpoint gives each row with the endpoint, shown or hidden, that
    // no earlier call of the pass matched the entry's state code (0 for UDP),
    // and answers whether any row has the endpoint. A row the new state hides
    // leaves the shown rows at EndMatch.
    //
    // Tables come back in much the same order each time, so an entry is first
    // compared with the row that the entry at the same place matched in the
    // protocol's last pass: a refresh walks its rows nearly in sequence and
    // asks the index only where the table changed.
    void BeginMatch(Protocol protocol);
    bool MatchEndpoint(const EndpointKey& endpoint, std::uint32_t tcpState)
    {
        const auto matched = [&](std::uint32_t id) {
            Place& place = places_[id];
            if (place.matchedIn != pass_) {
                place.matchedIn = pass_;
                if (rows_[id].tcpState != tcpState) {
                    ApplyState(id, tcpState);
                }
            }
        };
        const std::vector<std::uint32_t>& previous = TableOrder(endpoint.protocol);
        if (cursor_ < previous.size() && previous[cursor_] != kNoRow) {
            const std::uint32_t id = previous[cursor_];
            Place& place = places_[id];
            if (place.live && !place.twin && place.mark != RowMark::Closed && rows_[id].endpoint == endpoint) {
                ++cursor_;
                passOrder_.push_back(id);
                matched(id);
                return true;
            }
        }
        std::uint32_t first = kNoRow;
        index_.ForEach(EndpointHash(endpoint), [&](std::uint32_t id) {
            if (rows_[id].endpoint == endpoint) {
                first = first == kNoRow ? id : first;
                matched(id);
            }
        });
        // A new entry's place stays empty; a known one puts the walk back in step.
        passOrder_.push_back(first);
        if (first != kNoRow && places_[first].tablePlace != kNoRow) {
            cursor_ = places_[first].tablePlace + 1;
        }
        return first != kNoRow;
    }
    void EndMatch();
    // The initial fill of one protocol's table: the rows of the protocol
    // appended until EndMatch are taken as that table's order, so that the
    // first refresh walks them in step instead of looking up every entry.
    void BeginFill(Protocol protocol);
    // Removes the rows of the protocol, shown or hidden, that the pass did
    // not match, except the shown row at spared; with highlighting, a shown
    // one stays as a closed row.
    void RemoveUnmatchedRows(Protocol protocol, std::optional<std::size_t> spared);

    // The status counts, kept up to date: equal to counting every shown row
    // now.
    RowCounts Counts() const
    {
        return {order_.size() - closedRows_, established_, listening_, liveRows_ - order_.size()};
    }

    // Selection and focus: the view reports the user's changes here; the list
    // keeps them attached to their rows across removals, additions and
    // re-sorts. Indices outside the list, and closed rows, are ignored.
    bool IsSelected(std::size_t index) const;
    void SetSelected(std::size_t index, bool selected);
    void SetSelectedRange(std::size_t first, std::size_t last, bool selected);  // inclusive
    void SetAllSelected(bool selected);
    bool AnySelected() const { return !selected_.empty(); }
    std::size_t SelectedCount() const { return selected_.size(); }
    // Whether a selected row's protocol passes the test; stops at the first.
    template <typename Test>
    bool AnySelectedWithProtocol(Test&& test) const
    {
        for (const std::uint32_t id : selected_) {
            if (test(rows_[id].endpoint.protocol)) {
                return true;
            }
        }
        return false;
    }
    // The selected row: the first selected row in list order.
    std::optional<std::size_t> FirstSelected() const;
    std::vector<std::size_t> SelectedIndices() const;  // list order
    std::optional<std::size_t> Focused() const;
    void SetFocused(std::optional<std::size_t> index);
    // The row where a Shift-selection starts.
    std::optional<std::size_t> Anchor() const;
    void SetAnchor(std::optional<std::size_t> index);

    // Moves whenever rows, their order, their texts, the selection or the
    // focus change through the list, so a view knows when to redraw.
    std::uint64_t version() const { return version_; }

private:
    // A row's facts, by its id: one cache line.
    struct Row {
        EndpointKey endpoint;
        std::uint32_t tcpState = 0;
        ProcessTable::Ref process = 0;
    };
    // Where a row is, by its id: what renumbering, matching and the search
    // for unmatched rows walk, apart from the facts.
    struct Place {
        std::uint32_t position = 0;             // its index in order_
        std::uint32_t matchedIn = 0;            // the matching pass that last found it
        std::uint32_t tablePlace = UINT32_MAX;  // in its protocol's last table order
        std::uint32_t markedIn = 0;             // the refresh that set its mark
        Protocol protocol = Protocol::None;
        RowMark mark = RowMark::None;
        bool live : 1 = false;
        bool selected : 1 = false;
        bool twin : 1 = false;  // another row was added with the same endpoint
        bool shown : 1 = false;  // in order_; the filter passes it
    };
    // Where a row's endpoint came from, by its id, while origins are kept.
    struct Origin {
        std::uint64_t created = 0;
        std::uint32_t service = 0;  // into serviceTexts_
        bool known = false;
    };
    static_assert(sizeof(Row) == 64 && sizeof(Place) == 20 && sizeof(Origin) == 16,
                  "a row's records keep their sizes");
    static constexpr std::uint32_t kNoRow = UINT32_MAX;
    // A row and the refresh that marked it.
    struct MarkEntry {
        std::uint32_t id;
        std::uint32_t refresh;
    };

    std::uint32_t IdAt(std::size_t index) const;
    RowFacts FactsOf(std::uint32_t id) const;
    // The number of a service text, added when new.
    std::uint32_t ServiceNumber(const std::wstring& service);
    // Sets a row's origin; a row whose origin decides the filter's answer is
    // tested again (CompactOrder drops a row it hides).
    void SetOrigin(std::uint32_t id, const RowOrigin& origin);
    std::vector<std::uint32_t>& TableOrder(Protocol protocol) { return tableOrders_[static_cast<std::size_t>(protocol)]; }
    const Row& RowAt(std::size_t index) const { return rows_[IdAt(index)]; }
    bool Less(std::uint32_t a, std::uint32_t b) const;
    void CountState(const Row& row, int change);
    bool Passes(std::uint32_t id) const;
    // A matched row's new state; a shown row it hides leaves order_ at the
    // next CompactOrder.
    void ApplyState(std::uint32_t id, std::uint32_t tcpState);
    void Hide(std::uint32_t id);
    void SetMark(std::uint32_t id, RowMark mark);
    // A shown row whose connection went stays, closed.
    void Close(std::uint32_t id);
    void ForgetOldestClosed();
    bool IsClosedSince(const MarkEntry& entry) const;
    // Puts a hidden row at the end of order_, to be sorted in; room for it
    // must be reserved.
    void Show(std::uint32_t id);
    void Forget(std::uint32_t id);
    // Drops from order_ the rows that are gone or hidden since the last call.
    void CompactOrder();
    void Renumber(std::size_t first, std::size_t last);
    void Changed() { ++version_; }
    void SortIfDue();
    void SetRowSelected(std::uint32_t id, bool selected);
    std::optional<std::size_t> PositionOf(std::uint32_t id) const;
    std::uint32_t IdOrNone(std::optional<std::size_t> index) const;

    ProcessTable processes_;
    std::vector<Row> rows_;      // by id
    std::vector<Place> places_;  // by id; live false for a free id
    std::vector<std::uint32_t> freeIds_;
    std::vector<std::uint32_t> order_;  // the ids in list order
    IdentityIndex index_;               // the rows with an endpoint, by its hash
    // order_[0, sortedCount_) is in order; order_[sortedCount_, sortEnd_)
    // still has to be sorted in; order_[sortEnd_, size) are rows appended
    // with an empty caption after the last sort was due.
    std::size_t sortedCount_ = 0;
    std::size_t sortEnd_ = 0;
    int updateDepth_ = 0;
    std::unordered_set<std::uint32_t> selected_;
    std::uint32_t focused_ = kNoRow;
    std::uint32_t anchor_ = kNoRow;
    std::uint32_t pass_ = 0;
    // The rows each protocol's last pass matched, in table order (kNoRow where
    // an entry was new), and the order the running pass is building.
    std::array<std::vector<std::uint32_t>, kProtocolCount> tableOrders_;
    std::vector<std::uint32_t> passOrder_;
    Protocol passProtocol_ = Protocol::None;
    bool filling_ = false;
    std::size_t cursor_ = 0;
    std::size_t established_ = 0;
    std::size_t listening_ = 0;
    std::size_t liveRows_ = 0;
    RowFilter filter_;
    bool filterPassesAll_ = true;
    // The first position of order_ that CompactOrder has to look at.
    std::size_t compactFrom_ = SIZE_MAX;
    bool highlighting_ = false;
    std::uint32_t refresh_ = 0;
    // The marked rows in the order their marks were set; an entry whose row
    // has since been marked again or has gone is passed over.
    std::deque<MarkEntry> marks_;
    // The closed rows in the order they closed, so that the oldest is at
    // hand when there are too many; entries of rows gone since are dropped
    // from the front as marks expire.
    std::deque<MarkEntry> closedOrder_;
    std::size_t closedRows_ = 0;
    std::array<bool, kProtocolCount> tableRead_{};
    ShownColumns columns_;
    std::vector<Origin> origins_;  // by id, as many as rows_ while origins are kept
    // Every service text rows have had, once each; 0 is the empty text. A
    // deque, so that a text's place stays while texts are added.
    std::deque<std::wstring> serviceTexts_{std::wstring()};
    std::unordered_map<std::wstring, std::uint32_t> serviceNumbers_;
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
