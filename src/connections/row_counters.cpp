#include "connections/row_counters.h"

namespace vq::connections {

std::array<std::wstring, 3> StatusPanelTexts(const RowCounts& counts)
{
    return {L"Connections: " + std::to_wstring(counts.connections),
            L"Established: " + std::to_wstring(counts.established),
            L"Listening: " + std::to_wstring(counts.listening)};
}

std::wstring FilterPanelText(const RowCounts& counts, const std::wstring& filterError)
{
    if (!filterError.empty()) {
        return filterError;
    }
    if (counts.hidden == 0) {
        return {};
    }
    const std::wstring digits = std::to_wstring(counts.hidden);
    std::wstring grouped;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i != 0 && (digits.size() - i) % 3 == 0) {
            grouped += L',';
        }
        grouped += digits[i];
    }
    return L"Hidden: " + grouped;
}

} // namespace vq::connections
