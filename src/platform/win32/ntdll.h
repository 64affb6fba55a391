#pragma once

// The native calls: looked up in ntdll, which every process has loaded, by
// name, so that a system without one still runs.

#include "platform/win32/windows_api.h"

#include <cstdint>

namespace vq::platform::win32 {

// STATUS_ENTRYPOINT_NOT_FOUND: what a native call answers when ntdll lacks it.
inline constexpr std::uint32_t kStatusEntryPointNotFound = 0xC0000139;

// The ntdll export of that name as a function of type Fn; null when there is none.
template <typename Fn>
Fn NtdllProc(const char* name)
{
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), name)));
}

} // namespace vq::platform::win32
