#include "ui/main_window.h"

#include "connections/row_counters.h"
#include "resource.h"
#include "ui/about_window.h"
#include "ui/connection_commands.h"
#include "ui/csv_command.h"
#include "ui/document_commands.h"
#include "ui/lookup_commands.h"
#include "ui/report_command.h"
#include "util/error_report.h"

#include <windowsx.h>

namespace vq::ui {
namespace {

constexpr wchar_t kEscape = 27;

int CompareCaptions(const std::wstring& left, const std::wstring& right)
{
    return ::lstrcmpW(left.c_str(), right.c_str());
}

} // namespace

MainWindow::MainWindow(const support::StartupState& startup)
    : list_(&CompareCaptions),
      feed_(list_, startup),
      commands_(list_, *this),
      viewOptions_(commands_, feed_, list_),
      listView_(list_),
      settings_(listView_),
      finder_(list_, listView_)
{
}

// The report is a modal box whose own message loop keeps the timers ticking;
// while it is open the ticks do nothing, so a failing refresh is reported
// once rather than once per tick.
template <typename Handler>
void MainWindow::Handle(Handler&& handler)
{
    util::RunWindowProcedure(hwnd_, reportOpen_, [&] {
        listView_.CaptureAnchor();
        handler();
    });
    // Whatever the handler changed in the model, the list shows it now.
    util::RunWindowProcedure(hwnd_, reportOpen_, [&] { listView_.ShowModelChanges(); });
}

bool MainWindow::Create(HINSTANCE instance, int showCommand)
{
    const auto icon = static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCEW(IDI_APPLICATION_ICON),
                                                      IMAGE_ICON, 0, 0, LR_DEFAULTSIZE | LR_SHARED));
    if (!RegisterWindowClass(instance, kMainWindowClass, icon, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1))) {
        return false;
    }
    platform::win32::UniqueHmenu menuBar(::LoadMenuW(instance, MAKEINTRESOURCEW(IDM_MAIN_MENU)));
    if (CreateWindowFor(instance, kMainWindowClass, kMainWindowCaption, kMainStyle, kMainExStyle,
                        layout_.InitialBounds(), nullptr, menuBar.get()) == nullptr) {
        return false;
    }
    // The window owns its menu bar from here on and destroys it with itself.
    static_cast<void>(menuBar.release());
    shortcuts_ = ::LoadAcceleratorsW(instance, MAKEINTRESOURCEW(IDA_SHORTCUTS));
    // The stored View options come first, so that the fill lists what they
    // ask for; an option the registry cannot give is reported on its own and
    // stays off.
    viewOptions_.Load([&](const std::function<void()>& read) { Handle(read); });
    Handle([&] {
        ShowMenuBarChecks(hwnd_, commands_);
        ShowFilterBar(false);
    });
    // A failure ends the creation handler at the failing step; the window is
    // still shown.
    Handle([&] { FillListAndRestoreSettings(); });

    // Centred on the desktop at the size it has now, in the state it was given.
    const RECT normal = settings_.NormalBounds();
    const POINT topLeft = DesktopCentredTopLeft({normal.right - normal.left, normal.bottom - normal.top});
    ::SetWindowPos(hwnd_, nullptr, topLeft.x, topLeft.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ::ShowWindow(hwnd_, settings_.FirstShowCommand(showCommand));
    ::UpdateWindow(hwnd_);
    ::SetFocus(listView_.hwnd());
    return true;
}

bool MainWindow::PreTranslateMessage(MSG& message)
{
    if (finder_.PreTranslateMessage(message)) {
        return true;
    }
    if (hwnd_ == nullptr || (message.hwnd != hwnd_ && !::IsChild(hwnd_, message.hwnd))) {
        return false;
    }
    // The bar's edit keys go to the bar, past the shortcuts.
    const FilterBar::KeyAction barKey = filterBar_.KeyActionOf(message);
    if (barKey == FilterBar::KeyAction::EditOnly) {
        return false;
    }
    if (OnFilterBarKey(message, barKey)) {
        return true;
    }
    if (shortcuts_ != nullptr && ::TranslateAcceleratorW(hwnd_, shortcuts_, &message)) {
        return true;
    }
    if (keyPreview_ && message.message == WM_CHAR) {
        const auto key = static_cast<wchar_t>(message.wParam);
        Handle([&] { OnKeyPreview(key); });
        return key == kEscape;
    }
    return false;
}

LRESULT MainWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        OnCreate(reinterpret_cast<CREATESTRUCTW*>(lParam)->hInstance);
        return 0;
    case WM_SIZE:
        OnSize(LOWORD(lParam), HIWORD(lParam));
        return 0;
    case WM_GETMINMAXINFO:
        OnGetMinMaxInfo(*reinterpret_cast<MINMAXINFO*>(lParam));
        return 0;
    case WM_DPICHANGED:
        OnDpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
        return 0;
    case WM_TIMER:
        OnTimer(static_cast<UINT_PTR>(wParam));
        return 0;
    case WM_COMMAND:
        if (lParam != 0 && reinterpret_cast<HWND>(lParam) == filterBar_.hwnd()) {
            if (HIWORD(wParam) == EN_CHANGE) {
                OnFilterTextChanged();
            }
            return 0;
        }
        OnCommand(LOWORD(wParam), HIWORD(wParam) == 1 && lParam == 0);
        return 0;
    case WM_NOTIFY:
        return OnNotify(*reinterpret_cast<NMHDR*>(lParam));
    case WM_CONTEXTMENU:
        OnContextMenu(reinterpret_cast<HWND>(wParam), {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)},
                      lParam == -1);
        return 0;
    case kListMouseLeftMessage:
        OnListMouseLeft();
        return 0;
    case WM_SETFOCUS:
        ::SetFocus(listView_.hwnd());
        return 0;
    case WM_CLOSE:
        OnClose();
        return 0;
    case WM_DESTROY:
        OnDestroy();
        return 0;
    default:
        if (message == finder_.Message()) {
            OnFindMessage(lParam);
            return 0;
        }
        return DefaultProc(message, wParam, lParam);
    }
}

void MainWindow::OnCreate(HINSTANCE instance)
{
    settings_.Attach(hwnd_);
    Handle([&] { CreateControls(instance); });
}

void MainWindow::CreateControls(HINSTANCE instance)
{
    layout_.Begin(hwnd_);
    filterBar_.Create(hwnd_, instance, IDC_FILTER_BAR, layout_.Font());
    listView_.Create(hwnd_, instance, IDC_LIST, layout_.Font(), kListMouseLeftMessage, layout_.Dpi());
    layout_.CreateStatusBar(instance, IDC_STATUS_BAR);
    contextMenu_.Load(instance, IDM_POPUP_MENU);
    RegisterCommandHandlers();
    ::SetTimer(hwnd_, kCountersTimer, kCountersInterval, nullptr);
}

void MainWindow::FillListAndRestoreSettings()
{
    // The refresh runs even when a fill fails: it is what fills the list then.
    SetRefreshTimerEnabled(true);
    feed_.Fill(viewOptions_.ShowsIPv6());
    // Key preview first: a stored value the loads cannot use is reported and
    // ends the loading, and Esc must still close the window afterwards.
    keyPreview_ = true;
    placementSavesOn_ = true;
    LoadWindowPlacement(settings_);
    LoadColumnWidths(settings_);
}

void MainWindow::RegisterCommandHandlers()
{
    commands_.SetHandler(ID_REFRESH, [this] { feed_.Refresh(viewOptions_.ShowsIPv6()); });

    // A close that succeeded chooses "Refresh Now", the way the user would.
    const RefreshList refresh = [this] { commands_.Choose(ID_REFRESH); };
    const platform::IpHelperEntryPoints& ipHelper = feed_.IpHelper();
    commands_.SetHandler(ID_CLOSE_SELECTED_CONNECTIONS,
                         [this, refresh, &ipHelper] { CloseSelectedConnections(list_, ipHelper, refresh); });
    commands_.SetHandler(ID_CLOSE_PROCESS_CONNECTIONS,
                         [this, refresh, &ipHelper] { CloseProcessConnections(list_, ipHelper, refresh); });
    commands_.SetHandler(ID_CLOSE_ALL_CONNECTIONS,
                         [this, refresh, &ipHelper] { CloseAllConnections(list_, ipHelper, refresh); });
    commands_.SetHandler(ID_TERMINATE_PROCESS, [this] { TerminateSelectedProcess(list_); });
    commands_.SetHandler(ID_COPY_SELECTED_ROWS, [this] { CopySelectedRows(list_, hwnd_); });
    commands_.SetHandler(ID_COPY_REMOTE_ADDRESS, [this] { CopyRemoteAddress(list_, hwnd_); });

    commands_.SetHandler(ID_SHOW_PROCESS_PROPERTIES, [this] { ShowProcessProperties(list_, hwnd_); });
    commands_.SetHandler(ID_LOCATE_PROCESS_FILE, [this] { LocateProcessFile(list_); });
    commands_.SetHandler(ID_SEARCH_PROCESS_HASH, [this] { SearchProcessHash(list_); });
    commands_.SetHandler(ID_CHECK_PROCESS_HASH_REPUTATION, [this] { CheckProcessHashReputation(list_); });
    commands_.SetHandler(ID_SEARCH_REMOTE_ADDRESS, [this] { SearchRemoteAddress(list_); });
    commands_.SetHandler(ID_SEARCH_REMOTE_PORT, [this] { SearchRemotePort(list_); });
    commands_.SetHandler(ID_OPEN_IP_BLACKLIST_CHECK, [this] { OpenIpBlacklistCheck(list_); });
    commands_.SetHandler(ID_OPEN_IP_GEOLOCATION, [this] { OpenIpGeolocation(list_); });
    commands_.SetHandler(ID_OPEN_IP_WHOIS, [this] { OpenIpWhois(list_); });
    commands_.SetHandler(ID_SAVE_REPORT, [this] { SaveReport(list_); });
    commands_.SetHandler(ID_SAVE_CSV, [this] { SaveListToCsv(list_, hwnd()); });

    commands_.SetHandler(ID_FIND, [this] { finder_.Open(hwnd_); });
    commands_.SetHandler(ID_FIND_NEXT, [this] { finder_.Repeat(hwnd_); });
    commands_.SetHandler(ID_SELECT_ALL, [this] { list_.SetAllSelected(true); });
    commands_.SetHandler(ID_SHOW_IPV6_ENDPOINTS, [this] {
        ShowMenuBarChecks(hwnd_, commands_);
        viewOptions_.ApplyShowIPv6();
    });
    commands_.SetHandler(ID_FILTER_BAR, [this] {
        ShowMenuBarChecks(hwnd_, commands_);
        ShowFilterBar(true);
        viewOptions_.ApplyFilterBar();
    });
    commands_.SetHandler(ID_SHOW_UNCONNECTED, [this] {
        ShowMenuBarChecks(hwnd_, commands_);
        viewOptions_.ApplyShowUnconnected();
    });
    commands_.SetHandler(ID_SHOW_WAITING, [this] {
        ShowMenuBarChecks(hwnd_, commands_);
        viewOptions_.ApplyShowWaiting();
    });
    for (const int column : {ID_SHOW_SERVICE_COLUMN, ID_SHOW_CREATED_COLUMN}) {
        commands_.SetHandler(column, [this, column] {
            ShowMenuBarChecks(hwnd_, commands_);
            viewOptions_.ApplyShownColumns(column);
        });
    }
    commands_.SetHandler(ID_HIGHLIGHT_CHANGES, [this] {
        ShowMenuBarChecks(hwnd_, commands_);
        viewOptions_.ApplyHighlightChanges();
    });
    // A new interval restarts the refresh timer at once, unless the automatic refresh is off.
    for (const int interval : CommandController::RefreshIntervalItems()) {
        commands_.SetHandler(interval, [this] {
            ShowMenuBarChecks(hwnd_, commands_);
            if (!commands_.IsChecked(ID_DISABLE_AUTO_REFRESH)) {
                SetRefreshTimerEnabled(true);
            }
            viewOptions_.ApplyRefreshInterval();
        });
    }

    commands_.SetHandler(ID_OPEN_CHANGELOG, [this] { OpenChangelog(hwnd_); });
    commands_.SetHandler(ID_OPEN_EULA, [this] { OpenEula(hwnd_); });
    commands_.SetHandler(ID_OPEN_HOMEPAGE, [this] { OpenHomepage(hwnd_); });
    commands_.SetHandler(ID_SHOW_ABOUT, [this] {
        if (aboutWindow_ != nullptr) {
            aboutWindow_->ShowModalOver(hwnd_);
        }
    });
}

void MainWindow::OnSize(int clientWidth, int clientHeight)
{
    layout_.Arrange(filterBar_.hwnd(), listView_.hwnd(), clientWidth, clientHeight);
    if (placementSavesOn_) {
        Handle([&] { SaveWindowPlacement(settings_); });
    }
}

void MainWindow::OnGetMinMaxInfo(MINMAXINFO& limits) const
{
    layout_.LimitTrackSize(limits);
}

// The window moved to a screen of another density: its font and layout are
// made again for it, the columns keep their share of the width, and the
// window takes the size the system suggests.
void MainWindow::OnDpiChanged(int dpi, const RECT& suggested)
{
    const int previous = layout_.Dpi();
    layout_.ChangeDpi(dpi, filterBar_.hwnd(), listView_.hwnd());
    listView_.RescaleColumns(previous, layout_.Dpi());
    ::SetWindowPos(hwnd_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                   suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

void MainWindow::OnListMouseLeft()
{
    // A column width dragged in the header is saved once the pointer leaves the list.
    Handle([&] { SaveColumnWidths(settings_); });
}

void MainWindow::OnTimer(UINT_PTR timerId)
{
    if (reportOpen_) {
        return;
    }
    if (timerId == kRefreshTimer) {
        Handle([&] { OnRefreshTimer(); });
    } else if (timerId == kCountersTimer) {
        Handle([&] { OnCountersTimer(); });
    } else if (timerId == kFilterTimer) {
        Handle([&] { OnFilterTimer(); });
    }
}

// The refresh timer chooses "Refresh Now" the way the user would.
void MainWindow::OnRefreshTimer()
{
    commands_.Choose(ID_REFRESH);
}

void MainWindow::OnCountersTimer()
{
    const connections::RowCounts counts = connections::CountRows(list_);
    layout_.ShowCounts(counts, connections::FilterPanelText(counts, list_.Filter().Error()));
}

// The bar comes or goes with its menu item's mark; one that comes when the
// user asks for it takes the focus, one that goes hands it to the list.
void MainWindow::ShowFilterBar(bool focus)
{
    const bool show = viewOptions_.ShowsFilterBar();
    if (show != filterBar_.IsShown()) {
        filterBar_.Show(show);
        ::KillTimer(hwnd_, kFilterTimer);
        layout_.Rearrange(filterBar_.hwnd(), listView_.hwnd());
    }
    if (focus) {
        ::SetFocus(show ? filterBar_.hwnd() : listView_.hwnd());
    }
}

// Keys in the filter bar that mean something else there: answers whether
// the message was consumed. Ctrl+E with the bar shown elsewhere focuses it.
bool MainWindow::OnFilterBarKey(const MSG& message, FilterBar::KeyAction action)
{
    if (message.message == WM_KEYDOWN && message.wParam == 'E' && (::GetKeyState(VK_CONTROL) & 0x8000) != 0 &&
        filterBar_.IsShown() && !filterBar_.HasFocus()) {
        filterBar_.Focus();
        return true;
    }
    switch (action) {
    case FilterBar::KeyAction::None:
    case FilterBar::KeyAction::EditOnly:
        return false;
    case FilterBar::KeyAction::ClearOrHide:
        Handle([&] {
            if (filterBar_.Text().empty()) {
                commands_.Choose(ID_FILTER_BAR);
            } else {
                filterBar_.ClearText();
                OnFilterTimer();
            }
        });
        return true;
    case FilterBar::KeyAction::ToList:
        ::SetFocus(listView_.hwnd());
        return true;
    }
    return false;
}

void MainWindow::OnFilterTextChanged()
{
    ::SetTimer(hwnd_, kFilterTimer, kFilterDelay, nullptr);
}

void MainWindow::OnFilterTimer()
{
    ::KillTimer(hwnd_, kFilterTimer);
    viewOptions_.SetFilterText(filterBar_.Text());
    OnCountersTimer();
}

void MainWindow::OnCommand(int commandId, bool fromShortcut)
{
    Handle([&] {
        if (fromShortcut) {
            commands_.ChooseByShortcut(commandId);
            contextMenu_.ShowStates(commands_);
        } else {
            commands_.Choose(commandId);
        }
    });
}

LRESULT MainWindow::OnNotify(NMHDR& header)
{
    if (header.hwndFrom != listView_.hwnd()) {
        return 0;
    }
    switch (header.code) {
    case LVN_GETDISPINFOW:
        listView_.OnGetDisplayInfo(reinterpret_cast<NMLVDISPINFOW&>(header));
        return 0;
    case LVN_ITEMCHANGED:
        listView_.OnItemChanged(reinterpret_cast<NMLISTVIEW&>(header));
        return 0;
    case LVN_ODSTATECHANGED:
        listView_.OnRangeStateChanged(reinterpret_cast<NMLVODSTATECHANGE&>(header));
        return 0;
    case LVN_ODFINDITEMW:
        return listView_.OnFindItem(reinterpret_cast<NMLVFINDITEMW&>(header));
    case NM_CUSTOMDRAW:
        return OnListCustomDraw(reinterpret_cast<NMLVCUSTOMDRAW&>(header));
    default:
        return 0;
    }
}

LRESULT MainWindow::OnListCustomDraw(NMLVCUSTOMDRAW& draw)
{
    if (draw.nmcd.dwDrawStage == CDDS_PREPAINT) {
        return CDRF_NOTIFYITEMDRAW;
    }
    if (draw.nmcd.dwDrawStage == CDDS_ITEMPREPAINT) {
        util::RunHandler(hwnd_, [&] { listView_.OnItemPrePaint(draw); });
        return CDRF_NEWFONT;
    }
    return CDRF_DODEFAULT;
}

void MainWindow::OnContextMenu(HWND source, POINT screenPoint, bool fromKeyboard)
{
    if (source != listView_.hwnd() || !contextMenu_.IsLoaded()) {
        return;
    }
    Handle([&] { UpdateContextMenu(); });
    if (fromKeyboard) {
        screenPoint = listView_.ContextMenuPointForKeyboard();
    }
    contextMenu_.Track(hwnd_, screenPoint);
}

void MainWindow::UpdateContextMenu()
{
    commands_.UpdatePopupEnabling();
    contextMenu_.ShowStates(commands_);
}

void MainWindow::OnFindMessage(LPARAM lParam)
{
    if (const auto request = finder_.ReadMessage(lParam)) {
        Handle([&] { finder_.FindNext(hwnd_, *request); });
    }
}

void MainWindow::OnKeyPreview(wchar_t key)
{
    if (key == kEscape) {
        commands_.Choose(ID_EXIT);
    }
}

void MainWindow::SetRefreshTimerEnabled(bool enabled)
{
    if (enabled) {
        ::SetTimer(hwnd_, kRefreshTimer, viewOptions_.RefreshInterval(), nullptr);
    } else {
        ::KillTimer(hwnd_, kRefreshTimer);
    }
}

void MainWindow::CloseMainWindow()
{
    ::PostMessageW(hwnd_, WM_CLOSE, 0, 0);
}

void MainWindow::OnClose()
{
    // A save the registry refuses is reported, and the window closes all the same.
    SaveSettingsOnClose(settings_, hwnd_);
    ::DestroyWindow(hwnd_);
}

void MainWindow::OnDestroy()
{
    ::KillTimer(hwnd_, kRefreshTimer);
    ::KillTimer(hwnd_, kCountersTimer);
    ::PostQuitMessage(0);
}

} // namespace vq::ui
