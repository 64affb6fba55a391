#include "platform/system.h"

#include "platform/win32/ntdll.h"
#include "platform/win32/unique_win32.h"
#include "platform/win32/windows_api.h"

#include <string>

namespace vq::platform {
namespace {

struct AnsiString {
    USHORT Length;
    USHORT MaximumLength;
    PCHAR Buffer;
};

using RtlInitAnsiStringFn = void(NTAPI*)(AnsiString*, const char*);
using LdrGetProcedureAddressFn = LONG(NTAPI*)(HMODULE, AnsiString*, ULONG, void**);
using GetNativeSystemInfoFn = void(WINAPI*)(SYSTEM_INFO*);

// Reads a system-provided directory whatever its length.
template <typename Query>
std::wstring ReadDirectory(Query query)
{
    std::wstring text(MAX_PATH, L'\0');
    UINT length = query(text.data(), static_cast<UINT>(text.size()));
    if (length >= text.size()) {
        text.resize(length);
        length = query(text.data(), static_cast<UINT>(text.size()));
    }
    text.resize(length < text.size() ? length : 0);
    return text;
}

} // namespace

std::wstring GetSystemDirectory()
{
    return ReadDirectory([](wchar_t* buffer, UINT size) { return ::GetSystemDirectoryW(buffer, size); });
}

std::wstring GetWindowsDirectory()
{
    return ReadDirectory([](wchar_t* buffer, UINT size) { return ::GetWindowsDirectoryW(buffer, size); });
}

ModuleHandle GetModuleHandle(const std::wstring& path)
{
    return ::GetModuleHandleW(path.c_str());
}

MemoryRegionQuery VirtualQuery(const void* address)
{
    MEMORY_BASIC_INFORMATION info{};
    MemoryRegionQuery query;
    query.returnedLength = ::VirtualQuery(address, &info, sizeof(info));
    query.fullLength = sizeof(info);
    query.allocationBase = info.AllocationBase;
    return query;
}

std::uint32_t LdrGetProcedureAddress(ModuleHandle module, const std::string& name,
                                     std::uint32_t ordinal, ProcAddress* address)
{
    const auto initAnsiString = win32::NtdllProc<RtlInitAnsiStringFn>("RtlInitAnsiString");
    const auto getProcedureAddress = win32::NtdllProc<LdrGetProcedureAddressFn>("LdrGetProcedureAddress");
    if (initAnsiString == nullptr || getProcedureAddress == nullptr) {
        return win32::kStatusEntryPointNotFound;
    }
    AnsiString ansiName{};
    initAnsiString(&ansiName, name.c_str());
    return static_cast<std::uint32_t>(
        getProcedureAddress(static_cast<HMODULE>(module), &ansiName, ordinal, address));
}

ProcAddress GetProcAddress(ModuleHandle module, const std::string& name)
{
    return reinterpret_cast<ProcAddress>(::GetProcAddress(static_cast<HMODULE>(module), name.c_str()));
}

void RestrictLibrarySearch()
{
    ::SetDllDirectoryW(L"");
    // Windows 7 has it only with an update: looked up, not imported.
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    const HMODULE kernel32 = ::GetModuleHandleW(L"kernel32.dll");
    const auto setDefault = kernel32 == nullptr ? nullptr
                                                : reinterpret_cast<SetDefaultDllDirectoriesFn>(reinterpret_cast<void*>(
                                                      ::GetProcAddress(kernel32, "SetDefaultDllDirectories")));
    if (setDefault != nullptr) {
        setDefault(0x00000800);  // LOAD_LIBRARY_SEARCH_SYSTEM32
    }
}

ModuleHandle LoadLibraryEx(const std::wstring& name, std::uint32_t flags)
{
    return ::LoadLibraryExW(name.c_str(), nullptr, flags);
}

std::uint16_t NativeSystemInfoArchitecture(ProcAddress getNativeSystemInfo)
{
    SYSTEM_INFO info{};
    reinterpret_cast<GetNativeSystemInfoFn>(getNativeSystemInfo)(&info);
    return info.wProcessorArchitecture;
}

std::uint16_t SystemInfoArchitecture()
{
    SYSTEM_INFO info{};
    ::GetSystemInfo(&info);
    return info.wProcessorArchitecture;
}

std::uint32_t GetVersion()
{
    return ::GetVersion();
}

int MessageBox(void* owner, const std::wstring& text, const wchar_t* caption, std::uint32_t type)
{
    return ::MessageBoxW(static_cast<HWND>(owner), text.c_str(), caption, type);
}

void ExitProcess(std::uint32_t exitCode)
{
    ::ExitProcess(exitCode);
}

std::uint32_t QueryDosDevice(const std::wstring& deviceName, wchar_t* buffer, std::uint32_t size)
{
    return ::QueryDosDeviceW(deviceName.c_str(), buffer, size);
}

std::uint32_t ExpandEnvironmentStrings(const std::wstring& source, wchar_t* buffer,
                                       std::uint32_t size)
{
    return ::ExpandEnvironmentStringsW(source.c_str(), buffer, size);
}

bool GetComputerName(wchar_t* buffer, std::uint32_t* size)
{
    DWORD length = *size;
    if (::GetComputerNameW(buffer, &length) == FALSE) {
        return false;
    }
    *size = length;
    return true;
}

int CompareIgnoringCase(const std::wstring& first, const std::wstring& second)
{
    return ::lstrcmpiW(first.c_str(), second.c_str());
}

int CompareText(const std::wstring& first, const std::wstring& second)
{
    return ::lstrcmpW(first.c_str(), second.c_str());
}

} // namespace vq::platform

namespace vq::platform {

std::wstring GetExecutablePath()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) {
            return {};
        }
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

LocalTime GetLocalTime()
{
    SYSTEMTIME time{};
    ::GetLocalTime(&time);
    return {time.wYear, time.wMonth, time.wDay, time.wHour, time.wMinute, time.wSecond};
}

std::optional<LocalTime> FileTimeToLocalTime(std::uint64_t fileTime)
{
    FILETIME utc{static_cast<DWORD>(fileTime), static_cast<DWORD>(fileTime >> 32)};
    SYSTEMTIME universal{};
    SYSTEMTIME local{};
    if (!::FileTimeToSystemTime(&utc, &universal) || !::SystemTimeToTzSpecificLocalTime(nullptr, &universal, &local)) {
        return std::nullopt;
    }
    return LocalTime{local.wYear, local.wMonth, local.wDay, local.wHour, local.wMinute, local.wSecond};
}

void Sleep(std::uint32_t milliseconds)
{
    ::Sleep(milliseconds);
}

std::wstring FormatSystemMessage(std::uint32_t errorCode)
{
    // The system allocates the text; its owner frees it with LocalFree.
    UniqueAny<win32::NullInvalidTraits<HLOCAL, ::LocalFree>> text;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, errorCode, 0, reinterpret_cast<wchar_t*>(text.put()), 0, nullptr);
    if (length == 0 || !text) {
        return {};
    }
    return std::wstring(static_cast<const wchar_t*>(text.get()), length);
}

} // namespace vq::platform
