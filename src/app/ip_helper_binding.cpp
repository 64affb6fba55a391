#include "app/ip_helper_binding.h"

#include "platform/system.h"

namespace vq::app {

platform::IpHelperEntryPoints BindIpHelper()
{
    // Never freed: the entry points are used until the program ends.
    const platform::ModuleHandle library = platform::LoadSystemLibrary(L"iphlpapi.dll");
    platform::IpHelperEntryPoints entryPoints;
    if (library == nullptr) {
        return entryPoints;
    }
    entryPoints.getExtendedTcpTable = reinterpret_cast<platform::GetExtendedTableFn>(
        platform::GetProcAddress(library, "GetExtendedTcpTable"));
    entryPoints.getExtendedUdpTable = reinterpret_cast<platform::GetExtendedTableFn>(
        platform::GetProcAddress(library, "GetExtendedUdpTable"));
    entryPoints.setTcpEntry = reinterpret_cast<platform::SetTcpEntryFn>(
        platform::GetProcAddress(library, "SetTcpEntry"));
    return entryPoints;
}

} // namespace vq::app
