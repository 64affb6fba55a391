#pragma once

// What the driver and the menu probe library share. In Wine a menu belongs to
// the process that made it: GetMenuItemInfoW fails from any other process.
// So the driver loads vqmenuprobe.dll into the program under test, writes a
// MenuProbeRequest into the program's memory and runs the library's
// ReadMenu(request) there in a thread of its own; ReadMenu writes the items
// back into the same block. Both sides are programs of one width built by the
// same compiler, so the block has one layout.
//
// The answer is one line per item, depth-first (a submenu's items follow the
// item that opens it):
//   <depth>\t<position>\t<command id>\t<flags>\t<text>\n
// flags is a comma-separated subset of separator, popup, grayed, disabled,
// checked, radio, default, hilite, ownerdraw, or "-" when none applies. The
// text keeps its '&' and its "\t<shortcut>" part and is escaped with
// EscapeField below, so an answer line always has exactly five fields.

#include <windows.h>

#include <string>

namespace vq::e2e {

enum class MenuSource : DWORD {
    PopupWindow = 0,  // window: a "#32768" popup window of the target process
    MenuBar = 1,      // window: a top-level window whose menu bar is read
};

struct MenuProbeRequest {
    static constexpr DWORD kTextCapacity = 60000;

    MenuSource source;
    HWND window;
    DWORD textLength;  // answer: characters written to text
    DWORD error;       // answer: 0, or what went wrong (a Win32 error code)
    wchar_t text[kTextCapacity];
};

// The exported thread procedure (undecorated: the library is linked with
// --kill-at). Answers the same value it stores in request->error.
inline constexpr char kReadMenuExport[] = "ReadMenu";

// A field of a tab-separated answer line: backslash, tab, line feed and
// carriage return become \\ \t \n \r, any other control character \xHH.
inline std::wstring EscapeField(const std::wstring& text)
{
    static constexpr wchar_t kHex[] = L"0123456789abcdef";
    std::wstring out;
    out.reserve(text.size());
    for (const wchar_t c : text) {
        switch (c) {
        case L'\\': out += L"\\\\"; break;
        case L'\t': out += L"\\t"; break;
        case L'\n': out += L"\\n"; break;
        case L'\r': out += L"\\r"; break;
        default:
            if (c < 0x20 || c == 0x7F) {
                out += L"\\x";
                out += kHex[(c >> 4) & 0xF];
                out += kHex[c & 0xF];
            } else {
                out += c;
            }
        }
    }
    return out;
}

} // namespace vq::e2e
