#include "ui/connection_list_view.h"

#include "connections/row_painting.h"
#include "connections/row_search.h"
#include "ui/design_size.h"
#include "util/error_report.h"

#include <windowsx.h>

#include <algorithm>

namespace vq::ui {
namespace {

// The item index that LVM_SETITEMSTATE reads as every item.
constexpr std::size_t kAllItems = static_cast<std::size_t>(-1);

// Puts a column at a place of the control; the control asks for its texts
// by that place.
void InsertColumn(HWND list, std::size_t position, std::size_t column, int width)
{
    std::wstring caption(connections::ColumnCaption(column));
    LVCOLUMNW item{};
    item.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    item.pszText = caption.data();
    item.cx = width;
    item.iSubItem = static_cast<int>(position);
    ::SendMessageW(list, LVM_INSERTCOLUMNW, position, reinterpret_cast<LPARAM>(&item));
}

} // namespace

ConnectionListView::ConnectionListView(connections::ConnectionList& model) : model_(model) {}

bool ConnectionListView::Create(HWND parent, HINSTANCE instance, int controlId, HFONT font,
                                UINT mouseLeftMessage, int dpi)
{
    mouseLeftMessage_ = mouseLeftMessage;
    dpi_ = dpi;
    // Owner data: painting asks only for the visible rows. No label editing,
    // headers that do nothing when clicked, several rows selectable.
    constexpr DWORD style = WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_CLIPSIBLINGS | LVS_REPORT |
                            LVS_OWNERDATA | LVS_SHOWSELALWAYS | LVS_NOSORTHEADER;
    hwnd_ = ::CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"", style, 0, 0, 0, 0, parent,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(controlId)), instance, nullptr);
    if (hwnd_ == nullptr) {
        return false;
    }
    ::SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    constexpr DWORD extended =
        LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT | LVS_EX_FLATSB | LVS_EX_DOUBLEBUFFER;
    ListView_SetExtendedListViewStyleEx(hwnd_, extended, extended);

    for (std::size_t i = 0; i < connections::kListColumnCount; ++i) {
        InsertColumn(hwnd_, i, i, ScaleToDpi(kListColumnWidths[i], dpi));
    }
    // The list and its header both watch the pointer: it has left the list
    // only when it is outside both.
    ::SetWindowSubclass(hwnd_, &ConnectionListView::SubclassProc, 0, reinterpret_cast<DWORD_PTR>(this));
    const HWND header = reinterpret_cast<HWND>(::SendMessageW(hwnd_, LVM_GETHEADER, 0, 0));
    ::SetWindowSubclass(header, &ConnectionListView::SubclassProc, 0, reinterpret_cast<DWORD_PTR>(this));
    cellTooltip_.Create(hwnd_, [this](int row, int column) {
        if (row < 0 || static_cast<std::size_t>(row) >= model_.size() || column < 0 ||
            static_cast<std::size_t>(column) >= model_.ColumnCount()) {
            return std::wstring();
        }
        connections::CellBuffer buffer;
        return std::wstring(model_.Cell(static_cast<std::size_t>(row), static_cast<std::size_t>(column), buffer));
    });
    ShowModelChanges();
    return true;
}

std::size_t ConnectionListView::ShownColumnCount() const
{
    const HWND header = reinterpret_cast<HWND>(::SendMessageW(hwnd_, LVM_GETHEADER, 0, 0));
    const LRESULT count = ::SendMessageW(header, HDM_GETITEMCOUNT, 0, 0);
    return count > 0 ? static_cast<std::size_t>(count) : 0;
}

std::optional<std::size_t> ConnectionListView::ViewPositionOf(std::size_t column) const
{
    const connections::ShownColumns shown(shownOptional_);
    for (std::size_t position = 0; position < shown.size() && position < ShownColumnCount(); ++position) {
        if (shown[position] == column) {
            return position;
        }
    }
    return std::nullopt;
}

bool ConnectionListView::KeepsColumnWidth(std::size_t column) const
{
    return column < connections::kListColumnCount || ViewPositionOf(column) ||
           (column < connections::kAnyColumnCount && optionalWidths_[column - connections::kListColumnCount] > 0);
}

int ConnectionListView::ColumnWidth(std::size_t column) const
{
    if (const auto position = ViewPositionOf(column)) {
        return static_cast<int>(::SendMessageW(hwnd_, LVM_GETCOLUMNWIDTH, *position, 0));
    }
    if (column < connections::kListColumnCount || column >= connections::kAnyColumnCount) {
        return 0;
    }
    const int kept = optionalWidths_[column - connections::kListColumnCount];
    return kept > 0 ? kept : ScaleToDpi(kListColumnWidths[column], dpi_);
}

void ConnectionListView::SetColumnWidth(std::size_t column, int width)
{
    if (const auto position = ViewPositionOf(column)) {
        ::SendMessageW(hwnd_, LVM_SETCOLUMNWIDTH, *position, MAKELPARAM(width, 0));
    } else if (column >= connections::kListColumnCount && column < connections::kAnyColumnCount) {
        optionalWidths_[column - connections::kListColumnCount] = width;
    }
}

void ConnectionListView::RescaleColumns(int fromDpi, int toDpi)
{
    dpi_ = toDpi;
    for (std::size_t column = 0; column < ColumnCount(); ++column) {
        if (KeepsColumnWidth(column)) {
            SetColumnWidth(column, ::MulDiv(ColumnWidth(column), toDpi, fromDpi));
        }
    }
}

void ConnectionListView::ShowModelColumns()
{
    const connections::OptionalColumns wanted = model_.Columns().Optional();
    if (wanted == shownOptional_) {
        return;
    }
    for (std::size_t column = connections::kListColumnCount; column < connections::kAnyColumnCount; ++column) {
        if (ViewPositionOf(column)) {
            optionalWidths_[column - connections::kListColumnCount] = ColumnWidth(column);
        }
    }
    while (ShownColumnCount() > connections::kListColumnCount) {
        ::SendMessageW(hwnd_, LVM_DELETECOLUMN, connections::kListColumnCount, 0);
    }
    shownOptional_ = wanted;
    const connections::ShownColumns shown(wanted);
    for (std::size_t position = connections::kListColumnCount; position < shown.size(); ++position) {
        InsertColumn(hwnd_, position, shown[position], ColumnWidth(shown[position]));
    }
    ::InvalidateRect(hwnd_, nullptr, TRUE);
}

LRESULT CALLBACK ConnectionListView::SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                                  UINT_PTR, DWORD_PTR self)
{
    auto* view = reinterpret_cast<ConnectionListView*>(self);
    util::RunWindowProcedure(::GetAncestor(hwnd, GA_ROOT), view->reportOpen_, [&] {
        switch (message) {
        case WM_MOUSEMOVE:
            view->OnMouseMove(hwnd, lParam);
            break;
        case WM_MOUSELEAVE:
            view->OnMouseLeave();
            break;
        default:
            break;
        }
    });
    if (message == WM_NCDESTROY) {
        ::RemoveWindowSubclass(hwnd, &ConnectionListView::SubclassProc, 0);
    }
    return ::DefSubclassProc(hwnd, message, wParam, lParam);
}

void ConnectionListView::OnMouseMove(HWND window, LPARAM position)
{
    if (window == hwnd_) {
        cellTooltip_.OnMouseMove({GET_X_LPARAM(position), GET_Y_LPARAM(position)});
    }
    TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, window, 0};
    ::TrackMouseEvent(&track);
}

void ConnectionListView::OnMouseLeave()
{
    POINT cursor{};
    RECT list{};
    ::GetCursorPos(&cursor);
    ::GetWindowRect(hwnd_, &list);
    if (!::PtInRect(&list, cursor)) {
        ::SendMessageW(::GetParent(hwnd_), mouseLeftMessage_, 0, 0);
    }
}

void ConnectionListView::SetItemState(std::size_t index, UINT state, UINT mask)
{
    LVITEMW item{};
    item.state = state;
    item.stateMask = mask;
    ::SendMessageW(hwnd_, LVM_SETITEMSTATE, index, reinterpret_cast<LPARAM>(&item));
}

void ConnectionListView::CaptureAnchor()
{
    if (hwnd_ == nullptr) {
        return;
    }
    const auto mark = static_cast<int>(::SendMessageW(hwnd_, LVM_GETSELECTIONMARK, 0, 0));
    shown_.anchor = mark >= 0 ? std::optional<std::size_t>(static_cast<std::size_t>(mark)) : std::nullopt;
    model_.SetAnchor(shown_.anchor);
}

void ConnectionListView::ShowModelChanges()
{
    if (hwnd_ == nullptr || (shownVersion_ == model_.version() && !refused_)) {
        return;
    }
    ShowModelColumns();
    refused_ = false;
    const ShownListState wanted = StateOf(model_);
    const ListViewUpdate update = PlanListViewUpdate(shown_, wanted);
    applyingModel_ = true;
    for (const std::size_t index : update.deselect) {
        SetItemState(index, 0, LVIS_SELECTED);
    }
    if (update.focusChanged && !update.focused && shown_.focused && *shown_.focused < shown_.itemCount) {
        SetItemState(*shown_.focused, 0, LVIS_FOCUSED);
    }
    if (update.itemCount != shown_.itemCount) {
        ::SendMessageW(hwnd_, LVM_SETITEMCOUNT, update.itemCount, LVSICF_NOSCROLL | LVSICF_NOINVALIDATEALL);
    }
    if (update.itemCount > 1 && update.select.size() == update.itemCount) {
        // Every row at once (Select All): one message instead of one per row.
        SetItemState(kAllItems, LVIS_SELECTED, LVIS_SELECTED);
    } else {
        for (const std::size_t index : update.select) {
            SetItemState(index, LVIS_SELECTED, LVIS_SELECTED);
        }
    }
    if (update.focusChanged && update.focused) {
        SetItemState(*update.focused, LVIS_FOCUSED, LVIS_FOCUSED);
    }
    if (update.anchorChanged) {
        ::SendMessageW(hwnd_, LVM_SETSELECTIONMARK, 0, update.anchor ? static_cast<LPARAM>(*update.anchor) : -1);
    }
    applyingModel_ = false;
    shown_ = wanted;
    shownVersion_ = model_.version();
    cellTooltip_.OnRowsChanged();
    ::InvalidateRect(hwnd_, nullptr, FALSE);
}

void ConnectionListView::EnsureVisible(std::size_t index)
{
    ::SendMessageW(hwnd_, LVM_ENSUREVISIBLE, index, FALSE);
}

void ConnectionListView::OnGetDisplayInfo(NMLVDISPINFOW& info) const
{
    LVITEMW& item = info.item;
    if ((item.mask & LVIF_TEXT) == 0 || item.pszText == nullptr || item.cchTextMax <= 0 ||
        item.iItem < 0 || static_cast<std::size_t>(item.iItem) >= model_.size() || item.iSubItem < 0 ||
        static_cast<std::size_t>(item.iSubItem) >= model_.ColumnCount()) {
        return;
    }
    connections::CellBuffer buffer;
    const std::wstring_view text =
        model_.Cell(static_cast<std::size_t>(item.iItem), static_cast<std::size_t>(item.iSubItem), buffer);
    const std::size_t length = std::min(text.size(), static_cast<std::size_t>(item.cchTextMax - 1));
    std::copy_n(text.data(), length, item.pszText);
    item.pszText[length] = L'\0';
}

void ConnectionListView::OnItemChanged(const NMLISTVIEW& change)
{
    if (applyingModel_ || (change.uChanged & LVIF_STATE) == 0) {
        return;
    }
    const UINT changed = change.uNewState ^ change.uOldState;
    const bool selected = (change.uNewState & LVIS_SELECTED) != 0;
    if (change.iItem < 0) {
        // The whole list at once.
        if ((changed & LVIS_SELECTED) != 0) {
            model_.SetAllSelected(selected);
            RecordAllSelected(shown_, selected);
        }
    } else if (static_cast<std::size_t>(change.iItem) < model_.size()) {
        const auto index = static_cast<std::size_t>(change.iItem);
        if ((changed & LVIS_SELECTED) != 0) {
            model_.SetSelected(index, selected);
            RecordSelected(shown_, index, selected);
        }
        if ((changed & LVIS_FOCUSED) != 0) {
            if ((change.uNewState & LVIS_FOCUSED) != 0) {
                model_.SetFocused(index);
            } else if (model_.Focused() == index) {
                model_.SetFocused(std::nullopt);
            }
            shown_.focused = model_.Focused();
        }
    }
    TakeModelAnswer();
}

// The model refuses to select a closed row: the control, which selected it
// already, is brought back in step at once.
void ConnectionListView::TakeModelAnswer()
{
    shownVersion_ = model_.version();
    refused_ = model_.SelectedCount() != shown_.selected.size();
}

void ConnectionListView::OnRangeStateChanged(const NMLVODSTATECHANGE& change)
{
    if (applyingModel_ || change.iFrom < 0 || change.iTo < change.iFrom ||
        static_cast<std::size_t>(change.iTo) >= model_.size()) {
        return;
    }
    if (((change.uNewState ^ change.uOldState) & LVIS_SELECTED) != 0) {
        const auto first = static_cast<std::size_t>(change.iFrom);
        const auto last = static_cast<std::size_t>(change.iTo);
        const bool selected = (change.uNewState & LVIS_SELECTED) != 0;
        model_.SetSelectedRange(first, last, selected);
        RecordRangeSelected(shown_, first, last, selected);
    }
    TakeModelAnswer();
}

LRESULT ConnectionListView::OnFindItem(const NMLVFINDITEMW& find) const
{
    if ((find.lvfi.flags & (LVFI_STRING | LVFI_PARTIAL)) == 0 || find.lvfi.psz == nullptr) {
        return -1;
    }
    const std::size_t start = find.iStart > 0 ? static_cast<std::size_t>(find.iStart) : 0;
    const auto found = connections::FindCaptionPrefix(model_, find.lvfi.psz, start);
    return found ? static_cast<LRESULT>(*found) : -1;
}

void ConnectionListView::OnItemPrePaint(NMLVCUSTOMDRAW& draw)
{
    const auto index = static_cast<std::size_t>(draw.nmcd.dwItemSpec);
    if (index >= model_.size()) {
        return;
    }
    const connections::RowMark mark = model_.MarkOf(index);
    // A selected row's background is the selection's, never a mark's; the
    // mark's font stays.
    const connections::RowMark backgroundMark = model_.IsSelected(index) ? connections::RowMark::None : mark;
    if (const auto background =
            connections::RowBackground(model_.EndpointOf(index), model_.TcpStateOf(index), backgroundMark)) {
        draw.clrTextBk = RGB(background->red, background->green, background->blue);
        draw.clrText = ::GetSysColor(COLOR_WINDOWTEXT);
    }
    if (const HFONT font = FontFor(connections::RowFontOf(mark))) {
        ::SelectObject(draw.nmcd.hdc, font);
    }
}

HFONT ConnectionListView::FontFor(connections::RowFont font)
{
    const auto base = reinterpret_cast<HFONT>(::SendMessageW(hwnd_, WM_GETFONT, 0, 0));
    if (font == connections::RowFont::Regular || base == nullptr) {
        return base;
    }
    if (base != markFontsBase_) {
        LOGFONTW look{};
        if (::GetObjectW(base, sizeof(look), &look) == 0) {
            return base;
        }
        LOGFONTW bold = look;
        bold.lfWeight = FW_BOLD;
        LOGFONTW struck = look;
        struck.lfStrikeOut = TRUE;
        boldFont_.reset(::CreateFontIndirectW(&bold));
        struckFont_.reset(::CreateFontIndirectW(&struck));
        markFontsBase_ = base;
    }
    const HFONT made = font == connections::RowFont::Bold ? boldFont_.get() : struckFont_.get();
    return made != nullptr ? made : base;
}

POINT ConnectionListView::ContextMenuPointForKeyboard() const
{
    POINT point{0, 0};
    const int focused = static_cast<int>(::SendMessageW(hwnd_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
    RECT rect{};
    rect.left = LVIR_BOUNDS;
    if (focused >= 0 && ::SendMessageW(hwnd_, LVM_GETITEMRECT, focused, reinterpret_cast<LPARAM>(&rect))) {
        point = {rect.left, rect.bottom};
    }
    ::ClientToScreen(hwnd_, &point);
    return point;
}

} // namespace vq::ui
