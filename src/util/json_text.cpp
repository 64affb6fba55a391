#include "util/json_text.h"

#include "util/utf8.h"

#include <cstdint>

namespace vq::util {
namespace {

constexpr bool IsHighSurrogate(std::uint32_t code) { return code >= 0xD800 && code <= 0xDBFF; }
constexpr bool IsLowSurrogate(std::uint32_t code) { return code >= 0xDC00 && code <= 0xDFFF; }

void AppendUnicodeEscape(std::string& out, std::uint32_t code)
{
    constexpr char kHex[] = "0123456789abcdef";
    out += "\\u";
    for (int shift = 12; shift >= 0; shift -= 4) {
        out += kHex[(code >> shift) & 0xF];
    }
}

// The escape of a character that cannot stand as itself; empty for others.
std::string_view ShortEscape(wchar_t c)
{
    switch (c) {
    case L'"':
        return "\\\"";
    case L'\\':
        return "\\\\";
    case L'\b':
        return "\\b";
    case L'\f':
        return "\\f";
    case L'\n':
        return "\\n";
    case L'\r':
        return "\\r";
    case L'\t':
        return "\\t";
    default:
        return {};
    }
}

} // namespace

void AppendJsonString(std::string& out, std::wstring_view text)
{
    out += '"';
    std::size_t runStart = 0;
    const auto flushRun = [&](std::size_t end) { AppendUtf8(out, text.substr(runStart, end - runStart)); };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto code = static_cast<std::uint32_t>(text[i]);
        if (code >= 0x20 && code != '"' && code != '\\' && !IsHighSurrogate(code) && !IsLowSurrogate(code)) {
            continue;
        }
        if (IsHighSurrogate(code) && i + 1 < text.size() && IsLowSurrogate(static_cast<std::uint32_t>(text[i + 1]))) {
            ++i;  // a pair: UTF-8 of the character it stands for, with the run
            continue;
        }
        flushRun(i);
        const std::string_view escape = ShortEscape(text[i]);
        if (!escape.empty()) {
            out += escape;
        } else {
            AppendUnicodeEscape(out, code);
        }
        runStart = i + 1;
    }
    flushRun(text.size());
    out += '"';
}

} // namespace vq::util
