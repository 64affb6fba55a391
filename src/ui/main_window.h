#pragma once

#include "connections/connection_list.h"
#include "support/support_startup.h"
#include "ui/base_window.h"
#include "ui/command_controller.h"
#include "ui/connection_feed.h"
#include "ui/connection_list_view.h"
#include "ui/filter_bar.h"
#include "ui/main_layout.h"
#include "ui/main_window_settings.h"
#include "ui/menus.h"
#include "ui/row_finder.h"
#include "ui/view_options.h"

namespace vq::ui {

inline constexpr wchar_t kMainWindowClass[] = L"TForm1";
inline constexpr wchar_t kMainWindowCaption[] = L"Quarvel Velquist v1.0";

class AboutWindow;

// The program's working window, with the connection list, the status bar,
// both menus and the two timers. Closing it ends the program. The window
// unpacks its messages and hands each to one handler; the work is done by
// the parts it holds: the feed of rows, the command controller and the
// View options (portable), the layout, the settings' view of the window,
// the menus and the finder.
class MainWindow : public BaseWindow<MainWindow>, private WindowActions {
public:
    explicit MainWindow(const support::StartupState& startup);

    // The About window, created after this one; the Help menu's "About" shows it.
    void SetAboutWindow(AboutWindow* aboutWindow) { aboutWindow_ = aboutWindow; }

    // Creates the window (its creation handler runs inside) and shows it.
    bool Create(HINSTANCE instance, int showCommand);

    // The message loop's filter: key preview (the window sees every typed
    // character before the focused control does) and the shortcuts. Answers
    // true when the message was consumed.
    bool PreTranslateMessage(MSG& message);

    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

private:
    static constexpr UINT_PTR kRefreshTimer = 1;
    static constexpr UINT_PTR kCountersTimer = 2;
    static constexpr UINT_PTR kFilterTimer = 3;
    static constexpr UINT kCountersInterval = 100;  // milliseconds
    // The filter follows the bar's text this long after the last key.
    static constexpr UINT kFilterDelay = 100;  // milliseconds
    static constexpr UINT kListMouseLeftMessage = WM_APP + 2;

    // Window events, unpacked.
    void OnCreate(HINSTANCE instance);
    void OnSize(int clientWidth, int clientHeight);
    void OnGetMinMaxInfo(MINMAXINFO& limits) const;
    void OnDpiChanged(int dpi, const RECT& suggested);
    void OnListMouseLeft();
    void OnTimer(UINT_PTR timerId);
    void OnCommand(int commandId, bool fromShortcut);
    LRESULT OnNotify(NMHDR& header);
    LRESULT OnListCustomDraw(NMLVCUSTOMDRAW& draw);
    void OnContextMenu(HWND source, POINT screenPoint, bool fromKeyboard);
    void OnFindMessage(LPARAM lParam);
    void OnClose();
    void OnDestroy();

    // Handlers.
    void CreateControls(HINSTANCE instance);
    void FillListAndRestoreSettings();
    void OnKeyPreview(wchar_t key);
    bool OnFilterBarKey(const MSG& message, FilterBar::KeyAction action);
    void OnFilterTextChanged();
    void OnFilterTimer();
    void ShowFilterBar(bool focus);
    void OnRefreshTimer();
    void OnCountersTimer();
    void UpdateContextMenu();
    void RegisterCommandHandlers();

    // WindowActions
    void SetRefreshTimerEnabled(bool enabled) override;
    void CloseMainWindow() override;

    // Runs one event handler under the application's error report.
    template <typename Handler>
    void Handle(Handler&& handler);

    connections::ConnectionList list_;
    ConnectionFeed feed_;
    CommandController commands_;
    ViewOptions viewOptions_;
    ConnectionListView listView_;
    FilterBar filterBar_;
    MainLayout layout_;
    MainWindowSettings settings_;
    RowFinder finder_;
    ContextMenu contextMenu_;
    HACCEL shortcuts_ = nullptr;
    AboutWindow* aboutWindow_ = nullptr;
    bool keyPreview_ = false;
    // Size changes save the placement once the creation handler is loading
    // the settings (the sizes the system sets while creating the window are
    // not the user's).
    bool placementSavesOn_ = false;
};

} // namespace vq::ui
