// CSV, tab-separated text and JSON strings of any texts (UTF-16 code units,
// lone surrogates included): the output reads back to the same cells.

#include "fuzz_common.h"
#include "text_list.h"
#include "util/delimited_text.h"
#include "util/json_text.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vq {
namespace {

using fuzz::Check;

using fake::TextList;

// UTF-8 as the writers write it: a lone surrogate reads U+FFFD.
std::string Utf8Of(std::wstring_view text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = static_cast<char32_t>(text[i]);
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<char32_t>(text[++i]) - 0xDC00);
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | c >> 6);
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | c >> 12);
            out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | c >> 18);
            out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
            out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::string Guarded(std::wstring_view cell)
{
    const bool formula = cell.size() > 1 && (cell[0] == L'=' || cell[0] == L'+' || cell[0] == L'-' || cell[0] == L'@');
    return (formula ? "'" : "") + Utf8Of(cell);
}

// RFC 4180 read back: lines end in CR LF outside quotes.
std::vector<std::vector<std::string>> ParseCsv(std::string_view text)
{
    std::vector<std::vector<std::string>> lines;
    std::vector<std::string> line;
    std::string cell;
    for (std::size_t i = 0; i < text.size();) {
        if (text[i] == '"' && cell.empty()) {
            for (++i;; ++i) {
                Check(i < text.size(), "a quoted cell ends");
                if (text[i] == '"') {
                    if (i + 1 < text.size() && text[i + 1] == '"') {
                        cell += '"';
                        ++i;
                        continue;
                    }
                    ++i;
                    break;
                }
                cell += text[i];
            }
            Check(i < text.size() && (text[i] == ',' || text[i] == '\r'), "a quote closes only at a cell's end");
        } else if (text[i] == ',') {
            line.push_back(std::move(cell));
            cell.clear();
            ++i;
        } else if (text[i] == '\r') {
            Check(text.substr(i, 2) == "\r\n", "CR only in CR LF outside quotes");
            line.push_back(std::move(cell));
            cell.clear();
            lines.push_back(std::move(line));
            line.clear();
            i += 2;
        } else {
            Check(text[i] != '"' && text[i] != '\n', "no bare quote or LF outside quotes");
            cell += text[i++];
        }
    }
    Check(line.empty() && cell.empty(), "the text ends in CR LF");
    return lines;
}

std::wstring ParseJsonString(std::string_view json)
{
    Check(json.size() >= 2 && json.front() == '"' && json.back() == '"', "a quoted string");
    std::wstring text;
    for (std::size_t i = 1; i + 1 < json.size();) {
        const auto c = static_cast<unsigned char>(json[i]);
        Check(c >= 0x20 && c != '"', "no control character or bare quote");
        if (c == '\\') {
            const char e = json[i + 1];
            const std::string_view simple = "\"\\/bfnrt";
            const std::wstring_view meant = L"\"\\/\b\f\n\r\t";
            if (e == 'u') {
                text += static_cast<wchar_t>(std::stoul(std::string(json.substr(i + 2, 4)), nullptr, 16));
                i += 6;
            } else {
                Check(simple.find(e) != std::string_view::npos, "a known escape");
                text += meant[simple.find(e)];
                i += 2;
            }
            continue;
        }
        // UTF-8 back to UTF-16.
        const std::size_t length = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        char32_t point = length == 1 ? c : c & (0x7F >> length);
        for (std::size_t k = 1; k < length; ++k) {
            point = point << 6 | (static_cast<unsigned char>(json[i + k]) & 0x3F);
        }
        Check(point < 0xD800 || point > 0xDFFF, "no surrogate in UTF-8");
        if (point >= 0x10000) {
            text += static_cast<wchar_t>(0xD800 + ((point - 0x10000) >> 10));
            text += static_cast<wchar_t>(0xDC00 + ((point - 0x10000) & 0x3FF));
        } else {
            text += static_cast<wchar_t>(point);
        }
        i += length;
    }
    return text;
}

} // namespace
} // namespace vq

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size)
{
    using namespace vq;
    FuzzedDataProvider data(bytes, size);
    TextList list;
    const std::size_t columns = data.ConsumeIntegralInRange<std::size_t>(1, 4);
    const std::size_t rows = data.ConsumeIntegralInRange<std::size_t>(0, 4);
    for (std::size_t k = 0; k < columns; ++k) {
        list.columns.push_back(fuzz::Utf16Text(data, 12));
    }
    for (std::size_t r = 0; r < rows; ++r) {
        list.rows.emplace_back();
        for (std::size_t k = 0; k < columns; ++k) {
            list.rows.back().push_back(fuzz::Utf16Text(data, 12));
        }
    }

    std::string csv;
    util::AppendDelimitedList(csv, list, util::Delimiter::Comma);
    const auto lines = ParseCsv(csv);
    Check(lines.size() == rows + 1, "a line per row and the header");
    for (std::size_t r = 0; r <= rows; ++r) {
        Check(lines[r].size() == columns, "a cell per column");
        for (std::size_t k = 0; k < columns; ++k) {
            const std::wstring& cell = r == 0 ? list.columns[k] : list.rows[r - 1][k];
            Check(lines[r][k] == Guarded(cell), "a CSV cell reads back as written");
        }
    }

    std::string tabs;
    util::AppendDelimitedList(tabs, list, util::Delimiter::Tab);
    std::size_t cellsSeen = 0;
    for (std::size_t start = 0, end; (end = tabs.find("\r\n", start)) != std::string::npos; start = end + 2) {
        const std::string_view line = std::string_view(tabs).substr(start, end - start);
        Check(line.find_first_of("\r\n") == std::string_view::npos, "no line break inside a line");
        cellsSeen += 1 + static_cast<std::size_t>(std::count(line.begin(), line.end(), '\t'));
    }
    Check(cellsSeen == (rows + 1) * columns, "tab-separated cells stay in their columns");

    for (const auto& row : list.rows) {
        for (const std::wstring& cell : row) {
            std::string json;
            util::AppendJsonString(json, cell);
            Check(ParseJsonString(json) == cell, "a JSON string reads back to the same UTF-16 text");
        }
    }
    return 0;
}
