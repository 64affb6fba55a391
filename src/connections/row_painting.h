#pragma once

// How the list paints a row: the colour of established connections.

#include "connections/row_cells.h"

#include <cstdint>
#include <optional>

namespace vq::connections {

struct RowColour {
    std::uint8_t red;
    std::uint8_t green;
    std::uint8_t blue;

    friend bool operator==(const RowColour&, const RowColour&) = default;
};
// The background of an established row (its text keeps the window-text colour).
inline constexpr RowColour kEstablishedBackground{184, 233, 148};

// The background the list paints a row with; none: the list's own.
inline std::optional<RowColour> RowBackground(const EndpointKey& endpoint, std::uint32_t tcpState)
{
    return IsEstablished(endpoint, tcpState) ? std::optional<RowColour>(kEstablishedBackground) : std::nullopt;
}

} // namespace vq::connections
