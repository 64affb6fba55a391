#pragma once

// The View menu's options. Each is a check item of the command controller,
// stored with the window's settings: its mark is loaded before the first
// fill, and choosing the item applies and stores the new mark. The options
// that hide rows and the filter bar's text together make the list's filter.

#include "connections/connection_list.h"
#include "resource.h"
#include "ui/command_controller.h"
#include "ui/connection_feed.h"

#include <functional>
#include <string>

namespace vq::ui {

class ViewOptions {
public:
    ViewOptions(CommandController& commands, ConnectionFeed& feed, connections::ConnectionList& list);

    // Sets the marks the settings store, without choosing the items, and
    // gives the list the filter and highlighting they make. Each stored
    // value is read inside its own call of run(step), so that one that
    // cannot be read fails with util::AppError on its own; its option keeps
    // its mark.
    using ReportedStep = std::function<void(const std::function<void()>& step)>;
    void Load(const ReportedStep& run);

    // "Show IPv6 Endpoints": whether the list shows the IPv6 tables too.
    bool ShowsIPv6() const;
    // After its mark flipped: the IPv6 rows come or go at once, and the
    // choice is stored for the next start.
    void ApplyShowIPv6();

    // "Filter Bar": whether the filter bar shows.
    bool ShowsFilterBar() const;
    // After its mark flipped: stored; a bar that goes takes its text, and so
    // the filter, with it.
    void ApplyFilterBar();

    // After the mark of "Show Unconnected Endpoints" or "Show Waiting
    // Connections" flipped: the rows they hide go or come back at once, and
    // the choice is stored.
    void ApplyShowUnconnected();
    void ApplyShowWaiting();

    // "Highlight Changes": after its mark flipped, the list marks what
    // refreshes change (or drops every mark and closed row), and the choice
    // is stored.
    bool HighlightsChanges() const;
    void ApplyHighlightChanges();

    // The View menu's "Columns": which optional columns the list shows.
    connections::OptionalColumns ShownOptionalColumns() const;
    // After the mark of "Service" or "Created" (commandId) flipped: the
    // column comes or goes at once, its cells filled in from a read of the
    // tables, and the choice is stored.
    void ApplyShownColumns(int commandId);

    // The "Refresh Interval" chosen, in milliseconds.
    unsigned RefreshInterval() const;
    // After another interval was chosen: stored.
    void ApplyRefreshInterval();

    // The filter bar's text (never stored): the list shows only the rows
    // that pass it, read as a query (RowFilter).
    void SetFilterText(std::wstring text);
    const std::wstring& FilterText() const { return filterText_; }

private:
    // A stored interval that is none of the items' leaves "2 seconds".
    void LoadRefreshInterval();
    void SaveOption(int commandId);
    void ApplyFilter();

    CommandController& commands_;
    ConnectionFeed& feed_;
    connections::ConnectionList& list_;
    std::wstring filterText_;
};

} // namespace vq::ui
