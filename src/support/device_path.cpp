#include "support/device_path.h"

namespace vq::support {
namespace {

constexpr std::uint32_t kDeviceNameRoom = 521;

} // namespace

std::optional<std::wstring> DevicePathToDrivePath(const std::wstring& devicePath)
{
    util::DriveDeviceTable drives;
    return DevicePathToDrivePath(devicePath, drives);
}

std::optional<std::wstring> DevicePathToDrivePath(const std::wstring& devicePath,
                                                  util::DriveDeviceTable& drives)
{
    const std::vector<util::DriveDevice> devices = drives.Devices(kDeviceNameRoom);
    const util::DriveDevice* drive =
        util::FindDriveOfDevicePath(devices, devicePath, util::DeviceNameCase::Exact);
    if (drive == nullptr) {
        return std::nullopt;
    }
    return std::wstring{drive->letter, L':'} + devicePath.substr(drive->deviceName.size());
}

} // namespace vq::support
