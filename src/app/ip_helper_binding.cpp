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

platform::OwnerModuleLookUps BindOwnerModuleLookUps()
{
    // The library start-up loaded: this only counts it once more, and it stays.
    const platform::ModuleHandle library = platform::LoadSystemLibrary(L"iphlpapi.dll");
    platform::OwnerModuleLookUps lookUps;
    if (library == nullptr) {
        return lookUps;
    }
    const auto lookUp = [&](const char* name) {
        return reinterpret_cast<platform::GetOwnerModuleFn>(platform::GetProcAddress(library, name));
    };
    lookUps.fromTcpEntry = lookUp("GetOwnerModuleFromTcpEntry");
    lookUps.fromTcp6Entry = lookUp("GetOwnerModuleFromTcp6Entry");
    lookUps.fromUdpEntry = lookUp("GetOwnerModuleFromUdpEntry");
    lookUps.fromUdp6Entry = lookUp("GetOwnerModuleFromUdp6Entry");
    return lookUps;
}

} // namespace vq::app
