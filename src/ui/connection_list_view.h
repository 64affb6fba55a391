#pragma once

#include "connections/connection_list.h"
#include "connections/list_columns.h"
#include "connections/row_painting.h"
#include "platform/win32/unique_win32.h"
#include "ui/cell_tooltip.h"
#include "ui/list_view_state.h"
#include "platform/win32/windows_api.h"

#include <commctrl.h>

#include <array>
#include <cstdint>
#include <optional>

namespace vq::ui {

// The columns' built-in widths at 96 dots per inch, by column number: the nine built-in columns
// in the order of their captions, then Service and Created.
inline constexpr std::array<int, connections::kAnyColumnCount> kListColumnWidths = {125, 75,  125, 150, 75, 150,
                                                                                   75,  75, 250, 150, 130};

// The connection list: an owner-data report list over the connection model. The model owns
// the rows, their order and which are selected; the control asks for the
// texts of the rows it paints and reports the user's selection changes. The
// view remembers what the control shows, so bringing it in step with the
// model touches only the items whose state changed.
class ConnectionListView {
public:
    explicit ConnectionListView(connections::ConnectionList& model);

    // mouseLeftMessage is sent to the parent each time the mouse pointer leaves the list.
    // The built-in column widths are scaled to dpi.
    bool Create(HWND parent, HINSTANCE instance, int controlId, HFONT font, UINT mouseLeftMessage, int dpi);
    HWND hwnd() const noexcept { return hwnd_; }

    // Tells the model which row the control's Shift-selection starts from.
    // Called before the model changes, while both still agree on the rows.
    void CaptureAnchor();
    // Shows the model's current rows when they changed behind the control's
    // back: the row count, and selection, focus and anchor where they moved;
    // the scroll position is kept. Optional columns the model shows now come
    // or go.
    void ShowModelChanges();
    // Scrolls the list so that the row can be seen, as little as needed.
    void EnsureVisible(std::size_t index);

    // The columns by their numbers (list_columns.h), shown or not; widths in
    // pixels. A column not shown keeps the width it had or was given, for
    // when it shows again.
    std::size_t ColumnCount() const { return connections::kAnyColumnCount; }
    // Whether a column's width is worth keeping: shown now, or given one
    // (shown or set) earlier.
    bool KeepsColumnWidth(std::size_t column) const;
    int ColumnWidth(std::size_t column) const;
    void SetColumnWidth(std::size_t column, int width);
    // At a new screen density every column keeps its share of the width.
    void RescaleColumns(int fromDpi, int toDpi);

    // Notifications from the control; answers the notification's result.
    void OnGetDisplayInfo(NMLVDISPINFOW& info) const;
    void OnItemChanged(const NMLISTVIEW& change);
    void OnRangeStateChanged(const NMLVODSTATECHANGE& change);
    // The user typed in the list: the index of the row to select, or -1 to
    // leave the selection where it is.
    LRESULT OnFindItem(const NMLVFINDITEMW& find) const;

    // The hook before a row is painted: established and marked rows get
    // their colour, marked rows their font.
    void OnItemPrePaint(NMLVCUSTOMDRAW& draw);

    // Screen point for a context menu asked for from the keyboard.
    POINT ContextMenuPointForKeyboard() const;

private:
    static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                         UINT_PTR id, DWORD_PTR self);
    void OnMouseMove(HWND window, LPARAM position);
    void OnMouseLeave();
    void SetItemState(std::size_t index, UINT state, UINT mask);
    // The control's columns follow the model's: the optional ones are taken
    // out and the shown ones put back in order, keeping their widths.
    void ShowModelColumns();
    std::size_t ShownColumnCount() const;
    // Where a column is in the control; none when it is not shown.
    std::optional<std::size_t> ViewPositionOf(std::size_t column) const;
    void TakeModelAnswer();
    // The list's font, or its bold or struck-through form, made from the
    // font the list has now.
    HFONT FontFor(connections::RowFont font);

    connections::ConnectionList& model_;
    // The optional columns the control shows, and the widths of the optional
    // columns while not shown (0: none given yet).
    connections::OptionalColumns shownOptional_;
    std::array<int, connections::kAnyColumnCount - connections::kListColumnCount> optionalWidths_{};
    int dpi_ = 96;
    UINT mouseLeftMessage_ = 0;
    HWND hwnd_ = nullptr;
    ShownListState shown_;
    std::uint64_t shownVersion_ = 0;
    bool applyingModel_ = false;
    bool refused_ = false;  // the control shows a selection the model refused
    bool reportOpen_ = false;  // an error report of the subclass procedure is on screen
    CellTooltip cellTooltip_;
    HFONT markFontsBase_ = nullptr;  // the list font the two below were made from
    platform::win32::UniqueHfont boldFont_;
    platform::win32::UniqueHfont struckFont_;
};

} // namespace vq::ui
