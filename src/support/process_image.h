#pragma once

#include "platform/process.h"
#include "platform/system.h"
#include "util/drive_devices.h"

#include <string>

namespace vq::support {

// The drive-letter path of a process's image file, read through a handle
// with limited query access: QueryFullProcessImageNameW when kernel32 (whose
// full path is kernel32Path) has it and it answers, else the native image
// name turned into a drive-letter path. The path is read whole, whatever its
// length.
//
// Answers false when the handle is none or neither query answers; imagePath
// is then left as it was. A native name on a device that no drive letter
// maps still answers true and leaves imagePath as it was.
bool QueryProcessImagePath(platform::ProcessHandle process, const std::wstring& kernel32Path,
                           std::wstring& imagePath);

// The same query with QueryFullProcessImageNameW already looked up (null:
// absent) and the drive letters taken from the table.
bool QueryProcessImagePath(platform::ProcessHandle process, platform::ProcAddress queryFullName,
                           util::DriveDeviceTable& drives, std::wstring& imagePath);

} // namespace vq::support
