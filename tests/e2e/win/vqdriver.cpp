// The end-to-end test driver: a console program that runs in the same Wine
// session as the program under test and reads or drives its windows through
// window messages. Each command prints key=value lines and exits 0 when it
// found what it was asked for, 1 otherwise.
//
//   find <title> <timeout ms> [hidden]  a top-level window with exactly that title
//   windows <pid>                       every top-level window of a process
//   msgbox <pid> <timeout ms>           the message box of a process (0: any): caption, text, icon
//   msgbox-ok <pid>                     presses OK in that message box
//   key <title> <virtual key>           posts a key press to the focused control
//   close <title>                       posts WM_CLOSE
//   sleep <ms>                          prints its own process id, then waits (a helper process)

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

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

BOOL CALLBACK CollectWindow(HWND window, LPARAM list)
{
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    return TRUE;
}

std::vector<HWND> TopLevelWindows()
{
    std::vector<HWND> windows;
    EnumWindows(&CollectWindow, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

// Polls until found returns a window or the deadline passes.
template <typename Finder>
HWND WaitFor(DWORD timeoutMs, Finder found)
{
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        if (HWND window = found()) {
            return window;
        }
        if (GetTickCount64() >= deadline) {
            return nullptr;
        }
        Sleep(50);
    }
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

// 32-bit pixels of a device context's area, top row first.
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

// Icons belong to their process, so the icon a message box shows is
// identified by its picture: the control's pixels on the screen are compared
// with each system icon drawn here on the same background.
const char* IconKind(HWND iconControl)
{
    RECT rect{};
    GetWindowRect(iconControl, &rect);
    const int size = GetSystemMetrics(SM_CXICON);
    HDC screen = GetDC(nullptr);
    const std::vector<DWORD> shown = Pixels(screen, rect.left, rect.top, size, size);
    ReleaseDC(nullptr, screen);

    struct Candidate {
        const char* name;
        LPCWSTR id;
    };
    const Candidate candidates[] = {{"error", IDI_ERROR},
                                    {"warning", IDI_WARNING},
                                    {"information", IDI_INFORMATION},
                                    {"question", IDI_QUESTION}};
    const char* best = "other";
    std::size_t bestEqual = shown.size() * 9 / 10;
    for (const auto& candidate : candidates) {
        HDC screenDc = GetDC(nullptr);
        HDC canvas = CreateCompatibleDC(screenDc);
        HBITMAP bitmap = CreateCompatibleBitmap(screenDc, size, size);
        HGDIOBJ old = SelectObject(canvas, bitmap);
        HBRUSH background = CreateSolidBrush(((shown[0] & 0xFF) << 16) | (shown[0] & 0xFF00) | (shown[0] >> 16));
        RECT area{0, 0, size, size};
        FillRect(canvas, &area, background);
        DeleteObject(background);
        DrawIconEx(canvas, 0, 0, LoadIconW(nullptr, candidate.id), size, size, 0, nullptr, DI_NORMAL);
        const std::vector<DWORD> drawn = Pixels(canvas, 0, 0, size, size);
        SelectObject(canvas, old);
        DeleteObject(bitmap);
        DeleteDC(canvas);
        ReleaseDC(nullptr, screenDc);
        std::size_t equal = 0;
        for (std::size_t i = 0; i < drawn.size(); ++i) {
            equal += drawn[i] == shown[i] ? 1 : 0;
        }
        if (equal > bestEqual) {
            bestEqual = equal;
            best = candidate.name;
        }
    }
    return best;
}

int Find(const std::wstring& title, DWORD timeoutMs, bool acceptHidden)
{
    HWND window = WaitFor(timeoutMs, [&] { return FindTitled(title, acceptHidden); });
    if (window == nullptr) {
        return 1;
    }
    PrintWindow(window);
    return 0;
}

int Windows(DWORD pid)
{
    for (HWND window : TopLevelWindows()) {
        if (ProcessOf(window) == pid) {
            std::printf("%p %d ", static_cast<void*>(window), IsWindowVisible(window) ? 1 : 0);
            std::printf("%s|%s\n", Utf8(ClassOf(window)).c_str(), Utf8(WindowText(window)).c_str());
        }
    }
    return 0;
}

int MessageBoxInfo(DWORD pid, DWORD timeoutMs)
{
    HWND box = WaitFor(timeoutMs, [&] { return FindMessageBox(pid); });
    if (box == nullptr) {
        return 1;
    }
    PrintWindow(box);
    std::wstring text;
    HWND icon = nullptr;
    for (HWND child = GetWindow(box, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        if (ClassOf(child) != L"Static") {
            continue;
        }
        if ((GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
            icon = child;
        } else if (text.empty()) {
            text = WindowText(child);
        }
    }
    Print("text", text);
    std::printf("icon=%s\n", icon == nullptr ? "none" : IconKind(icon));
    return 0;
}

int MessageBoxOk(DWORD pid)
{
    HWND box = FindMessageBox(pid);
    if (box == nullptr) {
        return 1;
    }
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    return 0;
}

int Key(const std::wstring& title, UINT virtualKey)
{
    HWND window = FindTitled(title, false);
    if (window == nullptr) {
        return 1;
    }
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    HWND target = window;
    if (GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) && info.hwndFocus != nullptr) {
        target = info.hwndFocus;
    }
    const UINT scan = MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC);
    PostMessageW(target, WM_KEYDOWN, virtualKey, 1 | (scan << 16));
    PostMessageW(target, WM_KEYUP, virtualKey, 1 | (scan << 16) | (1u << 30) | (1u << 31));
    return 0;
}

int Close(const std::wstring& title)
{
    HWND window = FindTitled(title, false);
    if (window == nullptr) {
        return 1;
    }
    PostMessageW(window, WM_CLOSE, 0, 0);
    return 0;
}

int SleepAsHelper(DWORD milliseconds)
{
    std::printf("pid=%lu\n", GetCurrentProcessId());
    std::fflush(stdout);
    Sleep(milliseconds);
    return 0;
}

int Usage()
{
    std::fprintf(stderr, "usage: vqdriver find|windows|msgbox|msgbox-ok|key|close|sleep ...\n");
    return 2;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 3) {
        return Usage();
    }
    const std::wstring command = argv[1];
    auto number = [&](int index) { return static_cast<DWORD>(std::wcstoul(argv[index], nullptr, 0)); };
    int result = 2;
    if (command == L"find" && argc >= 4) {
        result = Find(argv[2], number(3), argc >= 5 && std::wstring(argv[4]) == L"hidden");
    } else if (command == L"windows") {
        result = Windows(number(2));
    } else if (command == L"msgbox" && argc >= 4) {
        result = MessageBoxInfo(number(2), number(3));
    } else if (command == L"msgbox-ok") {
        result = MessageBoxOk(number(2));
    } else if (command == L"key" && argc >= 4) {
        result = Key(argv[2], number(3));
    } else if (command == L"sleep") {
        result = SleepAsHelper(number(2));
    } else if (command == L"close") {
        result = Close(argv[2]);
    } else {
        return Usage();
    }
    std::fflush(stdout);
    return result;
}
