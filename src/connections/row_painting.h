#pragma once

// How the list paints a row: the colour of established connections.

#include "connections/connection_row.h"

#include <cstdint>
#include <optional>
#include <string_view>

namespace vq::connections {

inline constexpr std::wstring_view kEstablishedState = L"ESTABLISHED";
inline constexpr std::wstring_view kListenState = L"LISTEN";

struct RowColour {
    std::uint8_t red;
    std::uint8_t green;
    std::uint8_t blue;

    friend bool operator==(const RowColour&, const RowColour&) = default;
};
// The background of an established row (its text keeps the window-text colour).
inline constexpr RowColour kEstablishedBackground{184, 233, 148};

inline bool IsEstablishedRow(const ConnectionRow& row)
{
    return std::wstring_view(row.subItems[kState]) == kEstablishedState;
}

// The background the list paints a row with; none: the list's own.
inline std::optional<RowColour> RowBackground(const ConnectionRow& row)
{
    return IsEstablishedRow(row) ? std::optional<RowColour>(kEstablishedBackground) : std::nullopt;
}

} // namespace vq::connections
