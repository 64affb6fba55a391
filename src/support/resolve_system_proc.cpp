#include "support/resolve_system_proc.h"

namespace vq::support {

platform::ProcAddress ResolveSystemProc(const std::wstring& modulePath, const std::string& name)
{
    platform::ModuleHandle module = platform::GetModuleHandle(modulePath);

    // The allocation base is the module base even when the handle was tagged
    // (as a data-file mapping is); a partial answer leaves the handle as it is.
    const platform::MemoryRegionQuery region = platform::VirtualQuery(module);
    platform::ModuleHandle base =
        region.returnedLength == region.fullLength && region.fullLength != 0 ? region.allocationBase
                                                                             : module;

    platform::ProcAddress address = nullptr;
    if (platform::LdrGetProcedureAddress(base, name, 0, &address) == platform::kStatusSuccess) {
        return address;
    }
    return platform::GetProcAddress(base, name);
}

} // namespace vq::support
