#pragma once

#include "app/startup.h"
#include "connections/snapshot.h"
#include "platform/win32/unique_win32.h"
#include "ui/base_window.h"

namespace vq::ui {

inline constexpr wchar_t kMainWindowClass[] = L"TForm1";
inline constexpr wchar_t kMainWindowCaption[] = L"Quarvel Velquist v1.0";
inline constexpr int kMainClientWidth = 998;
inline constexpr int kMainClientHeight = 536;

// Form1: the program's working window. Closing it ends the program.
class MainWindow : public BaseWindow<MainWindow> {
public:
    explicit MainWindow(const app::StartupState& startup);

    // Creates the window (its creation handler runs inside) and shows it.
    bool Create(HINSTANCE instance, int showCommand);

    // Key preview: the window sees every typed character before the focused
    // control does. Answers true when the character was consumed.
    bool PreviewMessage(const MSG& message);

    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

private:
    static constexpr UINT_PTR kTimer1 = 1;  // refresh, 2000 ms
    static constexpr UINT_PTR kTimer2 = 2;  // counters, 100 ms
    static constexpr UINT kTimer1Interval = 2000;
    static constexpr UINT kTimer2Interval = 100;

    void OnCreate();
    void OnTimer(UINT_PTR timerId);
    void OnClose();
    void OnDestroy();

    void FormCreate();
    void FormKeyPress(wchar_t key);
    void Timer1Timer();
    void Timer2Timer();
    void Refresh1Click();
    void Exit1Click();

    // Runs one event handler under the application's error report.
    template <typename Handler>
    void Handle(Handler&& handler);

    const app::StartupState& startup_;
    platform::win32::UniqueHfont font_;
    connections::SnapshotLines tcpSnapshot_;
    connections::SnapshotLines udpSnapshot_;
    bool keyPreview_ = false;
};

} // namespace vq::ui
