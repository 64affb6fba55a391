#pragma once

// The host implementation of platform/files.h: real POSIX files opened,
// sized and mapped with open/fstat/mmap, written with write, folders made
// with mkdir and files removed with unlink, with a call log and switches
// that make single calls fail.
//
// Log lines name what they hand out ("file1", "mapping1", "view1"):
//   CreateFileW <path> access=0x80000000 share=0x1 disposition=3 attributes=0x80 -> file1
//   OpenFile <ansi path> style=0 -> file1
//   GetFileSize file1 -> 1234
//   CreateFileMappingW file1 protect=0x2 size=0 -> mapping1
//   MapViewOfFile mapping1 access=0x4 offset=0 length=1234 -> view1
//   UnmapViewOfFile view1
//   CloseHandle mapping1
//   WriteFile file1 length=512 -> ok
//   CreateDirectoryW <path> -> ok
//   DeleteFileW <path> -> ok
// A failed call ends in "-> failed". The fake's ANSI code page is ASCII.
// CreateFileW with GENERIC_WRITE opens for writing and honours the creation
// disposition (CREATE_ALWAYS creates or truncates).

#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <vector>

namespace vq::fake {

struct FakeFiles {
    std::vector<std::string> log;

    bool createFileFails = false;  // as when another process holds the file open for writing
    bool openFileFails = false;
    bool fileSizeFails = false;
    bool mappingFails = false;
    // Longer views fail, as in an address space without room for them.
    std::uint64_t maxViewLength = std::numeric_limits<std::uint64_t>::max();
    // Room left on the disk: a write that does not fit writes what does and
    // fails, as on a full disk. Nothing: no limit.
    std::optional<std::uint64_t> writableBytes;

    // Files, mappings and views handed out and not yet released.
    std::size_t OpenCount() const;
};

// The one instance of the process; ResetFiles() releases whatever is still
// held and restores the defaults.
FakeFiles& Files();
void ResetFiles();

} // namespace vq::fake
