#include "platform/process.h"

#include "platform/win32/ntdll.h"
#include "platform/win32/unique_win32.h"
#include "platform/win32/windows_api.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace vq::platform {
namespace {

using RtlAdjustPrivilegeFn = LONG(NTAPI*)(ULONG, BOOLEAN, BOOLEAN, BOOLEAN*);
using NtQueryInformationProcessFn = LONG(NTAPI*)(HANDLE, ULONG, void*, ULONG, ULONG*);
using GetModuleFileNameExWFn = DWORD(WINAPI*)(HANDLE, HMODULE, LPWSTR, DWORD);
using QueryFullProcessImageNameWFn = BOOL(WINAPI*)(HANDLE, DWORD, LPWSTR, DWORD*);

constexpr ULONG kProcessBasicInformation = 0;
constexpr ULONG kProcessImageFileName = 27;

// The system's records for the two process queries, in this build's layout.
struct ProcessBasicInformationRecord {
    LONG exitStatus;
    void* pebBaseAddress;
    ULONG_PTR affinityMask;
    LONG basePriority;
    ULONG_PTR uniqueProcessId;
    ULONG_PTR inheritedFromUniqueProcessId;
};

struct ProcessExtendedBasicInformation {
    SIZE_T size;  // the record's own length, set before the query
    ProcessBasicInformationRecord basicInfo;
    ULONG flags;
};
#ifdef _WIN64
static_assert(sizeof(ProcessExtendedBasicInformation) == 64);
#else
static_assert(sizeof(ProcessExtendedBasicInformation) == 32);
#endif

struct CountedString {
    USHORT length;  // bytes, without a terminator
    USHORT maximumLength;
    PWSTR buffer;
};

LONG NtQueryInformationProcess(HANDLE process, ULONG infoClass, void* info, ULONG length)
{
    const auto query = win32::NtdllProc<NtQueryInformationProcessFn>("NtQueryInformationProcess");
    if (query == nullptr) {
        return static_cast<LONG>(win32::kStatusEntryPointNotFound);
    }
    return query(process, infoClass, info, length, nullptr);
}

// psapi.dll, loaded from the system directory the first time a module file
// name is read and kept until the program ends. A load that fails is tried
// again on the next read.
class Psapi {
public:
    GetModuleFileNameExWFn GetModuleFileNameEx()
    {
        if (getModuleFileNameEx_ == nullptr) {
            Load();
        }
        return getModuleFileNameEx_;
    }

private:
    void Load()
    {
        win32::UniqueHmodule library(static_cast<HMODULE>(LoadSystemLibrary(L"psapi.dll")));
        if (!library) {
            return;
        }
        getModuleFileNameEx_ = reinterpret_cast<GetModuleFileNameExWFn>(
            reinterpret_cast<void*>(::GetProcAddress(library.get(), "GetModuleFileNameExW")));
        if (getModuleFileNameEx_ != nullptr) {
            library_ = std::move(library);
        }
    }

    win32::UniqueHmodule library_;
    GetModuleFileNameExWFn getModuleFileNameEx_ = nullptr;
};

// One for the program: these free functions have no object to hold it, and
// every module file name read needs the same library.
Psapi g_psapi;

} // namespace

void CloseHandle(ProcessHandle handle) noexcept
{
    win32::HandleTraits::Close(handle);
}

std::uint32_t RtlAdjustPrivilege(std::uint32_t privilege, bool enable, bool currentThread,
                                 bool* wasEnabled)
{
    const auto adjust = win32::NtdllProc<RtlAdjustPrivilegeFn>("RtlAdjustPrivilege");
    if (adjust == nullptr) {
        return win32::kStatusEntryPointNotFound;
    }
    BOOLEAN previous = FALSE;
    const LONG status = adjust(privilege, enable ? TRUE : FALSE, currentThread ? TRUE : FALSE, &previous);
    if (wasEnabled != nullptr) {
        *wasEnabled = previous != FALSE;
    }
    return static_cast<std::uint32_t>(status);
}

UniqueProcess OpenProcess(std::uint32_t access, std::uint32_t processId)
{
    return UniqueProcess(::OpenProcess(access, FALSE, processId));
}

bool TerminateProcess(ProcessHandle process, std::uint32_t exitCode)
{
    return ::TerminateProcess(process, exitCode) != FALSE;
}

bool GetHandleInformation(ProcessHandle handle)
{
    DWORD flags = 0;
    return ::GetHandleInformation(handle, &flags) != FALSE;
}

std::uint32_t GetModuleFileNameEx(ProcessHandle process, wchar_t* buffer, std::uint32_t size)
{
    const GetModuleFileNameExWFn getModuleFileNameEx = g_psapi.GetModuleFileNameEx();
    if (getModuleFileNameEx == nullptr) {
        return 0;
    }
    return getModuleFileNameEx(process, nullptr, buffer, size);
}

bool GetProcessStartTime(ProcessHandle process, std::uint64_t* startTime)
{
    FILETIME creation{};
    FILETIME exitTime{};
    FILETIME kernelTime{};
    FILETIME userTime{};
    if (::GetProcessTimes(process, &creation, &exitTime, &kernelTime, &userTime) == FALSE) {
        return false;
    }
    *startTime = (static_cast<std::uint64_t>(creation.dwHighDateTime) << 32) | creation.dwLowDateTime;
    return true;
}

bool CallQueryFullProcessImageName(ProcAddress entryPoint, ProcessHandle process,
                                   std::uint32_t flags, wchar_t* buffer, std::uint32_t* size,
                                   std::uint32_t* lastError)
{
    const auto query = reinterpret_cast<QueryFullProcessImageNameWFn>(entryPoint);
    DWORD room = *size;
    if (query(process, flags, buffer, &room) == FALSE) {
        *lastError = ::GetLastError();
        return false;
    }
    *size = room;
    return true;
}

std::uint32_t QueryExtendedBasicInformation(ProcessHandle process, std::uint32_t* flags)
{
    ProcessExtendedBasicInformation info{};
    info.size = sizeof(info);
    const LONG status =
        NtQueryInformationProcess(process, kProcessBasicInformation, &info, sizeof(info));
    if (status == 0) {
        *flags = info.flags;
    }
    return static_cast<std::uint32_t>(status);
}

std::uint32_t QueryImageFileName(ProcessHandle process, std::uint32_t bufferLength,
                                 std::wstring* imageName)
{
    // Words keep the counted string at the front of the buffer aligned.
    const std::size_t words = (std::max<std::size_t>(bufferLength, sizeof(CountedString)) +
                               sizeof(ULONG_PTR) - 1) / sizeof(ULONG_PTR);
    std::vector<ULONG_PTR> storage(words, 0);
    const LONG status = NtQueryInformationProcess(process, kProcessImageFileName, storage.data(),
                                                  bufferLength);
    if (status != 0) {
        return static_cast<std::uint32_t>(status);
    }

    // The text lies behind the record in the same buffer; a string that
    // points anywhere else is not read.
    CountedString name{};
    std::memcpy(&name, storage.data(), sizeof(name));
    const auto first = reinterpret_cast<std::uintptr_t>(storage.data());
    const auto text = reinterpret_cast<std::uintptr_t>(name.buffer);
    if (name.buffer != nullptr && text >= first && text - first + name.length <= bufferLength) {
        imageName->assign(name.buffer, name.length / sizeof(wchar_t));
    } else {
        imageName->clear();
    }
    return 0;
}

} // namespace vq::platform
