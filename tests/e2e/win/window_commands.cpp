// Commands on top-level windows: finding them, message boxes, closing,
// posted commands, placement, children, hit tests; and the helper process.

#include "driver.h"

#include <dlgs.h>

#include <windows.h>
#include <commctrl.h>

#include <cstdio>

namespace vq::e2e::driver {
namespace {

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

} // namespace

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
    // The box may show before its icon is painted: look again for a moment.
    const char* kind = icon == nullptr ? "none" : IconKind(icon);
    for (const ULONGLONG deadline = GetTickCount64() + 3000;
         std::string(kind) == "other" && GetTickCount64() < deadline;) {
        Sleep(100);
        kind = IconKind(icon);
    }
    std::printf("icon=%s\n", kind);
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

namespace {

// Stops at the Save dialog's file name box, which it leaves in *result.
BOOL CALLBACK FindFileNameBox(HWND child, LPARAM result)
{
    const int id = GetDlgCtrlID(child);
    if (ClassOf(child) == L"Edit" && (id == edt1 || id == cmb13)) {
        *reinterpret_cast<HWND*>(result) = child;
        return FALSE;
    }
    return TRUE;
}

} // namespace

int SaveAs(const std::wstring& title, const std::wstring& path, int type)
{
    HWND dialog = WaitFor(20000, [&] { return FindTitled(title, false); });
    if (dialog == nullptr) {
        return Fail("no dialog titled %ls", title.c_str());
    }
    // The name box is an edit control with the id edt1 or, inside one or two
    // combo boxes, cmb13; it comes a moment after the dialog itself.
    HWND name = WaitFor(10000, [&] {
        HWND found = nullptr;
        EnumChildWindows(dialog, &FindFileNameBox, reinterpret_cast<LPARAM>(&found));
        return found;
    });
    if (name == nullptr) {
        return Fail("the dialog has no file name box");
    }
    wchar_t proposed[MAX_PATH] = {};
    Send(name, WM_GETTEXT, MAX_PATH, reinterpret_cast<LPARAM>(proposed));
    PrintEscaped("proposed", proposed);
    if (HWND types = GetDlgItem(dialog, cmb1)) {
        Send(types, CB_SETCURSEL, static_cast<WPARAM>(type), 0);
        // What a mouse choice sends; Wine's dialog acts on the second.
        Send(dialog, WM_COMMAND, MAKEWPARAM(cmb1, CBN_SELCHANGE), reinterpret_cast<LPARAM>(types));
        Send(dialog, WM_COMMAND, MAKEWPARAM(cmb1, CBN_SELENDOK), reinterpret_cast<LPARAM>(types));
    }
    Send(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
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

int WaitUntilIdle(HWND window)
{
    const UniqueHandle process(OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, ProcessOf(window)));
    if (!process) {
        return Fail("OpenProcess failed with %lu", GetLastError());
    }
    if (WaitForInputIdle(process.get(), 20000) != 0) {
        return Fail("the program did not go idle");
    }
    if (!Send(window, WM_NULL, 0, 0)) {
        return Fail("the program did not answer");
    }
    return 0;
}

int Idle(const std::wstring& title)
{
    HWND window = FindTitled(title, true);
    if (window == nullptr) {
        return Fail("no window titled %s", Utf8(title).c_str());
    }
    return WaitUntilIdle(window);
}

int SleepAsHelper(DWORD milliseconds)
{
    std::printf("pid=%lu\n", GetCurrentProcessId());
    std::fflush(stdout);
    Sleep(milliseconds);
    return 0;
}

int PostCommand(const std::wstring& title, int id, std::optional<int> notification)
{
    HWND window = FindTitled(title, false);
    if (window == nullptr) {
        return Fail("no visible window titled %s", Utf8(title).c_str());
    }
    HWND control = notification ? GetDlgItem(window, id) : nullptr;
    if (notification && control == nullptr) {
        return Fail("the window has no control %d", id);
    }
    PostMessageW(window, WM_COMMAND, MAKEWPARAM(id, notification.value_or(0)), reinterpret_cast<LPARAM>(control));
    return 0;
}

int PostSysCommand(const std::wstring& title, WPARAM command)
{
    HWND window = FindTitled(title, false);
    if (window == nullptr) {
        return Fail("no visible window titled %s", Utf8(title).c_str());
    }
    PostMessageW(window, WM_SYSCOMMAND, command, 0);
    return 0;
}

int Place(const std::wstring& title, int x, int y, std::optional<SIZE> size)
{
    HWND window = FindTitled(title, false);
    if (window == nullptr) {
        return Fail("no visible window titled %s", Utf8(title).c_str());
    }
    const UINT flags = SWP_NOZORDER | SWP_NOACTIVATE | (size ? 0 : SWP_NOSIZE);
    if (!SetWindowPos(window, nullptr, x, y, size ? size->cx : 0, size ? size->cy : 0, flags)) {
        return Fail("SetWindowPos failed with %lu", GetLastError());
    }
    PrintWindow(window);
    return 0;
}

// A window moved to a screen of another density is sent WM_DPICHANGED with
// the rectangle the system suggests; the rectangle travels through memory in
// the window's process, where the message's pointer must point.
int DpiChanged(const std::wstring& title, int dpi, const RECT& suggested)
{
    HWND window = FindTitled(title, true);
    if (window == nullptr) {
        return Fail("no window titled %s", Utf8(title).c_str());
    }
    const UniqueHandle process(OpenProcess(kMemoryAccess, FALSE, ProcessOf(window)));
    if (!process) {
        return Fail("OpenProcess failed with %lu", GetLastError());
    }
    const RemoteMemory memory(process.get(), sizeof(RECT));
    if (!memory || !memory.Put(0, suggested)) {
        return Fail("the rectangle could not be written to process %lu: %lu", ProcessOf(window), GetLastError());
    }
    if (!Send(window, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), memory.Param())) {
        return Fail("WM_DPICHANGED was not handled in time");
    }
    PrintWindow(window);
    return 0;
}

int Children(const std::wstring& title)
{
    HWND window = FindTitled(title, false);
    if (window == nullptr) {
        return Fail("no visible window titled %s", Utf8(title).c_str());
    }
    for (HWND child = GetWindow(window, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        RECT rect{};
        GetWindowRect(child, &rect);
        char head[160];
        std::snprintf(head, sizeof(head), "%d\t%s\t0x%08lx\t%ld,%ld,%ld,%ld\t", GetDlgCtrlID(child),
                      Utf8(EscapeField(ClassOf(child))).c_str(),
                      static_cast<unsigned long>(GetWindowLongW(child, GWL_STYLE)), rect.left, rect.top,
                      rect.right, rect.bottom);
        std::printf("child=%s%s\n", head, Utf8(EscapeField(WindowText(child))).c_str());
    }
    return 0;
}

int Focus(const std::wstring& title)
{
    const HWND focus = FocusedControlOf(title);
    if (focus == nullptr) {
        return Fail("no visible window titled %s", Utf8(title).c_str());
    }
    std::printf("focus=%d\n", focus == FindTitled(title, false) ? 0 : GetDlgCtrlID(focus));
    return 0;
}

int HitTest(const std::wstring& title, int x, int y)
{
    HWND window = FindTitled(title, false);
    if (window == nullptr) {
        return Fail("no visible window titled %s", Utf8(title).c_str());
    }
    const auto answer = Send(window, WM_NCHITTEST, 0, MAKELPARAM(x, y));
    if (!answer) {
        return Fail("WM_NCHITTEST was not answered");
    }
    std::printf("hit=%ld\n", static_cast<long>(*answer));
    return 0;
}

} // namespace vq::e2e::driver
