#pragma once

// The current user's registry hive: opening a key, reading and writing
// 32-bit values. Every caller opens the key itself and owns it through
// UniqueRegistryKey until it returns.

#include "unique_handle.h"

#include <array>
#include <cstdint>
#include <string>

namespace vq::platform {

// An open key (an HKEY on Windows); a type of its own so that it cannot be
// passed for another handle.
enum class RegistryKey : std::uintptr_t {};
inline constexpr RegistryKey kNoRegistryKey{0};

// Access rights.
inline constexpr std::uint32_t kKeyQueryValue = 0x0001;
inline constexpr std::uint32_t kKeyNotify = 0x0010;
inline constexpr std::uint32_t kKeyRead = 0x20019;
inline constexpr std::uint32_t kKeyAllAccess = 0xF003F;

// Value types.
inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegBinary = 3;
inline constexpr std::uint32_t kRegDword = 4;
inline constexpr std::uint32_t kRegQword = 11;

// Status codes the callers tell apart.
inline constexpr std::int32_t kErrorSuccess = 0;
inline constexpr std::int32_t kErrorFileNotFound = 2;
inline constexpr std::int32_t kErrorAccessDenied = 5;
inline constexpr std::int32_t kErrorMoreData = 234;

// RegCreateKeyExW under HKEY_CURRENT_USER with no class, options 0 and no
// security attributes: opens subKey (a path from the hive's root, without a
// leading backslash), creating it and any missing parent. Answers the
// status; on success *key holds the open key.
std::int32_t RegCreateKeyEx(const std::wstring& subKey, std::uint32_t access, RegistryKey* key);

// RegOpenKeyExW under HKEY_CURRENT_USER: opens an existing key. Answers the
// status; on success *key holds the open key.
std::int32_t RegOpenKeyEx(const std::wstring& subKey, std::uint32_t access, RegistryKey* key);

// What RegQueryValueExW answered for a value read into a 4-byte buffer.
struct RegistryValueQuery {
    std::int32_t status = kErrorFileNotFound;  // kErrorMoreData: the data is longer than 4 bytes
    std::uint32_t type = 0;
    std::uint32_t length = 0;  // bytes of data: those stored on success, those needed on more data
    std::array<std::uint8_t, 4> data{};  // valid for the first length bytes on success
};
RegistryValueQuery RegQueryValueEx(RegistryKey key, const std::wstring& name);

// RegSetValueExW: creates or replaces the value. Answers the status.
std::int32_t RegSetValueEx(RegistryKey key, const std::wstring& name, std::uint32_t type,
                           const std::uint8_t* data, std::uint32_t length);

void RegCloseKey(RegistryKey key) noexcept;

struct RegistryKeyTraits {
    using Pointer = RegistryKey;
    static constexpr Pointer Invalid() noexcept { return kNoRegistryKey; }
    static void Close(Pointer key) noexcept { RegCloseKey(key); }
};
using UniqueRegistryKey = UniqueAny<RegistryKeyTraits>;

} // namespace vq::platform
