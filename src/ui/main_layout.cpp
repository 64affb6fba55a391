#include "ui/main_layout.h"

#include "connections/row_counters.h"
#include "ui/base_window.h"

#include <commctrl.h>

#include <algorithm>

namespace vq::ui {
namespace {

constexpr int kStatusBarHeight = 19;
constexpr int kStatusPanelWidth = 145;
constexpr int kStatusPanels = 3;  // the counts; the filter's panel comes after them
constexpr int kFilterBarHeight = 22;

} // namespace

RECT MainLayout::InitialBounds()
{
    dpi_ = SystemDpi();
    return CentredOnDesktop(Scaled(kMainClientWidth), Scaled(kMainClientHeight), kMainStyle, kMainExStyle, true);
}

void MainLayout::Begin(HWND window)
{
    window_ = window;
    dpi_ = WindowDpi(window_);
    font_.reset(CreateTahoma(8, false, dpi_));
    ::SendMessageW(window_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
    minimumSize_ = MinimumSize();
}

int MainLayout::Scaled(int designSize) const
{
    return ScaleToDpi(designSize, dpi_);
}

void MainLayout::CreateStatusBar(HINSTANCE instance, int controlId)
{
    statusBar_ = ::CreateWindowExW(0, STATUSCLASSNAMEW, L"",
                                   WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP | CCS_NORESIZE | CCS_NOPARENTALIGN, 0,
                                   0, 0, 0, window_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(controlId)),
                                   instance, nullptr);
    ::SendMessageW(statusBar_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
    SetStatusPanels(kStatusPanels);
    ShowCounts({}, {});
}

// The count panels have one width; the filter's panel takes the rest.
void MainLayout::SetStatusPanels(int count)
{
    int edges[kStatusPanels + 1];
    for (int i = 0; i < kStatusPanels; ++i) {
        edges[i] = Scaled(kStatusPanelWidth) * (i + 1);
    }
    edges[kStatusPanels] = -1;
    ::SendMessageW(statusBar_, SB_SETPARTS, count, reinterpret_cast<LPARAM>(edges));
    statusPanels_ = count;
}

void MainLayout::ShowCounts(const connections::RowCounts& counts, const std::wstring& filterText)
{
    const int panels = filterText.empty() ? kStatusPanels : kStatusPanels + 1;
    if (panels != statusPanels_) {
        SetStatusPanels(panels);
    }
    const auto texts = connections::StatusPanelTexts(counts);
    for (int i = 0; i < kStatusPanels; ++i) {
        ::SendMessageW(statusBar_, SB_SETTEXTW, i,
                       reinterpret_cast<LPARAM>(texts[static_cast<std::size_t>(i)].c_str()));
    }
    if (!filterText.empty() && filterText != filterText_) {
        ::SendMessageW(statusBar_, SB_SETTEXTW, kStatusPanels, reinterpret_cast<LPARAM>(filterText.c_str()));
    }
    filterText_ = filterText;
}

void MainLayout::Arrange(HWND filterBar, HWND list, int clientWidth, int clientHeight)
{
    const int statusHeight = Scaled(kStatusBarHeight);
    const int barHeight = ::IsWindowVisible(filterBar) ? Scaled(kFilterBarHeight) : 0;
    const int listTop = std::min(barHeight, clientHeight);
    const int listHeight = std::max(clientHeight - statusHeight - listTop, 0);
    if (barHeight != 0) {
        ::MoveWindow(filterBar, 0, 0, clientWidth, barHeight, TRUE);
    }
    ::MoveWindow(list, 0, listTop, clientWidth, listHeight, TRUE);
    ::MoveWindow(statusBar_, 0, listTop + listHeight, clientWidth, statusHeight, TRUE);
    // Under Wine a status bar moved by a maximise or a restore stays unpainted
    // until one of its texts changes; it is redrawn whole after every move.
    ::RedrawWindow(statusBar_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME);
}

void MainLayout::Rearrange(HWND filterBar, HWND list)
{
    RECT client{};
    if (::GetClientRect(window_, &client)) {
        Arrange(filterBar, list, client.right, client.bottom);
    }
}

void MainLayout::ChangeDpi(int dpi, HWND filterBar, HWND list)
{
    dpi_ = dpi > 0 ? dpi : kDesignDpi;
    platform::win32::UniqueHfont font(CreateTahoma(8, false, dpi_));
    for (const HWND control : {window_, filterBar, list, statusBar_}) {
        ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), TRUE);
    }
    font_ = std::move(font);
    SetStatusPanels(statusPanels_);
    minimumSize_ = MinimumSize();
}

// No smaller than the status bar's three panels (and its size grip) beside
// each other, over the list's header and a few rows, each about a line of
// the list's font high. Worked out once, when the font is made: the limit is
// asked for at every step of a resize.
SIZE MainLayout::MinimumSize() const
{
    constexpr int kMinimumLines = 4;  // the header and three rows
    const int linePadding = Scaled(6);  // a row's margin and grid line
    int lineHeight = Scaled(16);
    if (const HDC screen = ::GetDC(window_)) {
        const HGDIOBJ previous = ::SelectObject(screen, font_.get());
        TEXTMETRICW metrics{};
        if (::GetTextMetricsW(screen, &metrics)) {
            lineHeight = metrics.tmHeight + linePadding;
        }
        ::SelectObject(screen, previous);
        ::ReleaseDC(window_, screen);
    }
    const int width = kStatusPanels * Scaled(kStatusPanelWidth) + ::GetSystemMetrics(SM_CXVSCROLL);
    const int height = Scaled(kStatusBarHeight) + kMinimumLines * lineHeight + 2 * ::GetSystemMetrics(SM_CYEDGE);
    return OuterSize(width, height, kMainStyle, kMainExStyle, true);
}

void MainLayout::LimitTrackSize(MINMAXINFO& limits) const
{
    if (minimumSize_.cx > 0) {
        limits.ptMinTrackSize = {minimumSize_.cx, minimumSize_.cy};
    }
}

} // namespace vq::ui
