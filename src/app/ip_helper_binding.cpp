#include "app/ip_helper_binding.h"

#include "platform/system.h"

namespace vq::app {

platform::IpHelperEntryPoints BindIpHelper()
{
    // By its full path in the system folder: the program runs elevated, and a
    // file of that name beside it or in the current folder must never load.
    const platform::ModuleHandle library =
        platform::LoadLibraryEx(platform::GetSystemDirectory() + L"\\iphlpapi.dll", 0);
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
