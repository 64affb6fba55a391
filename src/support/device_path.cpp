#include "support/device_path.h"

#include "util/drive_devices.h"

namespace vq::support {
namespace {

constexpr std::uint32_t kDeviceNameRoom = 521;

} // namespace

std::optional<std::wstring> DevicePathToDrivePath(const std::wstring& devicePath)
{
    const std::vector<util::DriveDevice> drives = util::QueryDriveDevices(kDeviceNameRoom);
    const util::DriveDevice* drive =
        util::FindDriveOfDevicePath(drives, devicePath, util::DeviceNameCase::Exact);
    if (drive == nullptr) {
        return std::nullopt;
    }
    return std::wstring{drive->letter, L':'} + devicePath.substr(drive->deviceName.size());
}

} // namespace vq::support
