#pragma once

#include "platform/system.h"

#include <string>

namespace vq::support {

// Looks a procedure up in an already loaded system module given by its full
// path: first through the loader's native look-up at the module's allocation
// base, then through GetProcAddress. Null when neither finds it.
platform::ProcAddress ResolveSystemProc(const std::wstring& modulePath, const std::string& name);

} // namespace vq::support
