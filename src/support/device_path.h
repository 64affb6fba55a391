#pragma once

#include <optional>
#include <string>

namespace vq::support {

// Turns a path that begins with a device name exactly as the system reports
// it (\Device\HarddiskVolume2\...) into the same path under the drive letter
// that maps the device. Nothing when no letter maps it.
std::optional<std::wstring> DevicePathToDrivePath(const std::wstring& devicePath);

} // namespace vq::support
