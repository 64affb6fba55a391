#include "ui/connection_feed.h"

#include "platform/system.h"

namespace vq::ui {

ConnectionFeed::ConnectionFeed(connections::ConnectionList& list, const support::StartupState& startup)
    : list_(list), ipHelper_(startup.ipHelper), processPaths_(startup.system.kernel32Path)
{
}

connections::ProcessPathResolver ConnectionFeed::StartPathPass()
{
    processPaths_.BeginPass();
    return [this](std::uint32_t processId) { return processPaths_.Resolve(processId); };
}

void ConnectionFeed::Fill(bool withIPv6)
{
    const auto resolve = StartPathPass();
    const std::uint64_t now = platform::CurrentTime();
    connections::FillTcpRows(list_, ipHelper_, resolve, now);
    connections::FillUdpRows(list_, ipHelper_, resolve, now);
    if (withIPv6) {
        connections::FillIPv6Rows(list_, ipHelper_, resolve, now);
    }
}

void ConnectionFeed::Refresh(bool withIPv6)
{
    connections::RefreshRows(list_, ipHelper_, StartPathPass(), platform::CurrentTime(), withIPv6);
}

void ConnectionFeed::ShowIPv6(bool show)
{
    if (show) {
        connections::FillIPv6Rows(list_, ipHelper_, StartPathPass(), platform::CurrentTime());
    } else {
        connections::RemoveIPv6Rows(list_);
    }
}

} // namespace vq::ui
