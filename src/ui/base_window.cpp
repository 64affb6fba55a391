#include "ui/base_window.h"

#include "ui/design_size.h"

#include <algorithm>

namespace vq::ui {

SIZE OuterSize(int clientWidth, int clientHeight, DWORD style, DWORD exStyle, bool hasMenu)
{
    RECT rect{0, 0, clientWidth, clientHeight};
    ::AdjustWindowRectEx(&rect, style, hasMenu ? TRUE : FALSE, exStyle);
    return {rect.right - rect.left, rect.bottom - rect.top};
}

POINT DesktopCentredTopLeft(SIZE outer)
{
    return {(::GetSystemMetrics(SM_CXSCREEN) - outer.cx) / 2, (::GetSystemMetrics(SM_CYSCREEN) - outer.cy) / 2};
}

RECT CentredOnDesktop(int clientWidth, int clientHeight, DWORD style, DWORD exStyle, bool hasMenu)
{
    SIZE size = OuterSize(clientWidth, clientHeight, style, exStyle, hasMenu);
    // A design size scaled for a dense screen may not fit a small one.
    RECT work{};
    if (::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0) && work.right > work.left && work.bottom > work.top) {
        size.cx = std::min(size.cx, work.right - work.left);
        size.cy = std::min(size.cy, work.bottom - work.top);
    }
    const POINT topLeft = DesktopCentredTopLeft(size);
    return {topLeft.x, topLeft.y, topLeft.x + size.cx, topLeft.y + size.cy};
}

RECT CentredOver(HWND other, int clientWidth, int clientHeight, DWORD style, DWORD exStyle)
{
    const SIZE size = OuterSize(clientWidth, clientHeight, style, exStyle, false);
    RECT otherRect{};
    ::GetWindowRect(other, &otherRect);
    const int left = otherRect.left + (otherRect.right - otherRect.left - size.cx) / 2;
    const int top = otherRect.top + (otherRect.bottom - otherRect.top - size.cy) / 2;
    return {left, top, left + size.cx, top + size.cy};
}

int SystemDpi()
{
    const HDC screen = ::GetDC(nullptr);
    const int dpi = screen != nullptr ? ::GetDeviceCaps(screen, LOGPIXELSY) : 0;
    if (screen != nullptr) {
        ::ReleaseDC(nullptr, screen);
    }
    return dpi > 0 ? dpi : kDesignDpi;
}

int WindowDpi(HWND window)
{
    // Looked up rather than imported: older systems do not have it. user32
    // is loaded already, so nothing is searched for.
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    const HMODULE user32 = ::GetModuleHandleW(L"user32.dll");
    const auto getDpiForWindow = user32 != nullptr ? reinterpret_cast<GetDpiForWindowFn>(reinterpret_cast<void*>(
                                                         ::GetProcAddress(user32, "GetDpiForWindow")))
                                                   : nullptr;
    const UINT dpi = getDpiForWindow != nullptr && window != nullptr ? getDpiForWindow(window) : 0;
    return dpi > 0 ? static_cast<int>(dpi) : SystemDpi();
}

HFONT CreateTahoma(int points, bool bold, int dpi)
{
    return ::CreateFontW(-::MulDiv(points, dpi, 72), 0, 0, 0, bold ? FW_BOLD : FW_NORMAL,
                         FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                         CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"Tahoma");
}

} // namespace vq::ui
