#include "fake_platform.h"
#include "process_machine.h"
#include "support/process_path.h"
#include "support/process_path_cache.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace vq {
namespace {

using fake::Fake;
using fake::FakeProcess;

FakeProcess& Ordinary(std::uint32_t pid, const std::wstring& moduleFileName)
{
    FakeProcess& process = Fake().processes[pid];
    process.moduleFileName = moduleFileName;
    return process;
}

// Opens with the ordinary access, but its modules cannot be read.
FakeProcess& Unreadable(std::uint32_t pid)
{
    FakeProcess& process = Fake().processes[pid];
    process.moduleFileName.reset();
    return process;
}

// Refuses the ordinary access; tells its image name through the limited one.
FakeProcess& Protected(std::uint32_t pid, const std::wstring& imageName)
{
    FakeProcess& process = Fake().processes[pid];
    process.grantedAccess = {platform::kProcessQueryLimitedInformation};
    process.flags = 0x1;
    process.fullImageName = imageName;
    return process;
}

// How many log lines from index first on begin with prefix.
std::size_t CountFrom(std::size_t first, const std::string& prefix)
{
    const auto& log = Fake().log;
    std::size_t count = 0;
    for (std::size_t i = first; i < log.size(); ++i) {
        count += log[i].rfind(prefix, 0) == 0 ? 1 : 0;
    }
    return count;
}

class CacheFixture {
protected:
    void ExpectEveryHandleClosed() const
    {
        EXPECT_TRUE(Fake().openHandles.empty()) << "a handle was left open";
        EXPECT_EQ(Fake().Count("CloseHandle "), Fake().handleProcessIds.size())
            << "each handle is closed exactly once";
    }

    support::ProcessPathCache cache_{kKernel32};
};

class ProcessPathCacheTest : public ::testing::Test, protected CacheFixture {
protected:
    void SetUp() override { ScriptProcessMachine(); }
    void TearDown() override { ExpectEveryHandleClosed(); }
};

TEST_F(ProcessPathCacheTest, ManyRowsOfFewProcessesAskOncePerProcessPerPass)
{
    constexpr std::uint32_t kProcesses = 200;
    constexpr std::uint32_t kRows = 1000;
    const auto pathOf = [](std::uint32_t pid) {
        return L"\\Device\\HarddiskVolume2\\Apps\\app" + std::to_wstring(pid) + L".exe";
    };
    for (std::uint32_t i = 0; i < kProcesses; ++i) {
        Ordinary(1000 + i, pathOf(1000 + i));
    }
    const auto fill = [&] {
        cache_.BeginPass();
        for (std::uint32_t row = 0; row < kRows; ++row) {
            const std::uint32_t pid = 1000 + row % kProcesses;
            ASSERT_EQ(cache_.Resolve(pid), L"C:\\Apps\\app" + std::to_wstring(pid) + L".exe");
        }
    };

    fill();
    EXPECT_EQ(Fake().Count("OpenProcess "), kProcesses);
    EXPECT_EQ(Fake().Count("GetModuleFileNameEx "), kProcesses);
    EXPECT_EQ(Fake().Count("GetProcessStartTime "), kProcesses) << "read through the same handle";
    EXPECT_EQ(Fake().Count("QueryDosDevice "), 26u);

    // The same processes still hold their ids: one start-time check each.
    const std::size_t secondPass = Fake().log.size();
    fill();
    EXPECT_EQ(CountFrom(secondPass, "OpenProcess "), kProcesses);
    EXPECT_EQ(CountFrom(secondPass, "OpenProcess 1000 0x1000"), 1u);
    EXPECT_EQ(CountFrom(secondPass, "GetProcessStartTime "), kProcesses);
    EXPECT_EQ(CountFrom(secondPass, "GetModuleFileNameEx "), 0u);
    EXPECT_EQ(CountFrom(secondPass, "QueryDosDevice "), 0u);
}

TEST_F(ProcessPathCacheTest, SystemNamesAreAskedOncePerPassAndOnlyWhenAPathNeedsThem)
{
    Ordinary(100, L"\\SystemRoot\\System32\\smss.exe");
    Ordinary(101, L"\\Windows\\explorer.exe");
    // Its image name comes through the native query and the exact device names.
    Protected(102, L"").fullImageName.reset();
    Fake().processes[102].imageFileName = L"\\Device\\HarddiskVolume10\\Tools\\a.exe";
    Ordinary(103, L"C:\\a.exe");

    cache_.BeginPass();
    EXPECT_EQ(cache_.Resolve(0), L"");
    EXPECT_EQ(cache_.Resolve(4), L"System");
    EXPECT_EQ(cache_.Resolve(99), L"");
    EXPECT_EQ(Fake().Count("QueryDosDevice "), 0u);
    EXPECT_EQ(Fake().Count("GetWindowsDirectory"), 0u);

    EXPECT_EQ(cache_.Resolve(100), L"C:\\Windows\\System32\\smss.exe");
    EXPECT_EQ(cache_.Resolve(101), L"C:\\Windows\\explorer.exe");
    EXPECT_EQ(cache_.Resolve(102), L"D:\\Tools\\a.exe");
    EXPECT_EQ(Fake().Count("QueryDosDevice "), 26u);
    EXPECT_EQ(Fake().Count("GetWindowsDirectory"), 1u);
    EXPECT_EQ(Fake().Count("LdrGetProcedureAddress "), 1u);

    // A new pass asks the names afresh, but the entry point only once per cache.
    cache_.BeginPass();
    Fake().processes[102].startTime = 2;
    EXPECT_EQ(cache_.Resolve(103), L"C:\\a.exe");
    EXPECT_EQ(cache_.Resolve(102), L"D:\\Tools\\a.exe");
    EXPECT_EQ(Fake().Count("QueryDosDevice "), 52u);
    EXPECT_EQ(Fake().Count("LdrGetProcedureAddress "), 1u);
}

TEST_F(ProcessPathCacheTest, EntriesUnusedForTheKeptPassesAreDropped)
{
    Ordinary(kPid, L"C:\\a.exe");
    cache_.BeginPass();
    cache_.Resolve(kPid);

    for (std::uint64_t i = 0; i < support::ProcessPathCache::kIdlePassesKept; ++i) {
        cache_.BeginPass();
    }
    const std::size_t lastKeptPass = Fake().log.size();
    EXPECT_EQ(cache_.Resolve(kPid), L"C:\\a.exe");
    EXPECT_EQ(CountFrom(lastKeptPass, "GetModuleFileNameEx "), 0u) << "still kept";

    for (std::uint64_t i = 0; i <= support::ProcessPathCache::kIdlePassesKept; ++i) {
        cache_.BeginPass();
    }
    const std::size_t droppedPass = Fake().log.size();
    EXPECT_EQ(cache_.Resolve(kPid), L"C:\\a.exe");
    EXPECT_EQ(CountFrom(droppedPass, "OpenProcess 1234 0x1000"), 0u) << "no start time left to check";
    EXPECT_EQ(CountFrom(droppedPass, "GetModuleFileNameEx "), 1u);
}

// Every kind of answer: the cache gives what GetProcessPath gives, and a
// second row of the same process in the pass asks nothing.
struct AnswerCase {
    std::string name;
    std::uint32_t pid;
    std::function<void()> script;
    std::wstring expected;
};

void PrintTo(const AnswerCase& c, std::ostream* os)
{
    *os << c.name;
}

class CacheAnswerTest : public ::testing::TestWithParam<AnswerCase>, protected CacheFixture {
protected:
    void SetUp() override
    {
        ScriptProcessMachine();
        GetParam().script();
    }
    void TearDown() override { ExpectEveryHandleClosed(); }
};

TEST_P(CacheAnswerTest, GivesWhatGetProcessPathGivesOncePerPass)
{
    const AnswerCase& c = GetParam();
    support::ProcessPathLookups lookups(kKernel32);
    EXPECT_EQ(support::GetProcessPath(c.pid, lookups, nullptr), c.expected);

    cache_.BeginPass();
    EXPECT_EQ(cache_.Resolve(c.pid), c.expected);
    const std::size_t asked = Fake().log.size();
    EXPECT_EQ(cache_.Resolve(c.pid), c.expected);
    EXPECT_EQ(Fake().log.size(), asked) << "the second row asks nothing";
}

INSTANTIATE_TEST_SUITE_P(
    Answers, CacheAnswerTest,
    ::testing::Values(
        AnswerCase{"Idle", 0, [] { Ordinary(0, L"C:\\idle.exe"); }, L""},
        AnswerCase{"System", 4, [] { Ordinary(4, L"C:\\system.exe"); }, L"System"},
        AnswerCase{"Ordinary", kPid,
                   [] { Ordinary(kPid, L"\\Device\\HarddiskVolume2\\Tools\\app.exe"); },
                   L"C:\\Tools\\app.exe"},
        AnswerCase{"UnreadableModules", kPid, [] { Unreadable(kPid); }, L"\\"},
        AnswerCase{"ProtectedRefusingOrdinaryAccess", kPid,
                   [] { Protected(kPid, L"c:\\Windows\\System32\\csrss.exe"); },
                   L"C:\\Windows\\System32\\csrss.exe"},
        AnswerCase{"ProtectedWithUnreadableModules", kPid,
                   [] {
                       Protected(kPid, L"C:\\Windows\\System32\\lsass.exe").grantedAccess.insert(
                           platform::kMaximumAllowed);
                       Unreadable(kPid);
                   },
                   L"C:\\Windows\\System32\\lsass.exe"},
        AnswerCase{"ProtectedTellingNothing", kPid,
                   [] { Protected(kPid, L"").fullImageName.reset(); }, L"\\"},
        AnswerCase{"Gone", kPid, [] {}, L""}),
    [](const auto& info) { return info.param.name; });

// One process id over two passes: whether the second pass reads the path
// again, and what it gives: the path, and the start time read with it.
struct PassesCase {
    std::string name;
    std::function<void()> firstPass;
    std::function<void()> secondPass;
    std::wstring firstExpected;
    std::wstring secondExpected;
    std::size_t secondPassReads;
    std::optional<std::uint64_t> firstStartTime;
    std::optional<std::uint64_t> secondStartTime;
};

void PrintTo(const PassesCase& c, std::ostream* os)
{
    *os << c.name;
}

class CachePassesTest : public ::testing::TestWithParam<PassesCase>, protected CacheFixture {
protected:
    void SetUp() override { ScriptProcessMachine(); }
    void TearDown() override { ExpectEveryHandleClosed(); }
};

TEST_P(CachePassesTest, KeepsAPathWhileTheSameProcessHoldsTheId)
{
    const PassesCase& c = GetParam();
    std::optional<std::uint64_t> startTime = 99;
    c.firstPass();
    cache_.BeginPass();
    EXPECT_EQ(cache_.Resolve(kPid, &startTime), c.firstExpected);
    EXPECT_EQ(startTime, c.firstStartTime);

    c.secondPass();
    cache_.BeginPass();
    const std::size_t secondPass = Fake().log.size();
    startTime = 99;
    EXPECT_EQ(cache_.Resolve(kPid, &startTime), c.secondExpected);
    EXPECT_EQ(CountFrom(secondPass, "GetModuleFileNameEx "), c.secondPassReads);
    EXPECT_EQ(startTime, c.secondStartTime);
}

INSTANTIATE_TEST_SUITE_P(
    Passes, CachePassesTest,
    ::testing::Values(
        PassesCase{"SameStartTime", [] { Ordinary(kPid, L"C:\\a.exe"); },
                   [] { Fake().processes[kPid].moduleFileName = L"C:\\changed.exe"; },
                   L"C:\\a.exe", L"C:\\a.exe", 0, 1, 1},
        PassesCase{"IdTakenByALaterProcess", [] { Ordinary(kPid, L"C:\\a.exe"); },
                   [] { Ordinary(kPid, L"C:\\b.exe").startTime = 2; }, L"C:\\a.exe",
                   L"C:\\b.exe", 1, 1, 2},
        PassesCase{"StartTimeUnreadable",
                   [] { Ordinary(kPid, L"C:\\a.exe").startTime.reset(); },
                   [] { Fake().processes[kPid].moduleFileName = L"C:\\b.exe"; }, L"C:\\a.exe",
                   L"C:\\b.exe", 1, std::nullopt, std::nullopt},
        PassesCase{"ProcessEnded", [] { Ordinary(kPid, L"C:\\a.exe"); },
                   [] { Fake().processes.erase(kPid); }, L"C:\\a.exe", L"", 0, 1, std::nullopt},
        PassesCase{"NotOpenedFirst", [] {}, [] { Ordinary(kPid, L"C:\\a.exe"); }, L"",
                   L"C:\\a.exe", 1, std::nullopt, 1},
        PassesCase{"UnreadableFirst", [] { Unreadable(kPid); },
                   [] { Fake().processes[kPid].moduleFileName = L"C:\\a.exe"; }, L"\\",
                   L"C:\\a.exe", 1, std::nullopt, 1},
        PassesCase{"ProtectedSameStartTime",
                   [] { Protected(kPid, L"C:\\Windows\\System32\\csrss.exe"); },
                   [] { Fake().processes[kPid].fullImageName = L"C:\\changed.exe"; },
                   L"C:\\Windows\\System32\\csrss.exe", L"C:\\Windows\\System32\\csrss.exe", 0, 1, 1}),
    [](const auto& info) { return info.param.name; });

} // namespace
} // namespace vq
