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

std::wstring ProcessPathCache::Resolve(std::uint32_t processId, std::optional<std::uint64_t>* startTime)
{
    auto found = entries_.find(processId);
    const bool kept = found != entries_.end() &&
                      (found->second.lastPass == pass_ ||
                       (found->second.startTime && StartedAt(processId, *found->second.startTime)));
    if (kept) {
        found->second.lastPass = pass_;
    } else {
        std::optional<std::uint64_t> readStartTime;
        std::wstring path = GetProcessPath(processId, lookups_, &readStartTime);
        found = entries_.insert_or_assign(processId, Entry{std::move(path), readStartTime, pass_}).first;
    }
    if (startTime != nullptr) {
        *startTime = found->second.startTime;
    }
    return found->second.path;
}

} // namespace vq::support
