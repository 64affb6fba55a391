#include "ui/command_controller.h"

#include "resource.h"
#include "table_fixtures.h"
#include "list_rows.h"

#include <gtest/gtest.h>

#include <set>
#include <stdexcept>
#include <string>

namespace vq::ui {
namespace {

using connections::ConnectionList;
using connections::ConnectionRow;

class RecordingWindow : public WindowActions {
public:
    std::vector<std::string>& log;
    explicit RecordingWindow(std::vector<std::string>& log) : log(log) {}
    void SetRefreshTimerEnabled(bool enabled) override { log.push_back(enabled ? "timer on" : "timer off"); }
    void CloseMainWindow() override { log.push_back("close"); }
};

struct RowSpec {
    const wchar_t* caption;  // also orders the rows
    const wchar_t* processId;
    const wchar_t* folder;
    bool selected;
};

class CommandControllerTest : public ::testing::Test {
protected:
    std::vector<std::string> log;
    RecordingWindow window{log};
    ConnectionList list{[](const std::wstring& a, const std::wstring& b) { return a.compare(b); }};
    CommandController commands{list, window};

    void AddRows(const std::vector<RowSpec>& rows)
    {
        int port = 0;
        for (const auto& wanted : rows) {
            ConnectionRow row;
            row.caption = wanted.caption;
            row.subItems = {L"TCP", L"LISTEN", L"0.0.0.0", std::to_wstring(++port), L"0.0.0.0", L"0",
                            wanted.processId, wanted.folder};
            row.endpoint.processId = static_cast<std::uint32_t>(std::stoul(wanted.processId));
            fake::AppendTexts(list, row);
        }
        for (std::size_t i = 0; i < list.size(); ++i) {
            for (const auto& wanted : rows) {
                if (wanted.selected && list.row(i).caption == wanted.caption) {
                    list.SetSelected(i, true);
                }
            }
        }
    }

    void Record(int id)
    {
        commands.SetHandler(id, [this, id] { log.push_back("handler " + std::to_string(id)); });
    }
};

struct EnablingCase {
    const char* name;
    std::vector<RowSpec> rows;
    std::set<int> enabled;
    bool separators;
};

const std::set<int> kAllItems(CommandController::PopupItems().begin(), CommandController::PopupItems().end());

std::set<int> AllBut(std::initializer_list<int> ids)
{
    std::set<int> items = kAllItems;
    for (const int id : ids) {
        items.erase(id);
    }
    return items;
}

const std::initializer_list<int> kProcessFileItems = {ID_LOCATE_PROCESS_FILE, ID_SEARCH_PROCESS_HASH,
                                                      ID_CHECK_PROCESS_HASH_REPUTATION,
                                                      ID_SHOW_PROCESS_PROPERTIES};

TEST_F(CommandControllerTest, EnablesItemsForTheListAndTheSelectedRow)
{
    const EnablingCase cases[] = {
        {"EmptyList", {}, {ID_REFRESH, ID_DISABLE_AUTO_REFRESH}, false},
        {"RowsWithoutSelection",
         {{L"a.exe", L"912", L"C:\\a\\", false}, {L"b.exe", L"913", L"C:\\b\\", false}},
         {ID_REFRESH, ID_DISABLE_AUTO_REFRESH, ID_CLOSE_ALL_CONNECTIONS, ID_SAVE_REPORT, ID_SAVE_CSV},
         false},
        {"OrdinaryRowSelected", {{L"a.exe", L"912", L"C:\\a\\", true}}, kAllItems, true},
        {"SystemSelected",
         {{L"System", L"4", L"", true}},
         AllBut({ID_TERMINATE_PROCESS, ID_LOCATE_PROCESS_FILE, ID_SEARCH_PROCESS_HASH,
                 ID_CHECK_PROCESS_HASH_REPUTATION, ID_SHOW_PROCESS_PROPERTIES}),
         true},
        // Only the first selected row decides; the second would allow everything.
        {"ProcessZeroFirstOfSeveral",
         {{L"System Idle Process", L"0", L"C:\\idle\\", true}, {L"b.exe", L"913", L"C:\\b\\", true}},
         AllBut({ID_TERMINATE_PROCESS}),
         true},
        {"EmptyFolderFirstOfSeveral",
         {{L"a.exe", L"912", L"", true}, {L"b.exe", L"913", L"C:\\b\\", true}},
         AllBut(kProcessFileItems),
         true},
        {"UnreadablePathSelected", {{L"", L"912", L"\\", true}}, AllBut(kProcessFileItems), true},
        {"NoFileNameSelected", {{L"", L"912", L"C:\\a\\", true}}, AllBut(kProcessFileItems), true},
        {"FirstSelectedIsNotFirstRow",
         {{L"a.exe", L"4", L"", false}, {L"b.exe", L"913", L"C:\\b\\", true}},
         kAllItems,
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        list.RemoveRows(std::vector<bool>(list.size(), true));
        AddRows(c.rows);
        commands.UpdatePopupEnabling();
        std::set<int> enabled;
        for (const int id : CommandController::PopupItems()) {
            if (commands.IsEnabled(id)) {
                enabled.insert(id);
            }
        }
        EXPECT_EQ(enabled, c.enabled);
        EXPECT_EQ(commands.SeparatorsEnabled(), c.separators);
        for (const int id : CommandController::MainMenuItems()) {
            EXPECT_TRUE(commands.IsEnabled(id)) << id;
        }
    }
}

TEST_F(CommandControllerTest, EverythingStartsEnabledAndUnchecked)
{
    for (const int id : CommandController::PopupItems()) {
        EXPECT_TRUE(commands.IsEnabled(id)) << id;
        EXPECT_FALSE(commands.IsChecked(id)) << id;
    }
    EXPECT_TRUE(commands.SeparatorsEnabled());
    EXPECT_EQ(CommandController::PopupItems().size(), 19u);
    EXPECT_EQ(CommandController::PopupItems().front(), ID_REFRESH);
    EXPECT_EQ(CommandController::PopupItems().back(), ID_SAVE_CSV);
    EXPECT_FALSE(commands.IsEnabled(IDC_LIST)) << "not a command";
    EXPECT_FALSE(commands.Choose(IDC_LIST));
}

TEST_F(CommandControllerTest, ADisabledItemDoesNothingUntilTheNextEvaluation)
{
    Record(ID_SAVE_REPORT);
    commands.UpdatePopupEnabling();  // empty list
    EXPECT_FALSE(commands.Choose(ID_SAVE_REPORT));
    AddRows({{L"a.exe", L"912", L"C:\\a\\", true}});
    EXPECT_FALSE(commands.Choose(ID_SAVE_REPORT)) << "the menu shows the last evaluation";
    commands.UpdatePopupEnabling();
    EXPECT_TRUE(commands.Choose(ID_SAVE_REPORT));
    EXPECT_EQ(log, (std::vector<std::string>{"handler " + std::to_string(ID_SAVE_REPORT)}));
    EXPECT_TRUE(commands.Choose(ID_SEARCH_REMOTE_ADDRESS)) << "an item without a handler yet";
}

TEST_F(CommandControllerTest, DisableAutoRefreshFlipsItsMarkThenSwitchesTheTimer)
{
    commands.SetHandler(ID_DISABLE_AUTO_REFRESH, [this] {
        log.push_back(commands.IsChecked(ID_DISABLE_AUTO_REFRESH) ? "handler sees checked" : "handler sees cleared");
    });
    EXPECT_TRUE(commands.Choose(ID_DISABLE_AUTO_REFRESH));
    EXPECT_TRUE(commands.IsChecked(ID_DISABLE_AUTO_REFRESH));
    EXPECT_TRUE(commands.ChooseByShortcut(ID_DISABLE_AUTO_REFRESH));
    EXPECT_FALSE(commands.IsChecked(ID_DISABLE_AUTO_REFRESH));
    EXPECT_EQ(log, (std::vector<std::string>{"handler sees checked", "timer off", "handler sees cleared", "timer on"}));
}

TEST_F(CommandControllerTest, ExitRunsItsHandlerThenClosesTheWindow)
{
    Record(ID_EXIT);
    commands.UpdatePopupEnabling();
    EXPECT_TRUE(commands.Choose(ID_EXIT));
    EXPECT_EQ(log, (std::vector<std::string>{"handler " + std::to_string(ID_EXIT), "close"}));
}

TEST_F(CommandControllerTest, ShortcutsEvaluateTheRulesFirst)
{
    for (const int id : {ID_REFRESH, ID_COPY_SELECTED_ROWS, ID_SAVE_REPORT}) {
        Record(id);
    }
    // All items start enabled; the shortcut's own evaluation disables these.
    EXPECT_FALSE(commands.ChooseByShortcut(ID_SAVE_REPORT)) << "Ctrl+S on an empty list";
    EXPECT_FALSE(commands.ChooseByShortcut(ID_COPY_SELECTED_ROWS)) << "Ctrl+C without a selection";
    EXPECT_TRUE(commands.ChooseByShortcut(ID_REFRESH));
    EXPECT_EQ(log, (std::vector<std::string>{"handler " + std::to_string(ID_REFRESH)}));

    AddRows({{L"a.exe", L"912", L"C:\\a\\", true}});
    EXPECT_TRUE(commands.ChooseByShortcut(ID_COPY_SELECTED_ROWS));
    EXPECT_TRUE(commands.ChooseByShortcut(ID_SAVE_REPORT));
    EXPECT_EQ(log.size(), 3u);
}

TEST_F(CommandControllerTest, AHandlersFailureEndsTheChoiceThere)
{
    commands.SetHandler(ID_DISABLE_AUTO_REFRESH, [] { throw std::runtime_error("out of memory"); });
    EXPECT_THROW(commands.Choose(ID_DISABLE_AUTO_REFRESH), std::runtime_error);
    EXPECT_TRUE(commands.IsChecked(ID_DISABLE_AUTO_REFRESH)) << "the mark flips before the handler runs";
    EXPECT_TRUE(log.empty()) << "the timer is not touched";
}

TEST_F(CommandControllerTest, CloseSelectedIsOfferedOnlyWhileASelectedRowIsIPv4)
{
    using fake::Tcp6Entry;
    const fake::Groups6 loopback{0, 0, 0, 0, 0, 0, 0, 1};
    const auto tcp6 = fake::Tcp6ListRow(Tcp6Entry(5, loopback, 0, 5000, loopback, 0, 5001, 7), L"C:\\a\\a.exe");
    const auto udp6 = fake::Udp6ListRow(fake::Udp6Entry(loopback, 0, 53, 7), L"C:\\a\\a.exe");
    const auto tcp = fake::TcpListRow({5, fake::Addr(10, 0, 0, 1), fake::Port(1), 0, 0, 7}, L"C:\\a\\a.exe");
    const auto udp = fake::UdpListRow({0, fake::Port(53), 7}, L"C:\\a\\a.exe");
    struct Case {
        const char* name;
        std::vector<fake::ListRow> selected;
        bool closeSelected;
    };
    const Case cases[] = {
        {"TCPv6 alone", {tcp6}, false},
        {"TCPv6 and UDPv6", {tcp6, udp6}, false},
        {"TCPv6 and TCP", {tcp6, tcp}, true},
        {"UDP alone, as before", {udp}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        list.RemoveRows(std::vector<bool>(list.size(), true));
        for (const auto& row : c.selected) {
            fake::Append(list, row);
        }
        fake::Append(list, tcp.endpoint == c.selected.back().endpoint ? udp : tcp);  // an unselected IPv4 row
        for (std::size_t i = 0; i < list.size(); ++i) {
            for (const auto& row : c.selected) {
                if (list.EndpointOf(i) == row.endpoint) {
                    list.SetSelected(i, true);
                }
            }
        }
        commands.UpdatePopupEnabling();
        EXPECT_EQ(commands.IsEnabled(ID_CLOSE_SELECTED_CONNECTIONS), c.closeSelected);
        EXPECT_TRUE(commands.IsEnabled(ID_CLOSE_ALL_CONNECTIONS));
        EXPECT_TRUE(commands.IsEnabled(ID_TERMINATE_PROCESS));
    }
}

TEST_F(CommandControllerTest, ShowIPv6EndpointsIsAMainMenuCheckItem)
{
    EXPECT_FALSE(commands.IsChecked(ID_SHOW_IPV6_ENDPOINTS));
    EXPECT_TRUE(commands.IsEnabled(ID_SHOW_IPV6_ENDPOINTS));
    commands.SetChecked(ID_SHOW_IPV6_ENDPOINTS, true);
    EXPECT_TRUE(commands.IsChecked(ID_SHOW_IPV6_ENDPOINTS));
    commands.SetHandler(ID_SHOW_IPV6_ENDPOINTS, [this] {
        log.push_back(commands.IsChecked(ID_SHOW_IPV6_ENDPOINTS) ? "on" : "off");
    });
    EXPECT_TRUE(commands.Choose(ID_SHOW_IPV6_ENDPOINTS));
    EXPECT_TRUE(commands.Choose(ID_SHOW_IPV6_ENDPOINTS));
    EXPECT_EQ(log, (std::vector<std::string>{"off", "on"})) << "the mark flips first; the timer is not touched";
    commands.SetChecked(ID_SAVE_REPORT, true);
    EXPECT_FALSE(commands.IsChecked(ID_SAVE_REPORT)) << "not a check item";
}

} // namespace
} // namespace vq::ui
