#pragma once

#include "platform/win32/windows_api.h"
#include "util/error_report.h"

namespace vq::ui {

// Windows as objects: the static thunk stores the object in GWLP_USERDATA at
// WM_NCCREATE and hands every later message to Derived::HandleMessage, a
// switchboard that unpacks the parameters and calls one handler. A failure
// that leaves the switchboard is reported there, owned by the window: no
// exception unwinds through the system's code.
template <typename Derived>
class BaseWindow {
public:
    BaseWindow() = default;
    BaseWindow(const BaseWindow&) = delete;
    BaseWindow& operator=(const BaseWindow&) = delete;

    HWND hwnd() const noexcept { return hwnd_; }

protected:
    static bool RegisterWindowClass(HINSTANCE instance, const wchar_t* className, HICON icon,
                                    HBRUSH background)
    {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof(windowClass);
        windowClass.lpfnWndProc = &BaseWindow::WindowProc;
        windowClass.hInstance = instance;
        windowClass.hIcon = icon;
        windowClass.hIconSm = icon;
        windowClass.hCursor = ::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
        windowClass.hbrBackground = background;
        windowClass.lpszClassName = className;
        return ::RegisterClassExW(&windowClass) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    }

    HWND CreateWindowFor(HINSTANCE instance, const wchar_t* className, const wchar_t* caption,
                         DWORD style, DWORD exStyle, const RECT& bounds, HWND owner, HMENU menu)
    {
        return ::CreateWindowExW(exStyle, className, caption, style, bounds.left, bounds.top,
                                 bounds.right - bounds.left, bounds.bottom - bounds.top, owner, menu,
                                 instance, static_cast<Derived*>(this));
    }

    LRESULT DefaultProc(UINT message, WPARAM wParam, LPARAM lParam)
    {
        return ::DefWindowProcW(hwnd_, message, wParam, lParam);
    }

    HWND hwnd_ = nullptr;
    // An error report owned by this window is on screen.
    bool reportOpen_ = false;

private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
    {
        Derived* self = nullptr;
        if (message == WM_NCCREATE) {
            self = static_cast<Derived*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
            self->hwnd_ = hwnd;
            ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        } else {
            self = reinterpret_cast<Derived*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        }
        if (self == nullptr) {
            return ::DefWindowProcW(hwnd, message, wParam, lParam);
        }
        const LRESULT result = util::RunWindowProcedure(hwnd, self->reportOpen_, [&] {
            return self->HandleMessage(message, wParam, lParam);
        });
        if (message == WM_NCDESTROY) {
            ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
            self->hwnd_ = nullptr;
        }
        return result;
    }
};

// The window size for a client area of the given size.
SIZE OuterSize(int clientWidth, int clientHeight, DWORD style, DWORD exStyle, bool hasMenu);

// The window's rectangle for a client area of the given size, centred on the
// primary desktop and no larger than its work area.
RECT CentredOnDesktop(int clientWidth, int clientHeight, DWORD style, DWORD exStyle, bool hasMenu);

// Where a window of the given outer size stands centred on the primary desktop.
POINT DesktopCentredTopLeft(SIZE outer);

// The window's rectangle for a client area of the given size, centred over another window.
RECT CentredOver(HWND other, int clientWidth, int clientHeight, DWORD style, DWORD exStyle);

// The resolution the system draws at, in dots per inch: the primary
// screen's, which a window keeps until it moves to a screen of another density.
int SystemDpi();
// The resolution of the screen a window stands on, where the system can say
// (Windows 10 1607 and later); the system's otherwise.
int WindowDpi(HWND window);

// Tahoma at the given point size for a resolution in dots per inch.
HFONT CreateTahoma(int points, bool bold, int dpi);

} // namespace vq::ui
