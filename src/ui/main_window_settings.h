#pragma once

// What the stored settings (window_settings.h) read from and apply to the
// live main window and its list.

#include "platform/win32/windows_api.h"
#include "ui/connection_list_view.h"
#include "ui/window_settings.h"

namespace vq::ui {

class MainWindowSettings final : public SettingsWindow {
public:
    explicit MainWindowSettings(ConnectionListView& list) : list_(list) {}

    // The window, from its creation handler on.
    void Attach(HWND window) noexcept { window_ = window; }

    // The rectangle the window has when neither minimised nor maximised.
    RECT NormalBounds() const;
    // The first showing's command: the one given, unless the settings asked
    // for another state before the window showed.
    int FirstShowCommand(int given) const;

    // The outer size the window has, or returns to when minimised; the
    // state; the list's column widths.
    int Width() const override;
    int Height() const override;
    WindowState State() const override;
    void SetState(WindowState state) override;
    void SetWidth(int width) override;
    void SetHeight(int height) override;
    std::size_t ColumnCount() const override;
    bool KeepsColumnWidth(std::size_t column) const override;
    int ColumnWidth(std::size_t column) const override;
    void SetColumnWidth(std::size_t column, int width) override;
    int VirtualScreenWidth() const override;
    int VirtualScreenHeight() const override;

private:
    RECT OuterBounds() const;

    ConnectionListView& list_;
    HWND window_ = nullptr;
    // A state asked for before the window shows waits here.
    WindowState stateBeforeShow_ = WindowState::Normal;
};

} // namespace vq::ui
