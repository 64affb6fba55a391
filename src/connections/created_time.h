#pragma once

// The Created column's text: when an endpoint was made, as local time.

#include "connections/row_cells.h"

#include <cstdint>
#include <string_view>

namespace vq::connections {

// A FILETIME (UTC) as local time "yyyy-mm-dd hh:mm:ss", converted with the
// time zone rules of that date; empty for 0 and for a time the system cannot
// convert. The offset is asked of the system once per quarter hour of UTC
// (every zone changes its offset on a quarter hour), so a column of times
// from the same minutes costs one conversion.
std::wstring_view CreatedTimeText(std::uint64_t fileTime, CellBuffer& buffer);

} // namespace vq::connections
