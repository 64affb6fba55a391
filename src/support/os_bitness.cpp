#include "support/os_bitness.h"

#include "platform/system.h"
#include "support/resolve_system_proc.h"

namespace vq::support {

bool IsOs64Bit(const std::wstring& kernel32Path)
{
    // A 32-bit process under WOW64 sees only its own architecture through
    // GetSystemInfo; GetNativeSystemInfo tells the machine's.
    const platform::ProcAddress native = ResolveSystemProc(kernel32Path, "GetNativeSystemInfo");
    const std::uint16_t architecture = native != nullptr
                                           ? platform::NativeSystemInfoArchitecture(native)
                                           : platform::SystemInfoArchitecture();
    return architecture == kProcessorArchitectureIa64 || architecture == kProcessorArchitectureAmd64;
}

} // namespace vq::support
