#pragma once

#include "platform/iphelper.h"

#include <string>

namespace vq::support {

// What the process and system support layer prepares once at start-up and
// only reads afterwards.
struct SystemFacts {
    std::wstring kernel32Path;
    bool os64Bit = false;
};

inline constexpr unsigned kDebugPrivilege = 20;

// Builds the kernel32 path, decides whether the machine is 64-bit and
// enables the debug privilege.
SystemFacts StartSupportLayer();

// Everything start-up leaves for the rest of the run: the program's start-up
// fills it before any window exists, and the windows only read it.
struct StartupState {
    SystemFacts system;
    platform::IpHelperEntryPoints ipHelper;
};

} // namespace vq::support
