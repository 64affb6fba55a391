#include "ui/menus.h"

namespace vq::ui {
namespace {

UINT CheckFlag(bool checked)
{
    return checked ? MF_CHECKED : MF_UNCHECKED;
}

} // namespace

void ShowMenuBarChecks(HWND window, const CommandController& commands)
{
    const HMENU menuBar = ::GetMenu(window);
    for (const int id : CommandController::MainMenuItems()) {
        ::CheckMenuItem(menuBar, static_cast<UINT>(id), MF_BYCOMMAND | CheckFlag(commands.IsChecked(id)));
    }
    // The intervals are a choice of one: a bullet marks the chosen one.
    const std::vector<int>& intervals = CommandController::RefreshIntervalItems();
    for (const int id : intervals) {
        if (commands.IsChecked(id)) {
            ::CheckMenuRadioItem(menuBar, static_cast<UINT>(intervals.front()), static_cast<UINT>(intervals.back()),
                                 static_cast<UINT>(id), MF_BYCOMMAND);
        }
    }
}

void ContextMenu::Load(HINSTANCE instance, int resourceId)
{
    resource_.reset(::LoadMenuW(instance, MAKEINTRESOURCEW(resourceId)));
}

HMENU ContextMenu::Items() const
{
    return ::GetSubMenu(resource_.get(), 0);
}

void ContextMenu::ShowStates(const CommandController& commands) const
{
    const HMENU items = Items();
    const int count = ::GetMenuItemCount(items);
    for (int position = 0; position < count; ++position) {
        const UINT id = ::GetMenuItemID(items, position);
        const bool separator = id == 0 || id == static_cast<UINT>(-1);
        const bool enabled = separator ? commands.SeparatorsEnabled() : commands.IsEnabled(static_cast<int>(id));
        ::EnableMenuItem(items, position, MF_BYPOSITION | (enabled ? MF_ENABLED : MF_GRAYED));
        if (!separator) {
            ::CheckMenuItem(items, position, MF_BYPOSITION | CheckFlag(commands.IsChecked(static_cast<int>(id))));
        }
    }
}

void ContextMenu::Track(HWND owner, POINT screenPoint) const
{
    ::TrackPopupMenu(Items(), TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON, screenPoint.x, screenPoint.y, 0, owner,
                     nullptr);
}

} // namespace vq::ui
