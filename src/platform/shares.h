#pragma once

// The shares of the local machine.

#include <cstdint>
#include <string>
#include <vector>

namespace vq::platform {

struct ShareInfo {
    std::wstring name;
    std::wstring localPath;
};

// NetShareEnum of the local machine at level 2 with no limit on the length.
// Answers its status; on 0, shares holds each share's name and local path in
// the order the system listed them. The system's buffer is released before
// this returns, whatever happens.
std::uint32_t NetShareEnum(std::vector<ShareInfo>* shares);

} // namespace vq::platform
