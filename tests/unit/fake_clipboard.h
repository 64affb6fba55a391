#pragma once

// The host fake of the clipboard: it records every text it is asked to store,
// keeps what it holds, and can refuse the way the system does.

#include "platform/clipboard.h"

#include <optional>
#include <string>
#include <vector>

namespace vq::fake {

struct ClipboardSet {
    platform::WindowHandle owner;
    std::wstring text;
};

struct FakeClipboard {
    // What the clipboard holds as Unicode text; none once it has been emptied.
    std::optional<std::wstring> contents = L"contents of another program";
    // Another program holds the clipboard open: the call fails and the
    // contents stay.
    bool heldByAnotherProgram = false;
    // The clipboard opens and is emptied, then refuses the text.
    bool refusesData = false;
    std::vector<ClipboardSet> sets;  // every call, refused ones included
};

FakeClipboard& Clipboard();
void ResetClipboard();

} // namespace vq::fake
