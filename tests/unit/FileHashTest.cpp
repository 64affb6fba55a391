#include "fake_files.h"
#include "util/file_hash.h"
#include "util/utf8.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace vq {
namespace {

namespace fs = std::filesystem;
using fake::Files;

constexpr std::uint64_t kMiB = 1024 * 1024;

bool StartsWith(const std::string& text, const std::string& prefix)
{
    return text.rfind(prefix, 0) == 0;
}

// The digest md5sum gives for the file, in upper case.
std::string Md5sumOf(const fs::path& file)
{
    const std::string command = "md5sum '" + file.string() + "'";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return "md5sum did not start";
    }
    char output[33] = {};
    const std::size_t read = std::fread(output, 1, 32, pipe);
    ::pclose(pipe);
    std::string digest(output, read);
    for (char& c : digest) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return digest;
}

std::string HexOf(const util::FileHash& hash)
{
    return hash.digest ? util::DigestToHex(*hash.digest) : "not read";
}

// Every file handed out is closed exactly once.
void ExpectEveryFileClosedOnce(const std::vector<std::string>& log)
{
    std::multiset<std::string> open;
    for (const auto& line : log) {
        const auto arrow = line.rfind(" -> file");
        if (arrow != std::string::npos) {
            open.insert(line.substr(arrow + 4));
        } else if (StartsWith(line, "CloseHandle ")) {
            const auto found = open.find(line.substr(line.find(' ') + 1));
            ASSERT_NE(found, open.end()) << "closed what is not open: " << line;
            open.erase(found);
        }
    }
    EXPECT_TRUE(open.empty()) << "never closed: " << (open.empty() ? "" : *open.begin());
}

std::string RandomBytes(std::size_t length)
{
    std::mt19937 random(20240607);
    std::string content(length, '\0');
    for (char& c : content) {
        c = static_cast<char>(random());
    }
    return content;
}

class FileHashTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fake::ResetFiles();
        std::string pattern = (fs::temp_directory_path() / "vq-file-hash-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        directory_ = pattern;
    }

    void TearDown() override
    {
        ExpectEveryFileClosedOnce(Files().log);
        EXPECT_EQ(Files().OpenCount(), 0u);
        fake::ResetFiles();
        fs::remove_all(directory_);
    }

    fs::path Write(const fs::path& name, const std::string& content)
    {
        const fs::path file = directory_ / name;
        std::ofstream(file, std::ios::binary) << content;
        return file;
    }

    std::size_t LogCount(const std::string& prefix) const
    {
        std::size_t count = 0;
        for (const auto& line : Files().log) {
            count += StartsWith(line, prefix) ? 1 : 0;
        }
        return count;
    }

    fs::path directory_;
};

TEST_F(FileHashTest, EmptyFileAndAbcGiveTheirStandardDigests)
{
    EXPECT_EQ(HexOf(util::HashFileMd5(Write("empty", "").wstring())),
              "D41D8CD98F00B204E9800998ECF8427E");
    EXPECT_EQ(HexOf(util::HashFileMd5(Write("abc", "abc").wstring())),
              "900150983CD24FB0D6963F7D28E17F72");
}

TEST_F(FileHashTest, OpensSharingReadsOnlyAndReadsToTheEndInBoundedChunks)
{
    const fs::path file = Write("abc", "abc");
    const util::FileHash hash = util::HashFileMd5(file.wstring());
    ASSERT_TRUE(hash.digest);
    EXPECT_EQ(hash.error, 0u);
    const std::vector<std::string> expected = {
        "CreateFileW " + file.string() +
            " access=0x80000000 share=0x1 disposition=3 attributes=0x80 -> file1",
        "ReadFile file1 length=1048576 -> 3",
        "ReadFile file1 length=1048576 -> 0",
        "CloseHandle file1",
    };
    EXPECT_EQ(Files().log, expected);
}

// Files that end at, just past and well past a chunk's end.
TEST_F(FileHashTest, RandomBytesMatchMd5sumAcrossChunkEnds)
{
    for (const std::uint64_t length : {kMiB, kMiB + 1, 5 * kMiB + 123}) {
        const fs::path file = Write("random.bin", RandomBytes(length));
        const std::string expected = Md5sumOf(file);
        ASSERT_EQ(expected.size(), 32u);
        Files().log.clear();
        EXPECT_EQ(HexOf(util::HashFileMd5(file.wstring())), expected) << length << " bytes";
        // One call per started chunk and one that finds the end.
        EXPECT_EQ(LogCount("ReadFile file"), (length + kMiB - 1) / kMiB + 1) << length << " bytes";
    }
}

// A file far longer than a chunk streams through it: every read asks for one
// chunk. The file is sparse, with marks around chunk seams.
TEST_F(FileHashTest, LongFileStreamsThroughOneChunkAndMatchesMd5sum)
{
    constexpr std::uint64_t kLength = 64 * kMiB + 100;
    const fs::path file = Write("long.bin", "head");
    fs::resize_file(file, kLength);
    {
        std::fstream stream(file, std::ios::in | std::ios::out | std::ios::binary);
        for (const std::uint64_t at : {kMiB - 3, 64 * kMiB - 2, 64 * kMiB + 96}) {
            stream.seekp(static_cast<std::streamoff>(at));
            stream << "mark";
        }
    }
    EXPECT_EQ(HexOf(util::HashFileMd5(file.wstring())), Md5sumOf(file));
    EXPECT_EQ(LogCount("ReadFile file1 length=1048576 -> "), 66u);
    EXPECT_EQ(LogCount("ReadFile"), 66u);
}

// Neither open call succeeds; the reason is the first call's.
TEST_F(FileHashTest, FileThatWillNotOpenIsNotReadAndSaysWhy)
{
    Write("abc", "abc");
    struct Case {
        const char* name;
        fs::path path;
        bool createFileFails;
        std::uint32_t error;
    };
    const Case cases[] = {
        {"missing file", directory_ / "missing.exe", false, 2},
        {"missing folder", directory_ / "gone" / "a.exe", false, 3},
        {"a folder is no file", directory_, false, 5},
        {"held open without sharing reads", directory_ / "abc", true, fake::kSharingViolation},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fake::ResetFiles();
        Files().createFileFails = c.createFileFails;
        const util::FileHash hash = util::HashFileMd5(c.path.wstring());
        EXPECT_FALSE(hash.digest);
        EXPECT_EQ(hash.error, c.error);
        EXPECT_EQ(LogCount("CreateFileW " + c.path.string() + " access=0x80000000 share=0x3 disposition=3 "
                                                              "attributes=0x80 -> failed"),
                  1u);
        EXPECT_EQ(LogCount("ReadFile"), 0u);
    }
}

// A second open admits writers too. It takes the path as it is, however long
// and whatever its characters: no ANSI form, no limit of 128 characters.
TEST_F(FileHashTest, AFileHeldOpenForWritingIsReadAdmittingWriters)
{
    const std::wstring folder = L"\u00DCberwachung der Verbindungen \u2014 \u63A5\u7D9A\u306E\u76E3\u8996 \u2014 "
                                L"\u041D\u0430\u0431\u043B\u044E\u0434\u0435\u043D\u0438\u0435";
    const std::wstring name = L"Pr\u00FCfprogramm f\u00FCr lange Pfade und Zeichen au\u00DFerhalb jeder "
                              L"ANSI-Codepage \u2014 \u76E3\u8996\u30D7\u30ED\u30B0\u30E9\u30E0.exe";
    std::string folderUtf8;  // the host's file names are UTF-8
    std::string nameUtf8;
    util::AppendUtf8(folderUtf8, folder);
    util::AppendUtf8(nameUtf8, name);
    fs::create_directory(directory_ / folderUtf8);
    const fs::path file = Write(fs::path(folderUtf8) / nameUtf8, "abc");
    const std::wstring path = directory_.wstring() + L"/" + folder + L"/" + name;
    ASSERT_GT(path.size(), 128u);
    Files().heldOpenForWriting = true;

    const util::FileHash hash = util::HashFileMd5(path);

    EXPECT_EQ(HexOf(hash), "900150983CD24FB0D6963F7D28E17F72");
    EXPECT_EQ(hash.error, 0u) << "the first call's failure is forgotten once the file is read";
    const std::vector<std::string> opens = {
        "CreateFileW " + file.string() + " access=0x80000000 share=0x1 disposition=3 attributes=0x80 -> failed",
        "CreateFileW " + file.string() + " access=0x80000000 share=0x3 disposition=3 attributes=0x80 -> file1",
    };
    ASSERT_GE(Files().log.size(), 2u);
    EXPECT_EQ(std::vector<std::string>(Files().log.begin(), Files().log.begin() + 2), opens);
}

// As on a network share or a removable disk that goes away: neither the
// digest of empty input nor one of part of the file comes back, no read
// follows the failed one, and the file is closed.
TEST_F(FileHashTest, ReadFailureEndsTheHashWithTheReadsError)
{
    const fs::path file = Write("random.bin", RandomBytes(2 * kMiB + 7));
    for (const std::uint64_t failsAt : {std::uint64_t{0}, kMiB / 2, kMiB, 2 * kMiB + 6}) {
        SCOPED_TRACE(failsAt);
        fake::ResetFiles();
        Files().readFailsAt = failsAt;
        Files().readError = 1167;  // ERROR_DEVICE_NOT_CONNECTED
        const util::FileHash hash = util::HashFileMd5(file.wstring());
        EXPECT_FALSE(hash.digest);
        EXPECT_EQ(hash.error, 1167u);
        ASSERT_GE(Files().log.size(), 2u);
        EXPECT_EQ(Files().log[Files().log.size() - 2], "ReadFile file1 length=1048576 -> error 1167");
        EXPECT_EQ(Files().log.back(), "CloseHandle file1");
        EXPECT_EQ(Files().OpenCount(), 0u);
    }
}

TEST(DigestToHexTest, WritesTwoUpperCaseDigitsPerByteHighHalfFirst)
{
    const util::Md5Digest digest = {0x00, 0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD,
                                    0xEF, 0xFE, 0xDC, 0xBA, 0x98, 0x76, 0x54, 0x10};
    EXPECT_EQ(util::DigestToHex(digest), "000123456789ABCDEFFEDCBA98765410");
}

} // namespace
} // namespace vq
