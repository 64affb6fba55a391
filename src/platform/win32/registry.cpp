#include "platform/registry.h"

#include "platform/win32/windows_api.h"

namespace vq::platform {
namespace {

HKEY ToHkey(RegistryKey key)
{
    return reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(key));
}

RegistryKey FromHkey(HKEY key)
{
    return static_cast<RegistryKey>(reinterpret_cast<std::uintptr_t>(key));
}

} // namespace

std::int32_t RegCreateKeyEx(const std::wstring& subKey, std::uint32_t access, RegistryKey* key)
{
    HKEY opened = nullptr;
    const LONG status = ::RegCreateKeyExW(HKEY_CURRENT_USER, subKey.c_str(), 0, nullptr, 0, access,
                                          nullptr, &opened, nullptr);
    *key = status == ERROR_SUCCESS ? FromHkey(opened) : kNoRegistryKey;
    return static_cast<std::int32_t>(status);
}

std::int32_t RegOpenKeyEx(const std::wstring& subKey, std::uint32_t access, RegistryKey* key)
{
    HKEY opened = nullptr;
    const LONG status = ::RegOpenKeyExW(HKEY_CURRENT_USER, subKey.c_str(), 0, access, &opened);
    *key = status == ERROR_SUCCESS ? FromHkey(opened) : kNoRegistryKey;
    return static_cast<std::int32_t>(status);
}

RegistryValueQuery RegQueryValueEx(RegistryKey key, const std::wstring& name)
{
    RegistryValueQuery query;
    DWORD type = 0;
    DWORD length = static_cast<DWORD>(query.data.size());
    query.status = static_cast<std::int32_t>(
        ::RegQueryValueExW(ToHkey(key), name.c_str(), nullptr, &type, query.data.data(), &length));
    query.type = type;
    query.length = length;
    return query;
}

std::int32_t RegSetValueEx(RegistryKey key, const std::wstring& name, std::uint32_t type,
                           const std::uint8_t* data, std::uint32_t length)
{
    return static_cast<std::int32_t>(::RegSetValueExW(ToHkey(key), name.c_str(), 0, type, data, length));
}

void RegCloseKey(RegistryKey key) noexcept
{
    ::RegCloseKey(ToHkey(key));
}

} // namespace vq::platform
