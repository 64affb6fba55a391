#pragma once

// Trimming and prefix tests on text the system gives. The system's own
// prefixes are compared with only the ASCII letters folded, never by the
// user's locale.

#include <cstddef>
#include <string_view>

namespace vq::util {

constexpr wchar_t AsciiUpper(wchar_t c) noexcept
{
    return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c;
}

// Text with every character of code 32 or below (blanks and control
// characters) removed from both ends.
constexpr std::wstring_view TrimControlAndBlank(std::wstring_view text) noexcept
{
    std::size_t first = 0;
    std::size_t last = text.size();
    while (first < last && static_cast<unsigned>(text[first]) <= 32) {
        ++first;
    }
    while (last > first && static_cast<unsigned>(text[last - 1]) <= 32) {
        --last;
    }
    return text.substr(first, last - first);
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

// Whether part occurs in text, with only the ASCII letters folded unless
// matchCase; the empty part occurs everywhere.
constexpr bool Contains(std::wstring_view text, std::wstring_view part, bool matchCase) noexcept
{
    if (matchCase) {
        return text.find(part) != std::wstring_view::npos;
    }
    if (part.size() > text.size()) {
        return false;
    }
    for (std::size_t start = 0; start + part.size() <= text.size(); ++start) {
        if (StartsWithIgnoringAsciiCase(text.substr(start), part)) {
            return true;
        }
    }
    return false;
}

} // namespace vq::util
