#include "platform/files.h"

#include "platform/win32/unique_win32.h"
#include "platform/win32/windows_api.h"

#include <algorithm>

namespace vq::platform {
namespace {

HANDLE ToWin32(FileHandle file)
{
    return reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(file));
}

FileHandle FileFromWin32(HANDLE file)
{
    return static_cast<FileHandle>(reinterpret_cast<std::uintptr_t>(file));
}

} // namespace

FileHandle CreateFile(const std::wstring& path, std::uint32_t desiredAccess,
                      std::uint32_t shareMode, std::uint32_t creationDisposition,
                      std::uint32_t flagsAndAttributes)
{
    return FileFromWin32(::CreateFileW(path.c_str(), desiredAccess, shareMode, nullptr,
                                       creationDisposition, flagsAndAttributes, nullptr));
}

std::uint32_t GetLastError()
{
    return ::GetLastError();
}

std::uint32_t ReadFile(FileHandle file, void* buffer, std::uint32_t length,
                       std::uint32_t* bytesRead)
{
    DWORD read = 0;
    const bool ok = ::ReadFile(ToWin32(file), buffer, length, &read, nullptr) != FALSE;
    *bytesRead = ok ? read : 0;
    if (ok) {
        return 0;
    }
    // A failure that left no code must still not pass for the end of the file.
    const DWORD error = ::GetLastError();
    return error != 0 ? error : ERROR_READ_FAULT;
}

bool WriteFile(FileHandle file, const void* data, std::size_t length)
{
    // One call writes at most a DWORD's worth; a short write without an
    // error is continued like the rest.
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    while (length != 0) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(length, 0x40000000));
        DWORD written = 0;
        if (!::WriteFile(ToWin32(file), bytes, chunk, &written, nullptr) || written == 0) {
            return false;
        }
        bytes += written;
        length -= written;
    }
    return true;
}

bool DirectoryExists(const std::wstring& path)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool MakeDirectory(const std::wstring& path)
{
    return ::CreateDirectoryW(path.c_str(), nullptr) != FALSE;
}

bool RemoveFile(const std::wstring& path)
{
    return ::DeleteFileW(path.c_str()) != FALSE;
}

void CloseHandle(FileHandle file) noexcept
{
    win32::HandleTraits::Close(ToWin32(file));
}

bool FileExists(const std::wstring& path)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

} // namespace vq::platform
