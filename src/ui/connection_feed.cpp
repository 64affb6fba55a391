#include "ui/connection_feed.h"

namespace vq::ui {

ConnectionFeed::ConnectionFeed(connections::ConnectionList& list, const support::StartupState& startup)
    : list_(list), ipHelper_(startup.ipHelper), processPaths_(startup.system.kernel32Path)
{
}

connections::ProcessPathResolver ConnectionFeed::StartPathPass()
{
    processPaths_.BeginPass();
    return [this](std::uint32_t processId) {
        connections::OwningProcess owner;
        owner.path = processPaths_.Resolve(processId, &owner.startTime);
        return owner;
    };
}

void ConnectionFeed::Fill(bool withIPv6)
{
    const auto resolve = StartPathPass();
    connections::FillTcpRows(list_, ipHelper_, resolve, &tableRooms_);
    connections::FillUdpRows(list_, ipHelper_, resolve, &tableRooms_);
    if (withIPv6) {
        connections::FillIPv6Rows(list_, ipHelper_, resolve, &tableRooms_);
    }
}

void ConnectionFeed::Refresh(bool withIPv6)
{
    connections::RefreshRows(list_, ipHelper_, StartPathPass(), withIPv6, &tableRooms_);
}

void ConnectionFeed::ShowIPv6(bool show)
{
    if (show) {
        connections::FillIPv6Rows(list_, ipHelper_, StartPathPass(), &tableRooms_);
    } else {
        connections::RemoveIPv6Rows(list_);
        tableRooms_.tcp6 = {};
        tableRooms_.udp6 = {};
    }
}

} // namespace vq::ui
