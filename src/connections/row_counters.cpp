#include "connections/row_counters.h"

namespace vq::connections {

std::array<std::wstring, 3> StatusPanelTexts(const RowCounts& counts)
{
    return {L"Connections: " + std::to_wstring(counts.connections),
            L"Established: " + std::to_wstring(counts.established),
            L"Listening: " + std::to_wstring(counts.listening)};
}

} // namespace vq::connections
