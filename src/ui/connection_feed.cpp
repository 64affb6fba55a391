#include "ui/connection_feed.h"

#include "app/ip_helper_binding.h"
#include "platform/services.h"

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

connections::ServiceResolver ConnectionFeed::StartServicePass()
{
    if (!list_.ShowsService()) {
        return {};
    }
    if (!services_) {
        services_.emplace(app::BindOwnerModuleLookUps(), [] { return platform::RunningServices(); });
    }
    services_->BeginPass();
    return [this](const connections::ServiceQuery& query) { return services_->Resolve(query); };
}

void ConnectionFeed::Fill(bool withIPv6)
{
    const auto resolve = StartPathPass();
    const auto services = StartServicePass();
    connections::FillTcpRows(list_, ipHelper_, resolve, &tableRooms_, services);
    connections::FillUdpRows(list_, ipHelper_, resolve, &tableRooms_, services);
    if (withIPv6) {
        connections::FillIPv6Rows(list_, ipHelper_, resolve, &tableRooms_, services);
    }
}

void ConnectionFeed::Refresh(bool withIPv6)
{
    connections::RefreshRows(list_, ipHelper_, StartPathPass(), withIPv6, &tableRooms_, StartServicePass());
}

void ConnectionFeed::CompleteOrigins(bool withIPv6)
{
    connections::CompleteRowOrigins(list_, ipHelper_, StartPathPass(), StartServicePass(), withIPv6);
}

void ConnectionFeed::ShowIPv6(bool show)
{
    if (show) {
        connections::FillIPv6Rows(list_, ipHelper_, StartPathPass(), &tableRooms_, StartServicePass());
    } else {
        connections::RemoveIPv6Rows(list_);
        tableRooms_.tcp6 = {};
        tableRooms_.udp6 = {};
    }
}

} // namespace vq::ui
