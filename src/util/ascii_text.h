#pragma once

// Prefix tests on path text. The system's own prefixes are compared with
// only the ASCII letters folded, never by the user's locale.

#include <cstddef>
#include <string_view>

namespace vq::util {

constexpr wchar_t AsciiUpper(wchar_t c) noexcept
{
    return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c;
}

constexpr bool StartsWith(std::wstring_view text, std::wstring_view prefix) noexcept
{
    return text.substr(0, prefix.size()) == prefix;
}

constexpr bool StartsWithIgnoringAsciiCase(std::wstring_view text,
                                           std::wstring_view prefix) noexcept
{
    if (text.size() < prefix.size()) {
        return false;
    }
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (AsciiUpper(text[i]) != AsciiUpper(prefix[i])) {
            return false;
        }
    }
    return true;
}

} // namespace vq::util
