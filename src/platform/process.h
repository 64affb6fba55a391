#pragma once

// Processes and the native calls that act on them.

#include "unique_handle.h"

#include <cstdint>

namespace vq::platform {

using ProcessHandle = void*;

void CloseHandle(ProcessHandle handle) noexcept;

struct ProcessHandleTraits {
    using Pointer = ProcessHandle;
    static constexpr Pointer Invalid() noexcept { return nullptr; }
    static void Close(Pointer handle) noexcept { CloseHandle(handle); }
};
using UniqueProcess = UniqueAny<ProcessHandleTraits>;

// RtlAdjustPrivilege; answers the NTSTATUS.
std::uint32_t RtlAdjustPrivilege(std::uint32_t privilege, bool enable, bool currentThread,
                                 bool* wasEnabled);

} // namespace vq::platform
