#include "ui/view_options.h"

#include "resource.h"
#include "ui/window_settings.h"

namespace vq::ui {

ViewOptions::ViewOptions(CommandController& commands, ConnectionFeed& feed) : commands_(commands), feed_(feed) {}

void ViewOptions::Load()
{
    commands_.SetChecked(ID_SHOW_IPV6_ENDPOINTS, LoadShowIPv6());
}

bool ViewOptions::ShowsIPv6() const
{
    return commands_.IsChecked(ID_SHOW_IPV6_ENDPOINTS);
}

void ViewOptions::ApplyShowIPv6()
{
    feed_.ShowIPv6(ShowsIPv6());
    SaveShowIPv6(ShowsIPv6());
}

} // namespace vq::ui
