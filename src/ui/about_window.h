#pragma once

#include "platform/win32/unique_win32.h"
#include "ui/base_window.h"

namespace vq::ui {

inline constexpr wchar_t kAboutWindowClass[] = L"TFrmAbout";
inline constexpr wchar_t kAboutWindowCaption[] = L"About";
// The client size at 96 dots per inch.
inline constexpr int kAboutClientWidth = 464;
inline constexpr int kAboutClientHeight = 298;

using UniqueHbitmap = platform::UniqueAny<platform::win32::NullInvalidTraits<HBITMAP, platform::win32::DeleteGdiObject>>;

// A picture decoded once into a 32-bit DIB with premultiplied alpha, drawn
// unscaled and blended over its background.
struct AboutPicture {
    UniqueHbitmap bitmap;
    int width = 0;
    int height = 0;
};

// The About window: created hidden at start-up, after the main window;
// closing it hides it again. Its links and logos open the maker's pages and
// the licence agreement; it has no buttons and no keyboard handling of its
// own, so the title bar's close button is the way out.
class AboutWindow : public BaseWindow<AboutWindow> {
public:
    bool Create(HINSTANCE instance, HWND owner);

    // The Help menu's "About": does nothing while the window is already
    // showing. Otherwise centres it over owner (kept on owner's monitor), shows it
    // and returns once it is closed. Meanwhile owner accepts no input, while
    // this loop goes on dispatching the thread's messages, so owner's timers
    // keep ticking. A WM_QUIT that arrives meanwhile ends the loop and is
    // posted again for the program's own message loop.
    void ShowModalOver(HWND owner);

    bool IsShowing() const;

    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

private:
    void OnCreate(HINSTANCE instance);
    void OnDpiChanged(int dpi, const RECT& suggested);
    bool FollowWindowDpi();
    void LayOut(int dpi);
    void OnPaint();
    void OnDrawItem(const DRAWITEMSTRUCT& item);
    LRESULT OnCtlColorStatic(HDC dc, HWND control);
    bool OnSetCursor(HWND under, int hitTest);
    void OnCommand(int controlId, int notification);
    void OnClose();

    HWND CreateLabel(int controlId, const wchar_t* text, int x, int y, HFONT font, bool link);
    HWND CreatePicture(int controlId, int x, int y, int width, int height, bool link);
    void PlaceCentredOver(HWND owner);
    bool IsLink(HWND control) const;
    int Scaled(int designSize) const;
    RECT Scaled(const RECT& designRect) const;

    platform::win32::UniqueHfont font_;       // Tahoma 8
    platform::win32::UniqueHfont titleFont_;  // Tahoma 10 bold
    platform::win32::UniqueHfont boldFont_;   // Tahoma 8 bold
    platform::win32::UniqueHfont linkFont_;   // Tahoma 8 bold underlined
    AboutPicture makerName_;
    AboutPicture facebookLike_;
    AboutPicture tweet_;
    HWND homepageLink_ = nullptr;
    HWND eulaLink_ = nullptr;
    HWND facebookLink_ = nullptr;
    HWND twitterLink_ = nullptr;
    HINSTANCE instance_ = nullptr;
    int dpi_ = 96;  // the resolution the layout is drawn at
    bool inModalLoop_ = false;
    bool modalEnded_ = false;
};

} // namespace vq::ui
