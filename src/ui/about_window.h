#pragma once

#include "platform/win32/unique_win32.h"
#include "ui/base_window.h"

namespace vq::ui {

inline constexpr wchar_t kAboutWindowClass[] = L"TFrmAbout";
inline constexpr wchar_t kAboutWindowCaption[] = L"About";
inline constexpr int kAboutClientWidth = 464;
inline constexpr int kAboutClientHeight = 298;

// FrmAbout: created hidden at start-up, after the main window.
class AboutWindow : public BaseWindow<AboutWindow> {
public:
    bool Create(HINSTANCE instance, HWND owner);

    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

private:
    void OnCreate();
    void OnClose();

    platform::win32::UniqueHfont font_;
};

} // namespace vq::ui
