#pragma once

// The commands of both menus and their enabling, in one place and without a
// window: the main window forwards menu choices, shortcuts and timer ticks
// here, and host tests drive the same paths.

#include "connections/connection_list.h"

#include <functional>
#include <map>
#include <vector>

namespace vq::ui {

// What a command needs from the window; the window implements it, tests fake it.
class WindowActions {
public:
    virtual ~WindowActions() = default;
    virtual void SetRefreshTimerEnabled(bool enabled) = 0;
    virtual void CloseMainWindow() = 0;
};

class CommandController {
public:
    CommandController(connections::ConnectionList& list, WindowActions& window);

    // The handler that runs when an item is chosen (RefreshNow, ...). An
    // item without one does nothing when chosen, apart from the built-in
    // actions of "Disable Auto-Refresh" and "Exit", which run after it.
    void SetHandler(int commandId, std::function<void()> handler);

    // As the context menu opens: evaluates the enabling rules for every item
    // of the context menu, in order, each later rule overriding an earlier one.
    void UpdatePopupEnabling();
    // The last evaluation for a context-menu item (every item starts
    // enabled); main-menu items are always enabled; unknown ids never.
    bool IsEnabled(int commandId) const;
    // Rule 1 at the last evaluation: the separators of the context menu are
    // enabled exactly when a row was selected (they start enabled).
    bool SeparatorsEnabled() const { return separatorsEnabled_; }
    // The check marks of "Disable Auto-Refresh" and of the View menu's "Show
    // IPv6 Endpoints" and "Filter Bar" (these start cleared), "Show
    // Unconnected Endpoints" and "Show Waiting Connections" (these start
    // checked), "Highlight Changes" (cleared), and of the "Refresh Interval"
    // items, of which one is checked ("2 seconds" at first); false for other
    // ids.
    bool IsChecked(int commandId) const;
    // Sets a check item's mark without choosing it (a stored option at
    // start-up); ignored for other ids.
    void SetChecked(int commandId, bool checked);

    // Chooses an item, the same way for the menu, the timer and Esc: a
    // disabled or unknown item does nothing; a check item flips its mark
    // first (a "Refresh Interval" item takes the mark from the others); then the handler runs; then "Disable Auto-Refresh" enables the
    // refresh timer exactly when it is unchecked, and "Exit" closes the main
    // window. Answers whether the item was chosen. A handler's failure
    // travels to the caller.
    bool Choose(int commandId);
    // A shortcut (Ctrl+R, Ctrl+D, Ctrl+C, Ctrl+S, and the View menu's Ctrl+F,
    // F3, Ctrl+A and Ctrl+E): the enabling rules run
    // first, then the item is chosen if it came out enabled.
    bool ChooseByShortcut(int commandId);

    // The context menu's command ids, top to bottom (separators have none).
    static const std::vector<int>& PopupItems();
    // The menu bar's command ids, top to bottom.
    static const std::vector<int>& MainMenuItems();
    // The items of the View menu's "Refresh Interval", shortest first.
    static const std::vector<int>& RefreshIntervalItems();

private:
    connections::ConnectionList& list_;
    WindowActions& window_;
    std::map<int, std::function<void()>> handlers_;
    std::map<int, bool> popupEnabled_;
    bool separatorsEnabled_ = true;
    std::map<int, bool> checked_;
};

} // namespace vq::ui
