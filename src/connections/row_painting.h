#pragma once

// How the list paints a row: the name it gives process id 0 and the colour of
// established connections.

#include "connections/connection_row.h"

#include <cstdint>
#include <string_view>

namespace vq::connections {

inline constexpr wchar_t kIdleProcessName[] = L"System Idle Process";
inline constexpr std::wstring_view kEstablishedState = L"ESTABLISHED";
inline constexpr std::wstring_view kListenState = L"LISTEN";

struct RowColour {
    std::uint8_t red;
    std::uint8_t green;
    std::uint8_t blue;
};
// The background of an established row (its text keeps the window-text colour).
inline constexpr RowColour kEstablishedBackground{184, 233, 148};

// A row of process id 0 that does not carry the idle process's name yet; the
// list renames it when it is painted (which re-sorts the list).
inline bool NeedsIdleProcessName(const ConnectionRow& row)
{
    return std::wstring_view(row.subItems[kProcessId]) == L"0" && std::wstring_view(row.caption) != kIdleProcessName;
}

inline bool IsEstablishedRow(const ConnectionRow& row)
{
    return std::wstring_view(row.subItems[kState]) == kEstablishedState;
}

} // namespace vq::connections
