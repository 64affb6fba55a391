#pragma once

// The filter bar: a one-line edit between the menu and the list whose text
// filters the list. It lives hidden until the View menu shows it.

#include "platform/win32/windows_api.h"

#include <string>

namespace vq::ui {

class FilterBar {
public:
    // What a key pressed in the bar asks of the window.
    enum class KeyAction {
        None,         // nothing special: shortcuts and the rest as usual
        EditOnly,     // an edit key (Ctrl+A, C, V, X, Z): the bar's, not a shortcut
        ClearOrHide,  // Esc: clears a text, hides an empty bar
        ToList,       // Enter or Down: the focus goes to the list
    };

    void Create(HWND parent, HINSTANCE instance, int controlId, HFONT font);
    HWND hwnd() const noexcept { return edit_; }
    void SetFont(HFONT font);

    bool IsShown() const;
    // Shows the bar, or hides it with its text cleared.
    void Show(bool show);
    bool HasFocus() const;
    void Focus();

    std::wstring Text() const;
    void ClearText();

    // What the key message means when it is for the bar; None otherwise.
    KeyAction KeyActionOf(const MSG& message) const;

private:
    HWND edit_ = nullptr;
};

} // namespace vq::ui
