#include "ui/filter_bar.h"

#include <commctrl.h>

namespace vq::ui {
namespace {

constexpr wchar_t kCueText[] = L"Filter: words, -exclude, process:, port:, state:, proto:, pid:";

bool ControlHeld()
{
    return (::GetKeyState(VK_CONTROL) & 0x8000) != 0;
}

} // namespace

void FilterBar::Create(HWND parent, HINSTANCE instance, int controlId, HFONT font)
{
    edit_ = ::CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"", WS_CHILD | WS_TABSTOP | ES_AUTOHSCROLL, 0, 0, 0, 0,
                              parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(controlId)), instance, nullptr);
    SetFont(font);
    // The cue shows while the bar is empty, also while it has the focus.
    ::SendMessageW(edit_, EM_SETCUEBANNER, TRUE, reinterpret_cast<LPARAM>(kCueText));
}

void FilterBar::SetFont(HFONT font)
{
    ::SendMessageW(edit_, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}

bool FilterBar::IsShown() const
{
    return edit_ != nullptr && ::IsWindowVisible(edit_);
}

void FilterBar::Show(bool show)
{
    if (!show) {
        ClearText();
    }
    ::ShowWindow(edit_, show ? SW_SHOW : SW_HIDE);
}

bool FilterBar::HasFocus() const
{
    return edit_ != nullptr && ::GetFocus() == edit_;
}

void FilterBar::Focus()
{
    ::SetFocus(edit_);
}

std::wstring FilterBar::Text() const
{
    std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(edit_)) + 1, L'\0');
    const int length = ::GetWindowTextW(edit_, text.data(), static_cast<int>(text.size()));
    text.resize(static_cast<std::size_t>(length > 0 ? length : 0));
    return text;
}

void FilterBar::ClearText()
{
    ::SetWindowTextW(edit_, L"");
}

FilterBar::KeyAction FilterBar::KeyActionOf(const MSG& message) const
{
    if (message.hwnd != edit_ || message.message != WM_KEYDOWN) {
        return KeyAction::None;
    }
    switch (message.wParam) {
    case VK_ESCAPE:
        return KeyAction::ClearOrHide;
    case VK_RETURN:
    case VK_DOWN:
        return KeyAction::ToList;
    case 'A':
    case 'C':
    case 'V':
    case 'X':
    case 'Z':
        return ControlHeld() ? KeyAction::EditOnly : KeyAction::None;
    default:
        return KeyAction::None;
    }
}

} // namespace vq::ui
