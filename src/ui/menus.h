#pragma once

// The menus as the command controller has them: which items are enabled and
// which carry a check mark. The controller decides; these only show it.

#include "platform/win32/unique_win32.h"
#include "ui/command_controller.h"

namespace vq::ui {

// Shows the controller's check marks on the menu bar's items.
void ShowMenuBarChecks(HWND window, const CommandController& commands);

// The list's context menu, loaded once from the resources.
class ContextMenu {
public:
    void Load(HINSTANCE instance, int resourceId);
    bool IsLoaded() const noexcept { return static_cast<bool>(resource_); }

    // Shows the controller's last evaluation and check marks on the items,
    // its separators included.
    void ShowStates(const CommandController& commands) const;

    // Shows the menu at a screen point; the chosen item reaches owner as a
    // menu command.
    void Track(HWND owner, POINT screenPoint) const;

private:
    HMENU Items() const;

    platform::win32::UniqueHmenu resource_;
};

} // namespace vq::ui
