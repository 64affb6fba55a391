#pragma once

// JSON strings from the program's wide text.

#include <string>
#include <string_view>

namespace vq::util {

// Appends the text as a JSON string, quotes included, in UTF-8. Quotes,
// backslashes and control characters are escaped, and so is a surrogate
// without its partner (as \uXXXX), so the output is valid JSON and valid
// UTF-8 and reads back as the same UTF-16 text.
void AppendJsonString(std::string& out, std::wstring_view text);

} // namespace vq::util
