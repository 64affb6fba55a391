#pragma once

// The machine the process path tests script on the fake: kernel32 with
// QueryFullProcessImageNameW, and three drive letters with their devices.

#include "fake_platform.h"

#include <cstdint>
#include <string>

namespace vq {

inline const std::wstring kKernel32 = L"C:\\Windows\\system32\\kernel32.dll";
inline constexpr std::uint32_t kPid = 1234;

inline int g_kernel32;
inline int g_queryFullProcessImageName;

inline void ScriptProcessMachine()
{
    fake::Reset();
    auto& fake = fake::Fake();
    fake.loadedModules[kKernel32] = &g_kernel32;
    fake.memoryRegion = {28, 28, &g_kernel32};
    fake.nativeExports[&g_kernel32]["QueryFullProcessImageNameW"] = &g_queryFullProcessImageName;
    fake.dosDevices = {{L"C:", L"\\Device\\HarddiskVolume2"},
                       {L"D:", L"\\Device\\HarddiskVolume10"},
                       {L"E:", L"\\Device\\HarddiskVolume1"}};
}

} // namespace vq
