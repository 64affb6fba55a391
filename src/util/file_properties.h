#pragma once

// The shell's property sheet of a file.

#include "platform/shell.h"

#include <string>

namespace vq::util {

// Asks the shell to show the file's property sheet, owned by the given
// window, without the shell's own error messages. True when the shell
// accepted the request; false when it refused or the call failed in any way.
// The sheet is the shell's window: it is neither waited for nor tracked.
bool ShowFileProperties(platform::WindowHandle owner, const std::wstring& path);

} // namespace vq::util
