#pragma once

// The host fake of the shell: every call is recorded; results are scripted.

#include "platform/shell.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vq::fake {

struct ShellExecuteCall {
    platform::WindowHandle owner;
    std::wstring verb;
    std::wstring file;
    std::wstring parameters;
    std::wstring directory;
    int showCommand;
};

struct FakeShell {
    std::vector<ShellExecuteCall> executes;
    std::vector<platform::ShellExecuteRequest> executeExs;
    std::intptr_t executeResult = 42;
    bool executeExResult = true;
    bool throwOnExecute = false;  // a shell call that raises, for the catch-alls
};

FakeShell& Shell();
void ResetShell();

// The fake desktop window's handle.
platform::WindowHandle FakeDesktopWindow();

} // namespace vq::fake
