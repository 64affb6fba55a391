#include "ui/main_window.h"

#include "resource.h"
#include "util/error_report.h"

namespace vq::ui {
namespace {

constexpr DWORD kMainStyle = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
constexpr DWORD kMainExStyle = WS_EX_APPWINDOW;
constexpr wchar_t kEscape = 27;

} // namespace

MainWindow::MainWindow(const app::StartupState& startup) : startup_(startup) {}

template <typename Handler>
void MainWindow::Handle(Handler&& handler)
{
    util::RunHandler(hwnd_, std::forward<Handler>(handler));
}

bool MainWindow::Create(HINSTANCE instance, int showCommand)
{
    const auto icon = static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCEW(IDI_APPLICATION_ICON),
                                                      IMAGE_ICON, 0, 0, LR_DEFAULTSIZE | LR_SHARED));
    if (!RegisterWindowClass(instance, kMainWindowClass, icon,
                             reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1))) {
        return false;
    }
    const RECT bounds =
        CentredOnDesktop(kMainClientWidth, kMainClientHeight, kMainStyle, kMainExStyle, false);
    if (CreateWindowFor(instance, kMainWindowClass, kMainWindowCaption, kMainStyle, kMainExStyle,
                        bounds, nullptr, nullptr) == nullptr) {
        return false;
    }
    ::ShowWindow(hwnd_, showCommand);
    ::UpdateWindow(hwnd_);
    return true;
}

bool MainWindow::PreviewMessage(const MSG& message)
{
    if (!keyPreview_ || message.message != WM_CHAR || hwnd_ == nullptr ||
        (message.hwnd != hwnd_ && !::IsChild(hwnd_, message.hwnd))) {
        return false;
    }
    const auto key = static_cast<wchar_t>(message.wParam);
    Handle([&] { FormKeyPress(key); });
    return key == kEscape;
}

LRESULT MainWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        OnCreate();
        return 0;
    case WM_TIMER:
        OnTimer(static_cast<UINT_PTR>(wParam));
        return 0;
    case WM_CLOSE:
        OnClose();
        return 0;
    case WM_DESTROY:
        OnDestroy();
        return 0;
    default:
        return DefaultProc(message, wParam, lParam);
    }
}

void MainWindow::OnCreate()
{
    font_.reset(CreateTahoma(8, false));
    ::SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
    ::SetTimer(hwnd_, kTimer2, kTimer2Interval, nullptr);
    // A failure ends the creation handler at the failing step; the window
    // is still created and shown.
    Handle([&] { FormCreate(); });
}

void MainWindow::FormCreate()
{
    tcpSnapshot_.clear();
    udpSnapshot_.clear();
    ::SetTimer(hwnd_, kTimer1, kTimer1Interval, nullptr);
    keyPreview_ = true;
}

void MainWindow::OnTimer(UINT_PTR timerId)
{
    if (timerId == kTimer1) {
        Handle([&] { Timer1Timer(); });
    } else if (timerId == kTimer2) {
        Handle([&] { Timer2Timer(); });
    }
}

void MainWindow::Timer1Timer()
{
    Refresh1Click();
}

void MainWindow::Timer2Timer() {}

void MainWindow::Refresh1Click()
{
    // Each take is consumed by the synchronisation of the list; between
    // refreshes both snapshots are empty.
    if (connections::TakeTcpSnapshot(startup_.ipHelper, tcpSnapshot_)) {
        tcpSnapshot_.clear();
    }
    if (connections::TakeUdpSnapshot(startup_.ipHelper, udpSnapshot_)) {
        udpSnapshot_.clear();
    }
}

void MainWindow::FormKeyPress(wchar_t key)
{
    if (key == kEscape) {
        Exit1Click();
    }
}

void MainWindow::Exit1Click()
{
    ::PostMessageW(hwnd_, WM_CLOSE, 0, 0);
}

void MainWindow::OnClose()
{
    ::DestroyWindow(hwnd_);
}

void MainWindow::OnDestroy()
{
    ::KillTimer(hwnd_, kTimer1);
    ::KillTimer(hwnd_, kTimer2);
    ::PostQuitMessage(0);
}

} // namespace vq::ui
