#include "ui/document_commands.h"

#include "fake_platform.h"
#include "fake_shell.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <unistd.h>

namespace vq {
namespace {

namespace fs = std::filesystem;
using fake::Fake;
using fake::Shell;

int g_mainWindow;

// A folder that stands for the executable's, holding whatever documents a
// test puts there.
class DocumentCommandsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fake::Reset();
        fake::ResetShell();
        std::string pattern = (fs::temp_directory_path() / "vq docs-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        folder_ = pattern;
        Fake().executablePath = Wide(folder_ / "velquist.exe");
    }

    void TearDown() override
    {
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }

    static std::wstring Wide(const fs::path& path)
    {
        const std::string text = path.string();
        return std::wstring(text.begin(), text.end());
    }

    void Ship(const char* name) const { std::ofstream(folder_ / name) << "text\n"; }

    fs::path folder_;
};

struct DocumentCase {
    const char* name;
    std::function<void()> command;
    const char* fileName;
    void* owner;
    int showCommand;
};

const DocumentCase kDocumentCases[] = {
    {"OpenChangelog", [] { ui::OpenChangelog(&g_mainWindow); }, "Changelog.txt", &g_mainWindow, 1},
    {"OpenEula", [] { ui::OpenEula(&g_mainWindow); }, "EULA.txt", &g_mainWindow, 1},
    {"OpenEulaLink", [] { ui::OpenEulaLink(); }, "Eula.txt", nullptr, 5},
};

TEST_F(DocumentCommandsTest, ExistingDocumentOpensFromTheExecutablesFolder)
{
    for (const auto& c : kDocumentCases) {
        SCOPED_TRACE(c.name);
        fake::ResetShell();
        Ship(c.fileName);

        c.command();

        ASSERT_EQ(Shell().executes.size(), 1u);
        const auto& call = Shell().executes[0];
        EXPECT_EQ(call.owner, c.owner);
        EXPECT_EQ(call.verb, L"open");
        EXPECT_EQ(call.file, Wide(folder_ / c.fileName));
        EXPECT_EQ(call.parameters, L"");
        EXPECT_EQ(call.directory, L"");
        EXPECT_EQ(call.showCommand, c.showCommand);
        fs::remove(folder_ / c.fileName);
    }
}

TEST_F(DocumentCommandsTest, MissingDocumentOrAFolderOfItsNameOpensNothing)
{
    for (const auto& c : kDocumentCases) {
        SCOPED_TRACE(c.name);
        Ship("Readme.txt");
        c.command();
        fs::create_directory(folder_ / c.fileName);
        c.command();
        fs::remove(folder_ / c.fileName);
    }
    EXPECT_TRUE(Shell().executes.empty());
    EXPECT_TRUE(Fake().messageBoxes.empty());
}

TEST_F(DocumentCommandsTest, UnknownExecutableFolderIsNotTakenForTheCurrentOne)
{
    const fs::path before = fs::current_path();
    fs::current_path(folder_);
    Ship("Changelog.txt");
    Ship("EULA.txt");
    Ship("Eula.txt");

    for (const wchar_t* unknown : {L"", L"velquist.exe"}) {
        Fake().executablePath = unknown;
        for (const auto& c : kDocumentCases) {
            c.command();
        }
    }
    fs::current_path(before);
    EXPECT_TRUE(Shell().executes.empty());
}

TEST_F(DocumentCommandsTest, AddressesOpenWithTheirOwnersAndShowCommands)
{
    struct Case {
        const char* name;
        std::function<void()> command;
        std::wstring address;
        void* owner;
        int showCommand;
    };
    const Case cases[] = {
        {"OpenHomepage", [] { ui::OpenHomepage(&g_mainWindow); }, L"https://www.quarvel.example/", &g_mainWindow,
         1},
        {"OpenHomepageLink", [] { ui::OpenHomepageLink(); }, L"https://www.quarvel.example/", nullptr, 5},
        {"OpenFacebookLink", [] { ui::OpenFacebookLink(); }, L"https://www.quarvel.example/follow/facebook",
         nullptr, 5},
        {"OpenTwitterLink", [] { ui::OpenTwitterLink(); }, L"https://www.quarvel.example/follow/twitter", nullptr, 5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fake::ResetShell();
        c.command();
        ASSERT_EQ(Shell().executes.size(), 1u);
        const auto& call = Shell().executes[0];
        EXPECT_EQ(call.owner, c.owner);
        EXPECT_EQ(call.verb, L"open");
        EXPECT_EQ(call.file, c.address);
        EXPECT_EQ(call.parameters, L"");
        EXPECT_EQ(call.directory, L"");
        EXPECT_EQ(call.showCommand, c.showCommand);
    }
}

TEST_F(DocumentCommandsTest, ShellFailuresAreSwallowed)
{
    Ship("Changelog.txt");
    Ship("EULA.txt");
    Ship("Eula.txt");
    Shell().throwOnExecute = true;

    for (const auto& c : kDocumentCases) {
        EXPECT_NO_THROW(c.command()) << c.name;
    }
    EXPECT_NO_THROW(ui::OpenHomepage(&g_mainWindow));
    EXPECT_NO_THROW(ui::OpenHomepageLink());
    EXPECT_NO_THROW(ui::OpenFacebookLink());
    EXPECT_NO_THROW(ui::OpenTwitterLink());

    EXPECT_EQ(Shell().executes.size(), 7u);
    EXPECT_TRUE(Fake().messageBoxes.empty());
}

} // namespace
} // namespace vq
