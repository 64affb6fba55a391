#include "support/process_path_cache.h"

#include "platform/process.h"

#include <utility>

namespace vq::support {
namespace {

// The start time tells a process from a later one that was given the same id.
bool StartedAt(std::uint32_t processId, std::uint64_t startTime)
{
    const platform::UniqueProcess process =
        platform::OpenProcess(platform::kProcessQueryLimitedInformation, processId);
    std::uint64_t time = 0;
    return process && platform::GetProcessStartTime(process.get(), &time) && time == startTime;
}

} // namespace

ProcessPathCache::ProcessPathCache(std::wstring kernel32Path) : lookups_(std::move(kernel32Path)) {}

void ProcessPathCache::BeginPass()
{
    ++pass_;
    lookups_.Names().Forget();
    std::erase_if(entries_,
                  [this](const auto& entry) { return pass_ - entry.second.lastPass > kIdlePassesKept; });
}

std::wstring ProcessPathCache::Resolve(std::uint32_t processId)
{
    const auto found = entries_.find(processId);
    if (found != entries_.end()) {
        Entry& entry = found->second;
        if (entry.lastPass == pass_ ||
            (entry.startTime && StartedAt(processId, *entry.startTime))) {
            entry.lastPass = pass_;
            return entry.path;
        }
    }
    std::optional<std::uint64_t> startTime;
    std::wstring path = GetProcessPath(processId, lookups_, &startTime);
    entries_.insert_or_assign(processId, Entry{path, startTime, pass_});
    return path;
}

} // namespace vq::support
