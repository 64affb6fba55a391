#include "ui/window_settings.h"

#include "connections/list_columns.h"
#include "platform/registry.h"
#include "util/error_report.h"

#include <cstdint>
#include <optional>

namespace vq::ui {
namespace {

using platform::UniqueRegistryKey;

constexpr wchar_t kFailedToGetData[] = L"Failed to get data for '%s'";
constexpr wchar_t kInvalidDataType[] = L"Invalid data type for '%s'";
constexpr wchar_t kFailedToSetData[] = L"Failed to set data for '%s'";

constexpr std::uint32_t kDwordLength = 4;

// The key's path as the registry calls take it: from the hive's root,
// without the leading backslash.
std::wstring KeyPath()
{
    return std::wstring(kSettingsKey + 1);
}

util::AppError ValueError(const wchar_t* format, const std::wstring& name)
{
    std::wstring message = format;
    message.replace(message.find(L"%s"), 2, name);
    return util::AppError(std::move(message));
}

UniqueRegistryKey CreateForAllAccess()
{
    UniqueRegistryKey key;
    if (platform::RegCreateKeyEx(KeyPath(), platform::kKeyAllAccess, key.put()) != platform::kErrorSuccess) {
        key.reset();
    }
    return key;
}

// Reading needs no more than the value queries: each refused access is
// followed by a smaller one.
UniqueRegistryKey OpenForReading()
{
    constexpr std::uint32_t kAccesses[] = {platform::kKeyRead, platform::kKeyRead & ~platform::kKeyNotify,
                                           platform::kKeyQueryValue};
    for (const std::uint32_t access : kAccesses) {
        UniqueRegistryKey key;
        if (platform::RegOpenKeyEx(KeyPath(), access, key.put()) == platform::kErrorSuccess) {
            return key;
        }
    }
    return {};
}

// The stored number, or nothing when the value does not exist.
std::optional<std::int32_t> ReadDword(const UniqueRegistryKey& key, const std::wstring& name)
{
    const platform::RegistryValueQuery query = platform::RegQueryValueEx(key.get(), name);
    if (query.status == platform::kErrorFileNotFound) {
        return std::nullopt;
    }
    if (query.status != platform::kErrorSuccess) {
        throw ValueError(kFailedToGetData, name);
    }
    // A REG_DWORD of fewer than 4 bytes holds no 32-bit number either.
    if (query.type != platform::kRegDword || query.length != kDwordLength) {
        throw ValueError(kInvalidDataType, name);
    }
    const auto& bytes = query.data;
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(bytes[0]) |
                                     static_cast<std::uint32_t>(bytes[1]) << 8 |
                                     static_cast<std::uint32_t>(bytes[2]) << 16 |
                                     static_cast<std::uint32_t>(bytes[3]) << 24);
}

void WriteDword(const UniqueRegistryKey& key, const std::wstring& name, std::int32_t value)
{
    const auto bits = static_cast<std::uint32_t>(value);
    const std::uint8_t bytes[kDwordLength] = {static_cast<std::uint8_t>(bits), static_cast<std::uint8_t>(bits >> 8),
                                              static_cast<std::uint8_t>(bits >> 16),
                                              static_cast<std::uint8_t>(bits >> 24)};
    if (platform::RegSetValueEx(key.get(), name, platform::kRegDword, bytes, kDwordLength) !=
        platform::kErrorSuccess) {
        throw ValueError(kFailedToSetData, name);
    }
}

// The list reads column widths as signed 16-bit numbers (-1 and -2 mean
// "size to the contents"): anything wider turns into another width.
constexpr std::int32_t kWidestColumn = 32767;

// A stored size the window or a column can use; a screen of unknown extent
// sets no upper bound.
bool IsUsableSize(std::int32_t size, int screenExtent)
{
    if (size <= 0) {
        return false;
    }
    return screenExtent <= 0 ||
           static_cast<std::int64_t>(size) <= static_cast<std::int64_t>(kMaxScreensPerStoredSize) * screenExtent;
}

std::optional<WindowState> ToWindowState(std::int32_t stored)
{
    switch (stored) {
    case static_cast<int>(WindowState::Normal):
        return WindowState::Normal;
    case static_cast<int>(WindowState::Minimized):
        return WindowState::Minimized;
    case static_cast<int>(WindowState::Maximized):
        return WindowState::Maximized;
    default:
        return std::nullopt;
    }
}

} // namespace

std::wstring ColumnValueName(std::size_t column)
{
    switch (column) {
    case connections::kServiceColumn:
        return L"ListView_Column_Service";
    case connections::kCreatedColumn:
        return L"ListView_Column_Created";
    default:
        return L"ListView_Column_" + std::to_wstring(column);
    }
}

void SaveWindowPlacement(const SettingsWindow& window)
{
    const UniqueRegistryKey key = CreateForAllAccess();
    if (!key) {
        return;
    }
    WriteDword(key, kWidthValue, window.Width());
    WriteDword(key, kHeightValue, window.Height());
    WriteDword(key, kStateValue, static_cast<std::int32_t>(window.State()));
}

void LoadWindowPlacement(SettingsWindow& window)
{
    std::optional<WindowState> state;
    std::optional<std::int32_t> width;
    std::optional<std::int32_t> height;
    {
        const UniqueRegistryKey key = OpenForReading();
        if (!key) {
            return;
        }
        if (const auto stored = ReadDword(key, kStateValue)) {
            state = ToWindowState(*stored);
        }
        // A maximised window keeps its built-in normal size: the stored size
        // is the maximised one.
        if (state.value_or(window.State()) != WindowState::Maximized) {
            width = ReadDword(key, kWidthValue);
            height = ReadDword(key, kHeightValue);
        }
    }
    // Everything is read (and the key closed) before the first change, whose
    // resize event saves the placement.
    if (state) {
        window.SetState(*state);
    }
    if (window.State() == WindowState::Maximized) {
        return;
    }
    if (width && IsUsableSize(*width, window.VirtualScreenWidth())) {
        window.SetWidth(*width);
    }
    if (height && IsUsableSize(*height, window.VirtualScreenHeight())) {
        window.SetHeight(*height);
    }
}

void SaveColumnWidths(const SettingsWindow& window)
{
    const UniqueRegistryKey key = CreateForAllAccess();
    if (!key) {
        return;
    }
    for (std::size_t column = 0; column < window.ColumnCount(); ++column) {
        if (window.KeepsColumnWidth(column)) {
            WriteDword(key, ColumnValueName(column), window.ColumnWidth(column));
        }
    }
}

void LoadColumnWidths(SettingsWindow& window)
{
    const UniqueRegistryKey key = CreateForAllAccess();
    if (!key) {
        return;
    }
    for (std::size_t column = 0; column < window.ColumnCount(); ++column) {
        const auto width = ReadDword(key, ColumnValueName(column));
        if (width && *width <= kWidestColumn && IsUsableSize(*width, window.VirtualScreenWidth())) {
            window.SetColumnWidth(column, *width);
        }
    }
}

bool LoadViewOption(const wchar_t* name, bool onByDefault)
{
    const auto stored = LoadViewNumber(name);
    if (!stored) {
        return onByDefault;
    }
    return onByDefault ? *stored != 0 : *stored == 1;
}

void SaveViewOption(const wchar_t* name, bool on)
{
    SaveViewNumber(name, on ? 1 : 0);
}

std::optional<std::int32_t> LoadViewNumber(const wchar_t* name)
{
    const UniqueRegistryKey key = OpenForReading();
    return key ? ReadDword(key, name) : std::nullopt;
}

void SaveViewNumber(const wchar_t* name, std::int32_t value)
{
    const UniqueRegistryKey key = CreateForAllAccess();
    if (key) {
        WriteDword(key, name, value);
    }
}

void SaveSettingsOnClose(const SettingsWindow& window, void* owner) noexcept
{
    util::RunHandler(owner, [&] { SaveColumnWidths(window); });
}

} // namespace vq::ui
