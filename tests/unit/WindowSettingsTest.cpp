#include "ui/window_settings.h"

#include "fake_platform.h"
#include "fake_registry.h"
#include "util/error_report.h"

#include <gtest/gtest.h>

#include <cwchar>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace vq {
namespace {

using fake::Fake;
using fake::Registry;
using ui::WindowState;

constexpr wchar_t kKey[] = L"Software\\Quarvel\\Velquist";

// The main window as the settings see it, down to the one behaviour that
// matters most: every size or state change raises the resize event, whose
// handler saves the placement under the error report, before the change
// returns. Every change the settings ask for is logged.
class FakeWindow : public ui::SettingsWindow {
public:
    static constexpr int kBuiltInWidth = 1014;
    static constexpr int kBuiltInHeight = 598;
    static constexpr int kMaximisedWidth = 1936;
    static constexpr int kMaximisedHeight = 1056;
    static constexpr int kScreenWidth = 1920;
    static constexpr int kScreenHeight = 1080;

    int Width() const override { return state_ == WindowState::Maximized ? kMaximisedWidth : width_; }
    int Height() const override { return state_ == WindowState::Maximized ? kMaximisedHeight : height_; }
    WindowState State() const override { return state_; }

    void SetState(WindowState state) override
    {
        changes.push_back("SetState " + std::to_string(static_cast<int>(state)));
        if (state != state_) {
            state_ = state;
            OnResize();
        }
    }
    void SetWidth(int width) override
    {
        changes.push_back("SetWidth " + std::to_string(width));
        if (width != width_) {
            width_ = width;
            OnResize();
        }
    }
    void SetHeight(int height) override
    {
        changes.push_back("SetHeight " + std::to_string(height));
        if (height != height_) {
            height_ = height;
            OnResize();
        }
    }

    std::size_t ColumnCount() const override { return columns.size(); }
    int ColumnWidth(std::size_t column) const override { return columns.at(column); }
    void SetColumnWidth(std::size_t column, int width) override
    {
        changes.push_back("SetColumnWidth " + std::to_string(column) + " " + std::to_string(width));
        columns.at(column) = width;
    }

    int VirtualScreenWidth() const override { return screenWidth; }
    int VirtualScreenHeight() const override { return kScreenHeight; }

    // The creation handler's last steps: key preview, then the loads, which
    // a stored value they cannot use ends.
    void LoadSettings()
    {
        util::RunHandler(this, [this] {
            keyPreview = true;
            ui::LoadWindowPlacement(*this);
            ui::LoadColumnWidths(*this);
        });
    }

    void OnResize()
    {
        util::RunHandler(this, [this] { ui::SaveWindowPlacement(*this); });
    }

    // The normal (restored) size, whatever the state.
    int NormalWidth() const { return width_; }
    int NormalHeight() const { return height_; }

    std::vector<int> columns{125, 75, 125, 150, 75, 150, 75, 75, 250};
    int screenWidth = kScreenWidth;
    std::vector<std::string> changes;
    bool keyPreview = false;

private:
    WindowState state_ = WindowState::Normal;
    int width_ = kBuiltInWidth;
    int height_ = kBuiltInHeight;
};

const std::vector<int> kBuiltInColumns{125, 75, 125, 150, 75, 150, 75, 75, 250};

class WindowSettingsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fake::Reset();
        fake::ResetRegistry();
    }

    void TearDown() override
    {
        EXPECT_EQ(Registry().OpenCount(), 0u) << "a key was left open";
    }

    static std::optional<std::int32_t> Stored(const std::wstring& name) { return Registry().Dword(kKey, name); }

    static std::vector<std::wstring> MessageTexts()
    {
        std::vector<std::wstring> texts;
        for (const auto& box : Fake().messageBoxes) {
            texts.push_back(box.text);
        }
        return texts;
    }

    FakeWindow window_;
};

TEST_F(WindowSettingsTest, FirstStartAppliesNothingLeavesAnEmptyKeyAndTheFirstResizeFillsIt)
{
    window_.LoadSettings();

    EXPECT_TRUE(window_.changes.empty());
    EXPECT_TRUE(window_.keyPreview);
    EXPECT_TRUE(Fake().messageBoxes.empty());
    ASSERT_EQ(Registry().keys.count(kKey), 1u) << "the column load creates the key";
    EXPECT_TRUE(Registry().keys.at(kKey).empty());
    // The placement load found no key: each access was tried once, read only.
    EXPECT_EQ(Registry().Count("RegOpenKeyExW Software\\Quarvel\\Velquist access=0x20019 -> 2"), 1u);
    EXPECT_EQ(Registry().Count("RegOpenKeyExW Software\\Quarvel\\Velquist access=0x20009 -> 2"), 1u);
    EXPECT_EQ(Registry().Count("RegOpenKeyExW Software\\Quarvel\\Velquist access=0x1 -> 2"), 1u);
    EXPECT_EQ(Registry().Count("RegCreateKeyExW Software\\Quarvel\\Velquist access=0xf003f -> key"), 1u);

    window_.SetWidth(900);
    EXPECT_EQ(Stored(L"Width"), 900);
    EXPECT_EQ(Stored(L"Height"), FakeWindow::kBuiltInHeight);
    EXPECT_EQ(Stored(L"State"), 0);
    EXPECT_EQ(Registry().keys.at(kKey).size(), 3u);
}

TEST_F(WindowSettingsTest, StoredMaximisedStateMaximisesAndKeepsTheBuiltInNormalSize)
{
    Registry().PlantDword(kKey, L"State", 2);
    Registry().PlantDword(kKey, L"Width", 1936);
    Registry().PlantDword(kKey, L"Height", 1056);

    window_.LoadSettings();

    EXPECT_EQ(window_.changes, std::vector<std::string>{"SetState 2"});
    EXPECT_EQ(Registry().Count("RegQueryValueExW key1 Width"), 0u) << "the maximised size is not read";
    EXPECT_EQ(window_.NormalWidth(), FakeWindow::kBuiltInWidth);
    EXPECT_EQ(window_.NormalHeight(), FakeWindow::kBuiltInHeight);

    // Maximising saved the maximised size with state 2; restoring gives the built-in size.
    EXPECT_EQ(Stored(L"Width"), FakeWindow::kMaximisedWidth);
    EXPECT_EQ(Stored(L"State"), 2);
    window_.SetState(WindowState::Normal);
    EXPECT_EQ(window_.Width(), FakeWindow::kBuiltInWidth);
    EXPECT_EQ(Stored(L"Width"), FakeWindow::kBuiltInWidth);
    EXPECT_EQ(Stored(L"State"), 0);
}

TEST_F(WindowSettingsTest, StoredNormalSizeIsRestoredAndSurvivesTheSavesItsOwnChangesCause)
{
    Registry().PlantDword(kKey, L"Width", 800);
    Registry().PlantDword(kKey, L"Height", 600);
    Registry().PlantDword(kKey, L"State", 0);

    window_.LoadSettings();

    EXPECT_EQ(window_.Width(), 800);
    EXPECT_EQ(window_.Height(), 600);
    EXPECT_EQ(window_.State(), WindowState::Normal);
    // Setting the width saved the built-in height in passing; the stored
    // height had been read before that.
    EXPECT_EQ(Stored(L"Width"), 800);
    EXPECT_EQ(Stored(L"Height"), 600);
    EXPECT_EQ(Stored(L"State"), 0);
    EXPECT_TRUE(Fake().messageBoxes.empty());

    // The load's key is closed before the first change, so the nested saves
    // open keys of their own.
    const auto& log = Registry().log;
    std::size_t firstCreate = 0;
    while (firstCreate < log.size() && log[firstCreate].rfind("RegCreateKeyExW", 0) != 0) {
        ++firstCreate;
    }
    ASSERT_LT(firstCreate, log.size());
    ASSERT_GT(firstCreate, 0u);
    EXPECT_EQ(log[firstCreate - 1], "RegCloseKey key1");
}

TEST_F(WindowSettingsTest, StoredPlacementAppliesWhatIsStoredAndUsable)
{
    struct Case {
        const char* name;
        std::vector<std::pair<std::wstring, std::int32_t>> stored;
        std::vector<std::string> changes;
    };
    const Case cases[] = {
        {"only the width", {{L"Width", 800}}, {"SetWidth 800"}},
        {"only the height", {{L"Height", 600}}, {"SetHeight 600"}},
        {"minimised, with its normal size",
         {{L"State", 1}, {L"Width", 800}, {L"Height", 600}},
         {"SetState 1", "SetWidth 800", "SetHeight 600"}},
        {"a state above 2 is ignored", {{L"State", 3}, {L"Width", 800}}, {"SetWidth 800"}},
        {"a negative state is ignored", {{L"State", -1}, {L"Height", 600}}, {"SetHeight 600"}},
        {"zero and negative sizes are ignored", {{L"Width", 0}, {L"Height", -600}}, {}},
        {"sizes up to 16 screens are applied",
         {{L"Width", 16 * FakeWindow::kScreenWidth}, {L"Height", 16 * FakeWindow::kScreenHeight}},
         {"SetWidth 30720", "SetHeight 17280"}},
        {"sizes beyond 16 screens are ignored",
         {{L"Width", 16 * FakeWindow::kScreenWidth + 1}, {L"Height", 16 * FakeWindow::kScreenHeight + 1}},
         {}},
        {"the largest number is ignored", {{L"Width", 2147483647}, {L"Height", 600}}, {"SetHeight 600"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fake::ResetRegistry();
        FakeWindow window;
        for (const auto& [name, value] : c.stored) {
            Registry().PlantDword(kKey, name, value);
        }
        ui::LoadWindowPlacement(window);
        EXPECT_EQ(window.changes, c.changes);
        EXPECT_EQ(Registry().OpenCount(), 0u);
    }
}

TEST_F(WindowSettingsTest, ReadOnlyOpenFallsBackToSmallerAccess)
{
    struct Case {
        std::set<std::uint32_t> refused;
        std::size_t opens;
        bool applied;
    };
    const Case cases[] = {
        {{}, 1, true},
        {{0x20019}, 2, true},
        {{0x20019, 0x20009}, 3, true},
        {{0x20019, 0x20009, 0x1}, 3, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.opens);
        fake::ResetRegistry();
        FakeWindow window;
        Registry().PlantDword(kKey, L"Width", 800);
        Registry().refusedOpenAccess = c.refused;
        ui::LoadWindowPlacement(window);
        EXPECT_EQ(Registry().Count("RegOpenKeyExW"), c.opens);
        EXPECT_EQ(window.changes.size(), c.applied ? 1u : 0u);
    }
}

TEST_F(WindowSettingsTest, StoredColumnWidthsApplyToTheirColumnsOnly)
{
    Registry().PlantDword(kKey, L"ListView_Column_0", 200);
    Registry().PlantDword(kKey, L"ListView_Column_3", 90);
    Registry().PlantDword(kKey, L"ListView_Column_4", 0);
    Registry().PlantDword(kKey, L"ListView_Column_5", -40);
    Registry().PlantDword(kKey, L"ListView_Column_6", 16 * FakeWindow::kScreenWidth + 1);
    Registry().PlantDword(kKey, L"ListView_Column_7", 16 * FakeWindow::kScreenWidth);
    Registry().PlantDword(kKey, L"ListView_Column_8", 400);
    Registry().PlantDword(kKey, L"ListView_Column_9", 55);
    Registry().PlantDword(kKey, L"Other", 1);

    ui::LoadColumnWidths(window_);

    EXPECT_EQ(window_.columns, (std::vector<int>{200, 75, 125, 90, 75, 150, 75, 30720, 400}));
    EXPECT_EQ(Registry().Count("RegQueryValueExW key1 ListView_Column_"), 9u);
    EXPECT_EQ(Registry().Count("RegQueryValueExW key1 ListView_Column_9"), 0u);
    EXPECT_EQ(Registry().keys.at(kKey).size(), 9u) << "other values stay untouched";
}

// The list reads a column width as a signed 16-bit number (-1 and -2 size a
// column to its contents), so a wider stored width is no width it can take,
// however wide the screens.
TEST_F(WindowSettingsTest, AStoredColumnWidthBeyond32767IsIgnored)
{
    window_.screenWidth = 8 * 3840;
    Registry().PlantDword(kKey, L"ListView_Column_0", 32767);
    Registry().PlantDword(kKey, L"ListView_Column_1", 32768);
    Registry().PlantDword(kKey, L"ListView_Column_2", 65535);
    Registry().PlantDword(kKey, L"ListView_Column_3", 65534);

    ui::LoadColumnWidths(window_);

    EXPECT_EQ(window_.columns, (std::vector<int>{32767, 75, 125, 150, 75, 150, 75, 75, 250}));
}

TEST_F(WindowSettingsTest, ColumnWalkFollowsTheListsColumns)
{
    window_.columns = {10, 20, 30};
    Registry().PlantDword(kKey, L"ListView_Column_3", 55);

    ui::SaveColumnWidths(window_);
    ui::LoadColumnWidths(window_);

    EXPECT_EQ(Registry().Count("RegSetValueExW"), 3u);
    EXPECT_EQ(Stored(L"ListView_Column_2"), 30);
    EXPECT_EQ(Registry().Count("RegQueryValueExW key2 ListView_Column_3"), 0u);
    EXPECT_EQ(window_.columns, (std::vector<int>{10, 20, 30}));
}

TEST_F(WindowSettingsTest, UnreadableStoredValueIsReportedAndNothingOfTheLoadIsApplied)
{
    struct Case {
        const char* name;
        std::wstring value;
        std::uint32_t type;
        std::vector<std::uint8_t> data;
        std::wstring message;
    };
    const Case cases[] = {
        {"width as the text 800", L"Width", platform::kRegSz, {'8', 0, '0', 0, '0', 0, 0, 0},
         L"Failed to get data for 'Width'"},
        {"width as 4 binary bytes", L"Width", platform::kRegBinary, {0x20, 0x03, 0, 0},
         L"Invalid data type for 'Width'"},
        {"height as a one-letter text", L"Height", platform::kRegSz, {'8', 0, 0, 0},
         L"Invalid data type for 'Height'"},
        {"state as a 64-bit number", L"State", platform::kRegQword, {2, 0, 0, 0, 0, 0, 0, 0},
         L"Failed to get data for 'State'"},
        {"width as a 2-byte number", L"Width", platform::kRegDword, {0x20, 0x03},
         L"Invalid data type for 'Width'"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fake::Reset();
        fake::ResetRegistry();
        FakeWindow window;
        Registry().PlantDword(kKey, L"State", 0);
        Registry().PlantDword(kKey, L"Width", 800);
        Registry().PlantDword(kKey, L"Height", 600);
        Registry().PlantDword(kKey, L"ListView_Column_0", 300);
        Registry().Plant(kKey, c.value, c.type, c.data);

        window.LoadSettings();

        EXPECT_TRUE(window.changes.empty()) << "neither the placement nor the column widths";
        EXPECT_TRUE(window.keyPreview) << "key preview stays on when a load fails";
        ASSERT_EQ(Fake().messageBoxes.size(), 1u);
        EXPECT_EQ(Fake().messageBoxes[0].text, c.message);
        EXPECT_EQ(Fake().messageBoxes[0].caption, L"Quarvel Velquist");
        EXPECT_EQ(Fake().messageBoxes[0].type, 0x10u);
        EXPECT_EQ(Registry().OpenCount(), 0u);
    }
}

TEST_F(WindowSettingsTest, UnreadableColumnWidthStopsTheWalkThere)
{
    Registry().PlantDword(kKey, L"ListView_Column_0", 50);
    Registry().PlantDword(kKey, L"ListView_Column_1", 60);
    Registry().PlantText(kKey, L"ListView_Column_2", L"wide");
    Registry().PlantDword(kKey, L"ListView_Column_3", 70);

    window_.LoadSettings();

    EXPECT_EQ(window_.columns, (std::vector<int>{50, 60, 125, 150, 75, 150, 75, 75, 250}));
    EXPECT_EQ(MessageTexts(), std::vector<std::wstring>{L"Failed to get data for 'ListView_Column_2'"});
    EXPECT_TRUE(window_.keyPreview);
}

TEST_F(WindowSettingsTest, SavesWriteSignedDwordsOfTheLiveWindow)
{
    window_.columns = {125, 75, 125, 150, 75, 150, 75, 75, -1};

    ui::SaveWindowPlacement(window_);
    ui::SaveColumnWidths(window_);

    const auto& values = Registry().keys.at(kKey);
    EXPECT_EQ(values.size(), 12u);
    for (const auto& [name, value] : values) {
        EXPECT_EQ(value.type, platform::kRegDword) << fake::Narrow(name);
        EXPECT_EQ(value.data.size(), 4u) << fake::Narrow(name);
    }
    EXPECT_EQ(Stored(L"Width"), FakeWindow::kBuiltInWidth);
    EXPECT_EQ(Stored(L"Height"), FakeWindow::kBuiltInHeight);
    EXPECT_EQ(Stored(L"State"), 0);
    EXPECT_EQ(Stored(L"ListView_Column_0"), 125);
    EXPECT_EQ(values.at(L"ListView_Column_8").data, (std::vector<std::uint8_t>{0xFF, 0xFF, 0xFF, 0xFF}));

    window_.SetState(WindowState::Maximized);
    EXPECT_EQ(Stored(L"Width"), FakeWindow::kMaximisedWidth);
    EXPECT_EQ(Stored(L"Height"), FakeWindow::kMaximisedHeight);
    EXPECT_EQ(Stored(L"State"), 2);
}

TEST_F(WindowSettingsTest, RefusedWriteStopsTheSaveAtThatValue)
{
    Registry().refusedWrites = {L"Height", L"ListView_Column_3"};

    try {
        ui::SaveWindowPlacement(window_);
        ADD_FAILURE() << "the refused write went unreported";
    } catch (const util::AppError& error) {
        EXPECT_EQ(error.message(), L"Failed to set data for 'Height'");
    }
    try {
        ui::SaveColumnWidths(window_);
        ADD_FAILURE() << "the refused write went unreported";
    } catch (const util::AppError& error) {
        EXPECT_EQ(error.message(), L"Failed to set data for 'ListView_Column_3'");
    }

    EXPECT_EQ(Stored(L"Width"), FakeWindow::kBuiltInWidth);
    EXPECT_FALSE(Stored(L"State").has_value());
    EXPECT_EQ(Stored(L"ListView_Column_2"), 125);
    EXPECT_FALSE(Stored(L"ListView_Column_4").has_value());
}

TEST_F(WindowSettingsTest, CloseReportsARefusedSaveAndStillCloses)
{
    static_assert(noexcept(ui::SaveSettingsOnClose(std::declval<const ui::SettingsWindow&>(), nullptr)));
    Registry().writesRefused = true;

    ui::SaveSettingsOnClose(window_, &window_);

    ASSERT_EQ(Fake().messageBoxes.size(), 1u);
    EXPECT_EQ(Fake().messageBoxes[0].text, L"Failed to set data for 'ListView_Column_0'");
    EXPECT_EQ(Fake().messageBoxes[0].owner, &window_);
    EXPECT_EQ(Registry().Count("RegSetValueExW"), 1u);

    // With a working registry the close saves all nine widths and reports nothing.
    fake::Reset();
    Registry().writesRefused = false;
    window_.columns[2] = 333;
    ui::SaveSettingsOnClose(window_, &window_);
    EXPECT_TRUE(Fake().messageBoxes.empty());
    EXPECT_EQ(Stored(L"ListView_Column_2"), 333);
    EXPECT_EQ(Stored(L"ListView_Column_8"), 250);
}

TEST_F(WindowSettingsTest, KeyThatCannotBeCreatedMakesEveryOperationDoNothingSilently)
{
    Registry().PlantDword(kKey, L"ListView_Column_0", 300);
    Registry().createRefused = true;

    window_.LoadSettings();  // the placement load only reads: it needs no create
    ui::SaveWindowPlacement(window_);
    ui::SaveSettingsOnClose(window_, &window_);

    EXPECT_TRUE(window_.changes.empty());
    EXPECT_TRUE(window_.keyPreview);
    EXPECT_TRUE(Fake().messageBoxes.empty());
    EXPECT_EQ(Registry().Count("RegSetValueExW"), 0u);
    EXPECT_EQ(Registry().Count("RegCreateKeyExW"), 3u);
}

TEST_F(WindowSettingsTest, ViewOptionsOffByDefaultNeedAOneAndThoseOnByDefaultAZero)
{
    struct Case {
        const char* name;
        std::optional<std::uint32_t> type;  // none: no value stored
        std::vector<std::uint8_t> data;
        bool onWhenOffByDefault;
        bool onWhenOnByDefault;
        bool failed;
    };
    const Case cases[] = {
        {"absent", std::nullopt, {}, false, true, false},
        {"0", platform::kRegDword, {0, 0, 0, 0}, false, false, false},
        {"1", platform::kRegDword, {1, 0, 0, 0}, true, true, false},
        {"2", platform::kRegDword, {2, 0, 0, 0}, false, true, false},
        {"-1", platform::kRegDword, {0xFF, 0xFF, 0xFF, 0xFF}, false, true, false},
        {"1 as binary", platform::kRegBinary, {1, 0, 0, 0}, false, false, true},
        {"1 as text", platform::kRegSz, {'1', 0, 0, 0, 0, 0}, false, false, true},
    };
    const std::pair<const wchar_t*, bool> options[] = {
        {L"ShowIPv6", false}, {L"FilterBar", false}, {L"ShowUnconnected", true}, {L"ShowWaiting", true}};
    ASSERT_EQ(std::wstring(ui::kShowIPv6Value) + ui::kFilterBarValue + ui::kShowUnconnectedValue +
                  ui::kShowWaitingValue,
              L"ShowIPv6FilterBarShowUnconnectedShowWaiting");
    for (const auto& [name, onByDefault] : options) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.name) + " for " + std::string(name, name + std::wcslen(name)));
            fake::ResetRegistry();
            if (c.type) {
                Registry().Plant(kKey, name, *c.type, c.data);
            }
            std::optional<bool> on;
            std::optional<std::wstring> message;
            try {
                on = ui::LoadViewOption(name, onByDefault);
            } catch (const util::AppError& error) {
                message = error.message();
            }
            if (c.failed) {
                EXPECT_FALSE(on);
                const std::wstring reason = *c.type == platform::kRegSz ? L"Failed to get data for '"
                                                                         : L"Invalid data type for '";
                EXPECT_EQ(message, reason + name + L"'");
            } else {
                EXPECT_EQ(on, onByDefault ? c.onWhenOnByDefault : c.onWhenOffByDefault);
            }
            EXPECT_EQ(Registry().OpenCount(), 0u);
        }
    }

    fake::ResetRegistry();
    EXPECT_FALSE(ui::LoadViewOption(L"FilterBar", false)) << "no key at all";
    EXPECT_TRUE(ui::LoadViewOption(L"ShowWaiting", true)) << "no key at all";
    ui::SaveViewOption(L"ShowWaiting", false);
    EXPECT_EQ(Stored(L"ShowWaiting"), 0);
    EXPECT_FALSE(ui::LoadViewOption(L"ShowWaiting", true));
    ui::SaveViewOption(L"ShowWaiting", true);
    EXPECT_EQ(Stored(L"ShowWaiting"), 1);

    Registry().refusedWrites = {L"FilterBar"};
    try {
        ui::SaveViewOption(L"FilterBar", true);
        ADD_FAILURE() << "the refused write went unreported";
    } catch (const util::AppError& error) {
        EXPECT_EQ(error.message(), L"Failed to set data for 'FilterBar'");
    }
}

} // namespace
} // namespace vq
