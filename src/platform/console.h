#pragma once

// The console companion's standard streams and clock.

#include <cstdint>
#include <string_view>

namespace vq::platform {

enum class StandardStream { Output, Error };

enum class StreamWrite {
    Written,
    Closed,  // the reader went away (a pipe closed early)
    Failed,
};

// Writes UTF-8 text to a standard stream: to a console as UTF-16 through
// WriteConsoleW (so any text shows right), to a pipe or file as it is. A
// stream that the process was not given counts as written.
StreamWrite WriteStandardStream(StandardStream stream, std::string_view utf8);

// GetSystemTime: the time in UTC.
struct UtcTime {
    std::uint16_t year;
    std::uint16_t month;
    std::uint16_t day;
    std::uint16_t hour;
    std::uint16_t minute;
    std::uint16_t second;
    std::uint16_t millisecond;
};
UtcTime GetUtcTime();

} // namespace vq::platform
