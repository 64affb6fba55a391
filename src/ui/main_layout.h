#pragma once

// The main window's layout at the density of the screen it stands on: its
// font, the filter bar (when shown) and the list filling the client area
// above the status bar and its panels, and the smallest size the window can
// be dragged to. Sizes are
// designed at 96 dots per inch (design_size.h); bars added above or below the
// list take their height from it here.

#include "connections/connection_list.h"
#include "platform/win32/unique_win32.h"
#include "ui/design_size.h"

namespace vq::ui {

inline constexpr DWORD kMainStyle = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
inline constexpr DWORD kMainExStyle = WS_EX_APPWINDOW;
// The built-in client size at 96 dots per inch.
inline constexpr int kMainClientWidth = 998;
inline constexpr int kMainClientHeight = 536;

class MainLayout {
public:
    // The window's first rectangle: the built-in client size at the system's
    // density, centred on the desktop.
    RECT InitialBounds();

    // In the window's creation handler: the font for the density of the
    // window's screen, given to the window, and the smallest size for it.
    void Begin(HWND window);
    int Dpi() const noexcept { return dpi_; }
    HFONT Font() const noexcept { return font_.get(); }

    // The status bar with its panels, before any row is counted.
    void CreateStatusBar(HINSTANCE instance, int controlId);
    // The panels' texts for the counts; a fourth panel shows filterText
    // while it is not empty.
    void ShowCounts(const connections::RowCounts& counts, const std::wstring& filterText);

    // The filter bar, when shown, spans the top; the list fills the client
    // area between it and the status bar.
    void Arrange(HWND filterBar, HWND list, int clientWidth, int clientHeight);
    // The same for the window's client area as it is now.
    void Rearrange(HWND filterBar, HWND list);

    // The window moved to a screen of another density: the font (given to
    // the window, its controls and the status bar), the panels and the
    // smallest size are made again for it.
    void ChangeDpi(int dpi, HWND filterBar, HWND list);

    // No smaller than the smallest size, once the font is made.
    void LimitTrackSize(MINMAXINFO& limits) const;

private:
    int Scaled(int designSize) const;
    void SetStatusPanels(int count);
    SIZE MinimumSize() const;

    HWND window_ = nullptr;
    HWND statusBar_ = nullptr;
    platform::win32::UniqueHfont font_;
    SIZE minimumSize_{};  // none until the font is made
    int statusPanels_ = 0;
    std::wstring filterText_;  // the fourth panel's
    int dpi_ = kDesignDpi;
};

} // namespace vq::ui
