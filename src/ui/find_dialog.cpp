#include "ui/find_dialog.h"

namespace vq::ui {

FindDialog::FindDialog() : message_(::RegisterWindowMessageW(FINDMSGSTRINGW))
{
    find_.lStructSize = sizeof(find_);
    find_.Flags = FR_DOWN;
    find_.lpstrFindWhat = text_;
    find_.wFindWhatLen = static_cast<WORD>(kTextLength);
}

void FindDialog::Show(HWND owner)
{
    if (hwnd_ != nullptr) {
        ::SetActiveWindow(hwnd_);
        return;
    }
    // The structure and its buffer belong to the dialog until it closes:
    // they are members, never locals.
    find_.hwndOwner = owner;
    hwnd_ = ::FindTextW(&find_);
}

bool FindDialog::PreTranslateMessage(MSG& message)
{
    return hwnd_ != nullptr && ::IsDialogMessageW(hwnd_, &message);
}

std::optional<connections::FindRequest> FindDialog::OnMessage(LPARAM lParam)
{
    const auto* find = reinterpret_cast<const FINDREPLACEW*>(lParam);
    if ((find->Flags & FR_DIALOGTERM) != 0) {
        hwnd_ = nullptr;
        return std::nullopt;
    }
    if ((find->Flags & FR_FINDNEXT) == 0) {
        return std::nullopt;
    }
    last_ = {text_, (find->Flags & FR_MATCHCASE) != 0, (find->Flags & FR_DOWN) != 0};
    return last_;
}

} // namespace vq::ui
