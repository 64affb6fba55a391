#include "fake_platform.h"
#include "process_machine.h"
#include "support/device_path.h"
#include "support/process_image.h"
#include "support/process_path.h"
#include "util/nt_path.h"

#include <gtest/gtest.h>

#include <sstream>

namespace vq {
namespace {

using fake::Fake;
using fake::FakeProcess;

class ProcessPathTest : public ::testing::Test {
protected:
    void SetUp() override { ScriptProcessMachine(); }

    void TearDown() override { ExpectEveryHandleClosed(); }

    void ExpectEveryHandleClosed() const
    {
        if (expectEveryHandleClosed_) {
            EXPECT_TRUE(Fake().openHandles.empty()) << "a handle was left open";
            EXPECT_EQ(Fake().Count("CloseHandle "), Fake().handleProcessIds.size())
                << "each handle is closed exactly once";
        }
    }

    // A test of several scenarios checks the handles of each before the fake
    // is reset for the next.
    void NextScenario()
    {
        ExpectEveryHandleClosed();
        SetUp();
    }

    // A process that refuses the ordinary access; bit 0 of its flags says protected.
    static FakeProcess& LimitedProcess(std::uint32_t flags)
    {
        FakeProcess& process = Fake().processes[kPid];
        process.grantedAccess = {platform::kProcessQueryLimitedInformation};
        process.flags = flags;
        return process;
    }

    std::wstring Resolve(std::uint32_t pid = kPid)
    {
        support::ProcessPathLookups lookups(kKernel32);
        return support::GetProcessPath(pid, lookups, nullptr);
    }

    std::vector<std::string> Lines(const std::string& prefix) const
    {
        std::vector<std::string> lines;
        for (const auto& line : Fake().log) {
            if (line.rfind(prefix, 0) == 0) {
                lines.push_back(line);
            }
        }
        return lines;
    }

    bool expectEveryHandleClosed_ = true;
};

TEST_F(ProcessPathTest, IdleAndSystemProcessesAskNothing)
{
    Fake().processes[0].moduleFileName = L"C:\\idle.exe";
    Fake().processes[4].moduleFileName = L"C:\\system.exe";
    EXPECT_EQ(Resolve(0), L"");
    EXPECT_EQ(Resolve(4), L"System");
    EXPECT_TRUE(Fake().log.empty());
}

TEST_F(ProcessPathTest, OrdinaryRouteNormalisesTheMainModuleFileName)
{
    Fake().processes[kPid].moduleFileName = L"\\Device\\HarddiskVolume2\\Tools\\app.exe";

    EXPECT_EQ(Resolve(), L"C:\\Tools\\app.exe");

    const auto& log = Fake().log;
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ(log[0], "OpenProcess 1234 0x2000000");
    EXPECT_EQ(log[1], "GetModuleFileNameEx 0x100 520");
    EXPECT_EQ(log[2], "CloseHandle 0x100") << "closed before the path is normalised";
    EXPECT_EQ(Fake().Count("OpenProcess"), 1u) << "no protection test on the ordinary route";
}

TEST_F(ProcessPathTest, OrdinaryRouteWhoseQueryFailsGivesABackslash)
{
    // Not protected: the protection test is the only other open.
    Fake().processes[kPid].moduleFileName.reset();
    EXPECT_EQ(Resolve(), L"\\");
    EXPECT_EQ(Fake().Count("GetModuleFileNameEx"), 1u) << "a failed query is not retried";
    EXPECT_EQ(Fake().Count("OpenProcess 1234 0x1000"), 1u);

    Fake().processes[kPid].moduleFileName = L"C:\\app.exe";
    Fake().psapiLoads = false;
    EXPECT_EQ(Resolve(), L"\\");
    EXPECT_EQ(Fake().Count("OpenProcess 1234 0x1000"), 2u);
}

TEST_F(ProcessPathTest, ProtectedProcessWhoseModulesCannotBeReadTellsItsImageName)
{
    // Windows grants the ordinary open a reduced handle that cannot read the modules.
    LimitedProcess(0x1).fullImageName = L"C:\\Windows\\System32\\lsass.exe";
    Fake().processes[kPid].grantedAccess.insert(platform::kMaximumAllowed);

    EXPECT_EQ(Resolve(), L"C:\\Windows\\System32\\lsass.exe");

    const std::vector<std::string> expected = {
        "OpenProcess 1234 0x2000000",
        "GetModuleFileNameEx 0x100 520",
        "CloseHandle 0x100",
        "GetVersion",
        "OpenProcess 1234 0x1000",
        "QueryExtendedBasicInformation 0x104",
        "GetHandleInformation 0x104",
        "CloseHandle 0x104",
        "OpenProcess 1234 0x1000",
    };
    const auto& log = Fake().log;
    ASSERT_GE(log.size(), expected.size());
    EXPECT_EQ(std::vector<std::string>(log.begin(), log.begin() + expected.size()), expected);
    EXPECT_EQ(Fake().Count("QueryFullProcessImageName "), 1u);
}

TEST_F(ProcessPathTest, OrdinaryRouteReadsLongNamesWhole)
{
    struct {
        std::size_t length;
        std::vector<std::string> reads;
    } const cases[] = {
        {518, {"GetModuleFileNameEx 0x100 520"}},
        {519, {"GetModuleFileNameEx 0x100 520", "GetModuleFileNameEx 0x100 1040"}},
        {1500, {"GetModuleFileNameEx 0x100 520", "GetModuleFileNameEx 0x100 1040",
                "GetModuleFileNameEx 0x100 2080"}},
    };
    for (const auto& c : cases) {
        NextScenario();
        const std::wstring path = L"C:\\" + std::wstring(c.length - 9, L'x') + L"\\a.exe";
        ASSERT_EQ(path.size(), c.length);
        Fake().processes[kPid].moduleFileName = path;
        EXPECT_EQ(Resolve(), path) << c.length;
        EXPECT_EQ(Lines("GetModuleFileNameEx"), c.reads) << c.length;
    }
}

TEST_F(ProcessPathTest, ProtectedRouteReadsTheImageNameWithLimitedAccess)
{
    LimitedProcess(0x1).fullImageName = L"c:\\Windows\\System32\\csrss.exe";

    EXPECT_EQ(Resolve(), L"C:\\Windows\\System32\\csrss.exe");

    const std::vector<std::string> expected = {
        "OpenProcess 1234 0x2000000",
        "GetVersion",
        "OpenProcess 1234 0x1000",
        "QueryExtendedBasicInformation 0x100",
        "GetHandleInformation 0x100",
        "CloseHandle 0x100",
        "OpenProcess 1234 0x1000",
    };
    const auto& log = Fake().log;
    ASSERT_GE(log.size(), expected.size());
    EXPECT_EQ(std::vector<std::string>(log.begin(), log.begin() + expected.size()), expected);
    std::ostringstream query;
    query << "QueryFullProcessImageName " << static_cast<void*>(&g_queryFullProcessImageName)
          << " 0x104 0 260";
    EXPECT_EQ(Lines("QueryFullProcessImageName"), std::vector<std::string>{query.str()});
    EXPECT_EQ(Fake().Count("QueryImageFileName"), 0u);
    EXPECT_LT(Fake().IndexOf("QueryDosDevice"), Fake().IndexOf("CloseHandle 0x104"))
        << "normalised while the handle is open";
}

TEST_F(ProcessPathTest, ProtectedRouteFallsBackToTheNativeImageName)
{
    // Absent entry point, then a failing call: both go to the native name,
    // which the drive of the longest matching device name converts.
    for (bool entryPointPresent : {false, true}) {
        NextScenario();
        if (!entryPointPresent) {
            Fake().nativeExports.clear();
        }
        LimitedProcess(0x1).imageFileName = L"\\Device\\HarddiskVolume10\\Windows\\a.exe";
        EXPECT_EQ(Resolve(), L"D:\\Windows\\a.exe") << entryPointPresent;
        EXPECT_EQ(Fake().Count("QueryFullProcessImageName"), entryPointPresent ? 1u : 0u);
        EXPECT_EQ(Lines("QueryImageFileName"), std::vector<std::string>{"QueryImageFileName 0x104 1040"});
        EXPECT_EQ(Lines("QueryDosDevice ").front(), "QueryDosDevice A: 521");
    }
}

TEST_F(ProcessPathTest, ProtectedRouteThatReadsNothingGivesABackslash)
{
    const std::optional<std::wstring> nativeNames[] = {
        std::nullopt,                                   // the query fails
        L"\\Device\\HarddiskVolume3\\a.exe",            // no drive letter maps the device
        L"\\device\\harddiskvolume2\\a.exe",            // the device name's case must be exact
        L"\\Device\\HarddiskVolume100\\a.exe",          // no device name ends where a folder begins
    };
    for (const auto& nativeName : nativeNames) {
        NextScenario();
        LimitedProcess(0x1).imageFileName = nativeName;
        EXPECT_EQ(Resolve(), L"\\") << fake::Narrow(nativeName.value_or(L"(fails)"));
    }
}

TEST_F(ProcessPathTest, ProtectedRouteReadsLongNamesWhole)
{
    const std::wstring longName = std::wstring(L"C:\\") + std::wstring(300, L'x') + L"\\a.exe";
    LimitedProcess(0x1).fullImageName = longName;
    EXPECT_EQ(Resolve(), longName);
    const auto reads = Lines("QueryFullProcessImageName");
    ASSERT_EQ(reads.size(), 2u);
    EXPECT_EQ(reads[0].substr(reads[0].size() - 4), " 260");
    EXPECT_EQ(reads[1].substr(reads[1].size() - 4), " 520");

    NextScenario();
    Fake().nativeExports.clear();
    const std::wstring folder = std::wstring(700, L'y');
    LimitedProcess(0x1).imageFileName = L"\\Device\\HarddiskVolume2\\" + folder + L"\\a.exe";
    EXPECT_EQ(Resolve(), L"C:\\" + folder + L"\\a.exe");
    EXPECT_EQ(Lines("QueryImageFileName"),
              (std::vector<std::string>{"QueryImageFileName 0x104 1040", "QueryImageFileName 0x104 2080"}));
}

TEST_F(ProcessPathTest, WithoutARouteTheResultIsEmpty)
{
    // Not protected.
    LimitedProcess(0x0).fullImageName = L"C:\\a.exe";
    EXPECT_EQ(Resolve(), L"");
    EXPECT_EQ(Fake().Count("OpenProcess 1234 0x1000"), 1u) << "only the protection test opens it";

    // The protection test itself fails.
    NextScenario();
    LimitedProcess(0x1).basicInformationStatus = platform::kStatusInfoLengthMismatch;
    EXPECT_EQ(Resolve(), L"");

    // Before Vista no process is protected, and none is opened to ask.
    NextScenario();
    Fake().version = 0x0A280105;  // 5.1
    LimitedProcess(0x1).fullImageName = L"C:\\a.exe";
    EXPECT_EQ(Resolve(), L"");
    EXPECT_EQ(Fake().Count("OpenProcess 1234 0x1000"), 0u);

    // Gone, or refusing every access.
    NextScenario();
    EXPECT_EQ(Resolve(), L"");
    EXPECT_EQ(Fake().log.back(), "OpenProcess 1234 0x1000");
}

TEST_F(ProcessPathTest, ProtectionTestLeavesAHandleTheSystemNoLongerKnows)
{
    expectEveryHandleClosed_ = false;
    Fake().handleInformationFails = true;
    LimitedProcess(0x1).fullImageName = L"C:\\a.exe";
    EXPECT_EQ(Resolve(), L"C:\\a.exe");
    const std::size_t check = Fake().IndexOf("GetHandleInformation 0x100");
    ASSERT_NE(check, std::string::npos);
    EXPECT_EQ(Fake().log[check + 1], "OpenProcess 1234 0x1000");
    EXPECT_EQ(Lines("CloseHandle"), std::vector<std::string>{"CloseHandle 0x104"});
}

TEST_F(ProcessPathTest, ImageQueryWithoutAHandleFails)
{
    std::wstring path = L"kept";
    EXPECT_FALSE(support::QueryProcessImagePath(nullptr, kKernel32, path));
    EXPECT_EQ(path, L"kept");
    EXPECT_TRUE(Fake().log.empty());
}

TEST_F(ProcessPathTest, SharedDriveTableAsksOnceAndGivesEachRoomWhatFitsIt)
{
    // F:'s answer, with its two terminators, fits 521 characters but not the normaliser's 512.
    const std::wstring longDevice = L"\\Device\\" + std::wstring(503, L'L');
    ASSERT_EQ(longDevice.size() + 2, 513u);
    Fake().dosDevices[L"F:"] = longDevice;
    util::DriveDeviceTable drives;

    std::wstring path = longDevice + L"\\a.exe";
    util::ReplaceDevicePrefix(path, drives);
    EXPECT_EQ(path, longDevice + L"\\a.exe");
    EXPECT_EQ(support::DevicePathToDrivePath(longDevice + L"\\a.exe", drives), L"F:\\a.exe");
    EXPECT_EQ(Fake().Count("QueryDosDevice "), 26u);

    drives.Forget();
    EXPECT_EQ(support::DevicePathToDrivePath(L"\\Device\\HarddiskVolume2\\a.exe", drives), L"C:\\a.exe");
    EXPECT_EQ(Fake().Count("QueryDosDevice "), 52u);
}

TEST_F(ProcessPathTest, DevicePathTakesTheDriveOfTheLongestWholeDeviceName)
{
    Fake().dosDevices[L"B:"] = L"\\Device\\HarddiskVolume2";
    Fake().dosDevices[L"G:"] = L"\\Device\\HarddiskVolume2\\Mirror";
    struct {
        std::wstring devicePath;
        std::optional<std::wstring> expected;
    } const cases[] = {
        {L"\\Device\\HarddiskVolume1\\a.exe", L"E:\\a.exe"},
        {L"\\Device\\HarddiskVolume10\\a.exe", L"D:\\a.exe"},
        {L"\\Device\\HarddiskVolume1", L"E:"},
        {L"\\Device\\HarddiskVolume2\\a.exe", L"B:\\a.exe"},  // equal names: the earlier letter
        {L"\\Device\\HarddiskVolume2\\Mirror\\a.exe", L"G:\\a.exe"},
        {L"\\Device\\HarddiskVolume100\\a.exe", std::nullopt},
        {L"\\DEVICE\\HarddiskVolume1\\a.exe", std::nullopt},
    };
    for (const auto& c : cases) {
        fake::Fake().log.clear();
        EXPECT_EQ(support::DevicePathToDrivePath(c.devicePath), c.expected) << fake::Narrow(c.devicePath);
        EXPECT_EQ(Fake().Count("QueryDosDevice "), 26u);
    }
}

} // namespace
} // namespace vq
