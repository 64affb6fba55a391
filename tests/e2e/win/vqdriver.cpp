// The end-to-end test driver: a console program that runs in the same Wine
// session as the program under test and reads or drives its windows through
// window messages. Each command prints key=value lines and exits 0 when it
// found what it was asked for, 1 otherwise (then with an error=... line).
//
//   find <title> <timeout ms> [hidden]  a top-level window with exactly that title
//   windows <pid>                       every top-level window of a process
//   msgbox <pid> <timeout ms>           the message box of a process (0: any): caption, text, icon
//   msgbox-ok <pid>                     presses OK in that message box
//   key <title> <virtual key>           posts a key press to the focused control
//   type <title> <text>                 posts the text's characters to the focused control
//   close <title>                       posts WM_CLOSE
//   sleep <ms>                          prints its own process id, then waits (a helper process)
//
// The main window's controls (the list IDC_LIST, the status bar IDC_STATUS_BAR):
//   rows <title> [<first> <count>]      the list's columns and every row with its cells (or those
//                                       count rows from first on)
//   select <title> <index>...           selects exactly these rows, the first one focused
//   select-none <title>                 selects no row
//   status <title>                      the status bar's panels
//   row-pixel <title> <index> [column]  the background colour of a row's cell (column 1 if not given)
//   menu <title> [keep]                 opens the list's context menu, reads its items, closes it
//                                       again unless keep is given (an open menu is read as it is)
//   close-menu <title>                  closes the program's open menus with Escape
//   main-menu <title>                   the items of the window's menu bar and its submenus
//   choose <title> <n>                  in the open context menu: moves down n items from the top
//                                       (separators are skipped, disabled items count), presses Enter
//   shortcut <title> <key> [input|attached]
//                                       Ctrl+<key> (a letter or a digit) so that accelerators see it
//   alt-key <title> <key>               Alt+<key> (a letter) as keyboard input to the window made the
//                                       foreground window, as a user opens a menu by its access key
//   clipboard                           the clipboard's Unicode text
//   tooltip <title>                     the text of the tooltip the window's process shows (none: exit 1)
//   text-width <points> <bold> <text>   the width and height of the text in Tahoma of that size (bold 0 or
//                                       1) at the screen's resolution, as the program draws its texts
//
// Any visible top-level window:
//   command <title> <id> [notification] posts WM_COMMAND: without a notification as a menu item
//                                       chosen (code 0, no control), with one as that control's
//                                       notification (lParam the child with that id)
//   syscommand <title> <SC_...>         posts WM_SYSCOMMAND (SC_MAXIMIZE 0xF030, SC_RESTORE 0xF120 ...)
//   place <title> <x> <y> [<w> <h>]     moves (and sizes) the window with SetWindowPos
//   children <title>                    its child windows: id, class, style, screen rect, text
//   column-width <title> <column> <w>   sets a column of the list IDC_LIST to w pixels
//   hittest <title> <x> <y>             the WM_NCHITTEST answer for a screen point
//
// Texts of the list, the status bar, the menus and the clipboard are printed
// escaped (\\ \t \n \r \xHH, see EscapeField): the harness restores them exactly.
//
// Windows, menus and memory of the program are reached from here the way
// Wine allows it across processes: list view and status bar messages that
// carry a pointer get one into a buffer allocated in the program; menu items
// are read by vqmenuprobe.dll (beside this driver) inside the program.

#include "menu_probe.h"
#include "platform/win32/unique_win32.h"
#include "resource.h"

#include <windows.h>
#include <commctrl.h>
#include <psapi.h>

#include <algorithm>
#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <map>
#include <optional>
#include <string>
#include <utility>
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

// The control with the keyboard focus in the thread of the window with this
// title (the window itself when none has it); null when there is no window.
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

int Key(const std::wstring& title, UINT virtualKey)
{
    HWND target = FocusedControlOf(title);
    if (target == nullptr) {
        return 1;
    }
    const UINT scan = MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC);
    PostMessageW(target, WM_KEYDOWN, virtualKey, 1 | (scan << 16));
    PostMessageW(target, WM_KEYUP, virtualKey, 1 | (scan << 16) | (1u << 30) | (1u << 31));
    return 0;
}

int Type(const std::wstring& title, const std::wstring& text)
{
    HWND target = FocusedControlOf(title);
    if (target == nullptr) {
        return 1;
    }
    for (const wchar_t c : text) {
        PostMessageW(target, WM_CHAR, c, 1);
    }
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

// --- reporting --------------------------------------------------------------------------

using vq::e2e::EscapeField;
using vq::platform::win32::UniqueHandle;
using vq::platform::win32::UniqueHmodule;

// Prints error=<message> and answers the exit code of a failed command.
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

// Messages to another process's window wait at most this long, so a hung
// program fails the command instead of stalling it.
constexpr UINT kSendTimeoutMs = 10000;

std::optional<LRESULT> Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(window, message, wParam, lParam, SMTO_NORMAL, kSendTimeoutMs, &result)) {
        return std::nullopt;
    }
    return static_cast<LRESULT>(result);
}

// --- memory in the program under test ---------------------------------------------------

// A block allocated in another process, freed with the object.
class RemoteMemory {
public:
    RemoteMemory(HANDLE process, SIZE_T length)
        : process_(process),
          base_(static_cast<BYTE*>(VirtualAllocEx(process, nullptr, length, MEM_COMMIT | MEM_RESERVE,
                                                  PAGE_READWRITE))),
          length_(length)
    {
    }
    RemoteMemory(const RemoteMemory&) = delete;
    RemoteMemory& operator=(const RemoteMemory&) = delete;
    RemoteMemory(RemoteMemory&& other) noexcept
        : process_(other.process_), base_(std::exchange(other.base_, nullptr)), length_(other.length_)
    {
    }
    RemoteMemory& operator=(RemoteMemory&&) = delete;
    ~RemoteMemory()
    {
        if (base_ != nullptr) {
            VirtualFreeEx(process_, base_, 0, MEM_RELEASE);
        }
    }

    explicit operator bool() const { return base_ != nullptr; }
    void* At(SIZE_T offset) const { return base_ + offset; }
    LPARAM Param(SIZE_T offset = 0) const { return reinterpret_cast<LPARAM>(At(offset)); }

    bool Write(SIZE_T offset, const void* data, SIZE_T length) const
    {
        SIZE_T written = 0;
        return offset + length <= length_ && WriteProcessMemory(process_, At(offset), data, length, &written) &&
               written == length;
    }
    bool Read(SIZE_T offset, void* data, SIZE_T length) const
    {
        SIZE_T read = 0;
        return offset + length <= length_ && ReadProcessMemory(process_, At(offset), data, length, &read) &&
               read == length;
    }
    template <typename T>
    bool Put(SIZE_T offset, const T& value) const
    {
        return Write(offset, &value, sizeof(T));
    }
    template <typename T>
    bool Get(SIZE_T offset, T& value) const
    {
        return Read(offset, &value, sizeof(T));
    }

private:
    HANDLE process_;
    BYTE* base_;
    SIZE_T length_;
};

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

// The main window of the program under test, its controls and its process.
struct Target {
    HWND main = nullptr;
    HWND list = nullptr;
    HWND statusBar = nullptr;
    DWORD pid = 0;
    UniqueHandle process;
};

constexpr DWORD kMemoryAccess = PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE | PROCESS_QUERY_INFORMATION;
constexpr DWORD kInjectAccess = kMemoryAccess | PROCESS_CREATE_THREAD;

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
    if (selfWow64 && !targetWow64) {
        Fail("process %lu is a 64-bit program; this driver reads 32-bit programs only", target.pid);
        return std::nullopt;
    }
    return target;
}

// --- the list --------------------------------------------------------------------------

// Reads a list view of another process through one buffer there: the
// structure the message points to, then room for a text.
class ListReader {
public:
    static constexpr SIZE_T kTextOffset = 256;
    static constexpr int kTextChars = 8192;

    ListReader(HWND list, HANDLE process)
        : list_(list), process_(process), memory_(process, kTextOffset + kTextChars * sizeof(wchar_t))
    {
    }

    explicit operator bool() const { return static_cast<bool>(memory_); }

    int Count() const { return static_cast<int>(Send(list_, LVM_GETITEMCOUNT, 0, 0).value_or(-1)); }

    std::optional<std::wstring> Cell(int row, int column) const
    {
        LVITEMW item{};
        item.iSubItem = column;
        item.pszText = static_cast<LPWSTR>(memory_.At(kTextOffset));
        item.cchTextMax = kTextChars;
        if (!memory_.Put(0, item)) {
            return std::nullopt;
        }
        const auto length = Send(list_, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), memory_.Param());
        LVITEMW answered{};
        if (!length || !memory_.Get(0, answered)) {
            return std::nullopt;
        }
        // The list may answer a pointer to the program's own text instead.
        return ReadRemoteText(process_, answered.pszText,
                              static_cast<std::size_t>(std::clamp<LRESULT>(*length, 0, kTextChars)));
    }

    struct Column {
        int width = 0;
        std::wstring text;
    };

    std::optional<Column> ColumnAt(int column) const
    {
        LVCOLUMNW info{};
        info.mask = LVCF_TEXT | LVCF_WIDTH;
        info.pszText = static_cast<LPWSTR>(memory_.At(kTextOffset));
        info.cchTextMax = kTextChars;
        if (!memory_.Put(0, info) || !Send(list_, LVM_GETCOLUMNW, static_cast<WPARAM>(column), memory_.Param())
                                          .value_or(FALSE) ||
            !memory_.Get(0, info)) {
            return std::nullopt;
        }
        std::wstring text(kTextChars, L'\0');
        if (!memory_.Read(kTextOffset, text.data(), kTextChars * sizeof(wchar_t))) {
            return std::nullopt;
        }
        text.resize(std::wcslen(text.c_str()));
        return Column{info.cx, text};
    }

    int ColumnCount() const
    {
        const auto header = Send(list_, LVM_GETHEADER, 0, 0);
        return header && *header != 0
                   ? static_cast<int>(Send(reinterpret_cast<HWND>(*header), HDM_GETITEMCOUNT, 0, 0).value_or(-1))
                   : -1;
    }

    UINT State(int row, UINT mask) const
    {
        return static_cast<UINT>(Send(list_, LVM_GETITEMSTATE, static_cast<WPARAM>(row), mask).value_or(0));
    }

    bool SetState(int row, UINT state, UINT mask) const
    {
        LVITEMW item{};
        item.state = state;
        item.stateMask = mask;
        return memory_.Put(0, item) &&
               Send(list_, LVM_SETITEMSTATE, static_cast<WPARAM>(row), memory_.Param()).value_or(FALSE);
    }

    std::vector<int> Selected() const
    {
        std::vector<int> rows;
        int row = -1;
        while (rows.size() < 100000) {
            row = static_cast<int>(
                Send(list_, LVM_GETNEXTITEM, static_cast<WPARAM>(row), MAKELPARAM(LVNI_SELECTED, 0)).value_or(-1));
            if (row < 0) {
                break;
            }
            rows.push_back(row);
        }
        return rows;
    }

    // The cell's rectangle in the list's client coordinates; column 0 is
    // its label part, the others their whole cell.
    std::optional<RECT> CellRect(int row, int column) const
    {
        RECT rect{column == 0 ? LVIR_LABEL : LVIR_BOUNDS, column, 0, 0};
        const UINT message = column == 0 ? LVM_GETITEMRECT : LVM_GETSUBITEMRECT;
        if (!memory_.Put(0, rect) ||
            !Send(list_, message, static_cast<WPARAM>(row), memory_.Param()).value_or(FALSE) ||
            !memory_.Get(0, rect)) {
            return std::nullopt;
        }
        return rect;
    }

private:
    HWND list_;
    HANDLE process_;
    RemoteMemory memory_;
};

std::optional<ListReader> OpenList(const Target& target)
{
    std::optional<ListReader> reader(std::in_place, target.list, target.process.get());
    if (!*reader) {
        Fail("VirtualAllocEx in process %lu failed with %lu", target.pid, GetLastError());
        return std::nullopt;
    }
    return reader;
}

// The window titled title with a reader of its list; the reader uses the
// target's process handle, so both travel together.
struct TargetList {
    Target target;
    ListReader list;
};

std::optional<TargetList> OpenTargetList(const std::wstring& title)
{
    auto target = OpenTarget(title, kMemoryAccess, IDC_LIST);
    if (!target) {
        return std::nullopt;
    }
    auto list = OpenList(*target);
    if (!list) {
        return std::nullopt;
    }
    return TargetList{std::move(*target), std::move(*list)};
}

std::wstring Joined(const std::vector<int>& numbers)
{
    std::wstring text;
    for (const int number : numbers) {
        text += (text.empty() ? L"" : L",") + std::to_wstring(number);
    }
    return text;
}

std::wstring RowLine(const ListReader& list, int row, int columns)
{
    const UINT state = list.State(row, LVIS_SELECTED | LVIS_FOCUSED);
    std::wstring line = std::to_wstring(row) + L"\t";
    if ((state & (LVIS_SELECTED | LVIS_FOCUSED)) == 0) {
        line += L"-";
    } else {
        line += (state & LVIS_SELECTED) != 0 ? L"selected" : L"";
        line += (state & LVIS_SELECTED) != 0 && (state & LVIS_FOCUSED) != 0 ? L"," : L"";
        line += (state & LVIS_FOCUSED) != 0 ? L"focused" : L"";
    }
    for (int column = 0; column < columns; ++column) {
        const auto cell = list.Cell(row, column);
        if (!cell) {
            return {};
        }
        line += L"\t" + EscapeField(*cell);
    }
    return line;
}

// count=, columns=, top=, per_page=, then column=<index>\t<width>\t<title>
// for each column and row=<index>\t<state>\t<cell>\t<cell>... for each row
// (or for at most limit rows from first on);
// state is "-" or a comma-separated subset of selected, focused. The rows
// are one reading: when the row count changed while they were read (the
// program refreshed), they are read again.
int Rows(const std::wstring& title, int first, int limit)
{
    auto opened = OpenTargetList(title);
    if (!opened) {
        return 1;
    }
    auto& target = opened->target;
    auto& list = opened->list;
    const int columns = list.ColumnCount();
    if (columns < 0) {
        return Fail("the list did not answer");
    }
    std::vector<ListReader::Column> titles;
    for (int column = 0; column < columns; ++column) {
        const auto info = list.ColumnAt(column);
        if (!info) {
            return Fail("column %d could not be read", column);
        }
        titles.push_back(*info);
    }
    std::vector<std::wstring> lines;
    int count = -1;
    for (int attempt = 0; attempt < 5; ++attempt) {
        count = list.Count();
        if (count < 0) {
            return Fail("the list did not answer");
        }
        lines.clear();
        const int end = limit < 0 ? count : std::clamp(first + limit, 0, count);
        for (int row = std::max(first, 0); row < end; ++row) {
            lines.push_back(RowLine(list, row, columns));
            if (lines.back().empty()) {
                return Fail("row %d could not be read", row);
            }
        }
        if (list.Count() == count) {
            break;
        }
        count = -1;
    }
    if (count < 0) {
        return Fail("the row count kept changing while the rows were read");
    }
    std::printf("count=%d\ncolumns=%d\n", count, columns);
    std::printf("top=%d\nper_page=%d\n", static_cast<int>(Send(target.list, LVM_GETTOPINDEX, 0, 0).value_or(-1)),
                static_cast<int>(Send(target.list, LVM_GETCOUNTPERPAGE, 0, 0).value_or(-1)));
    for (int column = 0; column < columns; ++column) {
        Print("column", std::to_wstring(column) + L"\t" + std::to_wstring(titles[column].width) + L"\t" +
                            EscapeField(titles[column].text));
    }
    for (const std::wstring& line : lines) {
        Print("row", line);
    }
    return 0;
}

// Selects exactly the given rows (none when empty), focuses the first and
// scrolls it into view. The list tells its parent as for a user's click.
int Select(const std::wstring& title, const std::vector<int>& rows)
{
    auto opened = OpenTargetList(title);
    if (!opened) {
        return 1;
    }
    auto& target = opened->target;
    auto& list = opened->list;
    const int count = list.Count();
    for (const int row : rows) {
        if (row < 0 || row >= count) {
            return Fail("row %d is not in a list of %d rows", row, count);
        }
    }
    if (!list.SetState(-1, 0, LVIS_SELECTED | LVIS_FOCUSED)) {
        return Fail("clearing the selection failed");
    }
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const UINT state = LVIS_SELECTED | (i == 0 ? LVIS_FOCUSED : 0);
        if (!list.SetState(rows[i], state, state)) {
            return Fail("selecting row %d failed", rows[i]);
        }
    }
    if (!rows.empty()) {
        Send(target.list, LVM_SETSELECTIONMARK, 0, rows.front());
        Send(target.list, LVM_ENSUREVISIBLE, static_cast<WPARAM>(rows.front()), FALSE);
    }
    Print("selected", Joined(list.Selected()));
    std::printf("focused=%d\n", static_cast<int>(Send(target.list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1),
                                                       MAKELPARAM(LVNI_FOCUSED, 0))
                                                      .value_or(-1)));
    return 0;
}

// --- the status bar ---------------------------------------------------------------------

// parts=<n>, then part=<index>\t<right edge>\t<text> for each panel.
int Status(const std::wstring& title)
{
    auto target = OpenTarget(title, kMemoryAccess, IDC_STATUS_BAR);
    if (!target) {
        return 1;
    }
    constexpr int kMaxParts = 256;
    constexpr int kTextChars = 8192;
    const RemoteMemory memory(target->process.get(), kTextChars * sizeof(wchar_t));
    if (!memory) {
        return Fail("VirtualAllocEx in process %lu failed with %lu", target->pid, GetLastError());
    }
    const auto parts = Send(target->statusBar, SB_GETPARTS, kMaxParts, memory.Param());
    int edges[kMaxParts] = {};
    if (!parts || *parts < 0 || *parts > kMaxParts ||
        !memory.Read(0, edges, static_cast<SIZE_T>(*parts) * sizeof(int))) {
        return Fail("the status bar did not answer its parts");
    }
    std::printf("parts=%d\n", static_cast<int>(*parts));
    for (int part = 0; part < *parts; ++part) {
        const auto length = Send(target->statusBar, SB_GETTEXTLENGTHW, static_cast<WPARAM>(part), 0);
        if (!length || LOWORD(*length) >= kTextChars) {
            return Fail("panel %d: no text length or a text too long", part);
        }
        std::wstring text(LOWORD(*length), L'\0');
        if (!Send(target->statusBar, SB_GETTEXTW, static_cast<WPARAM>(part), memory.Param()) ||
            !memory.Read(0, text.data(), text.size() * sizeof(wchar_t))) {
            return Fail("panel %d could not be read", part);
        }
        Print("part", std::to_wstring(part) + L"\t" + std::to_wstring(edges[part]) + L"\t" + EscapeField(text));
    }
    return 0;
}

// --- texts the program shows ------------------------------------------------------------

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

int TextWidth(int points, bool bold, const std::wstring& text)
{
    const HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
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

// --- colours on the screen --------------------------------------------------------------

// The colour most often seen among pixels, as rrggbb.
std::string MostFrequentColour(const std::vector<DWORD>& pixels)
{
    std::map<DWORD, int> counts;
    for (const DWORD pixel : pixels) {
        ++counts[pixel];
    }
    const auto best = std::max_element(counts.begin(), counts.end(),
                                       [](const auto& a, const auto& b) { return a.second < b.second; });
    char text[16];
    std::snprintf(text, sizeof text, "%06lx", static_cast<unsigned long>(best->first));
    return text;
}

// The background of a row's cell as shown on the screen: the most frequent
// colour along the middle line of the cell's right quarter, where a short
// text such as the protocol never reaches, clear of the grid line. A
// selected row shows the selection colour instead, so it is refused.
int RowPixel(const std::wstring& title, int row, int column)
{
    auto opened = OpenTargetList(title);
    if (!opened) {
        return 1;
    }
    auto& target = opened->target;
    auto& list = opened->list;
    const int count = list.Count();
    if (row < 0 || row >= count) {
        return Fail("row %d is not in a list of %d rows", row, count);
    }
    if (list.State(row, LVIS_SELECTED) != 0) {
        return Fail("row %d is selected: its colour is the selection's", row);
    }
    RECT client{};
    GetClientRect(target.list, &client);
    RECT header{};
    if (const auto headerWindow = Send(target.list, LVM_GETHEADER, 0, 0); headerWindow && *headerWindow != 0 &&
                                                                            IsWindowVisible(reinterpret_cast<HWND>(*headerWindow))) {
        GetWindowRect(reinterpret_cast<HWND>(*headerWindow), &header);
        MapWindowPoints(HWND_DESKTOP, target.list, reinterpret_cast<POINT*>(&header), 2);
    }
    auto cell = list.CellRect(row, column);
    const auto visible = [&](const RECT& rect) {
        const int middle = (rect.top + rect.bottom) / 2;
        return middle >= std::max<LONG>(header.bottom, 0) && middle < client.bottom;
    };
    if (cell && !visible(*cell)) {
        Send(target.list, LVM_ENSUREVISIBLE, static_cast<WPARAM>(row), FALSE);
        std::printf("scrolled=1\n");
        cell = list.CellRect(row, column);
    }
    if (!cell || !visible(*cell)) {
        return Fail("row %d, column %d has no visible cell", row, column);
    }
    const int width = cell->right - cell->left;
    POINT from{std::max<LONG>(cell->left + width * 3 / 4, 0), (cell->top + cell->bottom) / 2};
    POINT to{std::min<LONG>(cell->right - 3, client.right), from.y};
    if (to.x <= from.x) {
        return Fail("column %d is too narrow to sample (%d pixels shown)", column, static_cast<int>(to.x - from.x));
    }
    MapWindowPoints(target.list, HWND_DESKTOP, &from, 1);
    MapWindowPoints(target.list, HWND_DESKTOP, &to, 1);
    for (const POINT point : {from, POINT{to.x - 1, to.y}}) {
        const HWND shown = WindowFromPoint(point);
        if (shown != target.list) {
            return Fail("another window (%s) covers the cell", Utf8(ClassOf(shown)).c_str());
        }
    }
    // The program may still be painting: two equal readings in a row count.
    std::string colour;
    const ULONGLONG deadline = GetTickCount64() + 2000;
    for (;;) {
        HDC screen = GetDC(nullptr);
        const std::string now = MostFrequentColour(Pixels(screen, from.x, from.y, to.x - from.x, 1));
        ReleaseDC(nullptr, screen);
        if (now == colour || GetTickCount64() >= deadline) {
            colour = now;
            break;
        }
        colour = now;
        Sleep(100);
    }
    std::printf("x=%ld\ny=%ld\nwidth=%ld\nrgb=%s\n", from.x, from.y, to.x - from.x, colour.c_str());
    return 0;
}

// --- menus ------------------------------------------------------------------------------

std::wstring DriverDirectory()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring text(path);
    return text.substr(0, text.find_last_of(L"\\/") + 1);
}

// The address in process of a function that this process also has loaded:
// the same offset into the same module there. When the target's module list
// cannot be read, the local address is the best guess (system modules
// usually lie at the same base in every process).
void* RemoteAddress(HANDLE process, FARPROC local)
{
    HMODULE localModule = nullptr;
    wchar_t name[MAX_PATH] = {};
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCWSTR>(local), &localModule) ||
        !GetModuleBaseNameW(GetCurrentProcess(), localModule, name, MAX_PATH)) {
        return reinterpret_cast<void*>(local);
    }
    HMODULE modules[1024];
    DWORD needed = 0;
    if (!EnumProcessModules(process, modules, sizeof(modules), &needed)) {
        return reinterpret_cast<void*>(local);
    }
    for (DWORD i = 0; i < std::min<DWORD>(needed / sizeof(HMODULE), 1024); ++i) {
        wchar_t remoteName[MAX_PATH] = {};
        if (GetModuleBaseNameW(process, modules[i], remoteName, MAX_PATH) && lstrcmpiW(remoteName, name) == 0) {
            return reinterpret_cast<BYTE*>(modules[i]) +
                   (reinterpret_cast<BYTE*>(local) - reinterpret_cast<BYTE*>(localModule));
        }
    }
    return reinterpret_cast<void*>(local);
}

// Runs start(parameter) in a new thread of process; answers its exit code.
std::optional<DWORD> RunRemote(HANDLE process, void* start, void* parameter, DWORD timeoutMs = 10000)
{
    const UniqueHandle thread(CreateRemoteThread(process, nullptr, 0,
                                                 reinterpret_cast<LPTHREAD_START_ROUTINE>(start), parameter, 0,
                                                 nullptr));
    if (!thread) {
        Fail("CreateRemoteThread failed with %lu", GetLastError());
        return std::nullopt;
    }
    if (WaitForSingleObject(thread.get(), timeoutMs) != WAIT_OBJECT_0) {
        Fail("the thread in the program did not end within %lu ms", timeoutMs);
        return std::nullopt;
    }
    DWORD code = 0;
    GetExitCodeThread(thread.get(), &code);
    return code;
}

struct MenuItem {
    int depth = 0;
    int position = 0;
    unsigned id = 0;
    std::wstring flags;
    std::wstring line;  // as the probe wrote it

    bool Has(const wchar_t* flag) const
    {
        return (L"," + flags + L",").find(L"," + std::wstring(flag) + L",") != std::wstring::npos;
    }
};

// Reads a menu of the target with the probe library loaded into it for this
// one call: loaded, run, unloaded, so that every call finds it fresh.
std::optional<std::vector<MenuItem>> ProbeMenu(const Target& target, vq::e2e::MenuSource source, HWND window)
{
    using vq::e2e::MenuProbeRequest;
    const std::wstring path = DriverDirectory() + L"vqmenuprobe.dll";
    // The local copy tells where ReadMenu lies in the library.
    const UniqueHmodule local(LoadLibraryExW(path.c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES));
    const FARPROC readMenu = local ? GetProcAddress(local.get(), vq::e2e::kReadMenuExport) : nullptr;
    if (readMenu == nullptr) {
        Fail("%s or its export %s is missing (%lu)", Utf8(path).c_str(), vq::e2e::kReadMenuExport, GetLastError());
        return std::nullopt;
    }
    const SIZE_T offset = reinterpret_cast<BYTE*>(readMenu) - reinterpret_cast<BYTE*>(local.get());

    const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    HANDLE process = target.process.get();
    void* const loadLibrary = RemoteAddress(process, GetProcAddress(kernel, "LoadLibraryW"));
    void* const freeLibrary = RemoteAddress(process, GetProcAddress(kernel, "FreeLibrary"));

    constexpr SIZE_T kPathOffset = (sizeof(MenuProbeRequest) + 15) & ~SIZE_T{15};
    const RemoteMemory memory(process, kPathOffset + (path.size() + 1) * sizeof(wchar_t));
    if (!memory || !memory.Write(kPathOffset, path.c_str(), (path.size() + 1) * sizeof(wchar_t))) {
        Fail("no memory for the probe in process %lu (%lu)", target.pid, GetLastError());
        return std::nullopt;
    }
    MenuProbeRequest header{};
    header.source = source;
    header.window = window;
    header.error = ERROR_IO_PENDING;
    if (!memory.Write(0, &header, offsetof(MenuProbeRequest, text))) {
        Fail("the probe's request could not be written");
        return std::nullopt;
    }
    const auto remoteModule = RunRemote(process, loadLibrary, memory.At(kPathOffset));
    if (!remoteModule) {
        return std::nullopt;
    }
    if (*remoteModule == 0) {
        Fail("the program could not load %s", Utf8(path).c_str());
        return std::nullopt;
    }
    void* const module = reinterpret_cast<void*>(static_cast<UINT_PTR>(*remoteModule));
    const auto status = RunRemote(process, static_cast<BYTE*>(module) + offset, memory.At(0));
    if (!status) {
        return std::nullopt;  // the library stays: its code may still run
    }
    RunRemote(process, freeLibrary, module);
    if (!memory.Read(0, &header, offsetof(MenuProbeRequest, text))) {
        Fail("the probe's answer could not be read");
        return std::nullopt;
    }
    if (header.error != ERROR_SUCCESS || header.textLength > MenuProbeRequest::kTextCapacity) {
        Fail("the probe could not read the menu (%lu)", header.error);
        return std::nullopt;
    }
    std::wstring text(header.textLength, L'\0');
    if (!memory.Read(offsetof(MenuProbeRequest, text), text.data(), text.size() * sizeof(wchar_t))) {
        Fail("the probe's answer could not be read");
        return std::nullopt;
    }
    std::vector<MenuItem> items;
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = std::min(text.find(L'\n', start), text.size());
        MenuItem item;
        item.line = text.substr(start, end - start);
        start = end + 1;
        std::vector<std::wstring> fields;
        for (std::size_t from = 0; fields.size() < 5;) {
            const std::size_t tab = std::min(item.line.find(L'\t', from), item.line.size());
            fields.push_back(item.line.substr(from, tab - from));
            if (tab == item.line.size()) {
                break;
            }
            from = tab + 1;
        }
        if (fields.size() != 5) {
            Fail("the probe answered a line of %u fields", static_cast<unsigned>(fields.size()));
            return std::nullopt;
        }
        item.depth = static_cast<int>(std::wcstol(fields[0].c_str(), nullptr, 10));
        item.position = static_cast<int>(std::wcstol(fields[1].c_str(), nullptr, 10));
        item.id = static_cast<unsigned>(std::wcstoul(fields[2].c_str(), nullptr, 10));
        item.flags = fields[3];
        items.push_back(item);
    }
    return items;
}

HWND FindPopupMenu(DWORD pid)
{
    for (HWND window : TopLevelWindows()) {
        if (IsWindowVisible(window) && ClassOf(window) == L"#32768" && ProcessOf(window) == pid) {
            return window;
        }
    }
    return nullptr;
}

// Posts Escape to the open menus of a process until none is shown (a
// submenu closes one level per press).
bool CloseMenus(DWORD pid)
{
    for (int attempt = 0; attempt < 8; ++attempt) {
        HWND popup = FindPopupMenu(pid);
        if (popup == nullptr) {
            return true;
        }
        PostMessageW(popup, WM_KEYDOWN, VK_ESCAPE, 1 | (MapVirtualKeyW(VK_ESCAPE, MAPVK_VK_TO_VSC) << 16));
        WaitFor(1000, [&] { return IsWindow(popup) && IsWindowVisible(popup) ? nullptr : popup; });
    }
    return FindPopupMenu(pid) == nullptr;
}

// Where the context menu is asked for: the middle of the first selected
// row, or of the list's client area when no row is selected.
POINT ContextMenuPoint(const Target& target, const ListReader& list)
{
    RECT client{};
    GetClientRect(target.list, &client);
    POINT point{client.right / 2, client.bottom / 2};
    const std::vector<int> selected = list.Selected();
    if (!selected.empty()) {
        if (const auto cell = list.CellRect(selected.front(), 0)) {
            const POINT middle{(cell->left + cell->right) / 2, (cell->top + cell->bottom) / 2};
            if (PtInRect(&client, middle)) {
                point = middle;
            }
        }
    }
    MapWindowPoints(target.list, HWND_DESKTOP, &point, 1);
    return point;
}

void PrintMenu(const std::vector<MenuItem>& items)
{
    std::printf("items=%u\n", static_cast<unsigned>(items.size()));
    for (const MenuItem& item : items) {
        Print("item", item.line);
    }
}

// popup=<window>, items=<n>, then item=<depth>\t<position>\t<id>\t<flags>\t<text>
// for each item (see menu_probe.h), closed=1 unless keep.
int Menu(const std::wstring& title, bool keep)
{
    auto target = OpenTarget(title, kInjectAccess, IDC_LIST);
    if (!target) {
        return 1;
    }
    HWND popup = FindPopupMenu(target->pid);
    if (popup == nullptr) {
        auto list = OpenList(*target);
        if (!list) {
            return 1;
        }
        const POINT point = ContextMenuPoint(*target, *list);
        // Posted: the program stays inside the menu's loop until it closes.
        PostMessageW(target->list, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(target->list),
                     MAKELPARAM(point.x, point.y));
        popup = WaitFor(5000, [&] { return FindPopupMenu(target->pid); });
        if (popup == nullptr) {
            return Fail("no context menu appeared");
        }
    }
    const auto items = ProbeMenu(*target, vq::e2e::MenuSource::PopupWindow, popup);
    if (!items) {
        CloseMenus(target->pid);
        return 1;
    }
    std::printf("popup=%p\n", static_cast<void*>(popup));
    PrintMenu(*items);
    if (!keep) {
        std::printf("closed=%d\n", CloseMenus(target->pid) ? 1 : 0);
    }
    return 0;
}

int MainMenu(const std::wstring& title)
{
    auto target = OpenTarget(title, kInjectAccess, 0);
    if (!target) {
        return 1;
    }
    if (GetMenu(target->main) == nullptr) {
        return Fail("the window has no menu bar");
    }
    const auto items = ProbeMenu(*target, vq::e2e::MenuSource::MenuBar, target->main);
    if (!items) {
        return 1;
    }
    PrintMenu(*items);
    return 0;
}

int CloseMenu(const std::wstring& title)
{
    const HWND window = FindTitled(title, false);
    if (window == nullptr) {
        return Fail("no visible window titled %s", Utf8(title).c_str());
    }
    return CloseMenus(ProcessOf(window)) ? 0 : Fail("the menus stayed open");
}

void PostKey(HWND window, UINT key)
{
    const UINT scan = MapVirtualKeyW(key, MAPVK_VK_TO_VSC);
    PostMessageW(window, WM_KEYDOWN, key, 1 | (scan << 16));
    PostMessageW(window, WM_KEYUP, key, 1 | (scan << 16) | (1u << 30) | (1u << 31));
}

// Moves the open context menu's highlight to its n-th item (from 1, counting
// every item but separators, as the menu does) and presses Enter. The
// highlight is checked before Enter, so the command chosen is the one meant.
// chosen=<id>, position=, enabled=0|1, closed=1 when Enter closed the menu
// (closed=0: it stayed open and was then closed with Escape). Wine closes it
// on a disabled item too, without a command.
int Choose(const std::wstring& title, int n)
{
    auto target = OpenTarget(title, kInjectAccess, 0);
    if (!target) {
        return 1;
    }
    const HWND popup = WaitFor(2000, [&] { return FindPopupMenu(target->pid); });
    if (popup == nullptr) {
        return Fail("no context menu is open");
    }
    const auto items = ProbeMenu(*target, vq::e2e::MenuSource::PopupWindow, popup);
    if (!items) {
        return 1;
    }
    std::vector<MenuItem> choosable;
    int highlighted = -1;
    for (const MenuItem& item : *items) {
        if (item.depth == 0 && !item.Has(L"separator")) {
            if (item.Has(L"hilite")) {
                highlighted = static_cast<int>(choosable.size());
            }
            choosable.push_back(item);
        }
    }
    const int count = static_cast<int>(choosable.size());
    if (n < 1 || n > count) {
        CloseMenus(target->pid);
        return Fail("the menu has %d items to choose from, not %d", count, n);
    }
    const MenuItem& wanted = choosable[static_cast<std::size_t>(n - 1)];
    // Down from no highlight reaches the first item; past the last it wraps.
    const int downs = highlighted < 0 ? n : ((n - 1) - highlighted + count) % count;
    for (int i = 0; i < downs; ++i) {
        PostKey(popup, VK_DOWN);
    }
    bool reached = false;
    const ULONGLONG deadline = GetTickCount64() + 3000;
    while (!reached && GetTickCount64() < deadline) {
        const auto now = ProbeMenu(*target, vq::e2e::MenuSource::PopupWindow, popup);
        if (!now) {
            return 1;
        }
        for (const MenuItem& item : *now) {
            reached = reached || (item.depth == 0 && item.position == wanted.position && item.Has(L"hilite"));
        }
        if (!reached) {
            Sleep(50);
        }
    }
    if (!reached) {
        CloseMenus(target->pid);
        return Fail("the highlight did not reach item %d (position %d)", n, wanted.position);
    }
    std::printf("chosen=%u\nposition=%d\n", wanted.id, wanted.position);
    std::printf("enabled=%d\n", wanted.Has(L"grayed") || wanted.Has(L"disabled") ? 0 : 1);
    PostKey(popup, VK_RETURN);
    const bool closed = WaitFor(1500, [&] { return FindPopupMenu(target->pid) == nullptr ? popup : nullptr; });
    std::printf("closed=%d\n", closed ? 1 : 0);
    if (!closed) {
        CloseMenus(target->pid);
    }
    return 0;
}

// --- keyboard ---------------------------------------------------------------------------

INPUT KeyInput(WORD key, bool up)
{
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(key, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    return input;
}

enum class KeyMethod { Any, Input, Attached };

// Ctrl+key where the program's accelerators see it: translated in its
// message loop with Ctrl down in the thread's key state, which posted key
// messages do not carry. Two ways get it there:
//  input:    the window is made the foreground window and the keys go in
//            with SendInput, as from the keyboard (the default);
//  attached: the driver shares the program's input state, holds Ctrl down
//            in it, posts the key and waits until the program took it.
// Without a method given, input is used when the window can be brought to
// the foreground, attached otherwise. Prints method=input|attached.
int Shortcut(const std::wstring& title, const std::wstring& keyName, KeyMethod method)
{
    const HWND window = FindTitled(title, false);
    if (window == nullptr) {
        return Fail("no visible window titled %s", Utf8(title).c_str());
    }
    if (keyName.size() != 1 || keyName[0] > 0x7F || !std::isalnum(static_cast<int>(keyName[0]))) {
        return Fail("the key must be one letter or digit, not %s", Utf8(keyName).c_str());
    }
    const WORD key = static_cast<WORD>(std::toupper(static_cast<int>(keyName[0])));
    if (method != KeyMethod::Attached) {
        SetForegroundWindow(window);
        const bool foreground = WaitFor(2000, [&] { return GetForegroundWindow() == window ? window : nullptr; });
        if (foreground) {
            INPUT inputs[] = {KeyInput(VK_CONTROL, false), KeyInput(key, false), KeyInput(key, true),
                              KeyInput(VK_CONTROL, true)};
            if (SendInput(4, inputs, sizeof(INPUT)) != 4) {
                return Fail("SendInput failed with %lu", GetLastError());
            }
            std::printf("method=input\n");
            return 0;
        }
        if (method == KeyMethod::Input) {
            return Fail("the window did not become the foreground window");
        }
    }
    const DWORD thread = GetWindowThreadProcessId(window, nullptr);
    if (!AttachThreadInput(GetCurrentThreadId(), thread, TRUE)) {
        return Fail("AttachThreadInput failed with %lu", GetLastError());
    }
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    BYTE held[256];
    std::copy(std::begin(keys), std::end(keys), std::begin(held));
    held[VK_CONTROL] |= 0x80;
    held[VK_LCONTROL] |= 0x80;
    SetKeyboardState(held);
    const HWND focus = GetFocus();
    PostKey(focus != nullptr ? focus : window, key);
    // Sent messages are handled before posted ones, so a message sent now
    // may come back before the key was taken; a few in a row, each sent
    // after the one before returned, and a short grace period cover that.
    for (int i = 0; i < 3; ++i) {
        Send(window, WM_NULL, 0, 0);
    }
    Sleep(200);
    SetKeyboardState(keys);
    AttachThreadInput(GetCurrentThreadId(), thread, FALSE);
    std::printf("method=attached\n");
    return 0;
}

int AltKey(const std::wstring& title, const std::wstring& keyName)
{
    const HWND window = FindTitled(title, false);
    if (window == nullptr) {
        return Fail("no visible window titled %s", Utf8(title).c_str());
    }
    if (keyName.size() != 1 || keyName[0] > 0x7F || !std::isalpha(static_cast<int>(keyName[0]))) {
        return Fail("the key must be one letter, not %s", Utf8(keyName).c_str());
    }
    const WORD key = static_cast<WORD>(std::toupper(static_cast<int>(keyName[0])));
    SetForegroundWindow(window);
    if (!WaitFor(2000, [&] { return GetForegroundWindow() == window ? window : nullptr; })) {
        return Fail("the window did not become the foreground window");
    }
    INPUT inputs[] = {KeyInput(VK_MENU, false), KeyInput(key, false), KeyInput(key, true), KeyInput(VK_MENU, true)};
    if (SendInput(4, inputs, sizeof(INPUT)) != 4) {
        return Fail("SendInput failed with %lu", GetLastError());
    }
    return 0;
}

// --- clipboard --------------------------------------------------------------------------

// Closes the clipboard with the object.
class OpenedClipboard {
public:
    OpenedClipboard()
    {
        // Another program may hold it for a moment.
        for (int attempt = 0; attempt < 40 && !open_; ++attempt) {
            open_ = OpenClipboard(nullptr) != FALSE;
            if (!open_) {
                Sleep(50);
            }
        }
    }
    OpenedClipboard(const OpenedClipboard&) = delete;
    OpenedClipboard& operator=(const OpenedClipboard&) = delete;
    ~OpenedClipboard()
    {
        if (open_) {
            CloseClipboard();
        }
    }
    explicit operator bool() const { return open_; }

private:
    bool open_ = false;
};

// formats=<ids>, then clipboard=text with length= and text=<escaped>, or
// clipboard=none when it holds no Unicode text.
int Clipboard()
{
    const OpenedClipboard clipboard;
    if (!clipboard) {
        return Fail("OpenClipboard failed with %lu", GetLastError());
    }
    std::vector<int> formats;
    for (UINT format = EnumClipboardFormats(0); format != 0; format = EnumClipboardFormats(format)) {
        formats.push_back(static_cast<int>(format));
    }
    Print("formats", Joined(formats));
    HANDLE data = IsClipboardFormatAvailable(CF_UNICODETEXT) ? GetClipboardData(CF_UNICODETEXT) : nullptr;
    const auto* text = data != nullptr ? static_cast<const wchar_t*>(GlobalLock(data)) : nullptr;
    if (text == nullptr) {
        std::printf("clipboard=none\n");
        return 0;
    }
    const std::size_t capacity = GlobalSize(data) / sizeof(wchar_t);
    const std::wstring value(text, std::find(text, text + capacity, L'\0'));
    GlobalUnlock(data);
    std::printf("clipboard=text\nlength=%u\n", static_cast<unsigned>(value.size()));
    PrintEscaped("text", value);
    return 0;
}

// --- any window: commands, placement, children ---------------------------------------

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

int SetColumnWidth(const std::wstring& title, int column, int width)
{
    HWND window = FindTitled(title, false);
    HWND list = window != nullptr ? GetDlgItem(window, IDC_LIST) : nullptr;
    if (list == nullptr) {
        return Fail("no list in a visible window titled %s", Utf8(title).c_str());
    }
    if (!Send(list, LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(column), MAKELPARAM(width, 0))) {
        return Fail("LVM_SETCOLUMNWIDTH was not answered");
    }
    const auto shown = Send(list, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(column), 0);
    std::printf("width=%ld\n", shown ? static_cast<long>(*shown) : -1L);
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

int Usage()
{
    std::fprintf(stderr, "usage: vqdriver find|windows|msgbox|msgbox-ok|key|type|close|sleep|rows|select|select-none|"
                         "status|row-pixel|menu|close-menu|main-menu|choose|shortcut|alt-key|clipboard|tooltip|text-width|command|syscommand|place|"
                         "children|column-width|hittest ...\n");
    return 2;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2) {
        return Usage();
    }
    const std::wstring command = argv[1];
    auto number = [&](int index) { return static_cast<DWORD>(std::wcstoul(argv[index], nullptr, 0)); };
    auto integer = [&](int index) { return static_cast<int>(std::wcstol(argv[index], nullptr, 0)); };
    int result = 2;
    if (command == L"find" && argc >= 4) {
        result = Find(argv[2], number(3), argc >= 5 && std::wstring(argv[4]) == L"hidden");
    } else if (command == L"windows" && argc >= 3) {
        result = Windows(number(2));
    } else if (command == L"msgbox" && argc >= 4) {
        result = MessageBoxInfo(number(2), number(3));
    } else if (command == L"msgbox-ok" && argc >= 3) {
        result = MessageBoxOk(number(2));
    } else if (command == L"key" && argc >= 4) {
        result = Key(argv[2], number(3));
    } else if (command == L"type" && argc == 4) {
        result = Type(argv[2], argv[3]);
    } else if (command == L"sleep" && argc >= 3) {
        result = SleepAsHelper(number(2));
    } else if (command == L"close" && argc >= 3) {
        result = Close(argv[2]);
    } else if (command == L"rows" && (argc == 3 || argc == 5)) {
        result = argc == 5 ? Rows(argv[2], integer(3), integer(4)) : Rows(argv[2], 0, -1);
    } else if (command == L"select" && argc >= 4) {
        std::vector<int> rows;
        for (int i = 3; i < argc; ++i) {
            rows.push_back(integer(i));
        }
        result = Select(argv[2], rows);
    } else if (command == L"select-none" && argc == 3) {
        result = Select(argv[2], {});
    } else if (command == L"status" && argc == 3) {
        result = Status(argv[2]);
    } else if (command == L"row-pixel" && (argc == 4 || argc == 5)) {
        result = RowPixel(argv[2], integer(3), argc == 5 ? integer(4) : 1);
    } else if (command == L"menu" && (argc == 3 || (argc == 4 && std::wstring(argv[3]) == L"keep"))) {
        result = Menu(argv[2], argc == 4);
    } else if (command == L"close-menu" && argc == 3) {
        result = CloseMenu(argv[2]);
    } else if (command == L"main-menu" && argc == 3) {
        result = MainMenu(argv[2]);
    } else if (command == L"choose" && argc == 4) {
        result = Choose(argv[2], integer(3));
    } else if (command == L"shortcut" && (argc == 4 || argc == 5)) {
        const std::wstring how = argc == 5 ? argv[4] : L"";
        if (!how.empty() && how != L"input" && how != L"attached") {
            return Usage();
        }
        result = Shortcut(argv[2], argv[3],
                          how.empty() ? KeyMethod::Any : how == L"input" ? KeyMethod::Input : KeyMethod::Attached);
    } else if (command == L"alt-key" && argc == 4) {
        result = AltKey(argv[2], argv[3]);
    } else if (command == L"tooltip" && argc == 3) {
        result = Tooltip(argv[2]);
    } else if (command == L"text-width" && argc == 5) {
        result = TextWidth(integer(2), integer(3) != 0, argv[4]);
    } else if (command == L"clipboard" && argc == 2) {
        result = Clipboard();
    } else if (command == L"command" && (argc == 4 || argc == 5)) {
        result = PostCommand(argv[2], integer(3), argc == 5 ? std::optional<int>(integer(4)) : std::nullopt);
    } else if (command == L"syscommand" && argc == 4) {
        result = PostSysCommand(argv[2], number(3));
    } else if (command == L"place" && (argc == 5 || argc == 7)) {
        result = Place(argv[2], integer(3), integer(4),
                       argc == 7 ? std::optional<SIZE>(SIZE{integer(5), integer(6)}) : std::nullopt);
    } else if (command == L"children" && argc == 3) {
        result = Children(argv[2]);
    } else if (command == L"column-width" && argc == 5) {
        result = SetColumnWidth(argv[2], integer(3), integer(4));
    } else if (command == L"hittest" && argc == 5) {
        result = HitTest(argv[2], integer(3), integer(4));
    } else {
        return Usage();
    }
    std::fflush(stdout);
    return result;
}
