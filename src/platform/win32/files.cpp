#include "platform/files.h"

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

// Releases keep the thread's last error for the error path that runs them.
template <typename Release>
void KeepingLastError(Release release)
{
    const DWORD lastError = ::GetLastError();
    release();
    ::SetLastError(lastError);
}

} // namespace

FileHandle CreateFile(const std::wstring& path, std::uint32_t desiredAccess,
                      std::uint32_t shareMode, std::uint32_t creationDisposition,
                      std::uint32_t flagsAndAttributes)
{
    return FileFromWin32(::CreateFileW(path.c_str(), desiredAccess, shareMode, nullptr,
                                       creationDisposition, flagsAndAttributes, nullptr));
}

std::optional<std::string> ToAnsiCodePage(const std::wstring& text)
{
    if (text.empty()) {
        return std::string{};
    }
    // A UTF-8 code page holds every character but refuses the default-character
    // report; any other code page reports each character it had to replace.
    const bool utf8 = ::GetACP() == CP_UTF8;
    const DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    BOOL usedDefault = FALSE;
    BOOL* const usedDefaultOut = utf8 ? nullptr : &usedDefault;
    const int wideLength = static_cast<int>(text.size());
    const int length = ::WideCharToMultiByte(CP_ACP, flags, text.data(), wideLength, nullptr, 0,
                                             nullptr, usedDefaultOut);
    if (length <= 0 || usedDefault) {
        return std::nullopt;
    }
    std::string ansi(static_cast<std::size_t>(length), '\0');
    if (::WideCharToMultiByte(CP_ACP, flags, text.data(), wideLength, ansi.data(), length,
                              nullptr, usedDefaultOut) != length ||
        usedDefault) {
        return std::nullopt;
    }
    return ansi;
}

FileHandle OpenFile(const std::string& ansiPath, std::uint32_t style)
{
    OFSTRUCT info{};
    const HFILE file = ::OpenFile(ansiPath.c_str(), &info, style);
    if (file == HFILE_ERROR) {
        return kInvalidFileHandle;
    }
    // Handle values are sign-extended when they widen.
    return FileFromWin32(reinterpret_cast<HANDLE>(static_cast<INT_PTR>(file)));
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
    KeepingLastError([file] { ::CloseHandle(ToWin32(file)); });
}

bool FileExists(const std::wstring& path)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

} // namespace vq::platform
