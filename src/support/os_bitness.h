#pragma once

#include <cstdint>
#include <string>

namespace vq::support {

inline constexpr std::uint16_t kProcessorArchitectureIa64 = 6;
inline constexpr std::uint16_t kProcessorArchitectureAmd64 = 9;

// True when the native processor architecture of the machine is 64-bit
// (IA64 or AMD64). kernel32Path is where GetNativeSystemInfo is looked up.
bool IsOs64Bit(const std::wstring& kernel32Path);

} // namespace vq::support
