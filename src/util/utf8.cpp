#include "util/utf8.h"

#include <cstdint>

namespace vq::util {
namespace {

constexpr std::uint32_t kReplacementCharacter = 0xFFFD;

constexpr bool IsHighSurrogate(std::uint32_t code) { return code >= 0xD800 && code <= 0xDBFF; }
constexpr bool IsLowSurrogate(std::uint32_t code) { return code >= 0xDC00 && code <= 0xDFFF; }

void AppendCodePoint(std::string& out, std::uint32_t code)
{
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | code >> 6);
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | code >> 12);
        out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | code >> 18);
        out += static_cast<char>(0x80 | (code >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

} // namespace

void AppendUtf8(std::string& out, std::wstring_view text)
{
    // Wide text is UTF-16 on Windows; where wchar_t is wider, a pair of
    // surrogate codes is still read as the character it encodes.
    for (std::size_t i = 0; i < text.size(); ++i) {
        // Runs of ASCII, most of every text here, go in one step.
        std::size_t asciiEnd = i;
        while (asciiEnd < text.size() && static_cast<std::uint32_t>(text[asciiEnd]) < 0x80) {
            ++asciiEnd;
        }
        if (asciiEnd > i) {
            const std::size_t start = out.size();
            out.resize(start + (asciiEnd - i));
            for (std::size_t k = i; k < asciiEnd; ++k) {
                out[start + (k - i)] = static_cast<char>(text[k]);
            }
            i = asciiEnd - 1;
            continue;
        }
        std::uint32_t code = static_cast<std::uint32_t>(text[i]);
        if (IsHighSurrogate(code) && i + 1 < text.size() &&
            IsLowSurrogate(static_cast<std::uint32_t>(text[i + 1]))) {
            const auto low = static_cast<std::uint32_t>(text[++i]);
            code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
        } else if (IsHighSurrogate(code) || IsLowSurrogate(code) || code > 0x10FFFF) {
            code = kReplacementCharacter;
        }
        AppendCodePoint(out, code);
    }
}

} // namespace vq::util
