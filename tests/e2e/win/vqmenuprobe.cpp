// The menu probe: a library that the driver loads into the program under
// test to read a menu's items there (see menu_probe.h). It does nothing when
// it is loaded; the driver runs ReadMenu in a thread of the program and
// unloads the library again afterwards.

#include "menu_probe.h"

#include <cwchar>
#include <string>

namespace {

using vq::e2e::EscapeField;
using vq::e2e::MenuProbeRequest;
using vq::e2e::MenuSource;

std::wstring Flags(const MENUITEMINFOW& item)
{
    struct Flag {
        bool set;
        const wchar_t* name;
    };
    const Flag flags[] = {
        {(item.fType & MFT_SEPARATOR) != 0, L"separator"},
        {item.hSubMenu != nullptr, L"popup"},
        {(item.fState & MF_GRAYED) != 0, L"grayed"},
        {(item.fState & MF_DISABLED) != 0, L"disabled"},
        {(item.fState & MFS_CHECKED) != 0, L"checked"},
        {(item.fType & MFT_RADIOCHECK) != 0, L"radio"},
        {(item.fState & MFS_DEFAULT) != 0, L"default"},
        {(item.fState & MFS_HILITE) != 0, L"hilite"},
        {(item.fType & MFT_OWNERDRAW) != 0, L"ownerdraw"},
    };
    std::wstring out;
    for (const Flag& flag : flags) {
        if (flag.set) {
            out += out.empty() ? L"" : L",";
            out += flag.name;
        }
    }
    return out.empty() ? L"-" : out;
}

// Appends the lines of menu's items, and of its submenus' items after the
// item that opens them.
bool AppendItems(HMENU menu, int depth, std::wstring& out)
{
    const int count = GetMenuItemCount(menu);
    if (count < 0) {
        return false;
    }
    for (int position = 0; position < count; ++position) {
        wchar_t text[1024] = {};
        MENUITEMINFOW item{};
        item.cbSize = sizeof(item);
        item.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_SUBMENU | MIIM_STRING;
        item.dwTypeData = text;
        item.cch = static_cast<UINT>(std::size(text) - 1);
        if (!GetMenuItemInfoW(menu, static_cast<UINT>(position), TRUE, &item)) {
            return false;
        }
        wchar_t head[64];
        std::swprintf(head, std::size(head), L"%d\t%d\t%u\t", depth, position,
                      item.hSubMenu != nullptr ? 0u : item.wID);
        out += head;
        out += Flags(item);
        out += L'\t';
        out += EscapeField((item.fType & MFT_OWNERDRAW) != 0 ? std::wstring() : std::wstring(text));
        out += L'\n';
        if (item.hSubMenu != nullptr && !AppendItems(item.hSubMenu, depth + 1, out)) {
            return false;
        }
    }
    return true;
}

HMENU MenuOf(const MenuProbeRequest& request)
{
    if (request.source == MenuSource::MenuBar) {
        return GetMenu(request.window);
    }
    // The popup window answers its menu; it lives in another thread of this
    // process (the one tracking the menu), so the message may wait a moment.
    DWORD_PTR menu = 0;
    if (!SendMessageTimeoutW(request.window, MN_GETHMENU, 0, 0, SMTO_NORMAL, 5000, &menu)) {
        return nullptr;
    }
    return reinterpret_cast<HMENU>(menu);
}

} // namespace

extern "C" __declspec(dllexport) DWORD WINAPI ReadMenu(void* parameter)
{
    auto& request = *static_cast<MenuProbeRequest*>(parameter);
    request.textLength = 0;
    request.error = ERROR_SUCCESS;
    const HMENU menu = MenuOf(request);
    std::wstring text;
    if (menu == nullptr || !IsMenu(menu)) {
        request.error = ERROR_INVALID_MENU_HANDLE;
    } else if (!AppendItems(menu, 0, text)) {
        request.error = GetLastError() != ERROR_SUCCESS ? GetLastError() : ERROR_INVALID_MENU_HANDLE;
    } else if (text.size() > MenuProbeRequest::kTextCapacity) {
        request.error = ERROR_INSUFFICIENT_BUFFER;
    } else {
        text.copy(request.text, text.size());
        request.textLength = static_cast<DWORD>(text.size());
    }
    return request.error;
}

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID)
{
    return TRUE;
}
