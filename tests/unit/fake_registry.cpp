#include "fake_registry.h"

#include <algorithm>
#include <cstring>
#include <sstream>

namespace vq::fake {
namespace {

struct HeldKeys {
    std::map<std::uintptr_t, std::wstring> open;  // handle value -> key path
    std::uintptr_t next = 1;
};

FakeRegistry g_registry;
HeldKeys g_held;

std::string Ascii(const std::wstring& text)
{
    std::string ascii;
    for (const wchar_t c : text) {
        ascii += c < 0x80 ? static_cast<char>(c) : '?';
    }
    return ascii;
}

std::string KeyName(platform::RegistryKey key)
{
    return "key" + std::to_string(static_cast<std::uintptr_t>(key));
}

// The key and each of its parents.
void CreateWithParents(const std::wstring& path)
{
    for (std::size_t end = path.find(L'\\'); end != std::wstring::npos; end = path.find(L'\\', end + 1)) {
        g_registry.keys.try_emplace(path.substr(0, end));
    }
    g_registry.keys.try_emplace(path);
}

platform::RegistryKey HandOut(const std::wstring& path)
{
    const auto key = static_cast<platform::RegistryKey>(g_held.next++);
    g_held.open[static_cast<std::uintptr_t>(key)] = path;
    return key;
}

// The values of an open key, or null for a handle the fake never gave out.
RegistryValues* ValuesOf(platform::RegistryKey key)
{
    const auto held = g_held.open.find(static_cast<std::uintptr_t>(key));
    if (held == g_held.open.end()) {
        return nullptr;
    }
    const auto found = g_registry.keys.find(held->second);
    return found == g_registry.keys.end() ? nullptr : &found->second;
}

std::string OpenCall(const std::string& call, const std::wstring& path, std::uint32_t access)
{
    std::ostringstream line;
    line << call << ' ' << Ascii(path) << " access=0x" << std::hex << access;
    return line.str();
}

} // namespace

void FakeRegistry::Plant(const std::wstring& key, const std::wstring& name, std::uint32_t type,
                         std::vector<std::uint8_t> data)
{
    CreateWithParents(key);
    keys[key][name] = StoredValue{type, std::move(data)};
}

void FakeRegistry::PlantDword(const std::wstring& key, const std::wstring& name, std::int32_t value)
{
    const auto bits = static_cast<std::uint32_t>(value);
    Plant(key, name, platform::kRegDword,
          {static_cast<std::uint8_t>(bits), static_cast<std::uint8_t>(bits >> 8),
           static_cast<std::uint8_t>(bits >> 16), static_cast<std::uint8_t>(bits >> 24)});
}

void FakeRegistry::PlantText(const std::wstring& key, const std::wstring& name, const std::wstring& text)
{
    // UTF-16LE with its terminator, as the registry stores a REG_SZ.
    std::vector<std::uint8_t> data;
    for (const wchar_t c : text + L'\0') {
        data.push_back(static_cast<std::uint8_t>(c & 0xFF));
        data.push_back(static_cast<std::uint8_t>((c >> 8) & 0xFF));
    }
    Plant(key, name, platform::kRegSz, std::move(data));
}

std::optional<std::int32_t> FakeRegistry::Dword(const std::wstring& key, const std::wstring& name) const
{
    const auto foundKey = keys.find(key);
    if (foundKey == keys.end()) {
        return std::nullopt;
    }
    const auto found = foundKey->second.find(name);
    if (found == foundKey->second.end() || found->second.type != platform::kRegDword ||
        found->second.data.size() != 4) {
        return std::nullopt;
    }
    const auto& bytes = found->second.data;
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
                                     static_cast<std::uint32_t>(bytes[2]) << 16 |
                                     static_cast<std::uint32_t>(bytes[3]) << 24);
}

std::size_t FakeRegistry::Count(const std::string& prefix) const
{
    return static_cast<std::size_t>(
        std::count_if(log.begin(), log.end(), [&](const std::string& line) { return line.rfind(prefix, 0) == 0; }));
}

std::size_t FakeRegistry::OpenCount() const
{
    return g_held.open.size();
}

FakeRegistry& Registry()
{
    return g_registry;
}

void ResetRegistry()
{
    g_registry = FakeRegistry{};
    g_held = HeldKeys{};
}

} // namespace vq::fake

namespace vq::platform {

using fake::g_held;
using fake::g_registry;

std::int32_t RegCreateKeyEx(const std::wstring& subKey, std::uint32_t access, RegistryKey* key)
{
    const std::string call = fake::OpenCall("RegCreateKeyExW", subKey, access);
    *key = kNoRegistryKey;
    if (g_registry.createRefused || subKey.empty() || subKey.front() == L'\\') {
        // A path from the root must not begin with a backslash: ERROR_BAD_PATHNAME.
        const std::int32_t status = g_registry.createRefused ? kErrorAccessDenied : 161;
        g_registry.log.push_back(call + " -> " + std::to_string(status));
        return status;
    }
    fake::CreateWithParents(subKey);
    *key = fake::HandOut(subKey);
    g_registry.log.push_back(call + " -> " + fake::KeyName(*key));
    return kErrorSuccess;
}

std::int32_t RegOpenKeyEx(const std::wstring& subKey, std::uint32_t access, RegistryKey* key)
{
    const std::string call = fake::OpenCall("RegOpenKeyExW", subKey, access);
    *key = kNoRegistryKey;
    std::int32_t status = kErrorSuccess;
    if (g_registry.refusedOpenAccess.count(access) != 0) {
        status = kErrorAccessDenied;
    } else if (g_registry.keys.count(subKey) == 0) {
        status = kErrorFileNotFound;
    }
    if (status != kErrorSuccess) {
        g_registry.log.push_back(call + " -> " + std::to_string(status));
        return status;
    }
    *key = fake::HandOut(subKey);
    g_registry.log.push_back(call + " -> " + fake::KeyName(*key));
    return kErrorSuccess;
}

RegistryValueQuery RegQueryValueEx(RegistryKey key, const std::wstring& name)
{
    RegistryValueQuery query;
    const fake::RegistryValues* values = fake::ValuesOf(key);
    const auto found = values == nullptr ? fake::RegistryValues::const_iterator{} : values->find(name);
    if (values == nullptr) {
        query.status = 6;  // ERROR_INVALID_HANDLE
    } else if (found == values->end()) {
        query.status = kErrorFileNotFound;
    } else {
        query.type = found->second.type;
        query.length = static_cast<std::uint32_t>(found->second.data.size());
        if (found->second.data.size() > query.data.size()) {
            query.status = kErrorMoreData;
        } else {
            query.status = kErrorSuccess;
            std::copy(found->second.data.begin(), found->second.data.end(), query.data.begin());
        }
    }
    g_registry.log.push_back("RegQueryValueExW " + fake::KeyName(key) + " " + fake::Ascii(name) + " -> " +
                             std::to_string(query.status) + " type=" + std::to_string(query.type) +
                             " length=" + std::to_string(query.length));
    return query;
}

std::int32_t RegSetValueEx(RegistryKey key, const std::wstring& name, std::uint32_t type,
                           const std::uint8_t* data, std::uint32_t length)
{
    fake::RegistryValues* values = fake::ValuesOf(key);
    std::int32_t status = kErrorSuccess;
    if (values == nullptr) {
        status = 6;  // ERROR_INVALID_HANDLE
    } else if (g_registry.writesRefused || g_registry.refusedWrites.count(name) != 0) {
        status = kErrorAccessDenied;
    } else {
        (*values)[name] = fake::StoredValue{type, std::vector<std::uint8_t>(data, data + length)};
    }
    g_registry.log.push_back("RegSetValueExW " + fake::KeyName(key) + " " + fake::Ascii(name) + " type=" +
                             std::to_string(type) + " length=" + std::to_string(length) + " -> " +
                             std::to_string(status));
    return status;
}

void RegCloseKey(RegistryKey key) noexcept
{
    const auto held = g_held.open.find(static_cast<std::uintptr_t>(key));
    if (held == g_held.open.end()) {
        g_registry.log.push_back("RegCloseKey unknown");
        return;
    }
    g_held.open.erase(held);
    g_registry.log.push_back("RegCloseKey " + fake::KeyName(key));
}

} // namespace vq::platform
