// The window-settings loaders over stored values of any type and length,
// with keys that cannot be opened, writes that are refused and screens of
// any extent.

#include "fake_platform.h"
#include "fake_registry.h"
#include "fuzz_common.h"
#include "ui/window_settings.h"
#include "util/error_report.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vq {
namespace {

using fake::Registry;
using fuzz::Check;
using fuzz::Fail;
using ui::WindowState;

constexpr wchar_t kKey[] = L"Software\\Quarvel\\Velquist";
constexpr int kWidestColumn = 32767;

struct Change {
    enum Kind { State, Width, Height, Column } kind;
    int value;
    std::size_t column = 0;
};

// The main window as the settings see it: every size or state change saves
// the placement at once, as its resize event does.
class FuzzWindow : public ui::SettingsWindow {
public:
    int Width() const override { return state_ == WindowState::Maximized ? 1936 : width_; }
    int Height() const override { return state_ == WindowState::Maximized ? 1056 : height_; }
    WindowState State() const override { return state_; }

    void SetState(WindowState state) override
    {
        changes.push_back({Change::State, static_cast<int>(state)});
        state_ = state;
        Resized();
    }
    void SetWidth(int width) override
    {
        changes.push_back({Change::Width, width});
        width_ = width;
        Resized();
    }
    void SetHeight(int height) override
    {
        changes.push_back({Change::Height, height});
        height_ = height;
        Resized();
    }

    std::size_t ColumnCount() const override { return columns.size(); }
    int ColumnWidth(std::size_t column) const override { return columns.at(column); }
    void SetColumnWidth(std::size_t column, int width) override
    {
        changes.push_back({Change::Column, width, column});
        columns.at(column) = width;
    }

    int VirtualScreenWidth() const override { return screenWidth; }
    int VirtualScreenHeight() const override { return screenHeight; }

    std::vector<int> columns;
    int screenWidth = 0;
    int screenHeight = 0;
    std::vector<Change> changes;
    WindowState state_ = WindowState::Normal;

private:
    void Resized()
    {
        util::RunHandler(this, [this] { ui::SaveWindowPlacement(*this); });
    }

    int width_ = 1014;
    int height_ = 598;
};

// What a value held before the loads ran: its number when it is a 4-byte
// REG_DWORD.
std::optional<std::int32_t> StoredDword(const std::wstring& name)
{
    return Registry().Dword(kKey, name);
}

void PlantValue(FuzzedDataProvider& data, const std::wstring& name)
{
    constexpr std::array<std::uint32_t, 5> kTypes = {platform::kRegDword, platform::kRegSz, platform::kRegBinary,
                                                     platform::kRegQword, 0};
    const std::uint8_t how = data.ConsumeIntegral<std::uint8_t>();
    if ((how & 3) == 0) {
        return;  // no such value
    }
    std::uint32_t type = platform::kRegDword;
    std::size_t length = 4;
    if ((how & 4) != 0) {
        type = kTypes[(how >> 3) % kTypes.size()];
        if (type == 0) {
            type = data.ConsumeIntegral<std::uint32_t>();
        }
        length = data.ConsumeIntegralInRange<std::size_t>(0, (how & 0x80) != 0 ? 300 : 9);
    }
    std::vector<std::uint8_t> bytes = data.ConsumeBytes<std::uint8_t>(length);
    bytes.resize(length);
    // Mostly numbers a window could use, so that both sides of every bound are reached.
    if (type == platform::kRegDword && length == 4 && (how & 0x40) != 0) {
        const std::int32_t value = data.ConsumeIntegralInRange<std::int32_t>(-3, 40000);
        const auto bits = static_cast<std::uint32_t>(value);
        bytes = {static_cast<std::uint8_t>(bits), static_cast<std::uint8_t>(bits >> 8),
                 static_cast<std::uint8_t>(bits >> 16), static_cast<std::uint8_t>(bits >> 24)};
    }
    Registry().Plant(kKey, name, type, std::move(bytes));
}

bool IsUsable(int size, int screenExtent)
{
    return size > 0 &&
           (screenExtent <= 0 ||
            static_cast<std::int64_t>(size) <= static_cast<std::int64_t>(ui::kMaxScreensPerStoredSize) * screenExtent);
}

bool IsValueError(const std::wstring& message, const std::wstring& name)
{
    return message == L"Failed to get data for '" + name + L"'" || message == L"Invalid data type for '" + name + L"'";
}

void CheckPlacement(FuzzWindow& window)
{
    const auto storedState = StoredDword(ui::kStateValue);
    const auto storedWidth = StoredDword(ui::kWidthValue);
    const auto storedHeight = StoredDword(ui::kHeightValue);
    bool maximised = window.State() == WindowState::Maximized;
    std::optional<std::wstring> error;
    try {
        ui::LoadWindowPlacement(window);
    } catch (const util::AppError& failure) {
        error = failure.message();
    }
    if (error) {
        Check(IsValueError(*error, ui::kStateValue) || IsValueError(*error, ui::kWidthValue) ||
                  IsValueError(*error, ui::kHeightValue),
              "a failed placement read names its value");
        Check(window.changes.empty(), "a failed read applies nothing");
        return;
    }
    for (const Change& change : window.changes) {
        switch (change.kind) {
        case Change::State:
            Check(change.value >= 0 && change.value <= 2 && storedState == change.value, "the stored state is applied");
            maximised = change.value == static_cast<int>(WindowState::Maximized);
            break;
        case Change::Width:
            Check(!maximised, "a maximised window keeps its size");
            Check(storedWidth == change.value && IsUsable(change.value, window.screenWidth), "a usable stored width");
            break;
        case Change::Height:
            Check(!maximised, "a maximised window keeps its size");
            Check(storedHeight == change.value && IsUsable(change.value, window.screenHeight),
                  "a usable stored height");
            break;
        case Change::Column:
            Fail("the placement sets no column");
        }
    }
}

void CheckColumns(FuzzWindow& window)
{
    std::vector<std::optional<std::int32_t>> stored;
    for (std::size_t column = 0; column < window.columns.size(); ++column) {
        stored.push_back(StoredDword(ui::ColumnValueName(column)));
    }
    window.changes.clear();
    std::optional<std::wstring> error;
    try {
        ui::LoadColumnWidths(window);
    } catch (const util::AppError& failure) {
        error = failure.message();
    }
    std::size_t failedColumn = window.columns.size();
    if (error) {
        failedColumn = 0;
        while (failedColumn < window.columns.size() && !IsValueError(*error, ui::ColumnValueName(failedColumn))) {
            ++failedColumn;
        }
        Check(failedColumn < window.columns.size(), "a failed column read names its value");
    }
    for (const Change& change : window.changes) {
        Check(change.kind == Change::Column, "the column load sets only columns");
        Check(change.column < failedColumn, "the walk stops at a failed read");
        Check(change.value >= 1 && change.value <= kWidestColumn && IsUsable(change.value, window.screenWidth),
              "an applied column width is usable");
        Check(stored[change.column] == change.value, "the stored column width is applied");
    }
}

} // namespace
} // namespace vq

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size)
{
    using namespace vq;
    FuzzedDataProvider data(bytes, size);
    fake::Reset();
    fake::ResetRegistry();

    const std::uint8_t switches = data.ConsumeIntegral<std::uint8_t>();
    Registry().createRefused = (switches & 0x01) != 0 && (switches & 0x02) != 0;
    Registry().writesRefused = (switches & 0x04) != 0;
    for (const std::uint32_t access : {platform::kKeyRead, platform::kKeyRead & ~platform::kKeyNotify,
                                       platform::kKeyQueryValue}) {
        if (data.ConsumeIntegralInRange(0, 3) == 0) {
            Registry().refusedOpenAccess.insert(access);
        }
    }

    FuzzWindow window;
    constexpr std::array<int, 5> kExtents = {0, 1920, 1080, 100, -5};
    window.screenWidth = kExtents[data.ConsumeIntegralInRange<std::size_t>(0, kExtents.size() - 1)];
    window.screenHeight = kExtents[data.ConsumeIntegralInRange<std::size_t>(0, kExtents.size() - 1)];
    window.state_ = static_cast<WindowState>(data.ConsumeIntegralInRange(0, 2));
    window.columns.assign(data.ConsumeIntegralInRange<std::size_t>(0, 10), 75);

    if ((switches & 0x08) == 0) {
        for (const wchar_t* name : {ui::kStateValue, ui::kWidthValue, ui::kHeightValue}) {
            PlantValue(data, name);
        }
        for (std::size_t column = 0; column < window.columns.size() + 1; ++column) {
            PlantValue(data, ui::ColumnValueName(column));
        }
    }

    CheckPlacement(window);
    Check(Registry().OpenCount() == 0, "the placement load closes its key");
    CheckColumns(window);
    Check(Registry().OpenCount() == 0, "the column load closes its key");
    return 0;
}
