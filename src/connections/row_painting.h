#pragma once

// How the list paints a row: the colour of established connections, and the
// colour and font of the marks of highlighted changes.

#include "connections/connection_list.h"
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

inline constexpr RowColour kNewBackground{198, 224, 255};
inline constexpr RowColour kClosedBackground{255, 208, 208};
inline constexpr RowColour kChangedBackground{255, 240, 168};

// The background the list paints a row with; none: the list's own. A mark
// wins over the colour of an established row.
inline std::optional<RowColour> RowBackground(const EndpointKey& endpoint, std::uint32_t tcpState,
                                              RowMark mark = RowMark::None)
{
    switch (mark) {
    case RowMark::New:
        return kNewBackground;
    case RowMark::Closed:
        return kClosedBackground;
    case RowMark::Changed:
        return kChangedBackground;
    case RowMark::None:
        break;
    }
    return IsEstablished(endpoint, tcpState) ? std::optional<RowColour>(kEstablishedBackground) : std::nullopt;
}

// The font cue of a mark, which stays on a selected row: a new row's text
// is bold, a closed row's struck through; colour is never the only cue.
enum class RowFont { Regular, Bold, StruckThrough };
constexpr RowFont RowFontOf(RowMark mark)
{
    return mark == RowMark::New ? RowFont::Bold : mark == RowMark::Closed ? RowFont::StruckThrough : RowFont::Regular;
}

} // namespace vq::connections
