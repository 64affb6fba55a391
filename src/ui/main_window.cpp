#include "ui/main_window.h"

#include "connections/list_sync.h"
#include "connections/row_counters.h"
#include "platform/system.h"
#include "resource.h"
#include "ui/about_window.h"
#include "ui/connection_commands.h"
#include "ui/design_size.h"
#include "ui/document_commands.h"
#include "ui/lookup_commands.h"
#include "ui/report_command.h"
#include "util/error_report.h"

#include <windowsx.h>

namespace vq::ui {
namespace {

constexpr DWORD kMainStyle = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
constexpr DWORD kMainExStyle = WS_EX_APPWINDOW;
constexpr wchar_t kEscape = 27;
constexpr int kStatusBarHeight = 19;
constexpr int kStatusPanelWidth = 145;
constexpr int kStatusPanels = 3;

int CompareCaptions(const std::wstring& left, const std::wstring& right)
{
    return ::lstrcmpW(left.c_str(), right.c_str());
}

} // namespace

MainWindow::MainWindow(const app::StartupState& startup)
    : startup_(startup),
      list_(&CompareCaptions),
      processPaths_(startup.system.kernel32Path),
      commands_(list_, *this),
      lv_(list_)
{
}

// The report is a modal box whose own message loop keeps the timers ticking;
// while it is open the ticks do nothing, so a failing refresh is reported
// once rather than once per tick.
template <typename Handler>
void MainWindow::Handle(Handler&& handler)
{
    util::RunWindowProcedure(hwnd_, reportOpen_, [&] {
        lv_.CaptureAnchor();
        handler();
    });
    // Whatever the handler changed in the model, the list shows it now.
    util::RunWindowProcedure(hwnd_, reportOpen_, [&] { lv_.ShowModelChanges(); });
}

bool MainWindow::Create(HINSTANCE instance, int showCommand)
{
    const auto icon = static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCEW(IDI_APPLICATION_ICON),
                                                      IMAGE_ICON, 0, 0, LR_DEFAULTSIZE | LR_SHARED));
    if (!RegisterWindowClass(instance, kMainWindowClass, icon, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1))) {
        return false;
    }
    platform::win32::UniqueHmenu mainMenu1(::LoadMenuW(instance, MAKEINTRESOURCEW(IDM_MAIN_MENU)));
    dpi_ = SystemDpi();
    const RECT bounds = CentredOnDesktop(Scaled(kMainClientWidth), Scaled(kMainClientHeight), kMainStyle,
                                         kMainExStyle, true);
    if (CreateWindowFor(instance, kMainWindowClass, kMainWindowCaption, kMainStyle, kMainExStyle, bounds,
                        nullptr, mainMenu1.get()) == nullptr) {
        return false;
    }
    // The window owns its menu bar from here on and destroys it with itself.
    static_cast<void>(mainMenu1.release());
    shortcuts_ = ::LoadAcceleratorsW(instance, MAKEINTRESOURCEW(IDA_SHORTCUTS));
    // The stored View options come first, so that the fill lists what they
    // ask for; an option the registry cannot give is reported on its own and
    // stays off.
    Handle([&] { LoadViewOptions(); });
    // A failure ends the creation handler at the failing step; the window is
    // still shown.
    Handle([&] { FormCreate(); });

    // Centred on the desktop at the size it has now, in the state it was given.
    const RECT normal = NormalBounds();
    const POINT topLeft = DesktopCentredTopLeft({normal.right - normal.left, normal.bottom - normal.top});
    ::SetWindowPos(hwnd_, nullptr, topLeft.x, topLeft.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    switch (stateBeforeShow_) {
    case WindowState::Maximized:
        showCommand = SW_SHOWMAXIMIZED;
        break;
    case WindowState::Minimized:
        showCommand = SW_SHOWMINIMIZED;
        break;
    case WindowState::Normal:
        break;
    }
    ::ShowWindow(hwnd_, showCommand);
    ::UpdateWindow(hwnd_);
    ::SetFocus(lv_.hwnd());
    return true;
}

bool MainWindow::PreTranslateMessage(MSG& message)
{
    if (findDialog_.PreTranslateMessage(message)) {
        return true;
    }
    if (hwnd_ == nullptr || (message.hwnd != hwnd_ && !::IsChild(hwnd_, message.hwnd))) {
        return false;
    }
    if (shortcuts_ != nullptr && ::TranslateAcceleratorW(hwnd_, shortcuts_, &message)) {
        return true;
    }
    if (keyPreview_ && message.message == WM_CHAR) {
        const auto key = static_cast<wchar_t>(message.wParam);
        Handle([&] { FormKeyPress(key); });
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
        ::SetFocus(lv_.hwnd());
        return 0;
    case WM_CLOSE:
        OnClose();
        return 0;
    case WM_DESTROY:
        OnDestroy();
        return 0;
    default:
        if (message == findDialog_.Message()) {
            OnFindMessage(lParam);
            return 0;
        }
        return DefaultProc(message, wParam, lParam);
    }
}

void MainWindow::OnCreate(HINSTANCE instance)
{
    Handle([&] { CreateControls(instance); });
}

void MainWindow::CreateControls(HINSTANCE instance)
{
    dpi_ = WindowDpi(hwnd_);
    font_.reset(CreateTahoma(8, false, dpi_));
    ::SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
    minimumSize_ = MinimumSize();
    lv_.Create(hwnd_, instance, IDC_LIST, font_.get(), kListMouseLeftMessage, dpi_);

    statusBar1_ = ::CreateWindowExW(0, STATUSCLASSNAMEW, L"",
                                    WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP | CCS_NORESIZE | CCS_NOPARENTALIGN,
                                    0, 0, 0, 0, hwnd_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_STATUS_BAR)),
                                    instance, nullptr);
    ::SendMessageW(statusBar1_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
    SetStatusPanels();
    const auto texts = connections::StatusPanelTexts({0, 0, 0});
    for (int i = 0; i < kStatusPanels; ++i) {
        ::SendMessageW(statusBar1_, SB_SETTEXTW, i, reinterpret_cast<LPARAM>(texts[static_cast<std::size_t>(i)].c_str()));
    }

    popupMenuResource_.reset(::LoadMenuW(instance, MAKEINTRESOURCEW(IDM_POPUP_MENU)));
    RegisterCommandHandlers();
    ::SetTimer(hwnd_, kTimer2, kTimer2Interval, nullptr);
}

int MainWindow::Scaled(int designSize) const
{
    return ScaleToDpi(designSize, dpi_);
}

void MainWindow::SetStatusPanels()
{
    int edges[kStatusPanels];
    for (int i = 0; i < kStatusPanels; ++i) {
        edges[i] = Scaled(kStatusPanelWidth) * (i + 1);
    }
    ::SendMessageW(statusBar1_, SB_SETPARTS, kStatusPanels, reinterpret_cast<LPARAM>(edges));
}

// The window moved to a screen of another density: its font and layout are
// made again for it, the columns keep their share of the width, and the
// window takes the size the system suggests.
void MainWindow::OnDpiChanged(int dpi, const RECT& suggested)
{
    const int previous = dpi_;
    dpi_ = dpi > 0 ? dpi : kDesignDpi;
    platform::win32::UniqueHfont font(CreateTahoma(8, false, dpi_));
    for (const HWND control : {hwnd_, lv_.hwnd(), statusBar1_}) {
        ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), TRUE);
    }
    font_ = std::move(font);
    for (std::size_t column = 0; column < ColumnCount(); ++column) {
        SetColumnWidth(column, ::MulDiv(ColumnWidth(column), dpi_, previous));
    }
    SetStatusPanels();
    minimumSize_ = MinimumSize();
    ::SetWindowPos(hwnd_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                   suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

void MainWindow::FormCreate()
{
    // The refresh runs even when a fill fails: it is what fills the list then.
    SetRefreshTimerEnabled(true);
    const auto resolve = StartPathPass();
    connections::FillTcpRows(list_, startup_.ipHelper, resolve);
    connections::FillUdpRows(list_, startup_.ipHelper, resolve);
    if (ShowsIPv6()) {
        connections::FillIPv6Rows(list_, startup_.ipHelper, resolve);
    }
    // Key preview first: a stored value the loads cannot use is reported and
    // ends the loading, and Esc must still close the window afterwards.
    keyPreview_ = true;
    placementSavesOn_ = true;
    LoadWindowPlacement(*this);
    LoadColumnWidths(*this);
}

void MainWindow::LoadViewOptions()
{
    commands_.SetChecked(ID_SHOW_IPV6_ENDPOINTS1, LoadShowIPv6());
    ApplyViewChecks();
}

bool MainWindow::ShowsIPv6() const
{
    return commands_.IsChecked(ID_SHOW_IPV6_ENDPOINTS1);
}

// Shows the View menu's check marks on the menu bar.
void MainWindow::ApplyViewChecks()
{
    ::CheckMenuItem(::GetMenu(hwnd_), ID_SHOW_IPV6_ENDPOINTS1,
                    MF_BYCOMMAND | (ShowsIPv6() ? MF_CHECKED : MF_UNCHECKED));
}

// The option's mark has flipped: the IPv6 rows come or go at once, and the
// choice is stored for the next start.
void MainWindow::ShowIPv6Endpoints1Click()
{
    ApplyViewChecks();
    if (ShowsIPv6()) {
        connections::FillIPv6Rows(list_, startup_.ipHelper, StartPathPass());
    } else {
        connections::RemoveIPv6Rows(list_);
    }
    SaveShowIPv6(ShowsIPv6());
}

void MainWindow::Find1Click()
{
    findDialog_.Show(hwnd_);
}

// F3 repeats the last search; before the first one it opens the dialog.
void MainWindow::FindNext1Click()
{
    if (findDialog_.LastRequest().text.empty()) {
        Find1Click();
    } else {
        FindNext(findDialog_.LastRequest());
    }
}

void MainWindow::SelectAll1Click()
{
    list_.SetAllSelected(true);
}

void MainWindow::OnFindMessage(LPARAM lParam)
{
    if (const auto request = findDialog_.OnMessage(lParam)) {
        Handle([&] { FindNext(*request); });
    }
}

// The next match after the focused row becomes the only selected, focused
// and visible row; a miss is said in a box over the dialog when it is open.
void MainWindow::FindNext(const connections::FindRequest& request)
{
    const auto found = connections::FindNextRow(list_, request, list_.Focused());
    if (!found) {
        const HWND owner = findDialog_.hwnd() != nullptr ? findDialog_.hwnd() : hwnd_;
        const std::wstring text = L"Cannot find \"" + request.text + L"\".";
        ::MessageBoxW(owner, text.c_str(), util::kApplicationTitle, MB_OK | MB_ICONINFORMATION);
        return;
    }
    list_.SetAllSelected(false);
    list_.SetSelected(*found, true);
    list_.SetFocused(*found);
    list_.SetAnchor(*found);
    lv_.ShowModelChanges();
    lv_.EnsureVisible(*found);
}

void MainWindow::RegisterCommandHandlers()
{
    commands_.SetHandler(ID_REFRESH1, [this] { Refresh1Click(); });

    // A close that succeeded chooses Refresh1, the way the user would.
    const RefreshList refresh = [this] { commands_.Choose(ID_REFRESH1); };
    const platform::IpHelperEntryPoints& ipHelper = startup_.ipHelper;
    commands_.SetHandler(ID_CLOSE_CONNECTION1,
                         [this, refresh, &ipHelper] { CloseConnection1Click(list_, ipHelper, refresh); });
    commands_.SetHandler(ID_CLOSE_ALL_CONNECTIONS_FOR_SELECTED_PROCESS1, [this, refresh, &ipHelper] {
        CloseALLConnectionsforSelectedProcess1Click(list_, ipHelper, refresh);
    });
    commands_.SetHandler(ID_CLOSE_ALL_CONNECTIONS1,
                         [this, refresh, &ipHelper] { CloseALLConnections1Click(list_, ipHelper, refresh); });
    commands_.SetHandler(ID_ERMINATE_PROCESS1, [this] { erminateProcess1Click(list_); });
    commands_.SetHandler(ID_COPY_CLIPBOARD1, [this] { CopySelectedRows(list_, hwnd_); });
    commands_.SetHandler(ID_COPY_REMOTE_IP_ADDRESS_TO_CLIPBOARD1,
                         [this] { CopyRemoteIPAddresstoClipboard1Click(list_, hwnd_); });

    commands_.SetHandler(ID_SHOW_PROCESS_PROPERTIES1, [this] { ShowProcessProperties1Click(list_, hwnd_); });
    commands_.SetHandler(ID_LOCATE_PROCESS_IN_EXPLORER1, [this] { LocateProcessinExplorer1Click(list_); });
    commands_.SetHandler(ID_LOOKUP_PROCESS_HASH_ON_GOOGLE1, [this] { LookupProcessHashonGoogle1Click(list_); });
    commands_.SetHandler(ID_LOOKUP_PROCESS_HASH_ON_VIRUS_TOTAL1,
                         [this] { LookupProcessHashonVirusTotal1Click(list_); });
    commands_.SetHandler(ID_LOOKUP_REMOTE_IP_ON_GOOGLE1, [this] { LookupRemoteIPonGoogle1Click(list_); });
    commands_.SetHandler(ID_LOOKUP_REMOTE_PORT_ON_GOOGLE1, [this] { LookupRemotePortonGoogle1Click(list_); });
    commands_.SetHandler(ID_IP_BLACKLIST_CHECK_IPVOID1, [this] { IPBlacklistCheckIPVoid1Click(list_); });
    commands_.SetHandler(ID_GEOLOCATE_IP_ADDRESS_IPVOID1, [this] { GeolocateIPAddressIPVoid1Click(list_); });
    commands_.SetHandler(ID_IP_WHOIS_LOOKUP_IPVOID1, [this] { IPWhoisLookupIPVoid1Click(list_); });
    commands_.SetHandler(ID_SAVE1, [this] { Save1Click(list_); });

    commands_.SetHandler(ID_SHOW_IPV6_ENDPOINTS1, [this] { ShowIPv6Endpoints1Click(); });
    commands_.SetHandler(ID_FIND1, [this] { Find1Click(); });
    commands_.SetHandler(ID_FIND_NEXT1, [this] { FindNext1Click(); });
    commands_.SetHandler(ID_SELECT_ALL1, [this] { SelectAll1Click(); });
    commands_.SetHandler(ID_OPEN_CHANGELOG1, [this] { OpenChangelog1Click(hwnd_); });
    commands_.SetHandler(ID_OPEN_EULA1, [this] { OpenEULA1Click(hwnd_); });
    commands_.SetHandler(ID_HOMEPAGE1, [this] { Homepage1Click(hwnd_); });
    commands_.SetHandler(ID_ABOUT1, [this] {
        if (frmAbout_ != nullptr) {
            frmAbout_->ShowModalOver(hwnd_);
        }
    });
}

// Each fill or refresh is one pass of the path cache: a process is asked for
// its path at most once per pass, and not again while it keeps running.
connections::ProcessPathResolver MainWindow::StartPathPass()
{
    processPaths_.BeginPass();
    return [this](std::uint32_t processId) {
        connections::OwningProcess owner;
        owner.path = processPaths_.Resolve(processId, &owner.startTime);
        return owner;
    };
}

void MainWindow::OnSize(int clientWidth, int clientHeight)
{
    const int statusHeight = Scaled(kStatusBarHeight);
    const int listHeight = clientHeight > statusHeight ? clientHeight - statusHeight : 0;
    ::MoveWindow(lv_.hwnd(), 0, 0, clientWidth, listHeight, TRUE);
    ::MoveWindow(statusBar1_, 0, listHeight, clientWidth, statusHeight, TRUE);
    // Under Wine a status bar moved by a maximise or a restore stays unpainted
    // until one of its texts changes; it is redrawn whole after every move.
    ::RedrawWindow(statusBar1_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME);
    if (placementSavesOn_) {
        Handle([&] { FormResize(); });
    }
}

// No smaller than the status bar's three panels (and its size grip) beside
// each other, over the list's header and a few rows, each about a line of
// the list's font high. Worked out once, when the font is made: the limit is
// asked for at every step of a resize.
SIZE MainWindow::MinimumSize() const
{
    constexpr int kMinimumLines = 4;  // the header and three rows
    const int linePadding = Scaled(6);  // a row's margin and grid line
    int lineHeight = Scaled(16);
    if (const HDC screen = ::GetDC(hwnd_)) {
        const HGDIOBJ previous = ::SelectObject(screen, font_.get());
        TEXTMETRICW metrics{};
        if (::GetTextMetricsW(screen, &metrics)) {
            lineHeight = metrics.tmHeight + linePadding;
        }
        ::SelectObject(screen, previous);
        ::ReleaseDC(hwnd_, screen);
    }
    const int width = kStatusPanels * Scaled(kStatusPanelWidth) + ::GetSystemMetrics(SM_CXVSCROLL);
    const int height = Scaled(kStatusBarHeight) + kMinimumLines * lineHeight + 2 * ::GetSystemMetrics(SM_CYEDGE);
    return OuterSize(width, height, kMainStyle, kMainExStyle, true);
}

void MainWindow::OnGetMinMaxInfo(MINMAXINFO& limits) const
{
    if (minimumSize_.cx > 0) {
        limits.ptMinTrackSize = {minimumSize_.cx, minimumSize_.cy};
    }
}

void MainWindow::FormResize()
{
    SaveWindowPlacement(*this);
}

void MainWindow::OnListMouseLeft()
{
    // LvMouseLeave: a column width dragged in the header is saved now.
    Handle([&] { SaveColumnWidths(*this); });
}

void MainWindow::OnTimer(UINT_PTR timerId)
{
    if (reportOpen_) {
        return;
    }
    if (timerId == kTimer1) {
        // Timer1Timer: chooses Refresh1 the way the user would.
        Handle([&] { commands_.Choose(ID_REFRESH1); });
    } else if (timerId == kTimer2) {
        Handle([&] { Timer2Timer(); });
    }
}

void MainWindow::Timer2Timer()
{
    const auto texts = connections::StatusPanelTexts(connections::CountRows(list_));
    for (int i = 0; i < kStatusPanels; ++i) {
        ::SendMessageW(statusBar1_, SB_SETTEXTW, i, reinterpret_cast<LPARAM>(texts[static_cast<std::size_t>(i)].c_str()));
    }
}

void MainWindow::Refresh1Click()
{
    connections::RefreshRows(list_, startup_.ipHelper, StartPathPass(), ShowsIPv6());
}

void MainWindow::OnCommand(int commandId, bool fromShortcut)
{
    Handle([&] {
        if (fromShortcut) {
            commands_.ChooseByShortcut(commandId);
            ApplyPopupStates();
        } else {
            commands_.Choose(commandId);
        }
    });
}

LRESULT MainWindow::OnNotify(NMHDR& header)
{
    if (header.hwndFrom != lv_.hwnd()) {
        return 0;
    }
    switch (header.code) {
    case LVN_GETDISPINFOW:
        lv_.OnGetDisplayInfo(reinterpret_cast<NMLVDISPINFOW&>(header));
        return 0;
    case LVN_ITEMCHANGED:
        lv_.OnItemChanged(reinterpret_cast<NMLISTVIEW&>(header));
        return 0;
    case LVN_ODSTATECHANGED:
        lv_.OnRangeStateChanged(reinterpret_cast<NMLVODSTATECHANGE&>(header));
        return 0;
    case LVN_ODFINDITEMW:
        return lv_.OnFindItem(reinterpret_cast<NMLVFINDITEMW&>(header));
    case NM_CUSTOMDRAW:
        return LvAdvancedCustomDrawItem(reinterpret_cast<NMLVCUSTOMDRAW&>(header));
    default:
        return 0;
    }
}

LRESULT MainWindow::LvAdvancedCustomDrawItem(NMLVCUSTOMDRAW& draw)
{
    if (draw.nmcd.dwDrawStage == CDDS_PREPAINT) {
        return CDRF_NOTIFYITEMDRAW;
    }
    if (draw.nmcd.dwDrawStage == CDDS_ITEMPREPAINT) {
        util::RunHandler(hwnd_, [&] { lv_.OnItemPrePaint(draw); });
        return CDRF_NEWFONT;
    }
    return CDRF_DODEFAULT;
}

void MainWindow::OnContextMenu(HWND source, POINT screenPoint, bool fromKeyboard)
{
    if (source != lv_.hwnd() || !popupMenuResource_) {
        return;
    }
    Handle([&] { PopupMenu1Popup(); });
    if (fromKeyboard) {
        screenPoint = lv_.ContextMenuPointForKeyboard();
    }
    const HMENU popupMenu1 = ::GetSubMenu(popupMenuResource_.get(), 0);
    ::TrackPopupMenu(popupMenu1, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON, screenPoint.x, screenPoint.y,
                     0, hwnd_, nullptr);
}

void MainWindow::PopupMenu1Popup()
{
    commands_.UpdatePopupEnabling();
    ApplyPopupStates();
}

// Shows the controller's enabled and checked states on PopupMenu1's items,
// its separators included.
void MainWindow::ApplyPopupStates()
{
    const HMENU popupMenu1 = ::GetSubMenu(popupMenuResource_.get(), 0);
    const int count = ::GetMenuItemCount(popupMenu1);
    for (int position = 0; position < count; ++position) {
        const UINT id = ::GetMenuItemID(popupMenu1, position);
        const bool separator = id == 0 || id == static_cast<UINT>(-1);
        const bool enabled = separator ? commands_.SeparatorsEnabled() : commands_.IsEnabled(static_cast<int>(id));
        ::EnableMenuItem(popupMenu1, position, MF_BYPOSITION | (enabled ? MF_ENABLED : MF_GRAYED));
    }
    ::CheckMenuItem(popupMenu1, ID_DISABLE_AUTO_REFRESH1,
                    MF_BYCOMMAND | (commands_.IsChecked(ID_DISABLE_AUTO_REFRESH1) ? MF_CHECKED : MF_UNCHECKED));
}

void MainWindow::FormKeyPress(wchar_t key)
{
    if (key == kEscape) {
        commands_.Choose(ID_EXIT1);
    }
}

void MainWindow::SetRefreshTimerEnabled(bool enabled)
{
    if (enabled) {
        ::SetTimer(hwnd_, kTimer1, kTimer1Interval, nullptr);
    } else {
        ::KillTimer(hwnd_, kTimer1);
    }
}

void MainWindow::CloseMainWindow()
{
    ::PostMessageW(hwnd_, WM_CLOSE, 0, 0);
}

void MainWindow::OnClose()
{
    // A save the registry refuses is reported, and the window closes all the same.
    FormClose(*this, hwnd_);
    ::DestroyWindow(hwnd_);
}

RECT MainWindow::NormalBounds() const
{
    WINDOWPLACEMENT placement{};
    placement.length = sizeof(placement);
    ::GetWindowPlacement(hwnd_, &placement);
    return placement.rcNormalPosition;
}

int MainWindow::Width() const
{
    RECT rect{};
    if (::IsIconic(hwnd_) || !::IsWindowVisible(hwnd_)) {
        rect = NormalBounds();
    } else {
        ::GetWindowRect(hwnd_, &rect);
    }
    return rect.right - rect.left;
}

int MainWindow::Height() const
{
    RECT rect{};
    if (::IsIconic(hwnd_) || !::IsWindowVisible(hwnd_)) {
        rect = NormalBounds();
    } else {
        ::GetWindowRect(hwnd_, &rect);
    }
    return rect.bottom - rect.top;
}

WindowState MainWindow::State() const
{
    if (!::IsWindowVisible(hwnd_)) {
        return stateBeforeShow_;
    }
    if (::IsZoomed(hwnd_)) {
        return WindowState::Maximized;
    }
    return ::IsIconic(hwnd_) ? WindowState::Minimized : WindowState::Normal;
}

void MainWindow::SetState(WindowState state)
{
    if (!::IsWindowVisible(hwnd_)) {
        stateBeforeShow_ = state;
        return;
    }
    ::ShowWindow(hwnd_, state == WindowState::Maximized   ? SW_MAXIMIZE
                        : state == WindowState::Minimized ? SW_MINIMIZE
                                                          : SW_RESTORE);
}

void MainWindow::SetWidth(int width)
{
    ::SetWindowPos(hwnd_, nullptr, 0, 0, width, Height(), SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void MainWindow::SetHeight(int height)
{
    ::SetWindowPos(hwnd_, nullptr, 0, 0, Width(), height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

std::size_t MainWindow::ColumnCount() const
{
    const HWND header = reinterpret_cast<HWND>(::SendMessageW(lv_.hwnd(), LVM_GETHEADER, 0, 0));
    const LRESULT count = ::SendMessageW(header, HDM_GETITEMCOUNT, 0, 0);
    return count > 0 ? static_cast<std::size_t>(count) : 0;
}

int MainWindow::ColumnWidth(std::size_t column) const
{
    return static_cast<int>(::SendMessageW(lv_.hwnd(), LVM_GETCOLUMNWIDTH, column, 0));
}

void MainWindow::SetColumnWidth(std::size_t column, int width)
{
    ::SendMessageW(lv_.hwnd(), LVM_SETCOLUMNWIDTH, column, MAKELPARAM(width, 0));
}

int MainWindow::VirtualScreenWidth() const
{
    return ::GetSystemMetrics(SM_CXVIRTUALSCREEN);
}

int MainWindow::VirtualScreenHeight() const
{
    return ::GetSystemMetrics(SM_CYVIRTUALSCREEN);
}

void MainWindow::OnDestroy()
{
    ::KillTimer(hwnd_, kTimer1);
    ::KillTimer(hwnd_, kTimer2);
    ::PostQuitMessage(0);
}

} // namespace vq::ui
