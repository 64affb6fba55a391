#include "ui/about_window.h"

namespace vq::ui {
namespace {

// A fixed dialog frame with only a close button.
constexpr DWORD kAboutStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
constexpr DWORD kAboutExStyle = WS_EX_DLGMODALFRAME;

} // namespace

bool AboutWindow::Create(HINSTANCE instance, HWND owner)
{
    if (!RegisterWindowClass(instance, kAboutWindowClass, nullptr,
                             reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1))) {
        return false;
    }
    const RECT bounds = CentredOver(owner, kAboutClientWidth, kAboutClientHeight, kAboutStyle, kAboutExStyle);
    return CreateWindowFor(instance, kAboutWindowClass, kAboutWindowCaption, kAboutStyle, kAboutExStyle,
                           bounds, owner, nullptr) != nullptr;
}

LRESULT AboutWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        OnCreate();
        return 0;
    case WM_CLOSE:
        OnClose();
        return 0;
    default:
        return DefaultProc(message, wParam, lParam);
    }
}

void AboutWindow::OnCreate()
{
    font_.reset(CreateTahoma(8, false));
    ::SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
}

void AboutWindow::OnClose()
{
    // Closing hides the window; it lives as long as the program.
    ::ShowWindow(hwnd_, SW_HIDE);
}

} // namespace vq::ui
