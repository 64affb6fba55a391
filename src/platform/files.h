#pragma once

// Files: opening for reading, size, and read-only mappings with their views;
// creating, writing and deleting files, and creating folders.

#include "unique_handle.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace vq::platform {

// Types of their own, so that a file, a mapping and a process handle cannot
// be passed one for another.
enum class FileHandle : std::uintptr_t {};
enum class FileMappingHandle : std::uintptr_t {};
using FileView = const void*;

// INVALID_HANDLE_VALUE; OpenFile's HFILE_ERROR widens to the same value.
inline constexpr FileHandle kInvalidFileHandle{~std::uintptr_t{0}};
inline constexpr FileMappingHandle kNoFileMapping{0};

inline constexpr std::uint32_t kGenericRead = 0x80000000;
inline constexpr std::uint32_t kGenericWrite = 0x40000000;
inline constexpr std::uint32_t kFileShareRead = 0x1;
inline constexpr std::uint32_t kCreateAlways = 2;
inline constexpr std::uint32_t kOpenExisting = 3;
inline constexpr std::uint32_t kFileAttributeNormal = 0x80;
inline constexpr std::uint32_t kOfRead = 0x0;
inline constexpr std::uint32_t kPageReadOnly = 0x02;
inline constexpr std::uint32_t kFileMapRead = 0x0004;
// A view starts at a multiple of this; it is 64 KiB on every Windows.
inline constexpr std::uint32_t kAllocationGranularity = 0x10000;

// True for an existing file; false for a folder or nothing at that path.
bool FileExists(const std::wstring& path);

// CreateFileW with no security attributes and no template file.
FileHandle CreateFile(const std::wstring& path, std::uint32_t desiredAccess,
                      std::uint32_t shareMode, std::uint32_t creationDisposition,
                      std::uint32_t flagsAndAttributes);

// The text in the system's ANSI code page, or nothing when some character has
// no exact counterpart there: a best-fit substitute could name another file.
std::optional<std::string> ToAnsiCodePage(const std::wstring& text);

// OpenFile with a file-information record of its own.
FileHandle OpenFile(const std::string& ansiPath, std::uint32_t style);

// The full 64-bit size, or nothing when it cannot be read.
std::optional<std::uint64_t> GetFileSize(FileHandle file);

// CreateFileMappingW with no security attributes and no name. A maximum size
// of 0 takes the file's size; an empty file then cannot be mapped.
FileMappingHandle CreateFileMapping(FileHandle file, std::uint32_t protect,
                                    std::uint64_t maximumSize);

// MapViewOfFile: length bytes from offset, a multiple of the allocation
// granularity. Null when the view lies beyond the mapping or finds no room.
FileView MapViewOfFile(FileMappingHandle mapping, std::uint32_t desiredAccess,
                       std::uint64_t offset, std::size_t length);

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

void UnmapViewOfFile(FileView view) noexcept;
void CloseHandle(FileHandle file) noexcept;
void CloseHandle(FileMappingHandle mapping) noexcept;

struct FileHandleTraits {
    using Pointer = FileHandle;
    static constexpr Pointer Invalid() noexcept { return kInvalidFileHandle; }
    static void Close(Pointer file) noexcept { CloseHandle(file); }
};
using UniqueFileHandle = UniqueAny<FileHandleTraits>;

struct FileMappingTraits {
    using Pointer = FileMappingHandle;
    static constexpr Pointer Invalid() noexcept { return kNoFileMapping; }
    static void Close(Pointer mapping) noexcept { CloseHandle(mapping); }
};
using UniqueFileMapping = UniqueAny<FileMappingTraits>;

struct FileViewTraits {
    using Pointer = FileView;
    static constexpr Pointer Invalid() noexcept { return nullptr; }
    static void Close(Pointer view) noexcept { UnmapViewOfFile(view); }
};
using UniqueFileView = UniqueAny<FileViewTraits>;

} // namespace vq::platform
