#include "connections/row_counters.h"

#include "connections/row_painting.h"

namespace vq::connections {

RowCounts CountRows(const ConnectionList& list)
{
    RowCounts counts;
    counts.connections = list.size();
    for (std::size_t i = 0; i < counts.connections; ++i) {
        const ConnectionRow& row = list.row(i);
        if (std::wstring_view(row.subItems[kState]) == kListenState) {
            ++counts.listening;
        } else if (IsEstablishedRow(row)) {
            ++counts.established;
        }
    }
    return counts;
}

std::array<std::wstring, 3> StatusPanelTexts(const RowCounts& counts)
{
    return {L"Connections: " + std::to_wstring(counts.connections),
            L"Established: " + std::to_wstring(counts.established),
            L"Listening: " + std::to_wstring(counts.listening)};
}

} // namespace vq::connections
