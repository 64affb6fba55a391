#include "platform/process.h"

#include "platform/win32/windows_api.h"

namespace vq::platform {
namespace {

using RtlAdjustPrivilegeFn = LONG(NTAPI*)(ULONG, BOOLEAN, BOOLEAN, BOOLEAN*);

} // namespace

void CloseHandle(ProcessHandle handle) noexcept
{
    const DWORD lastError = ::GetLastError();
    ::CloseHandle(handle);
    ::SetLastError(lastError);
}

std::uint32_t RtlAdjustPrivilege(std::uint32_t privilege, bool enable, bool currentThread,
                                 bool* wasEnabled)
{
    const auto adjust = reinterpret_cast<RtlAdjustPrivilegeFn>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "RtlAdjustPrivilege")));
    if (adjust == nullptr) {
        return 0xC0000139;  // STATUS_ENTRYPOINT_NOT_FOUND
    }
    BOOLEAN previous = FALSE;
    const LONG status = adjust(privilege, enable ? TRUE : FALSE, currentThread ? TRUE : FALSE, &previous);
    if (wasEnabled != nullptr) {
        *wasEnabled = previous != FALSE;
    }
    return static_cast<std::uint32_t>(status);
}

} // namespace vq::platform
