// Menus of the program: read by a probe library loaded into it, opened,
// closed and chosen from as a user does.

#include "driver.h"

#include <windows.h>
#include <commctrl.h>

#include "menu_probe.h"

#include <psapi.h>

#include <cstdio>

namespace vq::e2e::driver {
namespace {

constexpr wchar_t kProbeLibrary[] = L"vqmenuprobe.dll";

std::wstring DriverDirectory()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring text(path);
    return text.substr(0, text.find_last_of(L"\\/") + 1);
}

// The module of process with this file name (no folder), or null.
HMODULE RemoteModule(HANDLE process, const wchar_t* name)
{
    HMODULE modules[1024];
    DWORD needed = 0;
    if (!EnumProcessModules(process, modules, sizeof(modules), &needed)) {
        return nullptr;
    }
    for (DWORD i = 0; i < std::min<DWORD>(needed / sizeof(HMODULE), 1024); ++i) {
        wchar_t remoteName[MAX_PATH] = {};
        if (GetModuleBaseNameW(process, modules[i], remoteName, MAX_PATH) && lstrcmpiW(remoteName, name) == 0) {
            return modules[i];
        }
    }
    return nullptr;
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
    const HMODULE remote = RemoteModule(process, name);
    return remote == nullptr ? reinterpret_cast<void*>(local)
                             : reinterpret_cast<BYTE*>(remote) +
                                   (reinterpret_cast<BYTE*>(local) - reinterpret_cast<BYTE*>(localModule));
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
    const std::wstring path = DriverDirectory() + kProbeLibrary;
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
    // A thread's exit code holds 32 bits: a 64-bit module handle is looked up instead.
    void* const module = RemoteModule(process, kProbeLibrary);
    if (*remoteModule == 0 || module == nullptr) {
        Fail("the program could not load %s", Utf8(path).c_str());
        return std::nullopt;
    }
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

} // namespace

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

} // namespace vq::e2e::driver
