#pragma once

// Files: opening and reading; creating, writing and deleting files, and
// creating folders.

#include "unique_handle.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace vq::platform {

// A type of its own, so that a file and a process handle cannot be passed
// one for the other.
enum class FileHandle : std::uintptr_t {};

// INVALID_HANDLE_VALUE.
inline constexpr FileHandle kInvalidFileHandle{~std::uintptr_t{0}};

inline constexpr std::uint32_t kGenericRead = 0x80000000;
inline constexpr std::uint32_t kGenericWrite = 0x40000000;
inline constexpr std::uint32_t kFileShareRead = 0x1;
inline constexpr std::uint32_t kFileShareWrite = 0x2;
inline constexpr std::uint32_t kCreateAlways = 2;
inline constexpr std::uint32_t kOpenExisting = 3;
inline constexpr std::uint32_t kFileAttributeNormal = 0x80;

// True for an existing file; false for a folder or nothing at that path.
bool FileExists(const std::wstring& path);

// CreateFileW with no security attributes and no template file.
FileHandle CreateFile(const std::wstring& path, std::uint32_t desiredAccess,
                      std::uint32_t shareMode, std::uint32_t creationDisposition,
                      std::uint32_t flagsAndAttributes);

// GetLastError: the system error code the last failed call of this thread
// left, for instance CreateFile. Closing a handle keeps it.
std::uint32_t GetLastError();

// ReadFile of at most length bytes at the file's position into buffer.
// Answers 0 with the count read, 0 bytes at the end of the file, or the
// system error code when the read failed, for instance on a network share or
// a removable disk that went away.
std::uint32_t ReadFile(FileHandle file, void* buffer, std::uint32_t length,
                       std::uint32_t* bytesRead);

// WriteFile until all length bytes are written. False when a write fails,
// for instance on a full disk; part of the bytes may then be in the file.
bool WriteFile(FileHandle file, const void* data, std::size_t length);

// The names below differ from the API's own (CreateDirectoryW, DeleteFileW)
// because those are macros wherever <windows.h> is seen.

// True for an existing folder; false for a file or nothing at that path.
bool DirectoryExists(const std::wstring& path);
// CreateDirectoryW with no security attributes: one folder, whose parent must
// exist. False when it could not be created, also when something is already
// there.
bool MakeDirectory(const std::wstring& path);
// DeleteFileW.
bool RemoveFile(const std::wstring& path);

void CloseHandle(FileHandle file) noexcept;

struct FileHandleTraits {
    using Pointer = FileHandle;
    static constexpr Pointer Invalid() noexcept { return kInvalidFileHandle; }
    static void Close(Pointer file) noexcept { CloseHandle(file); }
};
using UniqueFileHandle = UniqueAny<FileHandleTraits>;

} // namespace vq::platform
