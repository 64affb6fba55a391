#pragma once

// The View menu's options. Each is a check item of the command controller,
// stored with the window's settings: its mark is loaded before the first
// fill, and choosing the item applies and stores the new mark.

#include "ui/command_controller.h"
#include "ui/connection_feed.h"

namespace vq::ui {

class ViewOptions {
public:
    ViewOptions(CommandController& commands, ConnectionFeed& feed);

    // Sets the marks the settings store, without choosing the items. A
    // stored value that cannot be read fails with util::AppError, and its
    // option keeps its mark.
    void Load();

    // "Show IPv6 Endpoints": whether the list shows the IPv6 tables too.
    bool ShowsIPv6() const;
    // After its mark flipped: the IPv6 rows come or go at once, and the
    // choice is stored for the next start.
    void ApplyShowIPv6();

private:
    CommandController& commands_;
    ConnectionFeed& feed_;
};

} // namespace vq::ui
