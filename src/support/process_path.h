#pragma once

#include "platform/system.h"
#include "util/nt_path.h"

#include <cstdint>
#include <optional>
#include <string>

namespace vq::support {

// What resolving process paths asks the system beside the processes: the
// QueryFullProcessImageNameW entry point of kernel32 (whose full path is
// kernel32Path), looked up on first use and kept, and the names the
// normaliser asks, kept until Names().Forget().
class ProcessPathLookups {
public:
    explicit ProcessPathLookups(std::wstring kernel32Path);

    // Null when kernel32 lacks the function.
    platform::ProcAddress QueryFullProcessImageName();
    util::NtPathLookups& Names() { return names_; }

private:
    std::wstring kernel32Path_;
    std::optional<platform::ProcAddress> queryFullProcessImageName_;
    util::NtPathLookups names_;
};

// The drive-letter path of a process's image file. Empty text for process 0
// and "System" for process 4, without asking the system. The main module's
// file name is read through the ordinary access; when that access is refused
// or the name cannot be read, a protected process is asked for its image
// name through the limited access. A process that can be opened but whose
// path cannot be read gives a single backslash; one that cannot be opened
// gives empty text. What the system is asked beside the process comes from
// lookups, which keep it for the next paths. When startTime is given it
// receives the process's start time, read through the handle that read the
// path, or nothing when no path was read or the time cannot be read.
std::wstring GetProcessPath(std::uint32_t processId, ProcessPathLookups& lookups,
                            std::optional<std::uint64_t>* startTime);

} // namespace vq::support
