#include "util/nt_path.h"

#include "platform/shares.h"
#include "platform/system.h"
#include "util/ascii_text.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cwchar>
#include <string_view>

namespace vq::util {
namespace {

constexpr std::uint32_t kDeviceNameRoom = 512;
constexpr std::uint32_t kExpandedDirectoryRoom = 260;
constexpr std::uint32_t kComputerNameRoom = 260;

// Names relative to the Windows directory, tried in this order.
constexpr std::array<std::wstring_view, 4> kSystemFolders = {L"\\SYSTEM32\\", L"SYSTEM32\\",
                                                             L"SYSWOW64\\", L"\\SYSWOW64\\"};

// Environment references in the folder are expanded, never in the file name.
// A folder whose expansion does not fit its room keeps its references rather
// than become a cut-off folder.
std::wstring ExpandDirectory(const std::wstring& text)
{
    const std::size_t split = text.find_last_of(L"\\:");
    const std::wstring directory = split == std::wstring::npos ? L"" : text.substr(0, split + 1);
    const std::wstring fileName = split == std::wstring::npos ? text : text.substr(split + 1);

    std::wstring expanded(kExpandedDirectoryRoom + 1, L'\0');
    const std::uint32_t needed =
        platform::ExpandEnvironmentStrings(directory, expanded.data(), kExpandedDirectoryRoom);
    if (needed == 0 || needed > kExpandedDirectoryRoom) {
        expanded = directory;
    } else {
        expanded.resize(std::wcslen(expanded.c_str()));
    }
    if (expanded.empty() || expanded.back() != L'\\') {
        expanded += L'\\';
    }
    return expanded + fileName;
}

// Each pair of backslashes becomes one, scanning once from the left, so three
// in a row become two. A leading pair names a share of another machine and
// stays as it is.
std::wstring CollapseDoubleBackslashes(const std::wstring& text)
{
    const std::size_t kept = text.starts_with(L"\\\\") ? 2 : 0;
    std::wstring result = text.substr(0, kept);
    for (std::size_t i = kept; i < text.size(); ++i) {
        result += text[i];
        if (text[i] == L'\\' && i + 1 < text.size() && text[i + 1] == L'\\') {
            ++i;
        }
    }
    return result;
}

} // namespace

const std::wstring& NtPathLookups::WindowsDirectory()
{
    if (!windowsDirectory_) {
        windowsDirectory_ = platform::GetWindowsDirectory();
    }
    return *windowsDirectory_;
}

void NtPathLookups::Forget()
{
    windowsDirectory_.reset();
    drives_.Forget();
}

std::wstring NormalizeNtPath(const std::wstring& path, NtPathLookups& lookups)
{
    std::wstring text(TrimControlAndBlank(path));

    if (StartsWithIgnoringAsciiCase(text, L"\\WINDOWS\\") ||
        StartsWithIgnoringAsciiCase(text, L"WINDOWS\\")) {
        text = lookups.WindowsDirectory().substr(0, 2) + L"\\" + text;
    }

    for (const std::wstring_view folder : kSystemFolders) {
        if (StartsWithIgnoringAsciiCase(text, folder)) {
            text = lookups.WindowsDirectory() + L"\\" + text;
            break;
        }
    }

    if (text.starts_with(L"\\??\\")) {
        text.erase(0, 4);
    }
    constexpr std::wstring_view kSystemRoot = L"\\SYSTEMROOT\\";
    if (StartsWithIgnoringAsciiCase(text, kSystemRoot)) {
        // The backslash after the name stays, to follow the Windows directory.
        text = lookups.WindowsDirectory() + text.substr(kSystemRoot.size() - 1);
    }
    if (text.starts_with(L"\\?\\")) {
        text.erase(0, 3);
    }

    text = ExpandDirectory(text);
    ReplaceDevicePrefix(text, lookups.Drives());
    ReplaceLocalSharePrefix(text);
    text = CollapseDoubleBackslashes(text);
    std::replace(text.begin(), text.end(), L'/', L'\\');
    if (!text.empty()) {
        text[0] = AsciiUpper(text[0]);
    }
    return text;
}

void ReplaceDevicePrefix(std::wstring& path, DriveDeviceTable& drives)
{
    if (path.empty()) {
        return;
    }
    path = std::wstring(TrimControlAndBlank(path));

    // Device names begin with a backslash; a path may have lost it.
    const std::size_t added = path.starts_with(L"\\") ? 0 : 1;
    const std::wstring devicePath = added == 0 ? path : L"\\" + path;

    const std::vector<DriveDevice> devices = drives.Devices(kDeviceNameRoom);
    if (const DriveDevice* drive =
            FindDriveOfDevicePath(devices, devicePath, DeviceNameCase::IgnoreAscii)) {
        path = std::wstring{drive->letter, L':'} + devicePath.substr(drive->deviceName.size());
    }
}

LocalShareTable GetLocalShares()
{
    LocalShareTable table;
    std::vector<platform::ShareInfo> shares;
    if (platform::NetShareEnum(&shares) != 0) {
        return table;
    }
    std::wstring computerName(kComputerNameRoom, L'\0');
    std::uint32_t length = kComputerNameRoom;
    // Without this machine's name no share path can be told to be local.
    if (!platform::GetComputerName(computerName.data(), &length)) {
        return table;
    }
    computerName.resize(std::min(length, kComputerNameRoom));

    for (platform::ShareInfo& share : shares) {
        if (!share.localPath.empty()) {
            table.push_back(
                {L"\\\\" + computerName + L"\\" + share.name, std::move(share.localPath)});
        }
    }
    return table;
}

void ReplaceLocalSharePrefix(std::wstring& path)
{
    if (!path.starts_with(L"\\\\")) {
        return;
    }
    for (const LocalShare& share : GetLocalShares()) {
        const std::size_t length = share.name.size();
        // The share's name must be whole: \\HOST\Tools is not the start of \\HOST\Toolset.
        if (path.size() < length || (path.size() > length && path[length] != L'\\')) {
            continue;
        }
        if (platform::CompareIgnoringCase(share.name, path.substr(0, length)) != 0) {
            continue;
        }
        std::wstring folder = share.localPath;
        if (folder.back() != L'\\') {
            folder += L'\\';
        }
        path = folder + path.substr(length);
        // The separator that followed the share's name now doubles the folder's.
        const std::size_t pair = path.find(L"\\\\");
        if (pair != std::wstring::npos) {
            path.erase(pair, 1);
        }
        return;
    }
}

} // namespace vq::util
