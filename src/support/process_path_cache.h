#pragma once

#include "support/process_path.h"

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>

namespace vq::support {

// GetProcessPath for many rows at a time. Within one pass each process id is
// resolved at most once, and what the paths need of the system (the Windows
// directory, the drive letters' device names) is asked at most once, when a
// path first needs it. A path that was read is kept across passes while the
// same process holds its id, which a start-time query tells; everything else
// (a process that could not be opened, a path that could not be read) is
// resolved again in the next pass that asks for it.
class ProcessPathCache {
public:
    // An entry not asked for in more than this many passes in a row is
    // dropped: a minute at the 2-second refresh.
    static constexpr std::uint64_t kIdlePassesKept = 30;

    // kernel32Path is the full path of kernel32.dll that start-up prepared.
    explicit ProcessPathCache(std::wstring kernel32Path);

    // Starts a fill or refresh pass: the system's names are asked afresh and
    // idle entries are dropped.
    void BeginPass();

    // What GetProcessPath gives for the process id. When startTime is given
    // it receives the start time of the process whose path this is, as read
    // with the path, or nothing when none was read.
    std::wstring Resolve(std::uint32_t processId, std::optional<std::uint64_t>* startTime = nullptr);

private:
    struct Entry {
        std::wstring path;
        std::optional<std::uint64_t> startTime;  // none: not kept beyond its pass
        std::uint64_t lastPass = 0;
    };

    std::uint64_t pass_ = 0;
    ProcessPathLookups lookups_;
    std::unordered_map<std::uint32_t, Entry> entries_;
};

} // namespace vq::support
