#pragma once

#include "connections/row_search.h"
#include "platform/win32/windows_api.h"

#include <commdlg.h>

#include <optional>

namespace vq::ui {

// The system's modeless Find dialog over the main window: find what, match
// case, up or down. It lives until the user closes it; its keys work only
// when the message loop hands it its messages (PreTranslateMessage).
class FindDialog {
public:
    FindDialog();
    FindDialog(const FindDialog&) = delete;
    FindDialog& operator=(const FindDialog&) = delete;

    // Opens the dialog, or brings it forward when it is open.
    void Show(HWND owner);
    HWND hwnd() const noexcept { return hwnd_; }
    // The dialog's own keys (Tab, Enter, Esc); true when it took the message.
    bool PreTranslateMessage(MSG& message);

    // The message the dialog sends its owner.
    UINT Message() const noexcept { return message_; }
    // Reads that message: the request of a Find Next press, none when the
    // dialog is closing (it is then forgotten).
    std::optional<connections::FindRequest> OnMessage(LPARAM lParam);

    // The last request made in the dialog; empty text before the first.
    const connections::FindRequest& LastRequest() const noexcept { return last_; }

private:
    static constexpr DWORD kTextLength = 256;
    UINT message_ = 0;
    wchar_t text_[kTextLength] = {};
    FINDREPLACEW find_{};
    HWND hwnd_ = nullptr;
    connections::FindRequest last_;
};

} // namespace vq::ui
