#include "support/support_startup.h"

#include "platform/process.h"
#include "platform/system.h"
#include "support/os_bitness.h"

namespace vq::support {

SystemFacts StartSupportLayer()
{
    SystemFacts facts;
    facts.kernel32Path = platform::GetSystemDirectory() + L"\\kernel32.dll";
    facts.os64Bit = IsOs64Bit(facts.kernel32Path);
    bool wasEnabled = false;
    platform::RtlAdjustPrivilege(kDebugPrivilege, true, false, &wasEnabled);
    return facts;
}

} // namespace vq::support
