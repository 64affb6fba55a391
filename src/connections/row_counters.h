#pragma once

#include "connections/connection_list.h"

#include <array>
#include <cstddef>
#include <string>

namespace vq::connections {

// The rows by their state: TCP and TCPv6 rows in ESTABLISHED and LISTEN;
// UDP rows and TCP rows in other states count only as connections. The list keeps these numbers up
// to date, so this costs the same at any size.
inline RowCounts CountRows(const ConnectionList& list)
{
    return list.Counts();
}

// "Connections: N", "Established: N", "Listening: N", for the three panels
// of the status bar.
std::array<std::wstring, 3> StatusPanelTexts(const RowCounts& counts);

// The fourth panel, there only while the filter hides rows: what is wrong
// with the filter's query, or else "Hidden: N" with N grouped in thousands
// ("Hidden: 41,870"); empty when nothing is hidden.
std::wstring FilterPanelText(const RowCounts& counts, const std::wstring& filterError);

} // namespace vq::connections
