// What the list's code asks of the system, answered at once so that the
// benchmark measures the list: local time is UTC.

#include "platform/system.h"

#include <ctime>

namespace vq::platform {

std::optional<LocalTime> FileTimeToLocalTime(std::uint64_t fileTime)
{
    constexpr std::int64_t kUnixEpochSeconds = 11644473600;
    const auto seconds = static_cast<std::time_t>(static_cast<std::int64_t>(fileTime / 10'000'000) - kUnixEpochSeconds);
    std::tm parts{};
    gmtime_r(&seconds, &parts);
    return LocalTime{static_cast<std::uint16_t>(parts.tm_year + 1900), static_cast<std::uint16_t>(parts.tm_mon + 1),
                     static_cast<std::uint16_t>(parts.tm_mday), static_cast<std::uint16_t>(parts.tm_hour),
                     static_cast<std::uint16_t>(parts.tm_min), static_cast<std::uint16_t>(parts.tm_sec)};
}

} // namespace vq::platform
