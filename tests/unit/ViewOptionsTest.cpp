#include "ui/view_options.h"

#include "fake_platform.h"
#include "fake_registry.h"
#include "resource.h"
#include "table_fixtures.h"

#include "util/error_report.h"

#include <gtest/gtest.h>

namespace vq::ui {
namespace {

using fake::Fake;
using fake::Port;
using fake::Registry;

constexpr wchar_t kKey[] = L"Software\\Quarvel\\Velquist";

class NoWindow : public WindowActions {
public:
    void SetRefreshTimerEnabled(bool) override {}
    void CloseMainWindow() override {}
};

// The View options wired the way the main window wires them: the controller
// holds the marks, the feed reads one TCP entry and two IPv6 entries.
class ViewOptionsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fake::Reset();
        fake::ResetRegistry();
        fake::AddTcpRow(Fake().tcpTable, {2, 0, Port(445), 0, 0, 4});
        fake::AddTcp6Row(Fake().tcp6Table, fake::Tcp6Entry(2, {}, 0, 445, {}, 0, 0, 4));
        fake::AddUdp6Row(Fake().udp6Table, fake::Udp6Entry({}, 0, 53, 912));
        commands.SetHandler(ID_SHOW_IPV6_ENDPOINTS, [this] { options.ApplyShowIPv6(); });
        commands.SetHandler(ID_FILTER_BAR, [this] { options.ApplyFilterBar(); });
        commands.SetHandler(ID_SHOW_UNCONNECTED, [this] { options.ApplyShowUnconnected(); });
        commands.SetHandler(ID_SHOW_WAITING, [this] { options.ApplyShowWaiting(); });
        commands.SetHandler(ID_HIGHLIGHT_CHANGES, [this] { options.ApplyHighlightChanges(); });
        for (const int interval : CommandController::RefreshIntervalItems()) {
            commands.SetHandler(interval, [this] { options.ApplyRefreshInterval(); });
        }
    }

    // Loads the options as the window does, each under its own report.
    std::vector<std::wstring> Load()
    {
        std::vector<std::wstring> reports;
        options.Load([&](const std::function<void()>& read) {
            try {
                read();
            } catch (const util::AppError& error) {
                reports.push_back(error.message());
            }
        });
        return reports;
    }

    std::size_t IPv6Rows() const
    {
        std::size_t count = 0;
        for (std::size_t i = 0; i < list.size(); ++i) {
            count += connections::IsIPv6(list.ProtocolOf(i)) ? 1 : 0;
        }
        return count;
    }

    support::StartupState startup{{L"C:\\Windows\\system32\\kernel32.dll", false}, fake::FakeIpHelper()};
    connections::ConnectionList list{[](const std::wstring& a, const std::wstring& b) { return a.compare(b); }};
    NoWindow window;
    CommandController commands{list, window};
    ConnectionFeed feed{list, startup};
    ViewOptions options{commands, feed, list};
};

TEST_F(ViewOptionsTest, TheStoredIPv6OptionDecidesTheFillAndChoosingItFlipsTheRowsAndTheStore)
{
    Registry().PlantDword(kKey, L"ShowIPv6", 1);
    Load();
    EXPECT_TRUE(commands.IsChecked(ID_SHOW_IPV6_ENDPOINTS));
    feed.Fill(options.ShowsIPv6());
    EXPECT_EQ(list.size(), 3u);
    EXPECT_EQ(IPv6Rows(), 2u);

    ASSERT_TRUE(commands.Choose(ID_SHOW_IPV6_ENDPOINTS));
    EXPECT_EQ(IPv6Rows(), 0u);
    EXPECT_EQ(Registry().Dword(kKey, L"ShowIPv6"), 0);
    const std::size_t tcp6Reads = Fake().tcp6Table.calls.size();
    feed.Refresh(options.ShowsIPv6());
    EXPECT_EQ(Fake().tcp6Table.calls.size(), tcp6Reads) << "a refresh without the option reads no IPv6 table";
    EXPECT_EQ(list.size(), 1u);

    ASSERT_TRUE(commands.Choose(ID_SHOW_IPV6_ENDPOINTS));
    EXPECT_EQ(IPv6Rows(), 2u);
    EXPECT_EQ(Registry().Dword(kKey, L"ShowIPv6"), 1);
}

TEST_F(ViewOptionsTest, WithoutAStoredOptionTheFillReadsNoIPv6Table)
{
    Load();
    EXPECT_FALSE(options.ShowsIPv6());
    feed.Fill(options.ShowsIPv6());
    EXPECT_EQ(list.size(), 1u);
    EXPECT_TRUE(Fake().tcp6Table.calls.empty());
    EXPECT_TRUE(Fake().udp6Table.calls.empty());
}

TEST_F(ViewOptionsTest, StoredOptionsHideTheirRowsEachBadValueIsReportedAloneAndChoosingFlipsAndStores)
{
    fake::AddTcpRow(Fake().tcpTable, {11, 0, Port(1000), 0, Port(80), 4});  // TIME-WAIT
    fake::AddUdpRow(Fake().udpTable, {0, Port(53), 4});
    Registry().PlantDword(kKey, L"ShowUnconnected", 0);
    Registry().Plant(kKey, L"ShowWaiting", platform::kRegBinary, {0, 0, 0, 0});
    Registry().Plant(kKey, L"FilterBar", platform::kRegBinary, {1, 0, 0, 0});
    EXPECT_EQ(Load(), (std::vector<std::wstring>{L"Invalid data type for 'FilterBar'",
                                                 L"Invalid data type for 'ShowWaiting'"}));
    EXPECT_FALSE(commands.IsChecked(ID_SHOW_UNCONNECTED));
    EXPECT_TRUE(commands.IsChecked(ID_SHOW_WAITING)) << "a value that cannot be read is not applied";
    EXPECT_FALSE(options.ShowsFilterBar());
    feed.Fill(options.ShowsIPv6());
    EXPECT_EQ(list.size(), 1u) << "only the TIME-WAIT row: the listening and UDP rows are hidden";
    EXPECT_EQ(list.Counts().hidden, 2u);

    ASSERT_TRUE(commands.Choose(ID_SHOW_WAITING));
    EXPECT_EQ(list.size(), 0u);
    EXPECT_EQ(Registry().Dword(kKey, L"ShowWaiting"), 0);
    ASSERT_TRUE(commands.Choose(ID_SHOW_UNCONNECTED));
    ASSERT_TRUE(commands.Choose(ID_SHOW_WAITING));
    EXPECT_EQ(list.size(), 3u);
    EXPECT_EQ(Registry().Dword(kKey, L"ShowUnconnected"), 1);
    EXPECT_EQ(Registry().Dword(kKey, L"ShowWaiting"), 1);
}

TEST_F(ViewOptionsTest, TheFilterTextNarrowsTheListUntilTheBarGoes)
{
    fake::AddTcpRow(Fake().tcpTable, {5, 0, Port(1000), 0, Port(80), 4});
    Load();
    feed.Fill(false);
    ASSERT_TRUE(commands.Choose(ID_FILTER_BAR));
    EXPECT_EQ(Registry().Dword(kKey, L"FilterBar"), 1);
    options.SetFilterText(L"LISTEN");
    EXPECT_EQ(list.size(), 1u);
    EXPECT_EQ(list.Counts().hidden, 1u);

    ASSERT_TRUE(commands.Choose(ID_FILTER_BAR));
    EXPECT_EQ(Registry().Dword(kKey, L"FilterBar"), 0);
    EXPECT_EQ(options.FilterText(), L"");
    EXPECT_EQ(list.size(), 2u) << "a hidden bar filters nothing";
    EXPECT_EQ(Registry().Count("RegSetValueExW"), 2u) << "the text is never stored";
}

TEST_F(ViewOptionsTest, TheStoredRefreshIntervalIsOneOfTheItemsOrTwoSeconds)
{
    struct Case {
        const char* name;
        std::optional<std::uint32_t> stored;  // none: no value
        unsigned interval;
        std::vector<std::wstring> reports;
    };
    const Case cases[] = {
        {"absent", std::nullopt, 2000, {}},
        {"1 s", 1000, 1000, {}},
        {"5 s", 5000, 5000, {}},
        {"10 s", 10000, 10000, {}},
        {"3 s is no item", 3000, 2000, {}},
        {"0", 0, 2000, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fake::ResetRegistry();
        if (c.stored) {
            Registry().PlantDword(kKey, L"RefreshInterval", *c.stored);
        }
        EXPECT_EQ(Load(), c.reports);
        EXPECT_EQ(options.RefreshInterval(), c.interval);
        std::size_t checked = 0;
        for (const int item : CommandController::RefreshIntervalItems()) {
            checked += commands.IsChecked(item) ? 1 : 0;
        }
        EXPECT_EQ(checked, 1u);
    }

    fake::ResetRegistry();
    Registry().PlantDword(kKey, L"RefreshInterval", 5000);
    Load();
    Registry().Plant(kKey, L"RefreshInterval", platform::kRegBinary, {0xE8, 0x03, 0, 0});
    EXPECT_EQ(Load(), (std::vector<std::wstring>{L"Invalid data type for 'RefreshInterval'"}));
    EXPECT_EQ(options.RefreshInterval(), 5000u) << "a value that cannot be read is not applied";

    ASSERT_TRUE(commands.Choose(ID_REFRESH_EVERY_1_SECOND));
    EXPECT_EQ(options.RefreshInterval(), 1000u);
    EXPECT_FALSE(commands.IsChecked(ID_REFRESH_EVERY_5_SECONDS)) << "one interval at a time";
    EXPECT_EQ(Registry().Dword(kKey, L"RefreshInterval"), 1000);
}

TEST_F(ViewOptionsTest, HighlightingIsStoredAndTurnedOnAndOffInTheList)
{
    Registry().PlantDword(kKey, L"HighlightChanges", 1);
    Load();
    EXPECT_TRUE(options.HighlightsChanges());
    EXPECT_TRUE(list.Highlighting());
    ASSERT_TRUE(commands.Choose(ID_HIGHLIGHT_CHANGES));
    EXPECT_FALSE(list.Highlighting());
    EXPECT_EQ(Registry().Dword(kKey, L"HighlightChanges"), 0);
}

} // namespace
} // namespace vq::ui
