#pragma once

// The console companion's output formats of connection rows: an aligned
// text table, CSV and JSON, and the watch mode's JSON lines. Every format is
// UTF-8 with CR LF line ends.

#include "connections/connection_row.h"
#include "console/row_changes.h"
#include "platform/console.h"

#include <string>
#include <vector>

namespace vq::console {

// The nine column captions, then one line per row, each column as wide as
// its widest text (in characters) and two blanks between columns.
void AppendTextTable(std::string& out, const std::vector<connections::ConnectionRow>& rows);

// The window's CSV without the byte order mark.
void AppendCsv(std::string& out, const std::vector<connections::ConnectionRow>& rows);

// One JSON array, an object per row, each on a line of its own; see AppendRowMembers.
void AppendJsonArray(std::string& out, const std::vector<connections::ConnectionRow>& rows);

// One line: {"event":"open"|"close"|"state","time":"<RFC 3339>",...the row's members}.
void AppendJsonEvent(std::string& out, ChangeKind kind, const platform::UtcTime& time,
                     const connections::ConnectionRow& row);

// "yyyy-mm-ddThh:mm:ss.fffZ".
std::string Rfc3339Text(const platform::UtcTime& time);

} // namespace vq::console
