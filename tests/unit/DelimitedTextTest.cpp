#include "util/delimited_text.h"

#include "fake_files.h"
#include "text_list.h"

#include <gtest/gtest.h>

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
using util::Delimiter;

std::string Cell(std::wstring_view text, Delimiter delimiter)
{
    std::string out;
    util::AppendDelimitedCell(out, text, delimiter);
    return out;
}

struct CellCase {
    const wchar_t* text;
    const char* comma;
    const char* tab;
};

const CellCase kCellCases[] = {
    {L"plain", "plain", "plain"},
    {L"", "", ""},
    {L"a,b", "\"a,b\"", "a,b"},
    {L"say \"hi\"", "\"say \"\"hi\"\"\"", "say \"hi\""},
    {L"\"", "\"\"\"\"", "\""},
    {L"two\r\nlines", "\"two\r\nlines\"", "two  lines"},
    {L"lf\nonly", "\"lf\nonly\"", "lf only"},
    {L"tab\there", "tab\there", "tab here"},
    // Formula starts get a guard; a lone sign stays as it is.
    {L"=1+2", "'=1+2", "'=1+2"},
    {L"+49 30", "'+49 30", "'+49 30"},
    {L"-cmd", "'-cmd", "'-cmd"},
    {L"@SUM(A1)", "'@SUM(A1)", "'@SUM(A1)"},
    {L"-", "-", "-"},
    {L"=", "=", "="},
    {L"a=b", "a=b", "a=b"},
    // The guard belongs inside the quotes.
    {L"=HYPERLINK(\"x\",\"y\")", "\"'=HYPERLINK(\"\"x\"\",\"\"y\"\")\"", "'=HYPERLINK(\"x\",\"y\")"},
    {L"-\n", "\"'-\n\"", "'- "},
    // UTF-8; a pair is one character, a lone surrogate becomes U+FFFD.
    {L"Z\u00fcrich \u65e5\u672c", "Z\xc3\xbcrich \xe6\x97\xa5\xe6\x9c\xac", "Z\xc3\xbcrich \xe6\x97\xa5\xe6\x9c\xac"},
    {L"\xd83d\xde00", "\xf0\x9f\x98\x80", "\xf0\x9f\x98\x80"},
    {L"a\xd800z", "a\xef\xbf\xbdz", "a\xef\xbf\xbdz"},
};

TEST(DelimitedTextTest, CellsAreQuotedGuardedOrFlattenedAsTheirDelimiterNeeds)
{
    for (const CellCase& c : kCellCases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.text)));
        EXPECT_EQ(Cell(c.text, Delimiter::Comma), c.comma);
        EXPECT_EQ(Cell(c.text, Delimiter::Tab), c.tab);
    }
}

using fake::TextList;

TextList SampleList()
{
    TextList list;
    list.columns = {L"Process", L"Local Port", L"Created, at"};
    list.rows = {{L"a.exe", L"80", L"-"}, {L"b \"x\".exe", L"443", L"=now"}};
    return list;
}

TEST(DelimitedTextTest, AListIsItsHeaderThenOneCrLfLinePerRow)
{
    const TextList list = SampleList();
    std::string comma;
    util::AppendDelimitedList(comma, list, Delimiter::Comma);
    EXPECT_EQ(comma, "Process,Local Port,\"Created, at\"\r\n"
                     "a.exe,80,-\r\n"
                     "\"b \"\"x\"\".exe\",443,'=now\r\n");
    std::string tab;
    util::AppendDelimitedList(tab, list, Delimiter::Tab);
    EXPECT_EQ(tab, "Process\tLocal Port\tCreated, at\r\na.exe\t80\t-\r\nb \"x\".exe\t443\t'=now\r\n");
}

class DelimitedFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fake::ResetFiles();
        std::string pattern = (fs::temp_directory_path() / "vq-csv-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        directory_ = pattern;
    }
    void TearDown() override
    {
        EXPECT_EQ(fake::Files().OpenCount(), 0u);
        fake::ResetFiles();
        fs::remove_all(directory_);
    }
    static std::string Read(const fs::path& file)
    {
        std::ifstream in(file, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    fs::path directory_;
};

TEST_F(DelimitedFileTest, TheFileIsAByteOrderMarkAndTheListReplacingAnOldFile)
{
    const fs::path file = directory_ / "list.csv";
    std::ofstream(file) << "an older and much longer file than the new one will be, by far";
    EXPECT_EQ(util::ExportListToDelimitedFile(SampleList(), file.wstring(), Delimiter::Comma), 0u);
    std::string expected = "\xEF\xBB\xBF";
    util::AppendDelimitedList(expected, SampleList(), Delimiter::Comma);
    EXPECT_EQ(Read(file), expected);
}

TEST_F(DelimitedFileTest, AFailedWriteRemovesThePartialFileAndAnswersTheSystemsReason)
{
    TextList list = SampleList();
    for (int i = 0; i < 5000; ++i) {
        list.rows.push_back({L"p" + std::to_wstring(i) + L".exe", L"1", L"2"});
    }
    for (const std::uint64_t room : {std::uint64_t{0}, std::uint64_t{70000}}) {
        SCOPED_TRACE(room);
        fake::ResetFiles();
        fake::Files().writableBytes = room;
        const fs::path file = directory_ / "list.csv";
        EXPECT_EQ(util::ExportListToDelimitedFile(list, file.wstring(), Delimiter::Comma), 112u);
        EXPECT_FALSE(fs::exists(file));
    }
}

TEST_F(DelimitedFileTest, AFileThatCannotBeCreatedAnswersWhyAndRemovesNothing)
{
    EXPECT_EQ(util::ExportListToDelimitedFile(SampleList(), (directory_ / "missing" / "x.csv").wstring(),
                                              Delimiter::Tab),
              3u);
    fake::Files().createFileFails = true;
    EXPECT_EQ(util::ExportListToDelimitedFile(SampleList(), (directory_ / "x.csv").wstring(), Delimiter::Tab),
              fake::kSharingViolation);
    for (const std::string& line : fake::Files().log) {
        EXPECT_EQ(line.rfind("DeleteFileW", 0), std::string::npos) << line;
    }
}

TEST_F(DelimitedFileTest, AFailureInsideTheListRemovesThePartialFileAndTravelsOn)
{
    TextList list = SampleList();
    list.throwAtRow = 1;
    const fs::path file = directory_ / "list.csv";
    EXPECT_THROW(util::ExportListToDelimitedFile(list, file.wstring(), Delimiter::Comma), std::runtime_error);
    EXPECT_FALSE(fs::exists(file));
}

} // namespace
} // namespace vq
