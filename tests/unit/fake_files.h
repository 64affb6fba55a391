#pragma once

// The host implementation of platform/files.h: real POSIX files opened and
// read with open/read, written with write, folders made with mkdir and files
// removed with unlink, with a call log and switches that make single calls
// fail.
//
// Log lines name the files they hand out ("file1"):
//   CreateFileW <path> access=0x80000000 share=0x1 disposition=3 attributes=0x80 -> file1
//   ReadFile file1 length=1048576 -> 1234
//   CloseHandle file1
//   WriteFile file1 length=512 -> ok
//   CreateDirectoryW <path> -> ok
//   DeleteFileW <path> -> ok
// A failed call ends in "-> failed", a failed read in "-> error <code>".
// CreateFileW with GENERIC_WRITE opens for writing and honours the creation
// disposition (CREATE_ALWAYS creates or truncates).
//
// A failed open leaves a system error code for GetLastError: 2 for a missing
// file, 3 for a missing folder on the path, 5 for a folder or a file without
// read permission, and kSharingViolation when a switch below made it fail.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vq::fake {

// ERROR_SHARING_VIOLATION.
inline constexpr std::uint32_t kSharingViolation = 32;

struct FakeFiles {
    std::vector<std::string> log;

    // Every CreateFileW fails, as when another process holds the file
    // without sharing it.
    bool createFileFails = false;
    // Another process holds every file open for writing, sharing reads: an
    // open for reading that does not admit writers fails.
    bool heldOpenForWriting = false;
    // A read that would go past this many bytes of a file fails with
    // readError, as when a network share or a removable disk goes away.
    // Nothing: reads succeed.
    std::optional<std::uint64_t> readFailsAt;
    std::uint32_t readError = 64;  // ERROR_NETNAME_DELETED
    // Room left on the disk: a write that does not fit writes what does and
    // fails, as on a full disk (error 112). Nothing: no limit.
    std::optional<std::uint64_t> writableBytes;

    // Files handed out and not yet closed.
    std::size_t OpenCount() const;
};

// The one instance of the process; ResetFiles() releases whatever is still
// held and restores the defaults.
FakeFiles& Files();
void ResetFiles();

} // namespace vq::fake
