#include "ui/base_window.h"

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
    const SIZE size = OuterSize(clientWidth, clientHeight, style, exStyle, hasMenu);
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

HFONT CreateTahoma(int points, bool bold)
{
    const HDC screen = ::GetDC(nullptr);
    const int pixelsPerInch = ::GetDeviceCaps(screen, LOGPIXELSY);
    ::ReleaseDC(nullptr, screen);
    return ::CreateFontW(-::MulDiv(points, pixelsPerInch, 72), 0, 0, 0, bold ? FW_BOLD : FW_NORMAL,
                         FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                         CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"Tahoma");
}

} // namespace vq::ui
