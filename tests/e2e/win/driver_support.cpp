// Shared by the commands: finding windows, printing answers, the program
// under test as a target, memory in its process, keys.

#include "driver.h"

#include <windows.h>
#include <commctrl.h>

#include <cstdarg>
#include <cstdio>

namespace vq::e2e::driver {
namespace {

BOOL CALLBACK CollectWindow(HWND window, LPARAM list)
{
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    return TRUE;
}

// Messages to another process's window wait at most this long, so a hung
// program fails the command instead of stalling it.
constexpr UINT kSendTimeoutMs = 10000;

} // namespace

std::string Utf8(const std::wstring& text)
{
    if (text.empty()) {
        return {};
    }
    const int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                           nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), length,
                        nullptr, nullptr);
    return out;
}

std::wstring Joined(const std::vector<int>& numbers)
{
    std::wstring text;
    for (const int number : numbers) {
        text += (text.empty() ? L"" : L",") + std::to_wstring(number);
    }
    return text;
}

void Print(const char* key, const std::wstring& value)
{
    std::printf("%s=%s\n", key, Utf8(value).c_str());
}

// For a window of another process this reads the text the system keeps for
// it, without sending a message, so a busy process never stalls the driver.
std::wstring WindowText(HWND window)
{
    wchar_t text[1024] = {};
    GetWindowTextW(window, text, 1024);
    return text;
}

std::wstring ClassOf(HWND window)
{
    wchar_t name[256] = {};
    GetClassNameW(window, name, 256);
    return name;
}

DWORD ProcessOf(HWND window)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    return pid;
}

std::vector<HWND> TopLevelWindows()
{
    std::vector<HWND> windows;
    EnumWindows(&CollectWindow, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

HWND FindTitled(const std::wstring& title, bool acceptHidden)
{
    for (HWND window : TopLevelWindows()) {
        if ((acceptHidden || IsWindowVisible(window)) && WindowText(window) == title) {
            return window;
        }
    }
    return nullptr;
}

HWND FindMessageBox(DWORD pid)
{
    for (HWND window : TopLevelWindows()) {
        if (IsWindowVisible(window) && ClassOf(window) == L"#32770" && (pid == 0 || ProcessOf(window) == pid)) {
            return window;
        }
    }
    return nullptr;
}

void PrintWindow(HWND window)
{
    RECT rect{};
    RECT client{};
    GetWindowRect(window, &rect);
    GetClientRect(window, &client);
    std::printf("hwnd=%p\npid=%lu\n", static_cast<void*>(window), ProcessOf(window));
    Print("class", ClassOf(window));
    Print("title", WindowText(window));
    std::printf("visible=%d\nstyle=0x%08lx\nexstyle=0x%08lx\n", IsWindowVisible(window) ? 1 : 0,
                static_cast<unsigned long>(GetWindowLongW(window, GWL_STYLE)),
                static_cast<unsigned long>(GetWindowLongW(window, GWL_EXSTYLE)));
    std::printf("rect=%ld,%ld,%ld,%ld\nclient=%ld,%ld\nscreen=%d,%d\n", rect.left, rect.top, rect.right,
                rect.bottom, client.right, client.bottom, GetSystemMetrics(SM_CXSCREEN),
                GetSystemMetrics(SM_CYSCREEN));
    std::printf("owner=%p\n", static_cast<void*>(GetWindow(window, GW_OWNER)));
}

std::vector<DWORD> Pixels(HDC source, int x, int y, int width, int height)
{
    HDC memory = CreateCompatibleDC(source);
    HBITMAP bitmap = CreateCompatibleBitmap(source, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, source, x, y, SRCCOPY);
    SelectObject(memory, old);
    BITMAPINFO format{};
    format.bmiHeader.biSize = sizeof(format.bmiHeader);
    format.bmiHeader.biWidth = width;
    format.bmiHeader.biHeight = -height;
    format.bmiHeader.biPlanes = 1;
    format.bmiHeader.biBitCount = 32;
    std::vector<DWORD> pixels(static_cast<std::size_t>(width) * height);
    GetDIBits(memory, bitmap, 0, height, pixels.data(), &format, DIB_RGB_COLORS);
    DeleteObject(bitmap);
    DeleteDC(memory);
    for (DWORD& pixel : pixels) {
        pixel &= 0x00FFFFFF;
    }
    return pixels;
}

HWND FocusedControlOf(const std::wstring& title)
{
    HWND window = FindTitled(title, false);
    if (window == nullptr) {
        return nullptr;
    }
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    if (GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) && info.hwndFocus != nullptr) {
        return info.hwndFocus;
    }
    return window;
}

int Fail(const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    std::printf("error=");
    std::vprintf(format, arguments);
    std::printf("\n");
    va_end(arguments);
    return 1;
}

void PrintEscaped(const char* key, const std::wstring& value)
{
    Print(key, EscapeField(value));
}

std::optional<LRESULT> Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(window, message, wParam, lParam, SMTO_NORMAL, kSendTimeoutMs, &result)) {
        return std::nullopt;
    }
    return static_cast<LRESULT>(result);
}

std::optional<std::wstring> ReadRemoteText(HANDLE process, const void* address, std::size_t count)
{
    std::wstring text(count, L'\0');
    SIZE_T read = 0;
    if (count != 0 && (!ReadProcessMemory(process, address, text.data(), count * sizeof(wchar_t), &read) ||
                       read != count * sizeof(wchar_t))) {
        return std::nullopt;
    }
    return text;
}

// Opens the window titled title; prints an error and answers nothing when it
// or the control the command needs is missing.
std::optional<Target> OpenTarget(const std::wstring& title, DWORD access, int control)
{
    Target target;
    target.main = FindTitled(title, false);
    if (target.main == nullptr) {
        Fail("no visible window titled %s", Utf8(title).c_str());
        return std::nullopt;
    }
    target.list = GetDlgItem(target.main, IDC_LIST);
    target.statusBar = GetDlgItem(target.main, IDC_STATUS_BAR);
    if (control != 0 && GetDlgItem(target.main, control) == nullptr) {
        Fail("the window has no control %d", control);
        return std::nullopt;
    }
    target.pid = ProcessOf(target.main);
    target.process.reset(OpenProcess(access, FALSE, target.pid));
    if (!target.process) {
        Fail("OpenProcess(%lu) failed with %lu", target.pid, GetLastError());
        return std::nullopt;
    }
    // Pointers in the structures written to the program have this driver's
    // width: a 64-bit program would read them wrongly.
    BOOL selfWow64 = FALSE;
    BOOL targetWow64 = FALSE;
    IsWow64Process(GetCurrentProcess(), &selfWow64);
    IsWow64Process(target.process.get(), &targetWow64);
    if (selfWow64 != targetWow64) {
        Fail("process %lu is a program of another width; this driver reads programs of its own width only",
             target.pid);
        return std::nullopt;
    }
    return target;
}

INPUT KeyInput(WORD key, bool up)
{
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(key, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    return input;
}

void PostKey(HWND window, UINT key)
{
    const UINT scan = MapVirtualKeyW(key, MAPVK_VK_TO_VSC);
    PostMessageW(window, WM_KEYDOWN, key, 1 | (scan << 16));
    PostMessageW(window, WM_KEYUP, key, 1 | (scan << 16) | (1u << 30) | (1u << 31));
}

} // namespace vq::e2e::driver
