#pragma once

#include "connections/connection_list.h"

#include <array>
#include <cstddef>
#include <string>

namespace vq::connections {

struct RowCounts {
    std::size_t connections = 0;  // every row
    std::size_t established = 0;  // State "ESTABLISHED"
    std::size_t listening = 0;    // State "LISTEN"
};

// Counts the rows from their State texts, compared exactly; UDP rows and TCP
// rows in other states count only as connections.
RowCounts CountRows(const ConnectionList& list);

// "Connections: N", "Established: N", "Listening: N", for the three panels
// of the status bar.
std::array<std::wstring, 3> StatusPanelTexts(const RowCounts& counts);

} // namespace vq::connections
