#include "platform/shell.h"

#include "platform/win32/unique_win32.h"
#include "platform/win32/windows_api.h"

namespace vq::platform {
namespace {

const wchar_t* NoneWhenEmpty(const std::wstring& text)
{
    return text.empty() ? nullptr : text.c_str();
}

} // namespace

std::intptr_t ShellExecute(WindowHandle owner, const std::wstring& verb, const std::wstring& file,
                           const std::wstring& parameters, const std::wstring& directory, int showCommand)
{
    const HINSTANCE result = ::ShellExecuteW(static_cast<HWND>(owner), NoneWhenEmpty(verb), file.c_str(),
                                             NoneWhenEmpty(parameters), NoneWhenEmpty(directory), showCommand);
    return reinterpret_cast<std::intptr_t>(result);
}

bool ShellExecuteEx(const ShellExecuteRequest& request)
{
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = request.mask;
    info.hwnd = static_cast<HWND>(request.owner);
    info.lpVerb = NoneWhenEmpty(request.verb);
    info.lpFile = request.file.c_str();
    info.nShow = request.showCommand;
    const bool result = ::ShellExecuteExW(&info) != FALSE;
    // SEE_MASK_NOCLOSEPROCESS may hand us a process handle: we do not track it.
    const win32::UniqueHandle process(info.hProcess);
    return result;
}

WindowHandle GetDesktopWindow()
{
    return ::GetDesktopWindow();
}

} // namespace vq::platform
