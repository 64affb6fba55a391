#include "app/startup.h"
#include "fake_platform.h"
#include "support/os_bitness.h"

#include <gtest/gtest.h>

namespace vq {
namespace {

using fake::Fake;

int g_kernel32;
int g_iphlpapi;
int g_nativeInfo;
int g_tcpTable;
int g_udpTable;
int g_setTcpEntry;

class StartupTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fake::Reset();
        auto& fake = Fake();
        fake.loadedModules[L"C:\\Windows\\system32\\kernel32.dll"] = &g_kernel32;
        fake.memoryRegion = {28, 28, &g_kernel32};
        fake.nativeExports[&g_kernel32]["GetNativeSystemInfo"] = &g_nativeInfo;
        fake.loadableLibraries[L"C:\\Windows\\system32\\iphlpapi.dll"] = &g_iphlpapi;
        fake.exports[&g_iphlpapi] = {{"GetExtendedTcpTable", &g_tcpTable},
                                     {"GetExtendedUdpTable", &g_udpTable},
                                     {"SetTcpEntry", &g_setTcpEntry}};
    }

    // Runs start-up; answers the exit code when it ended the process.
    std::optional<std::uint32_t> Run(bool refuseOn64BitOs = true)
    {
        try {
            state_ = app::RunStartup({refuseOn64BitOs});
            return std::nullopt;
        } catch (const fake::ProcessExit& exit) {
            return exit.exitCode;
        }
    }

    std::vector<unsigned> PrivilegeIds() const
    {
        std::vector<unsigned> ids;
        for (const auto& line : Fake().log) {
            if (line.rfind("RtlAdjustPrivilege ", 0) == 0) {
                EXPECT_NE(line.find("enable=1 thread=0 out=1"), std::string::npos) << line;
                ids.push_back(static_cast<unsigned>(std::stoul(line.substr(19))));
            }
        }
        return ids;
    }

    support::StartupState state_;
};

TEST_F(StartupTest, RunsTheModulesInTheirFixedOrder)
{
    ASSERT_FALSE(Run());

    std::vector<unsigned> expected;
    for (unsigned id = 0; id <= 255; ++id) expected.push_back(id);
    expected.push_back(20);
    for (unsigned id = 0; id <= 100; ++id) expected.push_back(id);
    EXPECT_EQ(PrivilegeIds(), expected);

    const auto& fake = Fake();
    const std::size_t systemDirectory = fake.IndexOf("GetSystemDirectory");
    const std::size_t nativeInfo = fake.IndexOf("GetNativeSystemInfo");
    const std::size_t loadLibrary = fake.IndexOf("LoadLibraryEx C:\\Windows\\system32\\iphlpapi.dll 0");
    EXPECT_EQ(systemDirectory, 256u) << "the kernel32 path follows the 256 privilege requests";
    EXPECT_LT(systemDirectory, nativeInfo);
    EXPECT_EQ(fake.log[nativeInfo + 1], "RtlAdjustPrivilege 20 enable=1 thread=0 out=1");
    EXPECT_EQ(fake.log[nativeInfo + 2], "GetSystemDirectory") << "the library is loaded from the system folder";
    EXPECT_EQ(loadLibrary, nativeInfo + 3);
    EXPECT_NE(fake.log[loadLibrary + 1].find("GetExtendedTcpTable"), std::string::npos);
    EXPECT_NE(fake.log[loadLibrary + 2].find("GetExtendedUdpTable"), std::string::npos);
    EXPECT_NE(fake.log[loadLibrary + 3].find("SetTcpEntry"), std::string::npos);
    EXPECT_EQ(fake.log[loadLibrary + 4], "RtlAdjustPrivilege 0 enable=1 thread=0 out=1");
    EXPECT_EQ(fake.log.back(), "RtlAdjustPrivilege 100 enable=1 thread=0 out=1");

    EXPECT_EQ(state_.system.kernel32Path, L"C:\\Windows\\system32\\kernel32.dll");
    EXPECT_FALSE(state_.system.os64Bit);
    EXPECT_EQ(reinterpret_cast<void*>(state_.ipHelper.getExtendedTcpTable), &g_tcpTable);
    EXPECT_EQ(reinterpret_cast<void*>(state_.ipHelper.getExtendedUdpTable), &g_udpTable);
    EXPECT_EQ(reinterpret_cast<void*>(state_.ipHelper.setTcpEntry), &g_setTcpEntry);
    EXPECT_TRUE(fake.messageBoxes.empty());
}

TEST_F(StartupTest, A64BitWindowsIsRefusedBeforeIpHelperIsLoaded)
{
    Fake().nativeArchitecture = 9;
    EXPECT_EQ(Run(), 0u);

    const auto& fake = Fake();
    ASSERT_EQ(fake.messageBoxes.size(), 1u);
    EXPECT_EQ(fake.messageBoxes[0].owner, nullptr);
    EXPECT_EQ(fake.messageBoxes[0].text, L"Please run the 64-bit version! Aborting...");
    EXPECT_FALSE(fake.messageBoxes[0].caption.has_value());
    EXPECT_EQ(fake.messageBoxes[0].type, 0x10u);
    EXPECT_EQ(fake.log.back(), "ExitProcess 0");
    EXPECT_EQ(fake.Count("LoadLibraryEx"), 0u);
    EXPECT_EQ(PrivilegeIds().size(), 257u);
}

TEST_F(StartupTest, The64BitBuildRunsOnA64BitWindows)
{
    Fake().nativeArchitecture = 9;
    EXPECT_FALSE(Run(/*refuseOn64BitOs=*/false));
    EXPECT_TRUE(state_.system.os64Bit);
    EXPECT_TRUE(Fake().messageBoxes.empty());
}

TEST_F(StartupTest, MissingExtendedTcpTableIsRefused)
{
    for (bool libraryLoads : {true, false}) {
        SetUp();
        Fake().exports[&g_iphlpapi].erase("GetExtendedTcpTable");
        if (!libraryLoads) {
            Fake().loadableLibraries.clear();
        }
        EXPECT_EQ(Run(), 0u);
        const auto& fake = Fake();
        ASSERT_EQ(fake.messageBoxes.size(), 1u);
        EXPECT_EQ(fake.messageBoxes[0].text, L"Unsupported OS version! Aborting...");
        EXPECT_EQ(fake.messageBoxes[0].owner, nullptr);
        EXPECT_FALSE(fake.messageBoxes[0].caption.has_value());
        EXPECT_EQ(fake.messageBoxes[0].type, 0x10u);
        EXPECT_EQ(fake.log.back(), "ExitProcess 0");
        EXPECT_EQ(PrivilegeIds().size(), 257u) << "the last 101 privilege requests never run";
        EXPECT_EQ(fake.Count("GetProcAddress"), libraryLoads ? 3u : 0u);
    }
}

// A bare library name would be searched for, and "\iphlpapi.dll" is a file
// at the root of the current drive: without the system folder nothing loads.
TEST_F(StartupTest, AnUnreadableSystemFolderLoadsNoLibrary)
{
    Fake().systemDirectory = L"";
    EXPECT_EQ(Run(), 0u);
    EXPECT_EQ(Fake().Count("LoadLibraryEx"), 0u);
    ASSERT_EQ(Fake().messageBoxes.size(), 1u);
    EXPECT_EQ(Fake().messageBoxes[0].text, L"Unsupported OS version! Aborting...");
}

TEST_F(StartupTest, MissingUdpTableOrSetTcpEntryDoesNotStopStartUp)
{
    Fake().exports[&g_iphlpapi].erase("GetExtendedUdpTable");
    Fake().exports[&g_iphlpapi].erase("SetTcpEntry");
    ASSERT_FALSE(Run());
    EXPECT_EQ(state_.ipHelper.getExtendedUdpTable, nullptr);
    EXPECT_EQ(state_.ipHelper.setTcpEntry, nullptr);
    EXPECT_NE(state_.ipHelper.getExtendedTcpTable, nullptr);
    EXPECT_EQ(PrivilegeIds().size(), 358u);
}

struct ArchitectureCase {
    std::uint16_t architecture;
    bool is64Bit;
};

class IsOs64BitTest : public ::testing::TestWithParam<ArchitectureCase> {};

TEST_P(IsOs64BitTest, AnswersForTheNativeArchitecture)
{
    fake::Reset();
    Fake().loadedModules[L"k32"] = &g_kernel32;
    Fake().memoryRegion = {28, 28, &g_kernel32};
    Fake().nativeExports[&g_kernel32]["GetNativeSystemInfo"] = &g_nativeInfo;
    Fake().nativeArchitecture = GetParam().architecture;
    Fake().systemArchitecture = 0;
    EXPECT_EQ(support::IsOs64Bit(L"k32"), GetParam().is64Bit);
    EXPECT_EQ(Fake().Count("GetSystemInfo"), 0u);
}

INSTANTIATE_TEST_SUITE_P(Codes, IsOs64BitTest,
                         ::testing::Values(ArchitectureCase{0, false}, ArchitectureCase{5, false},
                                           ArchitectureCase{6, true}, ArchitectureCase{9, true},
                                           ArchitectureCase{12, false},
                                           ArchitectureCase{0xFFFF, false}),
                         [](const auto& info) { return "Architecture" + std::to_string(info.param.architecture); });

TEST(IsOs64BitFallbackTest, UsesGetSystemInfoWhenTheNativeCallIsMissing)
{
    fake::Reset();
    Fake().systemArchitecture = 9;
    EXPECT_TRUE(support::IsOs64Bit(L"k32"));
    EXPECT_EQ(Fake().Count("GetSystemInfo"), 1u);
    EXPECT_EQ(Fake().Count("GetNativeSystemInfo"), 0u);
}

} // namespace
} // namespace vq
