#include "platform/clipboard.h"

#include "platform/win32/unique_win32.h"
#include "platform/win32/windows_api.h"

#include <cstddef>
#include <cstring>
#include <limits>

namespace vq::platform {
namespace {

using win32::UniqueHglobal;

// The clipboard, open for this program while the object lives. Opening never
// waits: when another window holds the clipboard, the object owns nothing.
class OpenedClipboard {
public:
    explicit OpenedClipboard(HWND owner) noexcept : opened_(::OpenClipboard(owner) != FALSE) {}
    ~OpenedClipboard()
    {
        if (opened_) {
            ::CloseClipboard();
        }
    }
    OpenedClipboard(const OpenedClipboard&) = delete;
    OpenedClipboard& operator=(const OpenedClipboard&) = delete;

    explicit operator bool() const noexcept { return opened_; }

private:
    bool opened_;
};

// Movable global memory holding the text and its terminating NUL, as the
// clipboard wants it; owns nothing when the memory cannot be had.
UniqueHglobal CopyToGlobalMemory(const std::wstring& text)
{
    if (text.size() >= std::numeric_limits<std::size_t>::max() / sizeof(wchar_t)) {
        return UniqueHglobal();
    }
    const std::size_t length = (text.size() + 1) * sizeof(wchar_t);
    UniqueHglobal memory(::GlobalAlloc(GMEM_MOVEABLE, length));
    if (!memory) {
        return memory;
    }
    void* data = ::GlobalLock(memory.get());
    if (data == nullptr) {
        memory.reset();
        return memory;
    }
    std::memcpy(data, text.c_str(), length);
    ::GlobalUnlock(memory.get());
    return memory;
}

} // namespace

bool SetClipboardText(WindowHandle owner, const std::wstring& text)
{
    // The text is ready before the clipboard is opened, so the clipboard is
    // held only for the three calls below, and a lack of memory leaves its
    // contents alone.
    UniqueHglobal memory = CopyToGlobalMemory(text);
    if (!memory) {
        return false;
    }
    const OpenedClipboard clipboard(static_cast<HWND>(owner));
    if (!clipboard || ::EmptyClipboard() == FALSE) {
        return false;
    }
    if (::SetClipboardData(CF_UNICODETEXT, memory.get()) == nullptr) {
        return false;
    }
    // The system owns the memory from here on.
    static_cast<void>(memory.release());
    return true;
}

} // namespace vq::platform
