#include "util/drive_devices.h"

#include "platform/system.h"
#include "util/ascii_text.h"

#include <cwchar>

namespace vq::util {

std::vector<DriveDevice> QueryDriveDevices(std::uint32_t bufferLength)
{
    std::vector<DriveDevice> drives;
    for (wchar_t letter = L'A'; letter <= L'Z'; ++letter) {
        std::wstring buffer(bufferLength, L'\0');
        const std::wstring drive{letter, L':'};
        const std::uint32_t answerLength =
            platform::QueryDosDevice(drive, buffer.data(), bufferLength);
        if (answerLength == 0) {
            continue;
        }
        // The answer is a list of names; the first one, up to its zero, is the device.
        buffer.resize(std::wcslen(buffer.c_str()));
        drives.push_back({letter, std::move(buffer), answerLength});
    }
    return drives;
}

std::vector<DriveDevice> DriveDeviceTable::Devices(std::uint32_t bufferLength)
{
    if (!devices_) {
        devices_ = QueryDriveDevices(kLargestRoom);
    }
    std::vector<DriveDevice> fitting;
    for (const DriveDevice& drive : *devices_) {
        if (drive.answerLength <= bufferLength) {
            fitting.push_back(drive);
        }
    }
    return fitting;
}

void DriveDeviceTable::Forget()
{
    devices_.reset();
}

const DriveDevice* FindDriveOfDevicePath(const std::vector<DriveDevice>& drives,
                                         std::wstring_view devicePath, DeviceNameCase nameCase)
{
    const DriveDevice* best = nullptr;
    for (const DriveDevice& drive : drives) {
        const std::wstring_view name = drive.deviceName;
        if (name.empty() || name.size() > devicePath.size()) {
            continue;
        }
        if (name.size() < devicePath.size() && devicePath[name.size()] != L'\\') {
            continue;
        }
        const bool begins = nameCase == DeviceNameCase::Exact
                                ? devicePath.starts_with(name)
                                : StartsWithIgnoringAsciiCase(devicePath, name);
        if (begins && (best == nullptr || name.size() > best->deviceName.size())) {
            best = &drive;
        }
    }
    return best;
}

} // namespace vq::util
