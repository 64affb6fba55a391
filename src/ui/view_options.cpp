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
    {ID_HIGHLIGHT_CHANGES, kHighlightChangesValue, false},
    {ID_SHOW_SERVICE_COLUMN, kShowServiceColumnValue, false},
    {ID_SHOW_CREATED_COLUMN, kShowCreatedColumnValue, false},
};

// The "Refresh Interval" items and their periods.
struct IntervalItem {
    int commandId;
    unsigned milliseconds;
};

constexpr IntervalItem kIntervals[] = {
    {ID_REFRESH_EVERY_1_SECOND, 1000},
    {ID_REFRESH_EVERY_2_SECONDS, 2000},
    {ID_REFRESH_EVERY_5_SECONDS, 5000},
    {ID_REFRESH_EVERY_10_SECONDS, 10000},
};
constexpr unsigned kDefaultInterval = 2000;

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

void ViewOptions::Load(const ReportedStep& run)
{
    for (const StoredOption& option : kOptionValues) {
        run([&] { commands_.SetChecked(option.commandId, LoadViewOption(option.value, option.onByDefault)); });
    }
    run([&] { LoadRefreshInterval(); });
    run([&] {
        ApplyFilter();
        list_.SetHighlighting(HighlightsChanges());
        list_.SetShownColumns(ShownOptionalColumns());
    });
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

bool ViewOptions::HighlightsChanges() const
{
    return commands_.IsChecked(ID_HIGHLIGHT_CHANGES);
}

void ViewOptions::ApplyHighlightChanges()
{
    list_.SetHighlighting(HighlightsChanges());
    SaveOption(ID_HIGHLIGHT_CHANGES);
}

connections::OptionalColumns ViewOptions::ShownOptionalColumns() const
{
    return {commands_.IsChecked(ID_SHOW_SERVICE_COLUMN), commands_.IsChecked(ID_SHOW_CREATED_COLUMN)};
}

void ViewOptions::ApplyShownColumns(int commandId)
{
    list_.SetShownColumns(ShownOptionalColumns());
    feed_.CompleteOrigins(ShowsIPv6());
    SaveOption(commandId);
}

void ViewOptions::LoadRefreshInterval()
{
    const auto stored = LoadViewNumber(kRefreshIntervalValue);
    unsigned milliseconds = kDefaultInterval;
    for (const IntervalItem& item : kIntervals) {
        if (stored && *stored == static_cast<std::int32_t>(item.milliseconds)) {
            milliseconds = item.milliseconds;
        }
    }
    for (const IntervalItem& item : kIntervals) {
        commands_.SetChecked(item.commandId, item.milliseconds == milliseconds);
    }
}

unsigned ViewOptions::RefreshInterval() const
{
    for (const IntervalItem& item : kIntervals) {
        if (commands_.IsChecked(item.commandId)) {
            return item.milliseconds;
        }
    }
    return kDefaultInterval;
}

void ViewOptions::ApplyRefreshInterval()
{
    SaveViewNumber(kRefreshIntervalValue, static_cast<std::int32_t>(RefreshInterval()));
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
