#pragma once

// What the driver's commands share: finding windows, printing answers,
// reaching the program under test (its process, its memory, its list), and
// the commands themselves, one per command of the table in vqdriver.cpp.

#include "menu_probe.h"
#include "platform/win32/unique_win32.h"
#include "resource.h"

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vq::e2e::driver {

using vq::e2e::EscapeField;
using vq::platform::win32::UniqueHandle;
using vq::platform::win32::UniqueHmodule;

// --- answers ------------------------------------------------------------------------------

std::string Utf8(const std::wstring& text);
// Numbers joined by commas: "1,5,7".
std::wstring Joined(const std::vector<int>& numbers);
// Prints key=value.
void Print(const char* key, const std::wstring& value);
// Prints key=value with the value escaped (see EscapeField).
void PrintEscaped(const char* key, const std::wstring& value);
// Prints error=<message> and answers the exit code of a failed command.
int Fail(const char* format, ...);

// --- windows ------------------------------------------------------------------------------

std::wstring WindowText(HWND window);
std::wstring ClassOf(HWND window);
DWORD ProcessOf(HWND window);
std::vector<HWND> TopLevelWindows();
HWND FindTitled(const std::wstring& title, bool acceptHidden);
HWND FindMessageBox(DWORD pid);
// hwnd=, pid=, class=, title=, visible=, style=, rect=, client= ... of a window.
void PrintWindow(HWND window);
// The control with the keyboard focus in the thread of the window with this
// title (the window itself when none has it); null when there is no window.
HWND FocusedControlOf(const std::wstring& title);
// 32-bit pixels of a device context's area, top row first.
std::vector<DWORD> Pixels(HDC source, int x, int y, int width, int height);
// Sends with a timeout, so a hung program fails the command instead of stalling it.
std::optional<LRESULT> Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

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

// --- keys ---------------------------------------------------------------------------------

INPUT KeyInput(WORD key, bool up);
// Posts a key press and release to a window.
void PostKey(HWND window, UINT key);
// How Shortcut gets Ctrl+key to the program (see input_commands.cpp).
enum class KeyMethod { Any, Input, Attached };

// --- the program under test: its memory, its main window, its list --------------------------

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

std::optional<std::wstring> ReadRemoteText(HANDLE process, const void* address, std::size_t count);

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
std::optional<Target> OpenTarget(const std::wstring& title, DWORD access, int control);


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

std::optional<ListReader> OpenList(const Target& target);

// The window titled title with a reader of its list; the reader uses the
// target's process handle, so both travel together.
struct TargetList {
    Target target;
    ListReader list;
};

std::optional<TargetList> OpenTargetList(const std::wstring& title);

// --- the commands -------------------------------------------------------------------------

int Find(const std::wstring& title, DWORD timeoutMs, bool acceptHidden);
int Windows(DWORD pid);
int MessageBoxInfo(DWORD pid, DWORD timeoutMs);
int MessageBoxOk(DWORD pid);
int Close(const std::wstring& title);
// Fills the Save dialog with that title: prints the name it proposed,
// chooses the file type (from 0), puts the path into the name box and
// presses Save.
int SaveAs(const std::wstring& title, const std::wstring& path, int type);
int Idle(const std::wstring& title);
// Returns once the window's program has handled everything sent or posted
// to it so far and waits for input again: its thread went idle, and then
// answered a message sent after that, so a command that opens no modal
// window has finished when this returns. 0, or 1 after a Fail.
int WaitUntilIdle(HWND window);
int SleepAsHelper(DWORD milliseconds);
int PostCommand(const std::wstring& title, int id, std::optional<int> notification);
int PostSysCommand(const std::wstring& title, WPARAM command);
int Place(const std::wstring& title, int x, int y, std::optional<SIZE> size);
int DpiChanged(const std::wstring& title, int dpi, const RECT& suggested);
int Children(const std::wstring& title);
// The control id of the window's focused control (0: the window itself).
int Focus(const std::wstring& title);
int HitTest(const std::wstring& title, int x, int y);

int Rows(const std::wstring& title, int first, int limit);
int Select(const std::wstring& title, const std::vector<int>& rows);
int Status(const std::wstring& title);
int RowPixel(const std::wstring& title, int row, int column);
int SetColumnWidth(const std::wstring& title, int column, int width);

int Menu(const std::wstring& title, bool keep);
int MainMenu(const std::wstring& title);
int CloseMenu(const std::wstring& title);
int Choose(const std::wstring& title, int n);

int Key(const std::wstring& title, UINT virtualKey);
int Type(const std::wstring& title, const std::wstring& text);
int Shortcut(const std::wstring& title, const std::wstring& keyName, KeyMethod method);
int AltKey(const std::wstring& title, const std::wstring& keyName);
int ShiftKey(const std::wstring& title, UINT virtualKey, int count);

int Clipboard();
int Tooltip(const std::wstring& title);
int TextWidth(int points, bool bold, const std::wstring& text, int dpi);

} // namespace vq::e2e::driver
