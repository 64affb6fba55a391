#include "fake_clipboard.h"
#include "fake_platform.h"
#include "ui/connection_commands.h"
#include "list_rows.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vq {
namespace {

using connections::ConnectionList;
using connections::ConnectionRow;
using fake::Clipboard;

ConnectionRow Row(const wchar_t* caption, const wchar_t* protocol, const wchar_t* state, const wchar_t* localAddress,
                  const wchar_t* localPort, const wchar_t* remoteAddress, const wchar_t* remotePort,
                  const wchar_t* processId, const wchar_t* folder)
{
    ConnectionRow row;
    row.caption = caption;
    row.subItems = {protocol, state, localAddress, localPort, remoteAddress, remotePort, processId, folder};
    return row;
}

// The row of the example: app.exe, process 812, from 192.168.1.20:139 to 192.168.1.30:445.
ConnectionRow AppRow(const wchar_t* caption = L"app.exe", const wchar_t* localPort = L"139")
{
    return Row(caption, L"TCP", L"ESTABLISHED", L"192.168.1.20", localPort, L"192.168.1.30", L"445", L"812",
               L"C:\\Apps\\");
}

// Captions sort the list: letter ".exe", with local port 1 for a, 2 for b, ...
ConnectionRow Lettered(wchar_t letter)
{
    const std::wstring caption = std::wstring(1, letter) + L".exe";
    const std::wstring localPort = std::to_wstring(letter - L'a' + 1);
    return AppRow(caption.c_str(), localPort.c_str());
}

int g_mainWindow;
void* const kOwner = &g_mainWindow;

class ClipboardExportTest : public ::testing::Test {
protected:
    ConnectionList list{nullptr};

    void SetUp() override { fake::ResetClipboard(); }

    // Selects the row with this local port (unique in each case).
    void Select(ConnectionList& rows, const std::wstring& localPort)
    {
        for (std::size_t i = 0; i < rows.size(); ++i) {
            if (rows.row(i).subItems[connections::kLocalPort] == localPort) {
                rows.SetSelected(i, true);
                return;
            }
        }
        FAIL() << "no row with local port " << fake::Narrow(localPort);
    }
};

TEST_F(ClipboardExportTest, CopiesEverySelectedRowAsOneLineInListOrder)
{
    struct CopyCase {
        const char* name;
        std::vector<ConnectionRow> rows;       // appended in this order
        std::vector<std::wstring> select;      // local ports, in the order of selection
        std::wstring text;
    };
    const std::wstring appLine =
        L"app.exe | TCP | ESTABLISHED | 192.168.1.20 | 139 | 192.168.1.30 | 445 | 812 | C:\\Apps\\";
    const CopyCase cases[] = {
        {"a single row still ends in CR LF", {AppRow()}, {L"139"}, appLine + L"\r\n"},
        {"list order, not selection order",
         {Lettered(L'f'), Lettered(L'e'), Lettered(L'd'), Lettered(L'c'), Lettered(L'b'), Lettered(L'a')},
         {L"6", L"2", L"4"},
         L"b.exe | TCP | ESTABLISHED | 192.168.1.20 | 2 | 192.168.1.30 | 445 | 812 | C:\\Apps\\\r\n"
         L"d.exe | TCP | ESTABLISHED | 192.168.1.20 | 4 | 192.168.1.30 | 445 | 812 | C:\\Apps\\\r\n"
         L"f.exe | TCP | ESTABLISHED | 192.168.1.20 | 6 | 192.168.1.30 | 445 | 812 | C:\\Apps\\\r\n"},
        {"an empty last field ends the line in a bar",
         {Row(L"System", L"TCP", L"LISTEN", L"0.0.0.0", L"445", L"0.0.0.0", L"0", L"4", L"")},
         {L"445"},
         L"System | TCP | LISTEN | 0.0.0.0 | 445 | 0.0.0.0 | 0 | 4 |\r\n"},
        {"UDP rows copy their dashes", {Row(L"app.exe", L"UDP", L"-", L"0.0.0.0", L"500", L"-", L"-", L"812", L"C:\\Apps\\")},
         {L"500"},
         L"app.exe | UDP | - | 0.0.0.0 | 500 | - | - | 812 | C:\\Apps\\\r\n"},
        // An empty caption sorts to the top once another row is added.
        {"an empty first caption: the text begins with the bar", {AppRow(L"", L"1"), AppRow(L"app.exe", L"2")},
         {L"1", L"2"},
         L"| TCP | ESTABLISHED | 192.168.1.20 | 1 | 192.168.1.30 | 445 | 812 | C:\\Apps\\\r\n"
         L"app.exe | TCP | ESTABLISHED | 192.168.1.20 | 2 | 192.168.1.30 | 445 | 812 | C:\\Apps\\\r\n"},
        // A row appended with an empty caption stays at the end until the next sort.
        {"a later empty caption: the line begins with a blank", {AppRow(L"app.exe", L"1"), AppRow(L"", L"2")},
         {L"1", L"2"},
         L"app.exe | TCP | ESTABLISHED | 192.168.1.20 | 1 | 192.168.1.30 | 445 | 812 | C:\\Apps\\\r\n"
         L" | TCP | ESTABLISHED | 192.168.1.20 | 2 | 192.168.1.30 | 445 | 812 | C:\\Apps\\\r\n"},
        {"the text's leading blanks are trimmed: only the first line loses them",
         {AppRow(L"  app.exe", L"1"), AppRow(L"  app.exe", L"2")},
         {L"1", L"2"},
         L"app.exe | TCP | ESTABLISHED | 192.168.1.20 | 1 | 192.168.1.30 | 445 | 812 | C:\\Apps\\\r\n"
         L"  app.exe | TCP | ESTABLISHED | 192.168.1.20 | 2 | 192.168.1.30 | 445 | 812 | C:\\Apps\\\r\n"},
        {"a first caption of blanks only is trimmed like an empty one", {AppRow(L"  ")}, {L"139"},
         L"| TCP | ESTABLISHED | 192.168.1.20 | 139 | 192.168.1.30 | 445 | 812 | C:\\Apps\\\r\n"},
        {"fields are neither quoted nor escaped",
         {Row(L"a|b.exe", L"TCP", L"SYN-SENT", L"10.0.0.1", L"1", L"10.0.0.2", L"2", L"3", L"C:\\x\ty\\")},
         {L"1"},
         L"a|b.exe | TCP | SYN-SENT | 10.0.0.1 | 1 | 10.0.0.2 | 2 | 3 | C:\\x\ty\\\r\n"},
        {"a row without caption or folder", {Row(L"", L"UDP", L"-", L"0.0.0.0", L"7", L"-", L"-", L"5", L"")}, {L"7"},
         L"| UDP | - | 0.0.0.0 | 7 | - | - | 5 |\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fake::ResetClipboard();
        ConnectionList rows{nullptr};
        for (const auto& row : c.rows) {
            fake::AppendTexts(rows, row);
        }
        for (const auto& port : c.select) {
            Select(rows, port);
        }

        ui::CopySelectedRows(rows, kOwner);

        ASSERT_EQ(Clipboard().sets.size(), 1u) << "one clipboard operation";
        EXPECT_EQ(Clipboard().sets[0].owner, kOwner);
        EXPECT_EQ(fake::Narrow(Clipboard().sets[0].text), fake::Narrow(c.text));
        EXPECT_EQ(Clipboard().sets[0].text, c.text);
        EXPECT_EQ(Clipboard().contents, c.text);
    }
}

TEST_F(ClipboardExportTest, CopyRemoteIpPutsTheSelectedRowsAddressAloneOnTheClipboard)
{
    fake::AppendTexts(list, Row(L"b.exe", L"UDP", L"-", L"0.0.0.0", L"500", L"-", L"-", L"812", L"C:\\"));
    fake::AppendTexts(list, AppRow());
    Select(list, L"500");

    ui::CopyRemoteAddress(list, kOwner);
    ASSERT_EQ(Clipboard().sets.size(), 1u);
    EXPECT_EQ(Clipboard().sets[0].text, L"-") << "a UDP row";
    EXPECT_EQ(Clipboard().sets[0].owner, kOwner);

    Select(list, L"139");  // app.exe sorts first and becomes the selected row
    ui::CopyRemoteAddress(list, kOwner);
    ASSERT_EQ(Clipboard().sets.size(), 2u);
    EXPECT_EQ(Clipboard().sets[1].text, L"192.168.1.30") << "no line break";
}

TEST_F(ClipboardExportTest, NothingSelectedLeavesTheClipboardUntouched)
{
    fake::AppendTexts(list, AppRow());
    ui::CopySelectedRows(list, kOwner);
    ui::CopyRemoteAddress(list, kOwner);
    EXPECT_TRUE(Clipboard().sets.empty());
    EXPECT_EQ(Clipboard().contents, L"contents of another program");
    EXPECT_EQ(ui::SelectedRowsText(list), L"");
}

TEST_F(ClipboardExportTest, ARefusedClipboardFailsTheCommandSilently)
{
    fake::AppendTexts(list, AppRow());
    list.SetSelected(0, true);

    Clipboard().heldByAnotherProgram = true;
    EXPECT_NO_THROW(ui::CopySelectedRows(list, kOwner));
    EXPECT_NO_THROW(ui::CopyRemoteAddress(list, kOwner));
    EXPECT_EQ(Clipboard().sets.size(), 2u) << "each command tries once, without waiting";
    EXPECT_EQ(Clipboard().contents, L"contents of another program");

    fake::ResetClipboard();
    Clipboard().refusesData = true;
    EXPECT_NO_THROW(ui::CopySelectedRows(list, kOwner));
    EXPECT_EQ(Clipboard().sets.size(), 1u);
}

} // namespace
} // namespace vq
