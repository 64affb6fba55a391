// The HTML report of a list with any texts (UTF-16 code units, lone
// surrogates included): the page must be valid UTF-8, carry no markup from
// the data, and give back every text.

#include "fake_files.h"
#include "fake_platform.h"
#include "fuzz_common.h"
#include "text_list.h"
#include "util/html_report.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vq {
namespace {

using fuzz::Check;

using fake::TextList;

constexpr std::string_view kDataCell = "<td BGCOLOR=\"F5F5F5\">";
constexpr std::array<std::string_view, 19> kTags = {
    "<html>", "</html>", "<head>", "</head>", "<title>", "</title>", "<body>", "</body>",
    "<table border=\"1\" bordercolor=\"#000000\">", "</table>", "<tr>", "</tr>",
    "<td BGCOLOR=\"000000\" style=\"color:white\">", kDataCell, "</td>", "<b>", "</b>", "<center>", "</center>"};
constexpr std::array<std::pair<std::string_view, char>, 4> kReferences = {
    {{"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}}};

// The characters UTF-16 text stands for; a lone surrogate reads U+FFFD.
std::u32string CodePointsOf(std::wstring_view text)
{
    std::u32string points;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto unit = static_cast<char32_t>(text[i]);
        const bool high = unit >= 0xD800 && unit <= 0xDBFF;
        const bool low = unit >= 0xDC00 && unit <= 0xDFFF;
        if (high && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            points += 0x10000 + ((unit - 0xD800) << 10) + (static_cast<char32_t>(text[++i]) - 0xDC00);
        } else {
            points += high || low ? U'\uFFFD' : unit;
        }
    }
    return points;
}

// Strict UTF-8: no overlong forms, no surrogates, nothing beyond U+10FFFF.
std::optional<std::u32string> DecodeUtf8(std::string_view bytes)
{
    std::u32string points;
    for (std::size_t i = 0; i < bytes.size();) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        const std::size_t length = lead < 0x80 ? 1 : (lead & 0xE0) == 0xC0 ? 2 : (lead & 0xF0) == 0xE0 ? 3
                                                   : (lead & 0xF8) == 0xF0 ? 4 : 0;
        if (length == 0 || i + length > bytes.size()) {
            return std::nullopt;
        }
        char32_t point = length == 1 ? lead : lead & (0x7F >> length);
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(bytes[i + k]);
            if ((next & 0xC0) != 0x80) {
                return std::nullopt;
            }
            point = point << 6 | (next & 0x3F);
        }
        constexpr std::array<char32_t, 5> kSmallest = {0, 0, 0x80, 0x800, 0x10000};
        if (point < kSmallest[length] || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF)) {
            return std::nullopt;
        }
        points += point;
        i += length;
    }
    return points;
}

// Walks the page: every "<" opens a known tag, and outside tags no ">" or
// '"' stands and every "&" opens a reference. Answers the texts between
// tags with their references resolved, in page order.
std::vector<std::string> TextsBetweenTags(std::string_view page)
{
    std::vector<std::string> texts(1);
    for (std::size_t i = 0; i < page.size();) {
        if (page[i] == '<') {
            const auto tag = std::find_if(kTags.begin(), kTags.end(),
                                          [&](std::string_view t) { return page.substr(i, t.size()) == t; });
            Check(tag != kTags.end(), "every < opens a tag of the page");
            i += tag->size();
            texts.emplace_back();
        } else if (page[i] == '&') {
            const auto reference = std::find_if(kReferences.begin(), kReferences.end(), [&](const auto& r) {
                return page.substr(i, r.first.size()) == r.first;
            });
            Check(reference != kReferences.end(), "every & opens a reference");
            texts.back() += reference->second;
            i += reference->first.size();
        } else {
            Check(page[i] != '>' && page[i] != '"', "no > or \" outside a tag");
            texts.back() += page[i++];
        }
    }
    return texts;
}

// The texts each cell of the page should give back, in page order.
std::vector<std::wstring> ExpectedCells(std::wstring_view title, const TextList& list)
{
    std::vector<std::wstring> cells{std::wstring(title) + L" - Report"};
    cells.insert(cells.end(), list.columns.begin(), list.columns.end());
    for (const auto& row : list.rows) {
        for (std::size_t k = 0; k < row.size(); ++k) {
            cells.push_back(k > 0 && row[k].empty() ? L"-" : row[k]);
        }
    }
    return cells;
}

void CheckPage(const std::string& page, std::wstring_view title, const TextList& list)
{
    Check(page.rfind("\xEF\xBB\xBF", 0) == 0, "the page begins with a byte-order mark");
    const std::string_view body = std::string_view(page).substr(3);
    Check(DecodeUtf8(body).has_value(), "the page is valid UTF-8");

    // Cells are the texts that follow "<title>", "<b>", "<center>" when centred, and a data cell.
    const std::vector<std::string> texts = TextsBetweenTags(body);
    std::vector<std::string> cells;
    std::size_t textIndex = 1;
    for (std::size_t i = 0; i < body.size(); ++i) {
        if (body[i] != '<') {
            continue;
        }
        const auto tag = std::find_if(kTags.begin(), kTags.end(),
                                      [&](std::string_view t) { return body.substr(i, t.size()) == t; });
        const bool opensCell = *tag == "<title>" || *tag == kDataCell ||
                               (*tag == "<b>" && body.substr(i + 3, 8) != "<center>") || *tag == "<center>";
        if (opensCell) {
            cells.push_back(texts[textIndex]);
        }
        ++textIndex;
    }
    const std::vector<std::wstring> expected = ExpectedCells(title, list);
    Check(cells.size() == expected.size(), "one cell for every text");
    for (std::size_t i = 0; i < cells.size(); ++i) {
        Check(DecodeUtf8(cells[i]) == CodePointsOf(expected[i]), "every text comes back");
    }
}

std::string ReadAll(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

const std::filesystem::path& ReportFolder()
{
    static const std::filesystem::path folder = [] {
        std::string pattern = (std::filesystem::temp_directory_path() / "vq-fuzz-html-XXXXXX").string();
        Check(mkdtemp(pattern.data()) != nullptr, "a temporary folder");
        return std::filesystem::path(pattern);
    }();
    return folder;
}

} // namespace
} // namespace vq

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size)
{
    using namespace vq;
    FuzzedDataProvider data(bytes, size);
    fake::Reset();
    fake::ResetFiles();

    TextList list;
    const bool centred = data.ConsumeBool();
    const bool diskFull = data.ConsumeIntegralInRange(0, 7) == 0;
    list.columns.resize(data.ConsumeIntegralInRange<std::size_t>(0, 6));
    const std::size_t rows = data.ConsumeIntegralInRange<std::size_t>(0, 6);
    const std::wstring title = fuzz::Utf16Text(data, 16);
    for (auto& caption : list.columns) {
        caption = fuzz::Utf16Text(data, 16);
    }
    for (std::size_t row = 0; row < rows; ++row) {
        auto& texts = list.rows.emplace_back(std::max<std::size_t>(list.columns.size(), 1));
        for (auto& text : texts) {
            text = fuzz::Utf16Text(data, 24);
        }
    }
    if (diskFull) {
        fake::Files().writableBytes = data.ConsumeIntegralInRange<std::uint64_t>(0, 400);
    }

    const std::filesystem::path path = ReportFolder() / "report.html";
    std::filesystem::remove(path);
    const bool written = util::ExportListToHtml(title, list, path.wstring(), centred);
    Check(fake::Files().OpenCount() == 0, "the report file is closed");
    if (rows == 0) {
        Check(!written && !std::filesystem::exists(path), "a list without rows writes nothing");
        return 0;
    }
    if (!written) {
        Check(diskFull && !std::filesystem::exists(path), "a failed report leaves no file behind");
        return 0;
    }
    CheckPage(ReadAll(path), title, list);
    return 0;
}
