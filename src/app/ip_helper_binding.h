#pragma once

#include "platform/iphelper.h"

namespace vq::app {

// Loads iphlpapi.dll from the system folder (kept for the whole run) and looks up the three entry
// points. A library that does not load leaves all three null.
platform::IpHelperEntryPoints BindIpHelper();

// The owner-module look-ups (GetOwnerModuleFromTcpEntry and its Tcp6/Udp/Udp6 siblings), bound
// the first time the Service column needs them rather than at start-up; null where the library
// lacks them.
platform::OwnerModuleLookUps BindOwnerModuleLookUps();

} // namespace vq::app
