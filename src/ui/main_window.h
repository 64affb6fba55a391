#pragma once

#include "app/startup.h"
#include "connections/connection_list.h"
#include "connections/list_sync.h"
#include "platform/win32/unique_win32.h"
#include "support/process_path_cache.h"
#include "ui/base_window.h"
#include "ui/command_controller.h"
#include "ui/connection_list_view.h"
#include "ui/find_dialog.h"
#include "ui/window_settings.h"

namespace vq::ui {

inline constexpr wchar_t kMainWindowClass[] = L"TForm1";
inline constexpr wchar_t kMainWindowCaption[] = L"Quarvel Velquist v1.0";
// The built-in client size at 96 dots per inch.
inline constexpr int kMainClientWidth = 998;
inline constexpr int kMainClientHeight = 536;

// Form1: the program's working window, with the connection list, the status
// bar, both menus and the two timers. Closing it ends the program.
class AboutWindow;

class MainWindow : public BaseWindow<MainWindow>, private WindowActions, private SettingsWindow {
public:
    explicit MainWindow(const app::StartupState& startup);

    // FrmAbout, created after this window; About1 shows it.
    void SetAboutWindow(AboutWindow* frmAbout) { frmAbout_ = frmAbout; }

    // Creates the window (its creation handler runs inside) and shows it.
    bool Create(HINSTANCE instance, int showCommand);

    // The message loop's filter: key preview (the window sees every typed
    // character before the focused control does) and the shortcuts. Answers
    // true when the message was consumed.
    bool PreTranslateMessage(MSG& message);

    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

private:
    static constexpr UINT_PTR kTimer1 = 1;  // refresh, 2000 ms
    static constexpr UINT_PTR kTimer2 = 2;  // counters, 100 ms
    static constexpr UINT kTimer1Interval = 2000;
    static constexpr UINT kTimer2Interval = 100;
    static constexpr UINT kListMouseLeftMessage = WM_APP + 2;

    // Window events, unpacked.
    void OnCreate(HINSTANCE instance);
    void CreateControls(HINSTANCE instance);
    void OnSize(int clientWidth, int clientHeight);
    void OnGetMinMaxInfo(MINMAXINFO& limits) const;
    void OnDpiChanged(int dpi, const RECT& suggested);
    int Scaled(int designSize) const;
    void SetStatusPanels();
    SIZE MinimumSize() const;
    void OnListMouseLeft();
    void OnTimer(UINT_PTR timerId);
    void OnCommand(int commandId, bool fromShortcut);
    LRESULT OnNotify(NMHDR& header);
    void OnContextMenu(HWND source, POINT screenPoint, bool fromKeyboard);
    void OnClose();
    void OnDestroy();

    // Handlers.
    void FormCreate();
    void FormResize();
    void FormKeyPress(wchar_t key);
    void Timer2Timer();
    void Refresh1Click();
    void PopupMenu1Popup();
    LRESULT LvAdvancedCustomDrawItem(NMLVCUSTOMDRAW& draw);

    void LoadViewOptions();
    bool ShowsIPv6() const;
    void ApplyViewChecks();
    void ShowIPv6Endpoints1Click();
    void Find1Click();
    void FindNext1Click();
    void SelectAll1Click();
    void OnFindMessage(LPARAM lParam);
    void FindNext(const connections::FindRequest& request);

    void RegisterCommandHandlers();
    void ApplyPopupStates();
    connections::ProcessPathResolver StartPathPass();

    // WindowActions
    void SetRefreshTimerEnabled(bool enabled) override;
    void CloseMainWindow() override;

    // SettingsWindow: the outer size the window has, or returns to when
    // minimised; the state; the list's column widths.
    int Width() const override;
    int Height() const override;
    WindowState State() const override;
    void SetState(WindowState state) override;
    void SetWidth(int width) override;
    void SetHeight(int height) override;
    std::size_t ColumnCount() const override;
    int ColumnWidth(std::size_t column) const override;
    void SetColumnWidth(std::size_t column, int width) override;
    int VirtualScreenWidth() const override;
    int VirtualScreenHeight() const override;
    RECT NormalBounds() const;

    // Runs one event handler under the application's error report.
    template <typename Handler>
    void Handle(Handler&& handler);

    const app::StartupState& startup_;
    connections::ConnectionList list_;
    support::ProcessPathCache processPaths_;
    CommandController commands_;
    ConnectionListView lv_;
    FindDialog findDialog_;
    platform::win32::UniqueHfont font_;
    platform::win32::UniqueHmenu popupMenuResource_;
    HWND statusBar1_ = nullptr;
    HACCEL shortcuts_ = nullptr;
    AboutWindow* frmAbout_ = nullptr;
    bool keyPreview_ = false;
    SIZE minimumSize_{};       // the smallest outer size; none until the font is made
    int dpi_ = 96;             // the resolution the layout is drawn at
    // Size changes save the placement once the creation handler is loading
    // the settings (the sizes the system sets while creating the window are
    // not the user's); a state asked for before the window shows waits here.
    bool placementSavesOn_ = false;
    WindowState stateBeforeShow_ = WindowState::Normal;
};

} // namespace vq::ui
