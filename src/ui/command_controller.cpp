#include "ui/command_controller.h"

#include "connections/connection_row.h"
#include "platform/process.h"
#include "resource.h"

#include <algorithm>
#include <optional>

namespace vq::ui {
namespace {

using connections::ConnectionList;

// What an enabling rule looks at: the list and its selected row.
struct MenuContext {
    const ConnectionList& list;
    std::optional<std::size_t> selected;
};

struct EnablingRule {
    std::vector<int> items;
    bool (*enabled)(const MenuContext& context);
};

bool AnySelected(const MenuContext& context)
{
    return context.selected.has_value();
}

// The system closes IPv4 connections only: a selection of IPv6 rows alone
// offers nothing to close.
bool AnySelectedClosable(const MenuContext& context)
{
    return context.list.AnySelectedWithProtocol([](connections::Protocol protocol) {
        return !connections::IsIPv6(protocol);
    });
}

bool Always(const MenuContext&)
{
    return true;
}

bool HasRows(const MenuContext& context)
{
    return !context.list.empty();
}

bool SelectedProcessCanEnd(const MenuContext& context)
{
    if (!context.selected) {
        return false;
    }
    const std::uint32_t processId = context.list.EndpointOf(*context.selected).processId;
    return processId != platform::kIdleProcessId && processId != platform::kSystemProcessId;
}

// A row whose process path could not be read (no file name, or the folder
// "\" of a process that was opened but not read) offers nothing that needs
// the file: it would act on a folder or the drive root instead.
bool SelectedProcessHasFile(const MenuContext& context)
{
    if (!context.selected) {
        return false;
    }
    const connections::ProcessEntry& process = context.list.Facts(*context.selected).process;
    return !process.folder.empty() && process.folder != L"\\" && !process.caption->text.empty();
}

// Applied in order; a later rule overrides an earlier one.
const std::vector<EnablingRule>& EnablingRules()
{
    static const std::vector<EnablingRule> rules = {
        {CommandController::PopupItems(), AnySelected},
        {{ID_REFRESH, ID_DISABLE_AUTO_REFRESH}, Always},
        {{ID_SAVE_REPORT, ID_SAVE_CSV}, HasRows},
        {{ID_CLOSE_SELECTED_CONNECTIONS}, AnySelectedClosable},
        {{ID_CLOSE_ALL_CONNECTIONS}, HasRows},
        {{ID_TERMINATE_PROCESS}, SelectedProcessCanEnd},
        {{ID_LOCATE_PROCESS_FILE, ID_SEARCH_PROCESS_HASH,
          ID_CHECK_PROCESS_HASH_REPUTATION, ID_SHOW_PROCESS_PROPERTIES},
         SelectedProcessHasFile},
    };
    return rules;
}

bool Contains(const std::vector<int>& ids, int id)
{
    return std::find(ids.begin(), ids.end(), id) != ids.end();
}

} // namespace

CommandController::CommandController(connections::ConnectionList& list, WindowActions& window)
    : list_(list), window_(window)
{
    for (const int id : PopupItems()) {
        popupEnabled_[id] = true;
    }
    checked_[ID_DISABLE_AUTO_REFRESH] = false;
    checked_[ID_SHOW_IPV6_ENDPOINTS] = false;
    checked_[ID_FILTER_BAR] = false;
    checked_[ID_SHOW_UNCONNECTED] = true;
    checked_[ID_SHOW_WAITING] = true;
    checked_[ID_HIGHLIGHT_CHANGES] = false;
    checked_[ID_SHOW_SERVICE_COLUMN] = false;
    checked_[ID_SHOW_CREATED_COLUMN] = false;
    for (const int id : RefreshIntervalItems()) {
        checked_[id] = id == ID_REFRESH_EVERY_2_SECONDS;
    }
}

const std::vector<int>& CommandController::PopupItems()
{
    static const std::vector<int> items = {
        ID_REFRESH,
        ID_DISABLE_AUTO_REFRESH,
        ID_TERMINATE_PROCESS,
        ID_CLOSE_SELECTED_CONNECTIONS,
        ID_CLOSE_PROCESS_CONNECTIONS,
        ID_CLOSE_ALL_CONNECTIONS,
        ID_SHOW_PROCESS_PROPERTIES,
        ID_LOCATE_PROCESS_FILE,
        ID_SEARCH_PROCESS_HASH,
        ID_CHECK_PROCESS_HASH_REPUTATION,
        ID_SEARCH_REMOTE_ADDRESS,
        ID_SEARCH_REMOTE_PORT,
        ID_OPEN_IP_BLACKLIST_CHECK,
        ID_OPEN_IP_GEOLOCATION,
        ID_OPEN_IP_WHOIS,
        ID_COPY_REMOTE_ADDRESS,
        ID_COPY_SELECTED_ROWS,
        ID_SAVE_REPORT,
        ID_SAVE_CSV,
    };
    return items;
}

const std::vector<int>& CommandController::MainMenuItems()
{
    static const std::vector<int> items = {
        ID_OPEN_CHANGELOG,      ID_OPEN_EULA,  ID_EXIT,
        ID_FIND,                ID_FIND_NEXT,  ID_SELECT_ALL,
        ID_SHOW_IPV6_ENDPOINTS, ID_FILTER_BAR, ID_SHOW_UNCONNECTED,
        ID_SHOW_WAITING,        ID_SHOW_SERVICE_COLUMN, ID_SHOW_CREATED_COLUMN, ID_HIGHLIGHT_CHANGES,
        ID_REFRESH_EVERY_1_SECOND, ID_REFRESH_EVERY_2_SECONDS, ID_REFRESH_EVERY_5_SECONDS,
        ID_REFRESH_EVERY_10_SECONDS, ID_OPEN_HOMEPAGE, ID_SHOW_ABOUT,
    };
    return items;
}

const std::vector<int>& CommandController::RefreshIntervalItems()
{
    static const std::vector<int> items = {ID_REFRESH_EVERY_1_SECOND, ID_REFRESH_EVERY_2_SECONDS,
                                           ID_REFRESH_EVERY_5_SECONDS, ID_REFRESH_EVERY_10_SECONDS};
    return items;
}

void CommandController::SetHandler(int commandId, std::function<void()> handler)
{
    handlers_[commandId] = std::move(handler);
}

void CommandController::UpdatePopupEnabling()
{
    const MenuContext context{list_, list_.FirstSelected()};
    for (const auto& rule : EnablingRules()) {
        const bool enabled = rule.enabled(context);
        for (const int id : rule.items) {
            popupEnabled_[id] = enabled;
        }
    }
    separatorsEnabled_ = AnySelected(context);
}

bool CommandController::IsEnabled(int commandId) const
{
    const auto found = popupEnabled_.find(commandId);
    if (found != popupEnabled_.end()) {
        return found->second;
    }
    return Contains(MainMenuItems(), commandId);
}

bool CommandController::IsChecked(int commandId) const
{
    const auto found = checked_.find(commandId);
    return found != checked_.end() && found->second;
}

void CommandController::SetChecked(int commandId, bool checked)
{
    if (const auto found = checked_.find(commandId); found != checked_.end()) {
        found->second = checked;
    }
}

bool CommandController::Choose(int commandId)
{
    if (!IsEnabled(commandId)) {
        return false;
    }
    if (Contains(RefreshIntervalItems(), commandId)) {
        for (const int id : RefreshIntervalItems()) {
            checked_[id] = id == commandId;
        }
    } else if (const auto check = checked_.find(commandId); check != checked_.end()) {
        check->second = !check->second;
    }
    const auto handler = handlers_.find(commandId);
    if (handler != handlers_.end() && handler->second) {
        const auto run = handler->second;  // the handler may replace itself
        run();
    }
    if (commandId == ID_DISABLE_AUTO_REFRESH) {
        window_.SetRefreshTimerEnabled(!IsChecked(ID_DISABLE_AUTO_REFRESH));
    } else if (commandId == ID_EXIT) {
        window_.CloseMainWindow();
    }
    return true;
}

bool CommandController::ChooseByShortcut(int commandId)
{
    UpdatePopupEnabling();
    return Choose(commandId);
}

} // namespace vq::ui
