#pragma once

// The host fake of platform/registry.h: the current user's hive as a map of
// keys and values (type and raw bytes), switches that refuse opens, creates
// and writes, and a call log.
//
// Log lines name the keys they hand out ("key1", "key2", ...):
//   RegCreateKeyExW Software\Quarvel\Velquist access=0xf003f -> key1
//   RegOpenKeyExW Software\Quarvel\Velquist access=0x20019 -> 5
//   RegQueryValueExW key1 Width -> 0 type=4 length=4
//   RegSetValueExW key1 Width type=4 length=4 -> 0
//   RegCloseKey key1
// A refused or failed open or create ends in "-> " and its status.

#include "platform/registry.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace vq::fake {

struct StoredValue {
    std::uint32_t type = platform::kRegDword;
    std::vector<std::uint8_t> data;
};

using RegistryValues = std::map<std::wstring, StoredValue>;

struct FakeRegistry {
    // Keys by their path from the hive's root ("Software\Quarvel"), with their values.
    std::map<std::wstring, RegistryValues> keys;
    std::vector<std::string> log;

    bool createRefused = false;                 // RegCreateKeyExW answers access denied
    std::set<std::uint32_t> refusedOpenAccess;  // RegOpenKeyExW refuses these access masks
    bool writesRefused = false;                 // every RegSetValueExW answers access denied
    std::set<std::wstring> refusedWrites;       // RegSetValueExW refuses these value names

    // Plants a value under a key, creating the key and its parents.
    void Plant(const std::wstring& key, const std::wstring& name, std::uint32_t type,
               std::vector<std::uint8_t> data);
    void PlantDword(const std::wstring& key, const std::wstring& name, std::int32_t value);
    void PlantText(const std::wstring& key, const std::wstring& name, const std::wstring& text);

    // The value as a signed 32-bit number, when it exists as a 4-byte REG_DWORD.
    std::optional<std::int32_t> Dword(const std::wstring& key, const std::wstring& name) const;

    // How many log lines begin with prefix.
    std::size_t Count(const std::string& prefix) const;
    // Keys handed out and not yet closed.
    std::size_t OpenCount() const;
};

// The one instance of the test binary; ResetRegistry() forgets every key,
// open handle and switch.
FakeRegistry& Registry();
void ResetRegistry();

} // namespace vq::fake
