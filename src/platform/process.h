#pragma once

// Processes and the native calls that act on them.

#include "system.h"
#include "unique_handle.h"

#include <cstdint>
#include <string>

namespace vq::platform {

using ProcessHandle = void*;

// The system's idle process and the system itself: neither has an image file
// nor can be ended.
inline constexpr std::uint32_t kIdleProcessId = 0;
inline constexpr std::uint32_t kSystemProcessId = 4;

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

inline constexpr std::uint32_t kMaximumAllowed = 0x02000000;
inline constexpr std::uint32_t kProcessQueryLimitedInformation = 0x1000;

// OpenProcess with a handle that is not inherited; owns nothing when access
// is refused or the process is gone.
UniqueProcess OpenProcess(std::uint32_t access, std::uint32_t processId);

inline constexpr std::uint32_t kProcessTerminate = 0x0001;

// TerminateProcess: asks the system to end the process with exitCode.
// Answers whether the request was accepted.
bool TerminateProcess(ProcessHandle process, std::uint32_t exitCode);

// GetHandleInformation: true while the handle is one the system knows.
bool GetHandleInformation(ProcessHandle handle);

// GetModuleFileNameExW for the main module, into a buffer with room for size
// characters. Answers the count the call reports: 0 on failure, also when
// psapi.dll (loaded the first time it is needed) cannot be loaded.
std::uint32_t GetModuleFileNameEx(ProcessHandle process, wchar_t* buffer, std::uint32_t size);

// GetProcessTimes: the time the process started, in the system's 100 ns
// units since 1601. False when the handle lacks query access.
bool GetProcessStartTime(ProcessHandle process, std::uint64_t* startTime);

// Calls a QueryFullProcessImageNameW entry point that was looked up at run
// time. size is the buffer's room in characters on the way in and the
// characters written on success; lastError is set when the call fails.
bool CallQueryFullProcessImageName(ProcAddress entryPoint, ProcessHandle process,
                                   std::uint32_t flags, wchar_t* buffer, std::uint32_t* size,
                                   std::uint32_t* lastError);

// NtQueryInformationProcess with the extended basic information record, its
// size field set to the record's length. Answers the NTSTATUS and, on
// success, the record's Flags.
std::uint32_t QueryExtendedBasicInformation(ProcessHandle process, std::uint32_t* flags);

// NtQueryInformationProcess for the image file name into a buffer of
// bufferLength bytes. Answers the NTSTATUS and, on success, the text of the
// counted string the system stored there.
std::uint32_t QueryImageFileName(ProcessHandle process, std::uint32_t bufferLength,
                                 std::wstring* imageName);

inline constexpr std::uint32_t kStatusBufferOverflow = 0x80000005;
inline constexpr std::uint32_t kStatusInfoLengthMismatch = 0xC0000004;
inline constexpr std::uint32_t kStatusBufferTooSmall = 0xC0000023;

} // namespace vq::platform
