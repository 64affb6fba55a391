#include "util/html_report.h"

#include "fake_files.h"
#include "fake_platform.h"
#include "fake_shell.h"
#include "ui/report_command.h"
#include "list_rows.h"
#include "text_list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

namespace vq {
namespace {

namespace fs = std::filesystem;
using connections::ConnectionList;
using connections::ConnectionRow;
using fake::Files;
using fake::Shell;

using Lines = std::vector<std::string>;

constexpr char kBom[] = "\xEF\xBB\xBF";
const std::string kCell = "<td BGCOLOR=\"F5F5F5\">";

// The lines before the first row, for the connection list's nine columns.
Lines PageHead(const std::string& title = "Quarvel Velquist")
{
    Lines lines = {"<html>", "<head>", "<title>" + title + " - Report</title>", "</head>", "<body>",
                   "<table border=\"1\" bordercolor=\"#000000\">", "<tr>"};
    for (const char* caption : {"Process", "Protocol", "State", "Local Address", "Local Port", "Remote Address",
                                "Remote Port", "Process Id", "Process Path"}) {
        lines.push_back(std::string("<td BGCOLOR=\"000000\" style=\"color:white\"><b><center>") + caption +
                        "</center></b></td>");
    }
    lines.push_back("</tr>");
    return lines;
}

std::string Cells(const Lines& texts)
{
    std::string line;
    for (const auto& text : texts) {
        line += kCell + text + "</td>";
    }
    return line;
}

ConnectionRow TcpRow(const std::wstring& caption = L"app.exe", const std::wstring& folder = L"C:\\Tools\\")
{
    return ConnectionRow{caption, {L"TCP", L"ESTABLISHED", L"10.0.0.5", L"555", L"10.0.0.9", L"443", L"912",
                                   folder}, {}, 0};
}

const std::string kTcpCells =
    Cells({"TCP", "ESTABLISHED", "10.0.0.5", "555", "10.0.0.9", "443", "912", "C:\\Tools\\"});

using fake::TextList;

class HtmlReportTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fake::Reset();
        fake::ResetFiles();
        fake::ResetShell();
        std::string pattern = (fs::temp_directory_path() / "vq-report-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        directory_ = pattern;
        fake::Fake().executablePath = (directory_ / "velquist.exe").wstring();
        fake::Fake().localTime = {2021, 11, 7, 8, 5, 4};
    }

    void TearDown() override
    {
        EXPECT_EQ(Files().OpenCount(), 0u);
        fake::ResetFiles();
        fake::ResetShell();
        fake::Reset();
        fs::remove_all(directory_);
    }

    void Add(const ConnectionRow& row) { fake::AppendTexts(list_, row); }

    bool Export(const fs::path& file, std::wstring_view title = L"Quarvel Velquist")
    {
        return util::ExportListToHtml(title, ui::ConnectionReportList{list_}, file.wstring(), true);
    }

    static std::string Read(const fs::path& file)
    {
        std::ifstream in(file, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    // The file's lines after its byte-order mark, each checked to end in CR LF.
    static Lines ReadLines(const fs::path& file)
    {
        const std::string content = Read(file);
        EXPECT_EQ(content.substr(0, 3), kBom);
        Lines lines;
        std::size_t start = 3;
        while (start < content.size()) {
            const std::size_t end = content.find("\r\n", start);
            if (end == std::string::npos) {
                ADD_FAILURE() << "last line without CR LF: " << content.substr(start);
                lines.push_back(content.substr(start));
                break;
            }
            lines.push_back(content.substr(start, end - start));
            start = end + 2;
        }
        return lines;
    }

    static Lines Concat(Lines head, const Lines& tail)
    {
        head.insert(head.end(), tail.begin(), tail.end());
        return head;
    }

    std::vector<fs::path> Entries(const fs::path& folder) const
    {
        std::vector<fs::path> entries;
        for (const auto& entry : fs::directory_iterator(folder)) {
            entries.push_back(entry.path().filename());
        }
        return entries;
    }

    ConnectionList list_{[](const std::wstring& a, const std::wstring& b) { return a.compare(b); }};
    fs::path directory_;
};

TEST_F(HtmlReportTest, OneRowGivesTheTwentyTwoLinesOfThePage)
{
    Add(TcpRow());
    const fs::path file = directory_ / "Reports" / "r.htm";
    ASSERT_TRUE(Export(file));
    const Lines lines = ReadLines(file);
    EXPECT_EQ(lines.size(), 22u);
    EXPECT_EQ(lines, Concat(PageHead(), {"<tr>", kCell + "app.exe</td>", kTcpCells + "</tr></table>", "</body>",
                                         "</html>"}));
}

TEST_F(HtmlReportTest, LaterRowsStartOnTheLineWhereThePreviousRowEnded)
{
    Add(TcpRow(L"b.exe"));
    Add(TcpRow(L"a.exe"));  // the list shows it first
    const fs::path file = directory_ / "r.htm";
    ASSERT_TRUE(Export(file));
    EXPECT_EQ(ReadLines(file), Concat(PageHead(), {"<tr>", kCell + "a.exe</td>", kTcpCells + "</tr><tr>",
                                                   kCell + "b.exe</td>", kTcpCells + "</tr></table>", "</body>",
                                                   "</html>"}));
}

TEST_F(HtmlReportTest, RowsWriteTheirTextsAndADashOnlyForEmptySubItems)
{
    struct Case {
        const char* name;
        ConnectionRow row;
        std::string captionLine;
        std::string cellsLine;
    };
    const std::vector<Case> cases = {
        {"udp row: its own dashes are texts", ConnectionRow{L"dns.exe", {L"UDP", L"-", L"0.0.0.0", L"53", L"-",
                                                                         L"-", L"1200", L"C:\\Windows\\"}, {}, 0},
         kCell + "dns.exe</td>", Cells({"UDP", "-", "0.0.0.0", "53", "-", "-", "1200", "C:\\Windows\\"})},
        {"no process folder", ConnectionRow{L"System", {L"TCP", L"LISTEN", L"0.0.0.0", L"445", L"0.0.0.0", L"0",
                                                        L"4", L""}, {}, 0},
         kCell + "System</td>", Cells({"TCP", "LISTEN", "0.0.0.0", "445", "0.0.0.0", "0", "4", "-"})},
        {"no caption: empty caption cell",
         ConnectionRow{L"", {L"TCP", L"TIME-WAIT", L"10.0.0.5", L"50000", L"10.0.0.9", L"80", L"3", L""}, {}, 0},
         kCell + "</td>", Cells({"TCP", "TIME-WAIT", "10.0.0.5", "50000", "10.0.0.9", "80", "3", "-"})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ConnectionList list{[](const std::wstring& a, const std::wstring& b) { return a.compare(b); }};
        fake::AppendTexts(list, c.row);
        const fs::path file = directory_ / "r.htm";
        ASSERT_TRUE(util::ExportListToHtml(L"Quarvel Velquist", ui::ConnectionReportList{list}, file.wstring(),
                                           true));
        const Lines lines = ReadLines(file);
        ASSERT_EQ(lines.size(), 22u);
        EXPECT_EQ(lines[18], c.captionLine);
        EXPECT_EQ(lines[19], c.cellsLine + "</tr></table>");
    }
}

TEST_F(HtmlReportTest, MarkupCharactersInTitleCaptionsAndTextsAreEscapedOnTheSameLines)
{
    Add(ConnectionRow{L"<b>&\"x\".exe", {L"TCP", L"ESTABLISHED", L"10.0.0.5", L"555", L"10.0.0.9", L"443",
                                         L"912", L"C:\\R&D\\<script>alert(1)</script>\\"}, {}, 0});
    TextList other;
    other.columns = {L"A<B", L"\"C\"&D"};
    other.rows = {{L"x>y", L"a&amp;b"}};
    const fs::path file = directory_ / "r.htm";
    const fs::path otherFile = directory_ / "other.htm";
    ASSERT_TRUE(Export(file, L"Q&A <\"Report\">"));
    ASSERT_TRUE(util::ExportListToHtml(L"T", other, otherFile.wstring(), false));

    const Lines lines = ReadLines(file);
    ASSERT_EQ(lines.size(), 22u);
    EXPECT_EQ(lines[2], "<title>Q&amp;A &lt;&quot;Report&quot;&gt; - Report</title>");
    EXPECT_EQ(lines[18], kCell + "&lt;b&gt;&amp;&quot;x&quot;.exe</td>");
    EXPECT_EQ(lines[19], Cells({"TCP", "ESTABLISHED", "10.0.0.5", "555", "10.0.0.9", "443", "912",
                                "C:\\R&amp;D\\&lt;script&gt;alert(1)&lt;/script&gt;\\"}) +
                             "</tr></table>");
    // Header captions too; an entity already in a text is written as text.
    const Lines otherLines = ReadLines(otherFile);
    ASSERT_EQ(otherLines.size(), 15u);
    EXPECT_EQ(otherLines[7], "<td BGCOLOR=\"000000\" style=\"color:white\"><b>A&lt;B</b></td>");
    EXPECT_EQ(otherLines[8], "<td BGCOLOR=\"000000\" style=\"color:white\"><b>&quot;C&quot;&amp;D</b></td>");
    EXPECT_EQ(otherLines[11], kCell + "x&gt;y</td>");
    EXPECT_EQ(otherLines[12], kCell + "a&amp;amp;b</td></tr></table>");
}

TEST_F(HtmlReportTest, NamesOutsideAnyAnsiCodePageSurviveAsUtf8AfterAByteOrderMark)
{
    // Greek, Cyrillic, CJK, a character beyond the basic plane (as a UTF-16
    // surrogate pair), and a lone surrogate, which has no character to keep.
    Add(ConnectionRow{L"\u03B1\u03B2\u03B3.exe",
                      {L"TCP", L"ESTABLISHED", L"10.0.0.5", L"555", L"10.0.0.9", L"443", L"912",
                       L"C:\\\u041F\u0440\u043E\u0433\\\u4E2D\u6587\\\xD83D\xDE00\\\xDC00\\"}, {}, 0});
    // In a folder with a non-ASCII name, too (the host's file names are UTF-8).
    const fs::path file = directory_ / "\xC3\xBC" "ber" / "r.htm";
    ASSERT_TRUE(util::ExportListToHtml(L"caf\u00E9", ui::ConnectionReportList{list_},
                                       directory_.wstring() + L"/\u00FCber/r.htm", true));
    EXPECT_EQ(Read(file).substr(0, 11), std::string(kBom) + "<html>\r\n");
    const Lines lines = ReadLines(file);
    ASSERT_EQ(lines.size(), 22u);
    EXPECT_EQ(lines[2], "<title>caf\xC3\xA9 - Report</title>");
    EXPECT_EQ(lines[18], kCell + "\xCE\xB1\xCE\xB2\xCE\xB3.exe</td>");
    EXPECT_EQ(lines[19], Cells({"TCP", "ESTABLISHED", "10.0.0.5", "555", "10.0.0.9", "443", "912",
                                "C:\\\xD0\x9F\xD1\x80\xD0\xBE\xD0\xB3\\\xE4\xB8\xAD\xE6\x96\x87\\"
                                "\xF0\x9F\x98\x80\\\xEF\xBF\xBD\\"}) +
                             "</tr></table>");
}

TEST_F(HtmlReportTest, AnEmptyListIsRefusedWithoutTouchingTheDisk)
{
    const fs::path file = directory_ / "Reports" / "r.htm";
    EXPECT_FALSE(Export(file));
    EXPECT_TRUE(Files().log.empty());
    EXPECT_TRUE(Entries(directory_).empty());
}

TEST_F(HtmlReportTest, CreatesMissingFoldersReusesExistingOnesAndReplacesAnOldFile)
{
    Add(TcpRow());
    const fs::path nested = directory_ / "a" / "b" / "Reports" / "r.htm";
    ASSERT_TRUE(Export(nested));
    EXPECT_EQ(ReadLines(nested).size(), 22u);

    // An existing folder with a report in it: the folder and the other report
    // stay; a report of the same name is replaced whole.
    const fs::path reports = directory_ / "Reports";
    fs::create_directory(reports);
    std::ofstream(reports / "old.htm") << "old report";
    std::ofstream(reports / "r.htm") << std::string(10000, 'x');
    ASSERT_TRUE(Export(reports / "r.htm"));
    EXPECT_EQ(Read(reports / "old.htm"), "old report");
    EXPECT_EQ(ReadLines(reports / "r.htm").size(), 22u);  // and no old tail after the last CR LF
}

TEST_F(HtmlReportTest, AFileNamedReportsInTheWayFailsAndLeavesNothingBehind)
{
    Add(TcpRow());
    std::ofstream(directory_ / "Reports") << "not a folder";
    EXPECT_FALSE(Export(directory_ / "Reports" / "r.htm"));
    EXPECT_EQ(Entries(directory_), std::vector<fs::path>{"Reports"});
    EXPECT_EQ(Read(directory_ / "Reports"), "not a folder");
}

TEST_F(HtmlReportTest, AFailedWriteRemovesTheIncompleteFile)
{
    // Enough rows for several blocks of output, so a full disk can also stop
    // the export in the middle.
    for (int i = 0; i < 2000; ++i) {
        Add(TcpRow(L"p" + std::to_wstring(i) + L".exe"));
    }
    for (const std::uint64_t room : {std::uint64_t{0}, std::uint64_t{100}, std::uint64_t{200000}}) {
        SCOPED_TRACE(room);
        fake::ResetFiles();
        Files().writableBytes = room;
        const fs::path file = directory_ / "r.htm";
        EXPECT_FALSE(Export(file));
        EXPECT_FALSE(fs::exists(file));
        EXPECT_EQ(Files().log.back(), "DeleteFileW " + file.string() + " -> ok");
        // Nothing more was written after the failed write.
        const auto& log = Files().log;
        const auto lastWrite = std::find_if(log.rbegin(), log.rend(), [](const std::string& line) {
            return line.rfind("WriteFile ", 0) == 0;
        });
        ASSERT_NE(lastWrite, log.rend());
        EXPECT_NE(lastWrite->find("-> failed"), std::string::npos);
        EXPECT_EQ(std::count_if(log.begin(), log.end(),
                                [](const std::string& line) { return line.find("-> failed") != std::string::npos; }),
                  1);
    }
}

TEST_F(HtmlReportTest, AFailureInsideTheListRemovesTheIncompleteFile)
{
    TextList list;
    list.columns = {L"A", L"B"};
    list.rows = {{L"one", L"1"}, {L"two", L"2"}, {L"three", L"3"}};
    list.throwAtRow = 2;
    const fs::path file = directory_ / "r.htm";
    EXPECT_FALSE(util::ExportListToHtml(L"T", list, file.wstring(), true));
    EXPECT_FALSE(fs::exists(file));
}

TEST_F(HtmlReportTest, AFileThatCannotBeCreatedIsNotRemoved)
{
    Add(TcpRow());
    const fs::path file = directory_ / "r.htm";
    std::ofstream(file) << "held by another program";
    Files().createFileFails = true;
    EXPECT_FALSE(Export(file));
    EXPECT_EQ(Read(file), "held by another program");
}

TEST_F(HtmlReportTest, ReportFileNamesFollowTheLocalTimeWithFixedWidthFields)
{
    EXPECT_EQ(ui::ReportFileName({2018, 5, 29, 14, 3, 7}), L"29-05-2018-14-03-07.htm");
    EXPECT_EQ(ui::ReportFileName({2024, 12, 1, 0, 0, 0}), L"01-12-2024-00-00-00.htm");
    EXPECT_EQ(ui::ReportFileName({987, 1, 2, 23, 59, 59}), L"02-01-0987-23-59-59.htm");
    EXPECT_EQ(ui::ReportPath(L"C:\\Program Files\\Quarvel\\velquist.exe", L"x.htm"),
              L"C:\\Program Files\\Quarvel\\Reports\\x.htm");
    EXPECT_EQ(ui::ReportPath(L"velquist.exe", L"x.htm"), L"");
}

TEST_F(HtmlReportTest, SaveWritesTheReportBesideTheProgramThenRevealsIt)
{
    Add(TcpRow());
    fs::create_directory(directory_ / "Reports");  // reused
    ui::SaveReport(list_);
    const fs::path report = directory_ / "Reports" / "07-11-2021-08-05-04.htm";
    EXPECT_EQ(ReadLines(report), Concat(PageHead(), {"<tr>", kCell + "app.exe</td>",
                                                     kTcpCells + "</tr></table>", "</body>", "</html>"}));
    EXPECT_EQ(fake::Fake().sleeps, std::vector<std::uint32_t>{10});
    ASSERT_EQ(Shell().executes.size(), 1u);
    const fake::ShellExecuteCall& call = Shell().executes.front();
    EXPECT_EQ(call.owner, fake::FakeDesktopWindow());
    EXPECT_EQ(call.verb, L"open");
    EXPECT_EQ(call.file, L"C:\\Windows\\Explorer.exe") << "by its full path";
    EXPECT_EQ(call.parameters, L"/select,\"" + report.wstring() + L"\"");
    EXPECT_EQ(call.directory, L"");
    EXPECT_EQ(call.showCommand, 1);
}

TEST_F(HtmlReportTest, SaveCreatesTheReportsFolderWithItsParents)
{
    Add(TcpRow());
    fake::Fake().executablePath = (directory_ / "not yet" / "there" / "velquist.exe").wstring();
    ui::SaveReport(list_);
    EXPECT_TRUE(fs::is_regular_file(directory_ / "not yet" / "there" / "Reports" / "07-11-2021-08-05-04.htm"));
    EXPECT_EQ(Shell().executes.size(), 1u);
}

TEST_F(HtmlReportTest, SaveDoesNothingMoreWhenThereIsNothingToSaveOrTheExportFails)
{
    ui::SaveReport(list_);  // empty list
    EXPECT_TRUE(Files().log.empty());
    EXPECT_TRUE(Entries(directory_).empty());

    Add(TcpRow());
    std::ofstream(directory_ / "Reports") << "not a folder";
    ui::SaveReport(list_);
    EXPECT_EQ(Entries(directory_), std::vector<fs::path>{"Reports"});

    EXPECT_TRUE(fake::Fake().sleeps.empty());
    EXPECT_TRUE(Shell().executes.empty());
}

TEST_F(HtmlReportTest, SaveDropsAFailingFileManagerAndKeepsTheReport)
{
    Add(TcpRow());
    Shell().throwOnExecute = true;
    EXPECT_NO_THROW(ui::SaveReport(list_));
    EXPECT_EQ(Shell().executes.size(), 1u);
    EXPECT_TRUE(fs::is_regular_file(directory_ / "Reports" / "07-11-2021-08-05-04.htm"));
}

} // namespace
} // namespace vq
