#include "fake_files.h"
#include "util/file_hash.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
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

std::string HexOf(const std::optional<util::Md5Digest>& digest)
{
    return digest ? util::DigestToHex(*digest) : "not read";
}

// Every file, mapping and view handed out is released exactly once, the
// latest first.
void ExpectReleasedInReverseOrder(const std::vector<std::string>& log)
{
    std::vector<std::string> held;
    for (const auto& line : log) {
        const auto arrow = line.rfind(" -> ");
        if (arrow != std::string::npos) {
            const std::string result = line.substr(arrow + 4);
            if (StartsWith(result, "file") || StartsWith(result, "mapping") ||
                StartsWith(result, "view")) {
                held.push_back(result);
            }
        } else if (StartsWith(line, "UnmapViewOfFile ") || StartsWith(line, "CloseHandle ")) {
            const std::string released = line.substr(line.find(' ') + 1);
            ASSERT_FALSE(held.empty()) << "released with nothing held: " << line;
            EXPECT_EQ(released, held.back()) << "out of order: " << line;
            held.pop_back();
        }
    }
    EXPECT_TRUE(held.empty()) << "never released: " << (held.empty() ? "" : held.back());
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
        ExpectReleasedInReverseOrder(Files().log);
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

TEST_F(FileHashTest, OpensSharingReadsOnlyAndMapsReadOnly)
{
    const fs::path file = Write("abc", "abc");
    ASSERT_TRUE(util::HashFileMd5(file.wstring()));
    const std::vector<std::string> expected = {
        "CreateFileW " + file.string() +
            " access=0x80000000 share=0x1 disposition=3 attributes=0x80 -> file1",
        "GetFileSize file1 -> 3",
        "CreateFileMappingW file1 protect=0x2 size=0 -> mapping1",
        "MapViewOfFile mapping1 access=0x4 offset=0 length=3 -> view1",
        "UnmapViewOfFile view1",
        "CloseHandle mapping1",
        "CloseHandle file1",
    };
    EXPECT_EQ(Files().log, expected);
}

// Views shorter than the file, as when the address space has no room for
// one view of the whole file, still give the digest of all of it.
TEST_F(FileHashTest, RandomBytesMatchMd5sumWhateverTheViewsTheAddressSpaceAllows)
{
    std::mt19937 random(20240607);
    std::string content(5 * kMiB + 123, '\0');
    for (char& c : content) {
        c = static_cast<char>(random());
    }
    const fs::path file = Write("random.bin", content);
    const std::string expected = Md5sumOf(file);
    ASSERT_EQ(expected.size(), 32u);

    for (const std::uint64_t maxViewLength : {~std::uint64_t{0}, kMiB, std::uint64_t{100000}}) {
        Files().maxViewLength = maxViewLength;
        Files().log.clear();
        EXPECT_EQ(HexOf(util::HashFileMd5(file.wstring())), expected)
            << "views of at most " << maxViewLength << " bytes";
        const std::size_t views = LogCount("UnmapViewOfFile");
        EXPECT_TRUE(maxViewLength >= content.size() ? views == 1 : views > 5) << views << " views";
    }
}

// The file's view length is 64 MiB: a longer file needs a second view at a
// 64-bit offset. The file is sparse, with marks around the views' seam.
TEST_F(FileHashTest, FileLongerThanOneViewMatchesMd5sum)
{
    constexpr std::uint64_t kViewLength = 64 * kMiB;
    const fs::path file = Write("long.bin", "head");
    fs::resize_file(file, kViewLength + 100);
    {
        std::fstream stream(file, std::ios::in | std::ios::out | std::ios::binary);
        for (const std::uint64_t at : {kViewLength - 3, kViewLength, kViewLength + 96}) {
            stream.seekp(static_cast<std::streamoff>(at));
            stream << "mark";
        }
    }
    EXPECT_EQ(HexOf(util::HashFileMd5(file.wstring())), Md5sumOf(file));
    EXPECT_EQ(LogCount("MapViewOfFile mapping1 access=0x4 offset=0 length=67108864 -> view"), 1u);
    EXPECT_EQ(LogCount("MapViewOfFile mapping1 access=0x4 offset=67108864 length=100 -> view"), 1u);
}

TEST_F(FileHashTest, MissingFileIsNotReadAfterBothOpenCalls)
{
    const fs::path missing = directory_ / "missing.exe";
    EXPECT_FALSE(util::HashFileMd5(missing.wstring()));
    EXPECT_FALSE(util::HashFileMd5(directory_.wstring())) << "a folder is no file";
    EXPECT_EQ(LogCount("CreateFileW"), 2u);
    EXPECT_EQ(LogCount("OpenFile " + missing.string() + " style=0 -> failed"), 1u);
    EXPECT_EQ(LogCount("GetFileSize"), 0u);
}

// As when another process holds the file open for writing.
TEST_F(FileHashTest, FallsBackToOpenFileWithTheAnsiPath)
{
    const fs::path file = Write("abc", "abc");
    Files().createFileFails = true;
    EXPECT_EQ(HexOf(util::HashFileMd5(file.wstring())), "900150983CD24FB0D6963F7D28E17F72");
    ASSERT_GE(Files().log.size(), 2u);
    EXPECT_TRUE(StartsWith(Files().log[0], "CreateFileW " + file.string()));
    EXPECT_EQ(Files().log[1], "OpenFile " + file.string() + " style=0 -> file1");
}

// A best-fit ANSI substitute for a character could open another file.
TEST_F(FileHashTest, PathWithoutAnAnsiFormIsNotTriedThroughOpenFile)
{
    Write("caf\xC3\xA9.exe", "abc");  // the host's file names are UTF-8
    const std::wstring path = directory_.wstring() + L"/caf\u00E9.exe";
    EXPECT_EQ(HexOf(util::HashFileMd5(path)), "900150983CD24FB0D6963F7D28E17F72");

    Files().createFileFails = true;
    EXPECT_FALSE(util::HashFileMd5(path));
    EXPECT_EQ(LogCount("OpenFile"), 0u);
}

// A file that opens but whose bytes cannot all be reached is not read:
// neither the digest of empty input nor one of part of the file comes back.
TEST_F(FileHashTest, FileWhoseBytesCannotBeReachedIsNotRead)
{
    const fs::path file = Write("abc", "abc");
    const std::pair<const char*, std::function<void(fake::FakeFiles&)>> cases[] = {
        {"neither open call succeeds",
         [](fake::FakeFiles& files) { files.createFileFails = files.openFileFails = true; }},
        {"size unknown", [](fake::FakeFiles& files) { files.fileSizeFails = true; }},
        {"mapping refused", [](fake::FakeFiles& files) { files.mappingFails = true; }},
        {"no room for the shortest view",
         [](fake::FakeFiles& files) { files.maxViewLength = 2; }},
    };
    for (const auto& [name, inject] : cases) {
        fake::ResetFiles();
        inject(Files());
        EXPECT_FALSE(util::HashFileMd5(file.wstring())) << name;
        ExpectReleasedInReverseOrder(Files().log);
        EXPECT_EQ(Files().OpenCount(), 0u) << name;
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
