// Any text through the NT path normaliser and the two device-path
// conversions, on one of a few plausible machines.

#include "fake_platform.h"
#include "fuzz_common.h"
#include "support/device_path.h"
#include "util/ascii_text.h"
#include "util/nt_path.h"

#include <cstdint>
#include <map>
#include <string>

namespace vq {
namespace {

using fuzz::Check;

// The rooms the two conversions ask the drive letters with.
constexpr std::size_t kNormaliserRoom = 512;
constexpr std::size_t kDevicePathRoom = 521;

std::wstring LongDevice(std::size_t length)
{
    const std::wstring head = L"\\Device\\Long";
    return head + std::wstring(length - head.size(), L'x');
}

// Device names around both rooms: one fits both, one only the larger, one neither.
void ScriptMachine(std::uint8_t variant)
{
    fake::Reset();
    auto& fake = fake::Fake();
    fake.windowsDirectory = (variant & 1) != 0 ? L"D:\\WINNT" : L"C:\\Windows";
    fake.dosDevices = {{L"C:", L"\\Device\\HarddiskVolume2"},
                       {L"D:", L"\\Device\\HarddiskVolume10"},
                       {L"E:", L"\\Device\\HarddiskVolume1"},
                       {L"Z:", L"\\Device\\LanmanRedirector\\;Z:0000\\server\\share"}};
    if ((variant & 2) != 0) {
        fake.dosDevices[L"F:"] = LongDevice(kNormaliserRoom - 4);
        fake.dosDevices[L"G:"] = LongDevice(kDevicePathRoom - 4);
        fake.dosDevices[L"H:"] = LongDevice(kDevicePathRoom + 10);
    }
    if ((variant & 4) != 0) {
        fake.dosDevices[L"K:"] = L"\\device\\cdrom0";
    }
    fake.environment = {{L"windir", fake.windowsDirectory},
                        {L"SystemRoot", fake.windowsDirectory},
                        {L"APPS", L"D:\\Apps"}};
    fake.computerName = L"HOST";
    fake.shares = {{L"C$", L"C:\\"}, {L"IPC$", L""}, {L"Share", L"D:\\Shared"}, {L"Data", L"E:\\Data\\"}};
}

// Without the characters of code 32 or below at either end.
std::wstring Trimmed(const std::wstring& text)
{
    std::size_t first = 0;
    std::size_t last = text.size();
    while (first < last && text[first] <= L' ') {
        ++first;
    }
    while (last > first && text[last - 1] <= L' ') {
        --last;
    }
    return text.substr(first, last - first);
}

// The device name of a drive, when the machine has one that fits room.
const std::wstring* DeviceOf(wchar_t letter, std::size_t room)
{
    const auto& devices = fake::Fake().dosDevices;
    const auto found = devices.find(std::wstring{letter, L':'});
    if (found == devices.end() || found->second.size() + 2 > room) {
        return nullptr;
    }
    return &found->second;
}

// "X:rest" that came from devicePath by replacing a device name of X.
bool IsDriveFormOf(const std::wstring& result, const std::wstring& devicePath, std::size_t room,
                   bool ignoreCase)
{
    if (result.size() < 2 || result[1] != L':') {
        return false;
    }
    const std::wstring* device = DeviceOf(result[0], room);
    if (device == nullptr) {
        return false;
    }
    const std::wstring rest = result.substr(2);
    const bool begins = ignoreCase ? util::StartsWithIgnoringAsciiCase(devicePath, *device)
                                   : devicePath.compare(0, device->size(), *device) == 0;
    return begins && devicePath.size() == device->size() + rest.size() &&
           devicePath.compare(device->size(), std::wstring::npos, rest) == 0 && (rest.empty() || rest[0] == L'\\');
}

// Whether a device name of the machine begins devicePath exactly, whole.
bool HasExactDevicePrefix(const std::wstring& devicePath, std::size_t room)
{
    for (const auto& [drive, name] : fake::Fake().dosDevices) {
        if (name.size() + 2 <= room && devicePath.compare(0, name.size(), name) == 0 &&
            (devicePath.size() == name.size() || devicePath[name.size()] == L'\\')) {
            return true;
        }
    }
    return false;
}

void CheckNormalize(const std::wstring& path)
{
    util::NtPathLookups lookups;
    const std::wstring result = util::NormalizeNtPath(path, lookups);
    Check(!result.empty(), "a normalised path is never empty");
    Check(result.find(L'/') == std::wstring::npos, "a normalised path has no forward slash");
    Check(result[0] < L'a' || result[0] > L'z', "a normalised path begins without a lower-case letter");
    Check(util::NormalizeNtPath(path, lookups) == result, "kept look-ups give the same path");
    util::NtPathLookups fresh;
    Check(util::NormalizeNtPath(path, fresh) == result, "fresh look-ups give the same path");

    // The object-manager prefix is taken away; it can only come back from a
    // "??" later in the text, as nothing the machine adds holds a "?".
    if (path.rfind(L"\\??\\", 0) == 0 && path.find(L"??", 4) == std::wstring::npos) {
        Check(result.rfind(L"\\??\\", 0) != 0, "the \\??\\ prefix is removed");
    }
    // Before a drive path the prefix changes nothing.
    if (path.size() >= 2 && path[0] > L' ' && path[1] == L':') {
        Check(util::NormalizeNtPath(L"\\??\\" + path, lookups) == result,
              "\\??\\ before a drive path changes nothing");
    }
}

void CheckReplaceDevicePrefix(const std::wstring& path)
{
    std::wstring result = path;
    util::DriveDeviceTable drives;
    util::ReplaceDevicePrefix(result, drives);
    if (path.empty()) {
        Check(result.empty(), "empty text stays empty");
        return;
    }
    const std::wstring trimmed = Trimmed(path);
    const std::wstring devicePath = trimmed.rfind(L"\\", 0) == 0 ? trimmed : L"\\" + trimmed;
    const bool replaced = IsDriveFormOf(result, devicePath, kNormaliserRoom, true);
    Check(replaced || result == trimmed, "the text is trimmed or its device name replaced");
    if (HasExactDevicePrefix(devicePath, kNormaliserRoom)) {
        Check(result != trimmed, "a leading device name is replaced");
    }
}

void CheckDevicePathToDrivePath(const std::wstring& path)
{
    const auto result = support::DevicePathToDrivePath(path);
    if (result) {
        Check(IsDriveFormOf(*result, path, kDevicePathRoom, false), "the drive path maps back to the device path");
    } else {
        Check(!HasExactDevicePrefix(path, kDevicePathRoom), "a path under a known device converts");
    }
}

} // namespace
} // namespace vq

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size)
{
    if (size == 0) {
        return 0;
    }
    vq::ScriptMachine(bytes[0]);
    // One character a byte: the interesting names are ASCII.
    const std::wstring path(bytes + 1, bytes + size);
    vq::CheckNormalize(path);
    vq::CheckReplaceDevicePrefix(path);
    vq::CheckDevicePathToDrivePath(path);
    return 0;
}
