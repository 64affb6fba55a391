#pragma once

// A report-style list written as one HTML table.

#include <cstddef>
#include <string>
#include <string_view>

namespace vq::util {

// What the export reads of a report-style list: column captions, and rows of
// a caption (the first column) and sub-items (the other columns, in order).
class ReportList {
public:
    virtual ~ReportList() = default;
    virtual std::size_t ColumnCount() const = 0;
    virtual std::wstring_view ColumnCaption(std::size_t column) const = 0;
    virtual std::size_t RowCount() const = 0;
    // A text stays valid until the next call of RowCaption or SubItem.
    virtual std::wstring_view RowCaption(std::size_t row) const = 0;
    // Sub-item 0 is the second column's text.
    virtual std::wstring_view SubItem(std::size_t row, std::size_t subItem) const = 0;
};

// Writes the list as an HTML page to filePath, replacing any file of that
// name, and creates the folders above it that are missing. The page is UTF-8
// with a byte-order mark, lines end in CR LF, and every text of the list and
// the title is written with "&", "<", ">" and '"' escaped. An empty sub-item
// is written as "-". With centreHeaderCaptions the header cells centre their
// captions.
//
// True when the whole file was written. False for a list without rows (then
// nothing on disk is touched) and for any failure, after which the file is
// removed again rather than left incomplete.
bool ExportListToHtml(std::wstring_view title, const ReportList& list, const std::wstring& filePath,
                      bool centreHeaderCaptions);

} // namespace vq::util
