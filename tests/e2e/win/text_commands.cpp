// What texts the program shows look like: a tooltip's text, the width of
// a text in the program's font.

#include "driver.h"

#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cwchar>

namespace vq::e2e::driver {

int Tooltip(const std::wstring& title)
{
    auto target = OpenTarget(title, kMemoryAccess, 0);
    if (!target) {
        return 1;
    }
    HWND tip = nullptr;
    for (HWND window : TopLevelWindows()) {
        if (ProcessOf(window) == target->pid && IsWindowVisible(window) && ClassOf(window) == TOOLTIPS_CLASSW) {
            tip = window;
        }
    }
    if (tip == nullptr) {
        return Fail("no tooltip is showing");
    }
    constexpr int kTextChars = 4096;
    const RemoteMemory memory(target->process.get(), sizeof(TTTOOLINFOW) + kTextChars * sizeof(wchar_t));
    if (!memory) {
        return Fail("VirtualAllocEx in process %lu failed with %lu", target->pid, GetLastError());
    }
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof(tool);
    const auto current = memory.Put(0, tool) ? Send(tip, TTM_GETCURRENTTOOLW, 0, memory.Param()) : std::nullopt;
    if (!current || *current == 0 || !memory.Get(0, tool)) {
        return Fail("the tooltip has no current tool");
    }
    tool.lpszText = static_cast<wchar_t*>(memory.At(sizeof(TTTOOLINFOW)));
    std::wstring text(kTextChars, L'\0');
    if (!memory.Put(0, tool) || !memory.Write(sizeof(TTTOOLINFOW), text.data(), text.size() * sizeof(wchar_t)) ||
        !Send(tip, TTM_GETTEXTW, kTextChars, memory.Param()) ||
        !memory.Read(sizeof(TTTOOLINFOW), text.data(), text.size() * sizeof(wchar_t))) {
        return Fail("the tooltip's text could not be read");
    }
    text.resize(std::wcslen(text.c_str()));
    Print("text", EscapeField(text));
    return 0;
}

int TextWidth(int points, bool bold, const std::wstring& text, int dpi)
{
    const HDC screen = GetDC(nullptr);
    if (dpi <= 0) {
        dpi = GetDeviceCaps(screen, LOGPIXELSY);
    }
    const HFONT font = CreateFontW(-MulDiv(points, dpi, 72), 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE,
                                   FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                   DEFAULT_PITCH | FF_DONTCARE, L"Tahoma");
    const HGDIOBJ previous = SelectObject(screen, font);
    SIZE extent{};
    GetTextExtentPoint32W(screen, text.c_str(), static_cast<int>(text.size()), &extent);
    SelectObject(screen, previous);
    DeleteObject(font);
    ReleaseDC(nullptr, screen);
    std::printf("width=%ld\nheight=%ld\ndpi=%d\n", static_cast<long>(extent.cx), static_cast<long>(extent.cy), dpi);
    return 0;
}

} // namespace vq::e2e::driver
