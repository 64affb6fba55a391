#pragma once

#include "support/support_startup.h"

namespace vq::app {

inline constexpr wchar_t kRefusal64BitOs[] = L"Please run the 64-bit version! Aborting...";
inline constexpr wchar_t kRefusalUnsupportedOs[] = L"Unsupported OS version! Aborting...";

struct StartupOptions {
    // The 32-bit program sends users of a 64-bit Windows to the 64-bit build.
    bool refuseOn64BitOs = true;
};

// The fixed start-up order before any window exists: privileges, the support
// layer, the refusals and the IP Helper binding. A refusal shows its message
// and ends the process with exit code 0; it does not return.
support::StartupState RunStartup(const StartupOptions& options);

} // namespace vq::app
