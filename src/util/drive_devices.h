#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vq::util {

// A drive letter in use, the device name it stands for, and how many
// characters the system's answer took (the names and their terminators).
struct DriveDevice {
    wchar_t letter;
    std::wstring deviceName;
    std::uint32_t answerLength;
};

// Asks for the device name of every drive letter from A to Z, each into a
// zero-filled buffer of bufferLength characters. Letters not in use are left
// out.
std::vector<DriveDevice> QueryDriveDevices(std::uint32_t bufferLength);

// The drive devices asked once, on first use, and kept until Forget(), so
// that many paths in a row cost one round of 26 questions. They are asked
// with the largest room any caller gives; a caller with less room sees only
// the letters whose answer would have fitted its own buffer.
class DriveDeviceTable {
public:
    static constexpr std::uint32_t kLargestRoom = 521;

    // bufferLength is at most kLargestRoom.
    std::vector<DriveDevice> Devices(std::uint32_t bufferLength);
    void Forget();

private:
    std::optional<std::vector<DriveDevice>> devices_;
};

enum class DeviceNameCase { Exact, IgnoreAscii };

// The drive whose device name begins devicePath and is followed there by a
// backslash or the end of the text (\Device\HarddiskVolume1 is not the start
// of \Device\HarddiskVolume10\a.exe). When several drives match, the longest
// device name wins, and among equally long names the earlier letter. Null
// when none matches.
const DriveDevice* FindDriveOfDevicePath(const std::vector<DriveDevice>& drives,
                                         std::wstring_view devicePath, DeviceNameCase nameCase);

} // namespace vq::util
