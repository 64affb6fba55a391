#pragma once

#include <cstdint>
#include <string>

namespace vq::support {

// The drive-letter path of a process's image file. Empty text for process 0
// and "System" for process 4, without asking the system. A process that can
// be opened but whose path cannot be read gives a single backslash; one that
// cannot be opened gives empty text. kernel32Path is the full path of
// kernel32.dll that start-up prepared.
std::wstring GetProcessPath(std::uint32_t processId, const std::wstring& kernel32Path);

} // namespace vq::support
