#include "support/process_path.h"

#include "platform/process.h"
#include "support/process_image.h"
#include "support/process_protection.h"
#include "support/resolve_system_proc.h"

#include <algorithm>
#include <utility>

namespace vq::support {
namespace {

// The first try has room for 520 characters. A name that fills the buffer
// (the call then cuts it) is asked for again with twice the room, up to the
// longest path the system has.
constexpr std::uint32_t kModuleFileNameRoom = 520;
constexpr std::uint32_t kLongestPathChars = 32767;

std::wstring ReadMainModuleFileName(platform::ProcessHandle process)
{
    for (std::uint32_t room = kModuleFileNameRoom;; room *= 2) {
        std::wstring buffer(room, L'\0');
        const std::uint32_t written = platform::GetModuleFileNameEx(process, buffer.data(), room);
        const bool mayBeCut = written + 1 >= room;
        if (written == 0 || !mayBeCut || room > kLongestPathChars) {
            buffer.resize(std::min(written, room));
            return buffer;
        }
    }
}

void ReadStartTime(platform::ProcessHandle process, std::optional<std::uint64_t>* startTime)
{
    std::uint64_t time = 0;
    if (startTime != nullptr && platform::GetProcessStartTime(process, &time)) {
        *startTime = time;
    }
}

} // namespace

ProcessPathLookups::ProcessPathLookups(std::wstring kernel32Path)
    : kernel32Path_(std::move(kernel32Path))
{
}

platform::ProcAddress ProcessPathLookups::QueryFullProcessImageName()
{
    if (!queryFullProcessImageName_) {
        queryFullProcessImageName_ = ResolveSystemProc(kernel32Path_, "QueryFullProcessImageNameW");
    }
    return *queryFullProcessImageName_;
}

std::wstring GetProcessPath(std::uint32_t processId, ProcessPathLookups& lookups,
                            std::optional<std::uint64_t>* startTime)
{
    if (startTime != nullptr) {
        startTime->reset();
    }
    if (processId == platform::kIdleProcessId) {
        return {};
    }
    if (processId == platform::kSystemProcessId) {
        return L"System";
    }

    bool opened = false;
    if (platform::UniqueProcess process =
            platform::OpenProcess(platform::kMaximumAllowed, processId)) {
        opened = true;
        const std::wstring moduleFileName = ReadMainModuleFileName(process.get());
        if (!moduleFileName.empty()) {
            ReadStartTime(process.get(), startTime);
            process.reset();
            return util::NormalizeNtPath(moduleFileName, lookups.Names());
        }
    }

    // Protected processes refuse the ordinary access, or give a handle that
    // cannot read their modules, but still tell their image name.
    if (IsProcessProtected(processId)) {
        if (platform::UniqueProcess limited =
                platform::OpenProcess(platform::kProcessQueryLimitedInformation, processId)) {
            std::wstring imagePath;
            QueryProcessImagePath(limited.get(), lookups.QueryFullProcessImageName(),
                                  lookups.Names().Drives(), imagePath);
            if (!imagePath.empty()) {
                ReadStartTime(limited.get(), startTime);
            }
            return util::NormalizeNtPath(imagePath, lookups.Names());
        }
    }
    return opened ? util::NormalizeNtPath(L"", lookups.Names()) : std::wstring();
}

} // namespace vq::support
