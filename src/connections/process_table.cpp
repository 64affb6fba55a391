#include "connections/process_table.h"

#include "connections/connection_row.h"
#include "platform/process.h"
#include "util/vector_room.h"

namespace vq::connections {

ProcessTable::ProcessTable(CaptionCompare compare) : captions_(std::move(compare)) {}

std::uint64_t ProcessTable::Key(std::uint32_t processId, const std::optional<std::uint64_t>& startTime)
{
    const std::uint64_t time = startTime.value_or(0) * 0x9e3779b97f4a7c15ull;
    return (time ^ (time >> 31)) + processId;
}

ProcessTable::Ref ProcessTable::Acquire(std::uint32_t processId, const OwningProcess& owner)
{
    const auto same = [&](const ProcessEntry& entry) {
        return entry.users != 0 && entry.processId == processId && entry.startTime == owner.startTime &&
               entry.path == owner.path;
    };
    if (last_ < entries_.size() && same(entries_[last_])) {
        ++entries_[last_].users;
        return last_;
    }
    const std::uint64_t key = Key(processId, owner.startTime);
    const auto [first, end] = byProcess_.equal_range(key);
    for (auto found = first; found != end; ++found) {
        if (same(entries_[found->second])) {
            last_ = found->second;
            ++entries_[last_].users;
            return last_;
        }
    }

    // Everything that can fail happens before the table changes.
    ProcessEntry entry;
    entry.processId = processId;
    entry.startTime = owner.startTime;
    entry.path = owner.path;
    ProcessPathParts parts = SplitProcessPath(owner.path);
    entry.folder = std::move(parts.folder);
    entry.users = 1;
    if (freeRefs_.empty()) {
        util::ReserveOneMore(entries_);
    }
    if (freeRefs_.capacity() <= entries_.size()) {
        freeRefs_.reserve(entries_.capacity() + 1);  // so that Release never fails
    }
    const Ref ref = freeRefs_.empty() ? static_cast<Ref>(entries_.size()) : freeRefs_.back();
    const auto place = byProcess_.emplace(key, ref);
    try {
        entry.caption = captions_.Acquire(processId == platform::kIdleProcessId ? std::wstring(kIdleProcessName)
                                                                                : parts.fileName);
    } catch (...) {
        byProcess_.erase(place);
        throw;
    }

    // Nothing below fails.
    if (freeRefs_.empty()) {
        entries_.push_back(std::move(entry));
    } else {
        freeRefs_.pop_back();
        entries_[ref] = std::move(entry);
    }
    last_ = ref;
    return ref;
}

void ProcessTable::Release(Ref ref)
{
    ProcessEntry& entry = entries_[ref];
    if (--entry.users != 0) {
        return;
    }
    const auto [first, end] = byProcess_.equal_range(Key(entry.processId, entry.startTime));
    for (auto found = first; found != end; ++found) {
        if (found->second == ref) {
            byProcess_.erase(found);
            break;
        }
    }
    captions_.Release(entry.caption);
    entry = ProcessEntry{};
    freeRefs_.push_back(ref);
}

} // namespace vq::connections
