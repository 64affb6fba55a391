#pragma once

// The View menu's options. Each is a check item of the command controller,
// stored with the window's settings: its mark is loaded before the first
// fill, and choosing the item applies and stores the new mark. The options
// that hide rows and the filter bar's text together make the list's filter.

#include "connections/connection_list.h"
#include "resource.h"
#include "ui/command_controller.h"
#include "ui/connection_feed.h"

#include <string>

namespace vq::ui {

class ViewOptions {
public:
    ViewOptions(CommandController& commands, ConnectionFeed& feed, connections::ConnectionList& list);

    // Sets the marks the settings store, without choosing the items, and
    // gives the list the filter they make. Each option is read inside its
    // own call of run(read), so that a stored value that cannot be read
    // fails with util::AppError on its own; that option keeps its mark.
    template <typename Run>
    void Load(Run&& run)
    {
        for (const int option : kStoredOptions) {
            run([&] { LoadOption(option); });
        }
        run([&] { LoadRefreshInterval(); });
        run([&] {
            ApplyFilter();
            list_.SetHighlighting(HighlightsChanges());
        });
    }

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

    // The "Refresh Interval" chosen, in milliseconds.
    unsigned RefreshInterval() const;
    // After another interval was chosen: stored.
    void ApplyRefreshInterval();

    // The filter bar's text (never stored): the list shows only the rows
    // that pass it, read as a query (RowFilter).
    void SetFilterText(std::wstring text);
    const std::wstring& FilterText() const { return filterText_; }

private:
    static constexpr int kStoredOptions[] = {ID_SHOW_IPV6_ENDPOINTS, ID_FILTER_BAR, ID_SHOW_UNCONNECTED,
                                             ID_SHOW_WAITING, ID_HIGHLIGHT_CHANGES};

    void LoadOption(int commandId);
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
