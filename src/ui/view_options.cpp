#include "ui/view_options.h"

#include "ui/window_settings.h"

namespace vq::ui {
namespace {

struct StoredOption {
    int commandId;
    const wchar_t* value;
    bool onByDefault;
};

constexpr StoredOption kOptionValues[] = {
    {ID_SHOW_IPV6_ENDPOINTS, kShowIPv6Value, false},
    {ID_FILTER_BAR, kFilterBarValue, false},
    {ID_SHOW_UNCONNECTED, kShowUnconnectedValue, true},
    {ID_SHOW_WAITING, kShowWaitingValue, true},
};

const StoredOption& OptionOf(int commandId)
{
    for (const StoredOption& option : kOptionValues) {
        if (option.commandId == commandId) {
            return option;
        }
    }
    return kOptionValues[0];
}

} // namespace

ViewOptions::ViewOptions(CommandController& commands, ConnectionFeed& feed, connections::ConnectionList& list)
    : commands_(commands), feed_(feed), list_(list)
{
}

void ViewOptions::LoadOption(int commandId)
{
    const StoredOption& option = OptionOf(commandId);
    commands_.SetChecked(commandId, LoadViewOption(option.value, option.onByDefault));
}

void ViewOptions::SaveOption(int commandId)
{
    SaveViewOption(OptionOf(commandId).value, commands_.IsChecked(commandId));
}

bool ViewOptions::ShowsIPv6() const
{
    return commands_.IsChecked(ID_SHOW_IPV6_ENDPOINTS);
}

void ViewOptions::ApplyShowIPv6()
{
    feed_.ShowIPv6(ShowsIPv6());
    SaveOption(ID_SHOW_IPV6_ENDPOINTS);
}

bool ViewOptions::ShowsFilterBar() const
{
    return commands_.IsChecked(ID_FILTER_BAR);
}

void ViewOptions::ApplyFilterBar()
{
    if (!ShowsFilterBar() && !filterText_.empty()) {
        filterText_.clear();
        ApplyFilter();
    }
    SaveOption(ID_FILTER_BAR);
}

void ViewOptions::ApplyShowUnconnected()
{
    ApplyFilter();
    SaveOption(ID_SHOW_UNCONNECTED);
}

void ViewOptions::ApplyShowWaiting()
{
    ApplyFilter();
    SaveOption(ID_SHOW_WAITING);
}

void ViewOptions::SetFilterText(std::wstring text)
{
    if (text == filterText_) {
        return;
    }
    filterText_ = std::move(text);
    ApplyFilter();
}

void ViewOptions::ApplyFilter()
{
    connections::RowFilter filter(filterText_);
    filter.ShowUnconnected(commands_.IsChecked(ID_SHOW_UNCONNECTED));
    filter.ShowWaiting(commands_.IsChecked(ID_SHOW_WAITING));
    list_.SetFilter(std::move(filter));
}

} // namespace vq::ui
