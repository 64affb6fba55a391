#pragma once

#include "connections/caption_ranks.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace vq::connections {

// What a row keeps of the process that owns its entry: the path of its image
// file (empty text when there is none) and the exact time it started, when
// that was read with the path.
struct OwningProcess {
    std::wstring path;
    std::optional<std::uint64_t> startTime;
};

// One process as its rows show it: the caption (the file name, ranked among
// the list's captions) and folder of its path, and who it is.
struct ProcessEntry {
    std::uint32_t processId = 0;
    std::optional<std::uint64_t> startTime;
    std::wstring path;
    std::wstring folder;
    const RankedCaption* caption = nullptr;
    std::size_t users = 0;
};

// The processes of the list's rows, each kept once and shared by its rows:
// a list of a million rows has a few hundred processes, so a row holds a
// number instead of its texts. An entry is a process id, start time and path
// together; rows whose process was read differently (a path that could not
// be read once) keep what they were made with.
class ProcessTable {
public:
    using Ref = std::uint32_t;

    explicit ProcessTable(CaptionCompare compare);

    // The entry for this process, counted as used once more; made when new.
    // A row of process id 0 is captioned with the idle process's name.
    Ref Acquire(std::uint32_t processId, const OwningProcess& owner);
    // Counts one use less; the entry goes when no row uses it.
    void Release(Ref ref);

    const ProcessEntry& operator[](Ref ref) const { return entries_[ref]; }
    std::size_t size() const { return byProcess_.size(); }
    // Entries ever made and not yet reused: the bound of a Ref, for a caller
    // that keeps something per entry.
    std::size_t capacity() const { return entries_.size(); }

private:
    static std::uint64_t Key(std::uint32_t processId, const std::optional<std::uint64_t>& startTime);

    CaptionRanks captions_;
    std::vector<ProcessEntry> entries_;  // by Ref; users 0 for a free one
    std::vector<Ref> freeRefs_;
    std::unordered_multimap<std::uint64_t, Ref> byProcess_;
    Ref last_ = UINT32_MAX;  // the table's entries come in runs of one process
};

} // namespace vq::connections
