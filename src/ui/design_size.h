#pragma once

// Sizes of the windows' layout are designed for 96 dots per inch and drawn
// at the screen's resolution, so that a window keeps its proportions and its
// texts fit on a screen of any density. Sizes the user stored (window and
// column widths) are pixels and are not scaled.

namespace vq::ui {

inline constexpr int kDesignDpi = 96;

// A design size at dpi dots per inch, rounded to the nearest pixel (halves
// up); 96 gives the size itself, and a dpi of 0 (unknown) is taken as 96.
constexpr int ScaleToDpi(int designSize, int dpi) noexcept
{
    if (dpi <= 0) {
        dpi = kDesignDpi;
    }
    const long long scaled = static_cast<long long>(designSize) * dpi;
    const long long half = kDesignDpi / 2;
    return static_cast<int>(scaled >= 0 ? (scaled + half) / kDesignDpi : -((-scaled + half) / kDesignDpi));
}

} // namespace vq::ui
