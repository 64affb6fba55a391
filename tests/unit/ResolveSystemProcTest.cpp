#include "fake_platform.h"
#include "support/resolve_system_proc.h"

#include <gtest/gtest.h>

namespace vq {
namespace {

using fake::Fake;

int g_handle;
int g_base;
int g_native;
int g_exported;

class ResolveSystemProcTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fake::Reset();
        Fake().loadedModules[L"C:\\sys\\kernel32.dll"] = &g_handle;
    }
};

TEST_F(ResolveSystemProcTest, LooksUpAtTheAllocationBaseWhenTheRegionQueryIsComplete)
{
    Fake().memoryRegion = {28, 28, &g_base};
    Fake().nativeExports[&g_base]["Proc"] = &g_native;
    EXPECT_EQ(support::ResolveSystemProc(L"C:\\sys\\kernel32.dll", "Proc"), &g_native);
    EXPECT_EQ(Fake().Count("GetProcAddress"), 0u);
    EXPECT_NE(Fake().log.back().find(" Proc 0"), std::string::npos) << "ordinal 0";
}

TEST_F(ResolveSystemProcTest, KeepsTheHandleWhenTheRegionQueryIsPartial)
{
    for (std::size_t returned : {std::size_t{0}, std::size_t{27}}) {
        Fake().memoryRegion = {returned, 28, &g_base};
        Fake().nativeExports[&g_handle]["Proc"] = &g_native;
        EXPECT_EQ(support::ResolveSystemProc(L"C:\\sys\\kernel32.dll", "Proc"), &g_native);
    }
}

TEST_F(ResolveSystemProcTest, FallsBackToGetProcAddressWhenTheNativeLookUpFails)
{
    Fake().memoryRegion = {28, 28, &g_base};
    Fake().exports[&g_base]["Proc"] = &g_exported;
    EXPECT_EQ(support::ResolveSystemProc(L"C:\\sys\\kernel32.dll", "Proc"), &g_exported);
    EXPECT_EQ(support::ResolveSystemProc(L"C:\\sys\\kernel32.dll", "Missing"), nullptr);
}

} // namespace
} // namespace vq
