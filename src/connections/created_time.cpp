#include "connections/created_time.h"

#include "platform/system.h"

#include <optional>

namespace vq::connections {
namespace {

constexpr std::int64_t kTicksPerSecond = 10'000'000;
constexpr std::int64_t kSecondsPerDay = 86'400;
constexpr std::int64_t kTicksPerBucket = 15 * 60 * kTicksPerSecond;

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
constexpr std::int64_t DaysFromCivil(std::int64_t year, unsigned month, unsigned day)
{
    year -= month <= 2 ? 1 : 0;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const auto yearOfEra = static_cast<unsigned>(year - era * 400);
    const unsigned dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + static_cast<std::int64_t>(dayOfEra) - 719468;
}

constexpr std::int64_t kFileTimeEpochDays = DaysFromCivil(1601, 1, 1);

struct CivilTime {
    std::int64_t year;
    unsigned month, day, hour, minute, second;
};

CivilTime CivilFromSeconds(std::int64_t seconds)
{
    std::int64_t days = seconds / kSecondsPerDay;
    std::int64_t inDay = seconds % kSecondsPerDay;
    if (inDay < 0) {
        inDay += kSecondsPerDay;
        --days;
    }
    days += kFileTimeEpochDays + 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const auto dayOfEra = static_cast<unsigned>(days - era * 146097);
    const unsigned yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const unsigned monthIndex = (5 * dayOfYear + 2) / 153;
    const unsigned day = dayOfYear - (153 * monthIndex + 2) / 5 + 1;
    const unsigned month = monthIndex < 10 ? monthIndex + 3 : monthIndex - 9;
    const std::int64_t year = static_cast<std::int64_t>(yearOfEra) + era * 400 + (month <= 2 ? 1 : 0);
    return {year, month, day, static_cast<unsigned>(inDay / 3600), static_cast<unsigned>(inDay / 60 % 60),
            static_cast<unsigned>(inDay % 60)};
}

std::int64_t SecondsOf(const platform::LocalTime& time)
{
    return (DaysFromCivil(time.year, time.month, time.day) - kFileTimeEpochDays) * kSecondsPerDay +
           time.hour * 3600 + time.minute * 60 + time.second;
}

// The offset of local time from UTC in the quarter hour asked last. The
// window and the console program each draw on one thread.
struct OffsetCache {
    std::uint64_t bucket = UINT64_MAX;
    std::optional<std::int64_t> offsetSeconds;
};
thread_local OffsetCache t_offset;

std::optional<std::int64_t> LocalSeconds(std::uint64_t fileTime)
{
    const auto utcSeconds = static_cast<std::int64_t>(fileTime / kTicksPerSecond);
    const std::uint64_t bucket = fileTime / kTicksPerBucket;
    if (bucket != t_offset.bucket) {
        const auto local = platform::FileTimeToLocalTime(fileTime);
        t_offset.bucket = bucket;
        t_offset.offsetSeconds = local ? std::optional(SecondsOf(*local) - utcSeconds) : std::nullopt;
    }
    if (!t_offset.offsetSeconds) {
        return std::nullopt;
    }
    return utcSeconds + *t_offset.offsetSeconds;
}

wchar_t* AppendDigits(wchar_t* out, std::int64_t value, int digits)
{
    for (int i = digits - 1; i >= 0; --i, value /= 10) {
        out[i] = static_cast<wchar_t>(L'0' + value % 10);
    }
    return out + digits;
}

} // namespace

std::wstring_view CreatedTimeText(std::uint64_t fileTime, CellBuffer& buffer)
{
    if (fileTime == 0) {
        return {};
    }
    const auto seconds = LocalSeconds(fileTime);
    if (!seconds) {
        return {};
    }
    const CivilTime time = CivilFromSeconds(*seconds);
    if (time.year < 1601 || time.year > 9999) {
        return {};
    }
    wchar_t* out = buffer.text.data();
    out = AppendDigits(out, time.year, 4);
    *out++ = L'-';
    out = AppendDigits(out, time.month, 2);
    *out++ = L'-';
    out = AppendDigits(out, time.day, 2);
    *out++ = L' ';
    out = AppendDigits(out, time.hour, 2);
    *out++ = L':';
    out = AppendDigits(out, time.minute, 2);
    *out++ = L':';
    out = AppendDigits(out, time.second, 2);
    return {buffer.text.data(), static_cast<std::size_t>(out - buffer.text.data())};
}

} // namespace vq::connections
