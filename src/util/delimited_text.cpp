#include "util/delimited_text.h"

#include "platform/files.h"
#include "util/utf8.h"

namespace vq::util {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kLineBreak = "\r\n";
// Text goes out in blocks of about this size rather than one call per line.
constexpr std::size_t kFlushLength = 64 * 1024;
// What a failure reports when the system left no code (ERROR_GEN_FAILURE).
constexpr std::uint32_t kUnknownFailure = 31;

bool StartsFormula(std::wstring_view cell)
{
    if (cell.size() < 2) {
        return false;
    }
    const wchar_t first = cell.front();
    return first == L'=' || first == L'+' || first == L'-' || first == L'@';
}

bool NeedsQuotes(std::wstring_view cell)
{
    return cell.find_first_of(L",\"\r\n") != std::wstring_view::npos;
}

void AppendQuoted(std::string& out, std::string_view guard, std::wstring_view cell)
{
    out += '"';
    out += guard;
    std::size_t runStart = 0;
    for (std::size_t i = 0; i < cell.size(); ++i) {
        if (cell[i] == L'"') {
            AppendUtf8(out, cell.substr(runStart, i + 1 - runStart));
            out += '"';
            runStart = i + 1;
        }
    }
    AppendUtf8(out, cell.substr(runStart));
    out += '"';
}

void AppendWithoutBreaks(std::string& out, std::wstring_view cell)
{
    std::size_t runStart = 0;
    for (std::size_t i = 0; i < cell.size(); ++i) {
        if (cell[i] == L'\t' || cell[i] == L'\r' || cell[i] == L'\n') {
            AppendUtf8(out, cell.substr(runStart, i - runStart));
            out += ' ';
            runStart = i + 1;
        }
    }
    AppendUtf8(out, cell.substr(runStart));
}

char Separator(Delimiter delimiter)
{
    return delimiter == Delimiter::Comma ? ',' : '\t';
}

void AppendHeader(std::string& out, const ReportList& list, Delimiter delimiter)
{
    for (std::size_t column = 0; column < list.ColumnCount(); ++column) {
        if (column != 0) {
            out += Separator(delimiter);
        }
        AppendDelimitedCell(out, list.ColumnCaption(column), delimiter);
    }
    out += kLineBreak;
}

void AppendRow(std::string& out, const ReportList& list, std::size_t row, Delimiter delimiter)
{
    AppendDelimitedCell(out, list.RowCaption(row), delimiter);
    for (std::size_t subItem = 0; subItem + 1 < list.ColumnCount(); ++subItem) {
        out += Separator(delimiter);
        AppendDelimitedCell(out, list.SubItem(row, subItem), delimiter);
    }
    out += kLineBreak;
}

std::uint32_t LastErrorOrUnknown()
{
    const std::uint32_t error = platform::GetLastError();
    return error != 0 ? error : kUnknownFailure;
}

std::uint32_t WriteDelimitedFile(const ReportList& list, const std::wstring& filePath, Delimiter delimiter,
                                 bool& created)
{
    const platform::UniqueFileHandle file{platform::CreateFile(
        filePath, platform::kGenericWrite, platform::kFileShareRead, platform::kCreateAlways,
        platform::kFileAttributeNormal)};
    if (!file) {
        return LastErrorOrUnknown();
    }
    created = true;
    std::string text{kByteOrderMark};
    text.reserve(2 * kFlushLength);
    AppendHeader(text, list, delimiter);
    for (std::size_t row = 0; row < list.RowCount(); ++row) {
        AppendRow(text, list, row, delimiter);
        if (text.size() >= kFlushLength) {
            if (!platform::WriteFile(file.get(), text.data(), text.size())) {
                return LastErrorOrUnknown();
            }
            text.clear();
        }
    }
    if (!text.empty() && !platform::WriteFile(file.get(), text.data(), text.size())) {
        return LastErrorOrUnknown();
    }
    return 0;
}

} // namespace

void AppendDelimitedCell(std::string& out, std::wstring_view cell, Delimiter delimiter)
{
    // The guard is part of the cell, so it goes inside the quotes.
    const std::string_view guard = StartsFormula(cell) ? "'" : "";
    if (delimiter == Delimiter::Comma && NeedsQuotes(cell)) {
        AppendQuoted(out, guard, cell);
        return;
    }
    out += guard;
    if (delimiter == Delimiter::Tab) {
        AppendWithoutBreaks(out, cell);
    } else {
        AppendUtf8(out, cell);
    }
}

void AppendDelimitedList(std::string& out, const ReportList& list, Delimiter delimiter)
{
    AppendHeader(out, list, delimiter);
    for (std::size_t row = 0; row < list.RowCount(); ++row) {
        AppendRow(out, list, row, delimiter);
    }
}

std::uint32_t ExportListToDelimitedFile(const ReportList& list, const std::wstring& filePath, Delimiter delimiter)
{
    bool created = false;
    std::uint32_t error = 0;
    try {
        error = WriteDelimitedFile(list, filePath, delimiter, created);
    } catch (...) {
        if (created) {
            platform::RemoveFile(filePath);
        }
        throw;
    }
    // The file is closed by now; an incomplete file is not left behind.
    if (error != 0 && created) {
        platform::RemoveFile(filePath);
    }
    return error;
}

} // namespace vq::util
