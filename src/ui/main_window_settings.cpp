#include "ui/main_window_settings.h"

namespace vq::ui {

RECT MainWindowSettings::NormalBounds() const
{
    WINDOWPLACEMENT placement{};
    placement.length = sizeof(placement);
    ::GetWindowPlacement(window_, &placement);
    return placement.rcNormalPosition;
}

int MainWindowSettings::FirstShowCommand(int given) const
{
    switch (stateBeforeShow_) {
    case WindowState::Maximized:
        return SW_SHOWMAXIMIZED;
    case WindowState::Minimized:
        return SW_SHOWMINIMIZED;
    case WindowState::Normal:
        break;
    }
    return given;
}

// A minimised or hidden window measures the size it returns to.
RECT MainWindowSettings::OuterBounds() const
{
    if (::IsIconic(window_) || !::IsWindowVisible(window_)) {
        return NormalBounds();
    }
    RECT rect{};
    ::GetWindowRect(window_, &rect);
    return rect;
}

int MainWindowSettings::Width() const
{
    const RECT rect = OuterBounds();
    return rect.right - rect.left;
}

int MainWindowSettings::Height() const
{
    const RECT rect = OuterBounds();
    return rect.bottom - rect.top;
}

WindowState MainWindowSettings::State() const
{
    if (!::IsWindowVisible(window_)) {
        return stateBeforeShow_;
    }
    if (::IsZoomed(window_)) {
        return WindowState::Maximized;
    }
    return ::IsIconic(window_) ? WindowState::Minimized : WindowState::Normal;
}

void MainWindowSettings::SetState(WindowState state)
{
    if (!::IsWindowVisible(window_)) {
        stateBeforeShow_ = state;
        return;
    }
    ::ShowWindow(window_, state == WindowState::Maximized   ? SW_MAXIMIZE
                          : state == WindowState::Minimized ? SW_MINIMIZE
                                                            : SW_RESTORE);
}

void MainWindowSettings::SetWidth(int width)
{
    ::SetWindowPos(window_, nullptr, 0, 0, width, Height(), SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void MainWindowSettings::SetHeight(int height)
{
    ::SetWindowPos(window_, nullptr, 0, 0, Width(), height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

std::size_t MainWindowSettings::ColumnCount() const
{
    return list_.ColumnCount();
}

bool MainWindowSettings::KeepsColumnWidth(std::size_t column) const
{
    return list_.KeepsColumnWidth(column);
}

int MainWindowSettings::ColumnWidth(std::size_t column) const
{
    return list_.ColumnWidth(column);
}

void MainWindowSettings::SetColumnWidth(std::size_t column, int width)
{
    list_.SetColumnWidth(column, width);
}

int MainWindowSettings::VirtualScreenWidth() const
{
    return ::GetSystemMetrics(SM_CXVIRTUALSCREEN);
}

int MainWindowSettings::VirtualScreenHeight() const
{
    return ::GetSystemMetrics(SM_CYVIRTUALSCREEN);
}

} // namespace vq::ui
