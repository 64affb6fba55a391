#include "ui/cell_tooltip.h"

#include <utility>

namespace vq::ui {
namespace {

// The room the list leaves around a cell's text.
constexpr int kTextMargin = 12;
// Long texts (folders) wrap at this width rather than crossing the screen.
constexpr int kTipWidth = 600;

TTTOOLINFOW ToolFor(HWND list)
{
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof(tool);
    tool.uFlags = TTF_SUBCLASS;
    tool.hwnd = list;
    tool.uId = 1;
    return tool;
}

} // namespace

CellTooltip::~CellTooltip()
{
    if (tooltip_ != nullptr) {
        ::DestroyWindow(tooltip_);
    }
}

void CellTooltip::Create(HWND list, CellText cellText)
{
    list_ = list;
    cellText_ = std::move(cellText);
    tooltip_ = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                                 CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, list, nullptr, nullptr,
                                 nullptr);
    if (tooltip_ == nullptr) {
        return;
    }
    TTTOOLINFOW tool = ToolFor(list_);
    tool.lpszText = const_cast<wchar_t*>(L"");
    ::SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    ::SendMessageW(tooltip_, TTM_SETMAXTIPWIDTH, 0, kTipWidth);
}

void CellTooltip::OnMouseMove(POINT point)
{
    if (tooltip_ == nullptr) {
        return;
    }
    LVHITTESTINFO hit{};
    hit.pt = point;
    ::SendMessageW(list_, LVM_SUBITEMHITTEST, 0, reinterpret_cast<LPARAM>(&hit));
    if (hit.iItem == row_ && hit.iSubItem == column_) {
        return;
    }
    row_ = hit.iItem;
    column_ = hit.iSubItem;
    text_ = row_ >= 0 && (hit.flags & LVHT_ONITEM) != 0 ? cellText_(row_, column_) : std::wstring();
    RECT cell{};
    cell.top = column_;
    cell.left = LVIR_BOUNDS;
    if (text_.empty() ||
        !::SendMessageW(list_, LVM_GETSUBITEMRECT, row_, reinterpret_cast<LPARAM>(&cell))) {
        Hide();
        return;
    }
    if (column_ == 0) {
        // The first column's bounds are the whole row's.
        cell.right = cell.left + static_cast<int>(::SendMessageW(list_, LVM_GETCOLUMNWIDTH, 0, 0));
    }
    const int textWidth = static_cast<int>(::SendMessageW(list_, LVM_GETSTRINGWIDTHW, 0,
                                                          reinterpret_cast<LPARAM>(text_.c_str())));
    if (textWidth + kTextMargin <= cell.right - cell.left) {
        Hide();
        return;
    }
    TTTOOLINFOW tool = ToolFor(list_);
    tool.rect = cell;
    tool.lpszText = text_.data();
    ::SendMessageW(tooltip_, TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&tool));
    ::SendMessageW(tooltip_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
    // The tooltip saw this move before the cell became its tool: it is told
    // again, so that a pointer that stops here now shows the tip.
    MSG move{list_, WM_MOUSEMOVE, 0, MAKELPARAM(point.x, point.y), 0, {}};
    ::SendMessageW(tooltip_, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&move));
}

void CellTooltip::OnRowsChanged()
{
    if (tooltip_ == nullptr || row_ < 0 || text_.empty() || cellText_(row_, column_) == text_) {
        return;
    }
    Hide();
    row_ = -1;
    column_ = -1;
    text_.clear();
}

// The tool shrinks to nothing: no cell under the pointer calls for a tip.
void CellTooltip::Hide()
{
    ::SendMessageW(tooltip_, TTM_POP, 0, 0);
    TTTOOLINFOW tool = ToolFor(list_);
    ::SendMessageW(tooltip_, TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&tool));
}

} // namespace vq::ui
