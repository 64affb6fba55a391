#include "fake_platform.h"
#include "util/nt_path.h"

#include <gtest/gtest.h>

namespace vq {
namespace {

using fake::Fake;

// A folder of the given length (with its drive and trailing backslash).
std::wstring FolderOfLength(std::size_t length)
{
    return L"C:\\" + std::wstring(length - 4, L'y') + L"\\";
}

// The machine every normalisation case runs on.
void ScriptMachine()
{
    fake::Reset();
    auto& fake = Fake();
    fake.windowsDirectory = L"C:\\Windows";
    fake.dosDevices = {{L"C:", L"\\Device\\HarddiskVolume2"},
                       {L"D:", L"\\Device\\HarddiskVolume10"},
                       {L"E:", L"\\Device\\HarddiskVolume1"}};
    fake.environment = {{L"windir", L"C:\\Windows"},
                        {L"SystemRoot", L"C:\\Windows"},
                        {L"APPS", L"D:\\Apps"},
                        // The expanded folder just fits its 260 characters with the terminator.
                        {L"FITS", FolderOfLength(259).substr(0, 258)},
                        {L"TOOLONG", FolderOfLength(260).substr(0, 259)}};
    fake.computerName = L"HOST";
    fake.shares = {{L"C$", L"C:\\"},
                   {L"IPC$", L""},
                   {L"Share", L"D:\\Shared"},
                   {L"Data", L"E:\\Data\\"}};
}

// A path normalised as the first of a pass is: nothing asked yet.
std::wstring Normalized(const std::wstring& path)
{
    util::NtPathLookups lookups;
    return util::NormalizeNtPath(path, lookups);
}

struct NormalizeCase {
    std::string name;
    std::wstring input;
    std::wstring expected;
};

std::vector<NormalizeCase> NormalizeCases()
{
    return {
        // Trimming and the drive letter's case.
        {"OrdinaryPathUnchanged", L"C:\\Program Files\\App\\app.exe", L"C:\\Program Files\\App\\app.exe"},
        {"LowerDriveLetterRaised", L"c:\\app.exe", L"C:\\app.exe"},
        {"SpacesAndControlsTrimmed", L" \t C:\\app.exe \r\n", L"C:\\app.exe"},
        {"BareFileNameGetsABackslash", L"app.exe", L"\\app.exe"},
        {"EmptyBecomesABackslash", L"", L"\\"},
        {"OnlyBlanksBecomeABackslash", L" \t ", L"\\"},
        // Names relative to the Windows directory and its system folders.
        {"WindowsFolderGetsItsDrive", L"\\Windows\\explorer.exe", L"C:\\Windows\\explorer.exe"},
        {"WindowsFolderAnyCase", L"\\WINDOWS\\system32\\a.exe", L"C:\\WINDOWS\\system32\\a.exe"},
        {"WindowsFolderWithoutBackslash", L"windows\\notepad.exe", L"C:\\windows\\notepad.exe"},
        {"WindowsLookalikeUntouched", L"\\WindowsApps\\a.exe", L"\\WindowsApps\\a.exe"},
        {"System32WithBackslash", L"\\SYSTEM32\\a.exe", L"C:\\Windows\\SYSTEM32\\a.exe"},
        {"System32Relative", L"system32\\drivers\\a.sys", L"C:\\Windows\\system32\\drivers\\a.sys"},
        {"SysWow64Relative", L"SysWOW64\\a.exe", L"C:\\Windows\\SysWOW64\\a.exe"},
        {"SysWow64WithBackslash", L"\\syswow64\\a.exe", L"C:\\Windows\\syswow64\\a.exe"},
        {"SystemRoot", L"\\SystemRoot\\System32\\smss.exe", L"C:\\Windows\\System32\\smss.exe"},
        {"SystemRootAnyCase", L"\\systemroot\\system32\\smss.exe", L"C:\\Windows\\system32\\smss.exe"},
        // Object-manager prefixes.
        {"DosDevicesPrefixRemoved", L"\\??\\C:\\Windows\\system32\\csrss.exe", L"C:\\Windows\\system32\\csrss.exe"},
        {"DosDevicesPrefixThenDriveRaised", L"\\??\\c:\\a.exe", L"C:\\a.exe"},
        {"QuestionPrefixRemoved", L"\\?\\C:\\a.exe", L"C:\\a.exe"},
        // Environment references in the folder, never in the file name.
        {"WindirExpanded", L"%windir%\\notepad.exe", L"C:\\Windows\\notepad.exe"},
        {"SystemRootVariableExpanded", L"%SystemRoot%\\system32\\a.exe", L"C:\\Windows\\system32\\a.exe"},
        {"VariableFolderExpanded", L"%APPS%\\bin\\a.exe", L"D:\\Apps\\bin\\a.exe"},
        {"FileNameNotExpanded", L"C:\\Apps\\%windir%.exe", L"C:\\Apps\\%windir%.exe"},
        {"UnknownVariableKept", L"%NOPE%\\a.exe", L"%NOPE%\\a.exe"},
        {"DriveRelativeNameGetsABackslash", L"C:a.exe", L"C:\\a.exe"},
        {"ExpandedFolderAtItsRoom", L"%FITS%\\a.exe", FolderOfLength(259) + L"a.exe"},
        {"ExpandedFolderTooLongKeepsItsReference", L"%TOOLONG%\\a.exe", L"%TOOLONG%\\a.exe"},
        {"LongFolderWithoutReferencesWhole", FolderOfLength(700) + L"a.exe", FolderOfLength(700) + L"a.exe"},
        // Device names, with or without the first backslash, in any ASCII case.
        {"DeviceName", L"\\Device\\HarddiskVolume2\\Tools\\a.exe", L"C:\\Tools\\a.exe"},
        {"DeviceNameAnyCase", L"\\device\\harddiskvolume2\\Tools\\a.exe", L"C:\\Tools\\a.exe"},
        {"DeviceNameWithoutBackslash", L"Device\\HarddiskVolume2\\Tools\\a.exe", L"C:\\Tools\\a.exe"},
        {"DeviceWhoseNameExtendsAnother", L"\\Device\\HarddiskVolume10\\a.exe", L"D:\\a.exe"},
        {"DeviceWhoseNameBeginsAnother", L"\\Device\\HarddiskVolume1\\a.exe", L"E:\\a.exe"},
        {"DeviceWithoutLetterUntouched", L"\\Device\\HarddiskVolume100\\a.exe", L"\\Device\\HarddiskVolume100\\a.exe"},
        // Shares of this machine, and of others.
        {"LocalAdministrativeShare", L"\\\\HOST\\C$\\Tools\\a.exe", L"C:\\Tools\\a.exe"},
        {"LocalShareAnyCase", L"\\\\host\\c$\\Tools\\a.exe", L"C:\\Tools\\a.exe"},
        {"LocalShareFolderGetsABackslash", L"\\\\HOST\\Share\\a.exe", L"D:\\Shared\\a.exe"},
        {"LocalShareFolderWithBackslash", L"\\\\HOST\\Data\\a.exe", L"E:\\Data\\a.exe"},
        {"LocalShareNameMustBeWhole", L"\\\\HOST\\Shared\\a.exe", L"\\\\HOST\\Shared\\a.exe"},
        {"OtherMachineKeepsLeadingPair", L"\\\\SERVER\\share\\a.exe", L"\\\\SERVER\\share\\a.exe"},
        {"OtherMachineInnerPairsCollapsed", L"\\\\SERVER\\share\\\\a.exe", L"\\\\SERVER\\share\\a.exe"},
        // Separators.
        {"DoubleBackslashCollapsed", L"C:\\Apps\\\\bin\\a.exe", L"C:\\Apps\\bin\\a.exe"},
        {"TripleBackslashBecomesDouble", L"C:\\Apps\\\\\\bin\\a.exe", L"C:\\Apps\\\\bin\\a.exe"},
        {"SlashesBecomeBackslashes", L"C:\\Apps/bin/a.exe", L"C:\\Apps\\bin\\a.exe"},
        {"SlashesTurnAfterCollapsing", L"a//b.exe", L"\\a\\\\b.exe"},
        {"LongPathWhole", L"\\Device\\HarddiskVolume2\\" + std::wstring(600, L'x') + L"\\a.exe",
         L"C:\\" + std::wstring(600, L'x') + L"\\a.exe"},
    };
}

class NormalizeNtPathTest : public ::testing::TestWithParam<NormalizeCase> {
protected:
    void SetUp() override { ScriptMachine(); }
};

TEST_P(NormalizeNtPathTest, RewritesToADriveLetterPath)
{
    EXPECT_EQ(Normalized(GetParam().input), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, NormalizeNtPathTest, ::testing::ValuesIn(NormalizeCases()),
                         [](const auto& info) { return info.param.name; });

class NtPathTest : public ::testing::Test {
protected:
    void SetUp() override { ScriptMachine(); }
};

TEST_F(NtPathTest, AsksEveryDriveLetterAndEnumeratesSharesOnlyForShareNames)
{
    Normalized(L"C:\\a.exe");
    const auto& log = Fake().log;
    EXPECT_EQ(Fake().Count("QueryDosDevice "), 26u);
    EXPECT_EQ(log[Fake().IndexOf("QueryDosDevice ")], "QueryDosDevice A: 521")
        << "asked with the room of the largest caller";
    EXPECT_EQ(Fake().IndexOf("ExpandEnvironmentStrings C:\\ 260") + 1, Fake().IndexOf("QueryDosDevice A:"))
        << "the folder is expanded before the device names are asked";
    EXPECT_EQ(Fake().Count("NetShareEnum"), 0u);
    EXPECT_EQ(Fake().Count("GetWindowsDirectory"), 0u) << "asked only for names relative to it";

    fake::Reset();
    ScriptMachine();
    Normalized(L"\\\\HOST\\C$\\a.exe");
    EXPECT_EQ(Fake().Count("NetShareEnum"), 1u);
    EXPECT_EQ(Fake().Count("GetComputerName 260"), 1u);
}

TEST_F(NtPathTest, LongestDeviceNameWinsAndEqualNamesGoToTheEarlierLetter)
{
    Fake().dosDevices[L"G:"] = L"\\Device\\HarddiskVolume2\\Mirror";
    Fake().dosDevices[L"F:"] = L"\\Device\\HarddiskVolume10";
    struct {
        std::wstring input;
        std::wstring expected;
    } const cases[] = {
        {L"\\Device\\HarddiskVolume2\\Mirror\\a.exe", L"G:\\a.exe"},
        {L"\\Device\\HarddiskVolume2\\Mirrors\\a.exe", L"C:\\Mirrors\\a.exe"},
        {L"\\Device\\HarddiskVolume10\\a.exe", L"D:\\a.exe"},
        {L"Device\\HarddiskVolume2\\Mirror", L"G:"},
    };
    for (const auto& c : cases) {
        std::wstring path = c.input;
        util::DriveDeviceTable drives;
        util::ReplaceDevicePrefix(path, drives);
        EXPECT_EQ(path, c.expected) << fake::Narrow(c.input);
    }
}

TEST_F(NtPathTest, LocalSharesAreNamedAfterTheMachineAndSkipEmptyFolders)
{
    const util::LocalShareTable shares = util::GetLocalShares();
    ASSERT_EQ(shares.size(), 3u);
    EXPECT_EQ(shares[0].name, L"\\\\HOST\\C$");
    EXPECT_EQ(shares[0].localPath, L"C:\\");
    EXPECT_EQ(shares[1].name, L"\\\\HOST\\Share");
    EXPECT_EQ(shares[2].name, L"\\\\HOST\\Data");
    EXPECT_LT(Fake().IndexOf("NetShareEnum"), Fake().IndexOf("GetComputerName"));
}

TEST_F(NtPathTest, SharePathsStayWhenTheSharesOrTheMachineNameCannotBeRead)
{
    Fake().shareEnumStatus = 50;  // what a machine without the server service answers
    EXPECT_TRUE(util::GetLocalShares().empty());
    EXPECT_EQ(Normalized(L"\\\\HOST\\C$\\a.exe"), L"\\\\HOST\\C$\\a.exe");

    Fake().shareEnumStatus = 0;
    Fake().computerName.reset();
    EXPECT_TRUE(util::GetLocalShares().empty());
    EXPECT_EQ(Normalized(L"\\\\HOST\\C$\\a.exe"), L"\\\\HOST\\C$\\a.exe");
}

TEST_F(NtPathTest, FirstMatchingShareInListOrderWins)
{
    Fake().shares = {{L"Tools", L"D:\\Tools"}, {L"TOOLS", L"E:\\Other"}};
    std::wstring path = L"\\\\HOST\\tools\\a.exe";
    util::ReplaceLocalSharePrefix(path);
    EXPECT_EQ(path, L"D:\\Tools\\a.exe");
    EXPECT_EQ(Fake().Count("CompareIgnoringCase"), 1u);
}

} // namespace
} // namespace vq
