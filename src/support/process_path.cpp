#include "support/process_path.h"

#include "platform/process.h"
#include "support/process_image.h"
#include "support/process_protection.h"
#include "util/nt_path.h"

#include <algorithm>

namespace vq::support {
namespace {

constexpr std::uint32_t kIdleProcessId = 0;
constexpr std::uint32_t kSystemProcessId = 4;

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

} // namespace

std::wstring GetProcessPath(std::uint32_t processId, const std::wstring& kernel32Path)
{
    if (processId == kIdleProcessId) {
        return {};
    }
    if (processId == kSystemProcessId) {
        return L"System";
    }

    if (platform::UniqueProcess process =
            platform::OpenProcess(platform::kMaximumAllowed, processId)) {
        const std::wstring moduleFileName = ReadMainModuleFileName(process.get());
        process.reset();
        return util::NormalizeNtPath(moduleFileName);
    }

    // Protected processes refuse the ordinary access but still tell their image name.
    if (IsProcessProtected(processId)) {
        if (platform::UniqueProcess limited =
                platform::OpenProcess(platform::kProcessQueryLimitedInformation, processId)) {
            std::wstring imagePath;
            QueryProcessImagePath(limited.get(), kernel32Path, imagePath);
            return util::NormalizeNtPath(imagePath);
        }
    }
    return {};
}

} // namespace vq::support
