#pragma once

// The clipboard: plain Unicode text, nothing else.

#include <string>

namespace vq::platform {

using WindowHandle = void*;

// Replaces the clipboard's contents with text in the Unicode text format (its
// UTF-16 code units and a terminating NUL), in one operation: open the
// clipboard for owner, empty it, store the text, close it. When another
// program holds the clipboard open the call fails at once, without waiting,
// and the previous contents stay. Answers whether the text was stored; on
// every path the clipboard is closed again before the call returns.
bool SetClipboardText(WindowHandle owner, const std::wstring& text);

} // namespace vq::platform
