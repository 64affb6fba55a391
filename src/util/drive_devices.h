#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vq::util {

// A drive letter in use and the device name it stands for.
struct DriveDevice {
    wchar_t letter;
    std::wstring deviceName;
};

// Asks for the device name of every drive letter from A to Z, each into a
// zero-filled buffer of bufferLength characters. Letters not in use are left
// out.
std::vector<DriveDevice> QueryDriveDevices(std::uint32_t bufferLength);

enum class DeviceNameCase { Exact, IgnoreAscii };

// The drive whose device name begins devicePath and is followed there by a
// backslash or the end of the text (\Device\HarddiskVolume1 is not the start
// of \Device\HarddiskVolume10\a.exe). When several drives match, the longest
// device name wins, and among equally long names the earlier letter. Null
// when none matches.
const DriveDevice* FindDriveOfDevicePath(const std::vector<DriveDevice>& drives,
                                         std::wstring_view devicePath, DeviceNameCase nameCase);

} // namespace vq::util
