#pragma once

// A report-style list as delimited text for spreadsheets and scripts:
// comma-separated (RFC 4180 quoting) or tab-separated, UTF-8, CR LF line ends.

#include "util/html_report.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace vq::util {

enum class Delimiter { Comma, Tab };

// Appends one cell as UTF-8. A cell that begins with "=", "+", "-" or "@"
// and has more characters after it gets a leading "'", so a spreadsheet
// never runs it as a formula. With commas, a cell that holds a comma, a
// quote, CR or LF is quoted and its quotes doubled; with tabs, its tabs, CRs
// and LFs become blanks.
void AppendDelimitedCell(std::string& out, std::wstring_view cell, Delimiter delimiter);

// Appends the header line of the list's captions, then one line per row:
// its caption, then its sub-items, every line ending in CR LF.
void AppendDelimitedList(std::string& out, const ReportList& list, Delimiter delimiter);

// Writes the list to filePath, replacing any file of that name: a UTF-8 byte
// order mark, then AppendDelimitedList. Answers 0, or the system's error code
// of the step that failed; a file that was created is removed again then, also
// when a failure throws.
std::uint32_t ExportListToDelimitedFile(const ReportList& list, const std::wstring& filePath,
                                        Delimiter delimiter);

} // namespace vq::util
