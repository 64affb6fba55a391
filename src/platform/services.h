#pragma once

// The services that are running, and the processes that host them.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vq::platform {

struct RunningService {
    std::wstring name;  // the service's own (short) name
    std::uint32_t processId = 0;
};

// Every running Win32 service in the order the service manager lists them
// (EnumServicesStatusExW); none when the manager cannot be asked.
std::optional<std::vector<RunningService>> RunningServices();

} // namespace vq::platform
