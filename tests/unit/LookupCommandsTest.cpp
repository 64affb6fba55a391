#include "ui/lookup_commands.h"

#include "fake_files.h"
#include "fake_platform.h"
#include "fake_shell.h"
#include "util/error_report.h"
#include "util/file_properties.h"
#include "list_rows.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <cwchar>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace vq::ui {
namespace {

namespace fs = std::filesystem;
using connections::ConnectionList;
using connections::ConnectionRow;
using fake::Shell;

using Command = void (*)(const ConnectionList&);

constexpr wchar_t kGoogleSearch[] = L"https://www.google.com/search?q=";
constexpr wchar_t kVirusTotalSearch[] = L"https://www.virustotal.com/search/?query=";
constexpr wchar_t kAbcDigest[] = L"900150983CD24FB0D6963F7D28E17F72";
constexpr wchar_t kEmptyDigest[] = L"D41D8CD98F00B204E9800998ECF8427E";

ConnectionRow Row(const std::wstring& caption, std::array<std::wstring, 8> subItems)
{
    return ConnectionRow{caption, std::move(subItems), {}, 0};
}

ConnectionRow TcpRow(const std::wstring& folder = L"C:\\Tools\\", const std::wstring& caption = L"app.exe")
{
    return Row(caption, {L"TCP", L"ESTABLISHED", L"10.0.0.5", L"555", L"93.184.216.34", L"443", L"912",
                         folder});
}

ConnectionRow UdpRow()
{
    return Row(L"dns.exe", {L"UDP", L"-", L"0.0.0.0", L"53", L"-", L"-", L"1200", L"C:\\Windows\\"});
}

ConnectionRow ListeningRow()
{
    return Row(L"svc.exe", {L"TCP", L"LISTEN", L"0.0.0.0", L"135", L"0.0.0.0", L"0", L"640",
                            L"C:\\Windows\\system32\\"});
}

ConnectionRow RowInFolderWithSpaces()
{
    return Row(L"my app.exe", {L"TCP", L"ESTABLISHED", L"10.0.0.5", L"1025", L"10.0.0.9", L"8080",
                               L"77", L"C:\\Program Files\\My App\\"});
}

class LookupCommandsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fake::Reset();
        fake::ResetShell();
        fake::ResetFiles();
        std::string pattern = (fs::temp_directory_path() / "vq-lookup-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        directory_ = pattern;
    }

    void TearDown() override
    {
        EXPECT_EQ(fake::Files().OpenCount(), 0u);
        fake::ResetFiles();
        fake::ResetShell();
        fake::Reset();
        fs::remove_all(directory_);
    }

    // Adds the row and selects it; rows added unselected come from Add.
    void Select(const ConnectionRow& row)
    {
        fake::AppendTexts(list_, row);
        for (std::size_t i = 0; i < list_.size(); ++i) {
            if (list_.row(i).caption == row.caption) {
                list_.SetSelected(i, true);
            }
        }
    }

    // The folder of the temporary directory as a row holds it.
    // The list splits a process path at its last "\\" or ":", which a host
    // path has not got: the test's process files are named "in:<name>", so
    // that their folder text ends in ":".
    std::wstring Folder() const { return directory_.wstring() + L"/in:"; }

    void WriteProcessFile(const std::string& name, const std::string& content)
    {
        std::ofstream(directory_ / ("in:" + name), std::ios::binary) << content;
    }

    // The one address opened, checked to be opened the way every look-up opens one.
    std::wstring OpenedUrl() const
    {
        if (Shell().executes.size() != 1) {
            return L"<" + std::to_wstring(Shell().executes.size()) + L" shell calls>";
        }
        const fake::ShellExecuteCall& call = Shell().executes.front();
        EXPECT_EQ(call.owner, fake::FakeDesktopWindow());
        EXPECT_EQ(call.verb, L"open");
        EXPECT_EQ(call.parameters, L"");
        EXPECT_EQ(call.directory, L"");
        EXPECT_EQ(call.showCommand, 1);
        return call.file;
    }

    ConnectionList list_{[](const std::wstring& a, const std::wstring& b) { return a.compare(b); }};
    fs::path directory_;
};

struct AddressCase {
    const char* name;
    ConnectionRow row;
    Command command;
    std::wstring url;
};

TEST_F(LookupCommandsTest, AddressLookUpsAppendTheRowsTextsRawAndReputationPagesIgnoreTheRow)
{
    const std::vector<AddressCase> cases = {
        {"tcp address", TcpRow(), SearchRemoteAddress, L"https://www.google.com/search?q=93.184.216.34"},
        {"tcp port", TcpRow(), SearchRemotePort, L"https://www.google.com/search?q=443"},
        {"udp address", UdpRow(), SearchRemoteAddress, L"https://www.google.com/search?q=-"},
        {"udp port", UdpRow(), SearchRemotePort, L"https://www.google.com/search?q=-"},
        {"listening address", ListeningRow(), SearchRemoteAddress,
         L"https://www.google.com/search?q=0.0.0.0"},
        {"listening port", ListeningRow(), SearchRemotePort, L"https://www.google.com/search?q=0"},
        {"blacklist tcp", TcpRow(), OpenIpBlacklistCheck, L"http://www.ipvoid.com/ip-blacklist-check/"},
        {"blacklist udp", UdpRow(), OpenIpBlacklistCheck, L"http://www.ipvoid.com/ip-blacklist-check/"},
        {"geolocation tcp", TcpRow(), OpenIpGeolocation, L"http://www.ipvoid.com/ip-geolocation/"},
        {"geolocation listening", ListeningRow(), OpenIpGeolocation,
         L"http://www.ipvoid.com/ip-geolocation/"},
        {"whois tcp", TcpRow(), OpenIpWhois, L"http://www.ipvoid.com/whois/"},
        {"whois udp", UdpRow(), OpenIpWhois, L"http://www.ipvoid.com/whois/"},
    };
    for (const AddressCase& c : cases) {
        SCOPED_TRACE(c.name);
        fake::ResetShell();
        ConnectionList list{[](const std::wstring& a, const std::wstring& b) { return a.compare(b); }};
        fake::AppendTexts(list, c.row);
        list.SetSelected(0, true);
        c.command(list);
        EXPECT_EQ(OpenedUrl(), c.url);
    }
}

TEST_F(LookupCommandsTest, UrlBuildersJoinPrefixAndValueAsPlainText)
{
    EXPECT_EQ(RemoteAddressSearchUrl(TcpRow()), L"https://www.google.com/search?q=93.184.216.34");
    EXPECT_EQ(RemotePortSearchUrl(ListeningRow()), L"https://www.google.com/search?q=0");
    // Not encoded, quoted or trimmed.
    EXPECT_EQ(WebSearchUrl(L" a b&c "), L"https://www.google.com/search?q= a b&c ");
    auto linkLocal = TcpRow();
    linkLocal.subItems[connections::kRemoteAddress] = L"fe80::1%12";
    EXPECT_EQ(RemoteAddressSearchUrl(linkLocal), L"https://www.google.com/search?q=fe80::1%2512")
        << "the scope's % would otherwise turn %12 into one character";
    EXPECT_EQ(FileReputationUrl(kAbcDigest),
              L"https://www.virustotal.com/search/?query=900150983CD24FB0D6963F7D28E17F72");
    EXPECT_EQ(ProcessFilePath(RowInFolderWithSpaces()), L"C:\\Program Files\\My App\\my app.exe");
    EXPECT_EQ(ExplorerSelectParameters(L"C:\\Program Files\\My App\\my app.exe"),
              L"/select,\"C:\\Program Files\\My App\\my app.exe\"");
}

TEST_F(LookupCommandsTest, HashLookUpsSearchForTheUpperCaseDigestOfTheProcessFile)
{
    WriteProcessFile("abc.exe", "abc");
    WriteProcessFile("empty.exe", "");
    struct Case {
        const wchar_t* caption;
        Command command;
        std::wstring url;
    };
    const std::vector<Case> cases = {
        {L"abc.exe", SearchProcessHash, kGoogleSearch + std::wstring(kAbcDigest)},
        {L"abc.exe", CheckProcessHashReputation, kVirusTotalSearch + std::wstring(kAbcDigest)},
        {L"empty.exe", SearchProcessHash, kGoogleSearch + std::wstring(kEmptyDigest)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.caption, c.caption + std::wcslen(c.caption)));
        fake::ResetShell();
        ConnectionList list{[](const std::wstring& a, const std::wstring& b) { return a.compare(b); }};
        fake::AppendTexts(list, TcpRow(Folder(), c.caption));
        list.SetSelected(0, true);
        c.command(list);
        EXPECT_EQ(OpenedUrl(), c.url);
    }
}

// The caption alone would name a file in the current folder.
TEST_F(LookupCommandsTest, HashLookUpsIgnoreARowWithoutAFolder)
{
    WriteProcessFile("abc.exe", "abc");
    Select(TcpRow(L"", L"abc.exe"));
    for (const Command command : {SearchProcessHash, CheckProcessHashReputation}) {
        EXPECT_NO_THROW(command(list_));
    }
    EXPECT_TRUE(Shell().executes.empty());
    EXPECT_TRUE(fake::Files().log.empty()) << "a file was hashed";
}

// The error report names the file and gives the system's words for the
// failure, without their line break.
TEST_F(LookupCommandsTest, HashLookUpsReportAnUnreadableProcessFileAndOpenNothing)
{
    WriteProcessFile("abc.exe", "abc");
    fake::Fake().systemMessages = {
        {2, L"The system cannot find the file specified.\r\n"},
        {64, L"The specified network name is no longer available. \r\n"},
    };
    struct Case {
        const char* name;
        const wchar_t* caption;
        std::optional<std::uint64_t> readFailsAt;
        std::uint32_t readError;
        std::wstring reason;
    };
    const std::vector<Case> cases = {
        {"missing file", L"missing.exe", std::nullopt, 0, L"The system cannot find the file specified."},
        {"read fails", L"abc.exe", 1, 64, L"The specified network name is no longer available."},
        {"no words for the error", L"abc.exe", 0, 1167, L"System error 1167"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (const Command command : {SearchProcessHash, CheckProcessHashReputation}) {
            fake::ResetShell();
            fake::ResetFiles();
            fake::Files().readFailsAt = c.readFailsAt;
            fake::Files().readError = c.readError;
            ConnectionList list{[](const std::wstring& a, const std::wstring& b) { return a.compare(b); }};
            fake::AppendTexts(list, TcpRow(Folder(), c.caption));
            list.SetSelected(0, true);
            try {
                command(list);
                ADD_FAILURE() << "nothing reported";
            } catch (const util::AppError& error) {
                EXPECT_EQ(error.message(), L"Could not read \"" + Folder() + c.caption + L"\": " + c.reason);
            }
            EXPECT_TRUE(Shell().executes.empty());
        }
    }
}

TEST_F(LookupCommandsTest, LocateOpensTheFileManagerWithTheQuotedProcessFileSelected)
{
    Select(RowInFolderWithSpaces());
    LocateProcessFile(list_);
    ASSERT_EQ(Shell().executes.size(), 1u);
    const fake::ShellExecuteCall& call = Shell().executes.front();
    EXPECT_EQ(call.owner, fake::FakeDesktopWindow());
    EXPECT_EQ(call.verb, L"open");
    EXPECT_EQ(call.file, L"C:\\Windows\\Explorer.exe") << "by its full path";
    EXPECT_EQ(call.parameters, L"/select,\"C:\\Program Files\\My App\\my app.exe\"");
    EXPECT_EQ(call.directory, L"");
    EXPECT_EQ(call.showCommand, 1);
}

TEST_F(LookupCommandsTest, PropertiesAskTheShellForTheSheetOwnedByTheMainWindow)
{
    int mainWindow = 0;
    Select(RowInFolderWithSpaces());
    ShowProcessProperties(list_, &mainWindow);
    EXPECT_TRUE(Shell().executes.empty());
    ASSERT_EQ(Shell().executeExs.size(), 1u);
    const platform::ShellExecuteRequest& request = Shell().executeExs.front();
    EXPECT_EQ(request.mask, 0x44Cu);
    EXPECT_EQ(request.owner, &mainWindow);
    EXPECT_EQ(request.verb, L"properties");
    EXPECT_EQ(request.file, L"C:\\Program Files\\My App\\my app.exe");
    EXPECT_EQ(request.showCommand, 0);
}

TEST_F(LookupCommandsTest, ShowFilePropertiesAnswersWhetherTheShellAcceptedAndFalseWhenItFails)
{
    EXPECT_TRUE(util::ShowFileProperties(nullptr, L"C:\\a.exe"));
    Shell().executeExResult = false;
    EXPECT_FALSE(util::ShowFileProperties(nullptr, L"C:\\a.exe"));
    Shell().executeExResult = true;
    Shell().throwOnExecute = true;
    EXPECT_FALSE(util::ShowFileProperties(nullptr, L"C:\\a.exe"));
    EXPECT_EQ(Shell().executeExs.size(), 3u);
}

TEST_F(LookupCommandsTest, UsesTheFirstSelectedRowInListOrder)
{
    // "b.exe" is appended first but sorts after "a.exe".
    Select(TcpRow(L"C:\\B\\", L"b.exe"));
    Select(Row(L"a.exe", {L"TCP", L"ESTABLISHED", L"10.0.0.1", L"1", L"10.9.9.9", L"99", L"1", L"C:\\A\\"}));
    SearchRemoteAddress(list_);
    SearchRemotePort(list_);
    LocateProcessFile(list_);
    ASSERT_EQ(Shell().executes.size(), 3u);
    EXPECT_EQ(Shell().executes[0].file, L"https://www.google.com/search?q=10.9.9.9");
    EXPECT_EQ(Shell().executes[1].file, L"https://www.google.com/search?q=99");
    EXPECT_EQ(Shell().executes[2].parameters, L"/select,\"C:\\A\\a.exe\"");
}

TEST_F(LookupCommandsTest, WithoutASelectedRowNoCommandDoesAnything)
{
    WriteProcessFile("abc.exe", "abc");
    fake::AppendTexts(list_, TcpRow(Folder(), L"abc.exe"));
    int mainWindow = 0;
    for (const Command command :
         {LocateProcessFile, SearchProcessHash, CheckProcessHashReputation,
          SearchRemoteAddress, SearchRemotePort, OpenIpBlacklistCheck,
          OpenIpGeolocation, OpenIpWhois}) {
        command(list_);
    }
    ShowProcessProperties(list_, &mainWindow);
    EXPECT_TRUE(Shell().executes.empty());
    EXPECT_TRUE(Shell().executeExs.empty());
    EXPECT_TRUE(fake::Files().log.empty()) << "a file was hashed";
}

TEST_F(LookupCommandsTest, AFailingShellIsDroppedByEveryCommand)
{
    WriteProcessFile("abc.exe", "abc");
    Select(TcpRow(Folder(), L"abc.exe"));
    Shell().throwOnExecute = true;
    int mainWindow = 0;
    for (const Command command :
         {LocateProcessFile, SearchProcessHash, CheckProcessHashReputation,
          SearchRemoteAddress, SearchRemotePort, OpenIpBlacklistCheck,
          OpenIpGeolocation, OpenIpWhois}) {
        EXPECT_NO_THROW(command(list_));
    }
    EXPECT_NO_THROW(ShowProcessProperties(list_, &mainWindow));
    // Every command reached the shell.
    EXPECT_EQ(Shell().executes.size(), 8u);
    EXPECT_EQ(Shell().executeExs.size(), 1u);
}

} // namespace
} // namespace vq::ui
