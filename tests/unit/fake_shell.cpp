#include "fake_shell.h"

#include <stdexcept>

namespace vq::fake {
namespace {

FakeShell g_shell;
int g_desktop;

} // namespace

FakeShell& Shell()
{
    return g_shell;
}

void ResetShell()
{
    g_shell = FakeShell{};
}

platform::WindowHandle FakeDesktopWindow()
{
    return &g_desktop;
}

} // namespace vq::fake

namespace vq::platform {

std::intptr_t ShellExecute(WindowHandle owner, const std::wstring& verb, const std::wstring& file,
                           const std::wstring& parameters, const std::wstring& directory, int showCommand)
{
    fake::g_shell.executes.push_back({owner, verb, file, parameters, directory, showCommand});
    if (fake::g_shell.throwOnExecute) {
        throw std::runtime_error("shell failure");
    }
    return fake::g_shell.executeResult;
}

bool ShellExecuteEx(const ShellExecuteRequest& request)
{
    fake::g_shell.executeExs.push_back(request);
    if (fake::g_shell.throwOnExecute) {
        throw std::runtime_error("shell failure");
    }
    return fake::g_shell.executeExResult;
}

WindowHandle GetDesktopWindow()
{
    return fake::FakeDesktopWindow();
}

} // namespace vq::platform
