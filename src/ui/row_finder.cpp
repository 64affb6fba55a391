#include "ui/row_finder.h"

#include "util/error_report.h"

namespace vq::ui {

void RowFinder::Open(HWND owner)
{
    dialog_.Show(owner);
}

void RowFinder::Repeat(HWND owner)
{
    if (dialog_.LastRequest().text.empty()) {
        Open(owner);
    } else {
        FindNext(owner, dialog_.LastRequest());
    }
}

void RowFinder::FindNext(HWND owner, const connections::FindRequest& request)
{
    const auto found = connections::FindNextRow(list_, request, list_.Focused());
    if (!found) {
        const HWND boxOwner = dialog_.hwnd() != nullptr ? dialog_.hwnd() : owner;
        const std::wstring text = L"Cannot find \"" + request.text + L"\".";
        ::MessageBoxW(boxOwner, text.c_str(), util::kApplicationTitle, MB_OK | MB_ICONINFORMATION);
        return;
    }
    list_.SetAllSelected(false);
    list_.SetSelected(*found, true);
    list_.SetFocused(*found);
    list_.SetAnchor(*found);
    view_.ShowModelChanges();
    view_.EnsureVisible(*found);
}

} // namespace vq::ui
