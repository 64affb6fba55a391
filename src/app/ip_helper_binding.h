#pragma once

#include "platform/iphelper.h"

namespace vq::app {

// Loads iphlpapi.dll from the system folder (kept for the whole run) and looks up the three entry
// points. A library that does not load leaves all three null.
platform::IpHelperEntryPoints BindIpHelper();

} // namespace vq::app
