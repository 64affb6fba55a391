#pragma once

// UTF-8 from the program's wide text.

#include <string>
#include <string_view>

namespace vq::util {

// Appends the text as UTF-8. A surrogate pair becomes the one character it
// stands for; a surrogate without its partner, and any code beyond U+10FFFF,
// becomes U+FFFD, so the output is always valid UTF-8.
void AppendUtf8(std::string& out, std::wstring_view text);

} // namespace vq::util
