#pragma once

#include "platform/win32/windows_api.h"

#include <commctrl.h>

#include <functional>
#include <string>

namespace vq::ui {

// The full text of a list cell that is too narrow for it, shown in a tooltip
// while the pointer rests on the cell. Cells whose text fits show none.
class CellTooltip {
public:
    // The text of a cell, by row and column; empty for none.
    using CellText = std::function<std::wstring(int row, int column)>;

    CellTooltip() = default;
    CellTooltip(const CellTooltip&) = delete;
    CellTooltip& operator=(const CellTooltip&) = delete;
    ~CellTooltip();

    void Create(HWND list, CellText cellText);
    // The pointer moved over the list (client coordinates).
    void OnMouseMove(POINT point);
    // The rows changed under a resting pointer: a tip whose cell now holds
    // another text goes, and the next move over the cell makes it anew.
    void OnRowsChanged();

private:
    void Hide();

    HWND list_ = nullptr;
    HWND tooltip_ = nullptr;
    CellText cellText_;
    std::wstring text_;  // the tip's text, kept while it shows
    int row_ = -1;
    int column_ = -1;
};

} // namespace vq::ui
