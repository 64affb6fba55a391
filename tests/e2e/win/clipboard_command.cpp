// The clipboard's text.

#include "driver.h"

#include <windows.h>
#include <commctrl.h>

#include <cstdio>

namespace vq::e2e::driver {
namespace {

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

} // namespace

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

} // namespace vq::e2e::driver
