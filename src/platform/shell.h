#pragma once

// The shell: opening documents, programs and addresses, and property sheets.

#include <cstdint>
#include <string>

namespace vq::platform {

using WindowHandle = void*;

// ShellExecuteW; parameters and directory may be empty (passed as none).
// Answers the call's result: above 32 on success.
std::intptr_t ShellExecute(WindowHandle owner, const std::wstring& verb, const std::wstring& file,
                           const std::wstring& parameters, const std::wstring& directory, int showCommand);

// ShellExecuteExW with a zeroed SHELLEXECUTEINFOW of which only these fields
// are set (size is always the record's own). Answers the call's result.
struct ShellExecuteRequest {
    std::uint32_t mask = 0;
    WindowHandle owner = nullptr;
    std::wstring verb;
    std::wstring file;
    int showCommand = 0;
};
bool ShellExecuteEx(const ShellExecuteRequest& request);

// The desktop window: the owner of shell calls that belong to no window of ours.
WindowHandle GetDesktopWindow();

inline constexpr int kSwShowNormal = 1;
inline constexpr std::uint32_t kSeeMaskNoCloseProcess = 0x40;
inline constexpr std::uint32_t kSeeMaskInvokeIdList = 0x0C;
inline constexpr std::uint32_t kSeeMaskFlagNoUi = 0x400;

} // namespace vq::platform
