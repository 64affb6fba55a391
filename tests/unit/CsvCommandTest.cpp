#include "ui/csv_command.h"

#include "fake_file_dialog.h"
#include "fake_files.h"
#include "fake_platform.h"
#include "list_rows.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace vq::ui {
namespace {

namespace fs = std::filesystem;
using connections::ConnectionRow;

ConnectionRow Row(const std::wstring& caption, const std::wstring& folder)
{
    return ConnectionRow{caption, {L"TCP", L"ESTABLISHED", L"10.0.0.5", L"555", L"10.0.0.9", L"443", L"912", folder},
                         {}, 0};
}

class CsvCommandTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fake::Reset();
        fake::ResetFiles();
        fake::ResetFileDialog();
        fake::Fake().localTime = {2024, 3, 9, 7, 5, 4};
        std::string pattern = (fs::temp_directory_path() / "vq-csvcmd-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        directory_ = pattern;
    }
    void TearDown() override
    {
        EXPECT_EQ(fake::Files().OpenCount(), 0u);
        fake::ResetFileDialog();
        fake::ResetFiles();
        fake::Reset();
        fs::remove_all(directory_);
    }
    static std::string Read(const fs::path& file)
    {
        std::ifstream in(file, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    connections::ConnectionList list_{[](const std::wstring& a, const std::wstring& b) { return a.compare(b); }};
    fs::path directory_;
};

TEST_F(CsvCommandTest, TheFileNameFollowsTheLocalTimeWithFixedWidthFields)
{
    EXPECT_EQ(CsvFileName({2024, 3, 9, 7, 5, 4}), L"Connections 2024-03-09 070504.csv");
    EXPECT_EQ(CsvFileName({1999, 12, 31, 23, 59, 59}), L"Connections 1999-12-31 235959.csv");
}

TEST_F(CsvCommandTest, AsksInTheDocumentsFolderThenWritesTheShownRowsAsTheChosenType)
{
    fake::AppendTexts(list_, Row(L"b.exe", L"C:\\Tools, old\\"));
    fake::AppendTexts(list_, Row(L"a.exe", L"C:\\A\\"));
    const fs::path file = directory_ / "list.txt";
    fake::FileDialog().answer = platform::SaveFileChoice{file.wstring(), 1};
    int owner = 0;
    SaveListToCsv(list_, &owner);

    ASSERT_EQ(fake::FileDialog().requests.size(), 1u);
    const platform::SaveFileRequest& request = fake::FileDialog().requests[0];
    EXPECT_EQ(request.owner, &owner);
    EXPECT_EQ(request.folder, L"C:\\Users\\me\\Documents");
    EXPECT_EQ(request.fileName, L"Connections 2024-03-09 070504.csv");
    ASSERT_EQ(request.types.size(), 2u);
    EXPECT_EQ(request.types[0].description, L"CSV (*.csv)");
    EXPECT_EQ(request.types[0].pattern, L"*.csv");
    EXPECT_EQ(request.types[1].description, L"Tab-separated text (*.txt)");
    EXPECT_EQ(request.types[1].pattern, L"*.txt");
    EXPECT_EQ(request.defaultExtension, L"csv");

    EXPECT_EQ(Read(file), "\xEF\xBB\xBFProcess\tProtocol\tState\tLocal Address\tLocal Port\tRemote Address\t"
                          "Remote Port\tProcess Id\tProcess Path\r\n"
                          "a.exe\tTCP\tESTABLISHED\t10.0.0.5\t555\t10.0.0.9\t443\t912\tC:\\A\\\r\n"
                          "b.exe\tTCP\tESTABLISHED\t10.0.0.5\t555\t10.0.0.9\t443\t912\tC:\\Tools, old\\\r\n");
    EXPECT_TRUE(fake::Fake().messageBoxes.empty());

    fake::FileDialog().answer = platform::SaveFileChoice{file.wstring(), 0};
    SaveListToCsv(list_, &owner);
    const std::string csv = Read(file);
    EXPECT_NE(csv.find("\r\nb.exe,TCP,ESTABLISHED,10.0.0.5,555,10.0.0.9,443,912,\"C:\\Tools, old\\\"\r\n"),
              std::string::npos)
        << csv;
}

TEST_F(CsvCommandTest, AnEmptyListOrACancelledDialogWritesNothing)
{
    fake::FileDialog().answer = platform::SaveFileChoice{(directory_ / "x.csv").wstring(), 0};
    SaveListToCsv(list_, nullptr);
    EXPECT_TRUE(fake::FileDialog().requests.empty());
    fake::AppendTexts(list_, Row(L"a.exe", L"C:\\A\\"));
    fake::FileDialog().answer.reset();
    SaveListToCsv(list_, nullptr);
    EXPECT_EQ(fake::FileDialog().requests.size(), 1u);
    EXPECT_TRUE(fake::Files().log.empty());
    EXPECT_TRUE(fake::Fake().messageBoxes.empty());
}

TEST_F(CsvCommandTest, AFailedWriteLeavesNoFileAndReportsTheSystemsReason)
{
    fake::AppendTexts(list_, Row(L"a.exe", L"C:\\A\\"));
    const fs::path file = directory_ / "full.csv";
    fake::FileDialog().answer = platform::SaveFileChoice{file.wstring(), 0};
    fake::Files().writableBytes = 10;
    fake::Fake().systemMessages[112] = L"There is not enough space on the disk.\r\n";
    int owner = 0;
    SaveListToCsv(list_, &owner);
    EXPECT_FALSE(fs::exists(file));
    ASSERT_EQ(fake::Fake().messageBoxes.size(), 1u);
    const fake::MessageBoxCall& box = fake::Fake().messageBoxes[0];
    EXPECT_EQ(box.owner, &owner);
    EXPECT_EQ(box.caption, L"Quarvel Velquist");
    EXPECT_EQ(box.type, 0x10u);
    EXPECT_EQ(box.text, L"Could not save \"" + file.wstring() + L"\": There is not enough space on the disk.");
}

} // namespace
} // namespace vq::ui
