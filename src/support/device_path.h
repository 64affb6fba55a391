#pragma once

#include "util/drive_devices.h"

#include <optional>
#include <string>

namespace vq::support {

// Turns a path that begins with a device name exactly as the system reports
// it (\Device\HarddiskVolume2\...) into the same path under the drive letter
// that maps the device. Nothing when no letter maps it. The first form asks
// the drive letters afresh; the second takes them from the table.
std::optional<std::wstring> DevicePathToDrivePath(const std::wstring& devicePath);
std::optional<std::wstring> DevicePathToDrivePath(const std::wstring& devicePath,
                                                  util::DriveDeviceTable& drives);

} // namespace vq::support
