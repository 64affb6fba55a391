#include "support/process_image.h"

#include "platform/iphelper.h"  // kErrorInsufficientBuffer
#include "platform/system.h"
#include "support/device_path.h"
#include "support/resolve_system_proc.h"

#include <algorithm>
#include <cwchar>
#include <optional>

namespace vq::support {
namespace {

// The first tries: 260 characters with the terminator, and 1040 bytes for the
// counted string with its text. A path that does not fit is asked for again
// with twice the room, up to the longest text a counted string holds.
constexpr std::uint32_t kImagePathRoom = 260;
constexpr std::uint32_t kImageFileNameLength = 1040;
constexpr std::uint32_t kLongestPathChars = 32767;
constexpr std::uint32_t kLongestImageFileNameLength = 65535 + 16;

constexpr std::uint32_t kWin32PathFormat = 0;

std::wstring UpToTerminator(const std::wstring& text)
{
    return std::wstring(text.c_str(), std::wcslen(text.c_str()));
}

std::optional<std::wstring> QueryFullImageName(platform::ProcAddress entryPoint,
                                               platform::ProcessHandle process)
{
    for (std::uint32_t room = kImagePathRoom;; room *= 2) {
        std::wstring buffer(room, L'\0');
        std::uint32_t size = room;
        std::uint32_t lastError = 0;
        if (platform::CallQueryFullProcessImageName(entryPoint, process, kWin32PathFormat,
                                                    buffer.data(), &size, &lastError)) {
            buffer.resize(std::min(size, room));
            return UpToTerminator(buffer);
        }
        if (lastError != platform::kErrorInsufficientBuffer || room > kLongestPathChars) {
            return std::nullopt;
        }
    }
}

bool IsTooSmall(std::uint32_t status)
{
    return status == platform::kStatusInfoLengthMismatch ||
           status == platform::kStatusBufferTooSmall || status == platform::kStatusBufferOverflow;
}

std::optional<std::wstring> QueryNativeImageName(platform::ProcessHandle process)
{
    for (std::uint32_t length = kImageFileNameLength;; length *= 2) {
        std::wstring name;
        const std::uint32_t status = platform::QueryImageFileName(process, length, &name);
        if (status == platform::kStatusSuccess) {
            return name;
        }
        if (!IsTooSmall(status) || length > kLongestImageFileNameLength) {
            return std::nullopt;
        }
    }
}

} // namespace

bool QueryProcessImagePath(platform::ProcessHandle process, const std::wstring& kernel32Path,
                           std::wstring& imagePath)
{
    if (process == nullptr) {
        return false;
    }
    // Looked up at each call: systems before Vista lack the function.
    const platform::ProcAddress queryFullName =
        ResolveSystemProc(kernel32Path, "QueryFullProcessImageNameW");
    util::DriveDeviceTable drives;
    return QueryProcessImagePath(process, queryFullName, drives, imagePath);
}

bool QueryProcessImagePath(platform::ProcessHandle process, platform::ProcAddress queryFullName,
                           util::DriveDeviceTable& drives, std::wstring& imagePath)
{
    if (process == nullptr) {
        return false;
    }
    if (queryFullName != nullptr) {
        if (std::optional<std::wstring> path = QueryFullImageName(queryFullName, process)) {
            imagePath = std::move(*path);
            return true;
        }
    }

    const std::optional<std::wstring> nativeName = QueryNativeImageName(process);
    if (!nativeName) {
        return false;
    }
    if (std::optional<std::wstring> drivePath = DevicePathToDrivePath(*nativeName, drives)) {
        imagePath = UpToTerminator(*drivePath);
    }
    return true;
}

} // namespace vq::support
