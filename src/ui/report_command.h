#pragma once

// "Save Report to HTML File": the whole connection list as an HTML page in
// the folder "Reports" beside the program, then the file manager with the
// new file selected.

#include "connections/connection_list.h"
#include "platform/system.h"
#include "util/html_report.h"

#include <string>
#include <vector>

namespace vq::ui {

// The connection list as the report reads it: the captions of the list's
// shown columns, then each row's caption and shown cells, in list order.
class ConnectionReportList final : public util::ReportList {
public:
    // The list's rows but the closed ones, which only linger on screen.
    explicit ConnectionReportList(const connections::ConnectionList& list);
    std::size_t ColumnCount() const override;
    std::wstring_view ColumnCaption(std::size_t column) const override;
    std::size_t RowCount() const override;
    std::wstring_view RowCaption(std::size_t row) const override;
    std::wstring_view SubItem(std::size_t row, std::size_t subItem) const override;

private:
    const connections::ConnectionList& list_;
    std::vector<std::size_t> rows_;  // the list's index of each report row
    mutable connections::CellBuffer buffer_{};
};

// Appends value in decimal, padded with zeros to digits (the last digits
// of a longer value): the fields of the saved files' names.
void AppendZeroPadded(std::wstring& text, unsigned value, int digits);

// The report's file name for a local time: dd-mm-yyyy-hh-nn-ss.htm (day,
// month, four-digit year, hour of the 24-hour clock, minutes, seconds), the
// same whatever the user's locale.
std::wstring ReportFileName(const platform::LocalTime& time);

// The report's full path: the program's folder, "Reports", and the file name,
// joined with the separator that ends the program's folder (a backslash on
// Windows). Empty when the program's path has no folder.
std::wstring ReportPath(const std::wstring& executablePath, const std::wstring& fileName);

// SaveReport: nothing for an empty list. Otherwise writes the report, named
// after the current local time, creating the folder "Reports" with its
// parents when missing; then, after 10 ms, opens the file manager with the
// report selected. A failure ends the command without a message.
void SaveReport(const connections::ConnectionList& list);

} // namespace vq::ui
