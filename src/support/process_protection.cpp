#include "support/process_protection.h"

#include "platform/process.h"
#include "platform/system.h"

namespace vq::support {
namespace {

constexpr std::uint32_t kFirstVersionWithProtectedProcesses = 6;
constexpr std::uint32_t kIsProtectedProcess = 0x1;

} // namespace

bool IsProcessProtected(std::uint32_t processId)
{
    if ((platform::GetVersion() & 0xFF) < kFirstVersionWithProtectedProcesses) {
        return false;
    }
    platform::UniqueProcess process =
        platform::OpenProcess(platform::kProcessQueryLimitedInformation, processId);
    if (!process) {
        return false;
    }
    std::uint32_t flags = 0;
    const std::uint32_t status = platform::QueryExtendedBasicInformation(process.get(), &flags);
    const bool isProtected =
        status == platform::kStatusSuccess && (flags & kIsProtectedProcess) != 0;

    // A handle the system no longer knows is not closed again.
    if (!platform::GetHandleInformation(process.get())) {
        static_cast<void>(process.release());
    }
    return isProtected;
}

} // namespace vq::support
