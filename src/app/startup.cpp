#include "app/startup.h"

#include "app/ip_helper_binding.h"
#include "platform/system.h"
#include "util/privileges.h"

namespace vq::app {
namespace {

[[noreturn]] void Refuse(const wchar_t* text)
{
    // No window exists yet: no owner, and the platform's default title.
    platform::MessageBox(nullptr, text, nullptr, platform::kMbOk | platform::kMbIconError);
    platform::ExitProcess(0);
}

} // namespace

support::StartupState RunStartup(const StartupOptions& options)
{
    util::EnableAllPrivileges(0, 255);

    support::StartupState state;
    state.system = support::StartSupportLayer();

    if (options.refuseOn64BitOs && state.system.os64Bit) {
        Refuse(kRefusal64BitOs);
    }
    state.ipHelper = BindIpHelper();
    if (state.ipHelper.getExtendedTcpTable == nullptr) {
        Refuse(kRefusalUnsupportedOs);
    }
    util::EnableAllPrivileges(0, 100);
    return state;
}

} // namespace vq::app
