#pragma once

// Operating-system information, module look-up, message boxes and process exit.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace vq::platform {

using ModuleHandle = void*;
using ProcAddress = void*;

// What VirtualQuery answered for an address: the length of the record it
// filled (0 on failure), the full length of that record, and the base of the
// allocation that holds the address.
struct MemoryRegionQuery {
    std::size_t returnedLength = 0;
    std::size_t fullLength = 0;
    void* allocationBase = nullptr;
};

std::wstring GetSystemDirectory();
std::wstring GetWindowsDirectory();

ModuleHandle GetModuleHandle(const std::wstring& path);
MemoryRegionQuery VirtualQuery(const void* address);
// RtlInitAnsiString of the name, then LdrGetProcedureAddress; answers the NTSTATUS.
std::uint32_t LdrGetProcedureAddress(ModuleHandle module, const std::string& name,
                                     std::uint32_t ordinal, ProcAddress* address);
ProcAddress GetProcAddress(ModuleHandle module, const std::string& name);
// LoadLibraryExW; the module stays loaded until its owner frees it.
ModuleHandle LoadLibraryEx(const std::wstring& name, std::uint32_t flags);

// A library of the system folder, loaded by its full path there: the program
// runs elevated, and a file of that name beside it or in the current folder
// must never load. Null when the folder cannot be read or the library not
// loaded.
inline ModuleHandle LoadSystemLibrary(const std::wstring& fileName)
{
    const std::wstring folder = GetSystemDirectory();
    return folder.empty() ? nullptr : LoadLibraryEx(folder + L"\\" + fileName, 0);
}

// Takes the current folder out of the library search of the process
// (SetDllDirectoryW with an empty text) and, where the system has
// SetDefaultDllDirectories, limits the search to the system folder. Called
// first thing: the program runs elevated.
void RestrictLibrarySearch();

// wProcessorArchitecture of SYSTEM_INFO filled by the given GetNativeSystemInfo
// entry point, or by GetSystemInfo.
std::uint16_t NativeSystemInfoArchitecture(ProcAddress getNativeSystemInfo);
std::uint16_t SystemInfoArchitecture();

// The packed result of GetVersion: the low byte is the major version.
std::uint32_t GetVersion();

// caption may be null: the platform's default title.
int MessageBox(void* owner, const std::wstring& text, const wchar_t* caption, std::uint32_t type);

[[noreturn]] void ExitProcess(std::uint32_t exitCode);

// QueryDosDeviceW for a drive name such as "C:", into a buffer with room for
// size characters. Answers the characters stored, 0 when the name is not in
// use or the buffer is too small.
std::uint32_t QueryDosDevice(const std::wstring& deviceName, wchar_t* buffer, std::uint32_t size);

// ExpandEnvironmentStringsW into a buffer with room for size characters.
// Answers the characters the whole expansion needs with its terminator (more
// than size when it did not fit), 0 on failure.
std::uint32_t ExpandEnvironmentStrings(const std::wstring& source, wchar_t* buffer,
                                       std::uint32_t size);

// GetComputerNameW: size is the buffer's room on the way in and the length
// of the name on success.
bool GetComputerName(wchar_t* buffer, std::uint32_t* size);

// lstrcmpiW: 0 when the texts are equal without regard to case.
int CompareIgnoringCase(const std::wstring& first, const std::wstring& second);
// lstrcmpW: the order in which the window's list sorts captions.
int CompareText(const std::wstring& first, const std::wstring& second);

// The full path of the running executable.
std::wstring GetExecutablePath();

// GetLocalTime: the local date and time.
struct LocalTime {
    std::uint16_t year;
    std::uint16_t month;
    std::uint16_t day;
    std::uint16_t hour;
    std::uint16_t minute;
    std::uint16_t second;
};
LocalTime GetLocalTime();
// A FILETIME in UTC as local time, with the time zone rules of that date
// (SystemTimeToTzSpecificLocalTime); none when the system cannot convert it.
std::optional<LocalTime> FileTimeToLocalTime(std::uint64_t fileTime);

void Sleep(std::uint32_t milliseconds);

inline constexpr std::uint32_t kMbOk = 0x0;
inline constexpr std::uint32_t kMbIconError = 0x10;
inline constexpr std::uint32_t kStatusSuccess = 0;

// FormatMessageW of the system's message for an error code, without inserts,
// as the system words it (often ending in a line break); empty when the
// system has no message for the code.
std::wstring FormatSystemMessage(std::uint32_t errorCode);

} // namespace vq::platform
