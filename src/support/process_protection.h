#pragma once

#include <cstdint>

namespace vq::support {

// True when the process is a protected process, which refuses the ordinary
// access that reads its modules. Always false before Windows Vista, which
// has no protected processes.
bool IsProcessProtected(std::uint32_t processId);

} // namespace vq::support
