// The C library's localtime would take a TZ variable in the environment
// (which some shells set, in their own notation) over the zone Windows is
// set to; the window's clock reads the zone, and so does this.
#include "common/windows_api.h"

#include <cstdint>

#include "ctl/local_time.h"

namespace ctl {
namespace {

// FILETIME counts 100 ns from 1601-01-01, time_t seconds from 1970-01-01.
constexpr std::int64_t kTicksPerSecond = 10'000'000;
constexpr std::int64_t kSecondsFrom1601To1970 = 11'644'473'600;

std::int64_t ticksOf(const FILETIME& time)
{
    return static_cast<std::int64_t>((static_cast<std::uint64_t>(time.dwHighDateTime) << 32) |
                                     time.dwLowDateTime);
}

}  // namespace

LocalTime localTimeOf(std::time_t moment)
{
    const std::int64_t ticks = (static_cast<std::int64_t>(moment) + kSecondsFrom1601To1970) * kTicksPerSecond;
    const auto unsignedTicks = static_cast<std::uint64_t>(ticks);
    const FILETIME utcFile{static_cast<DWORD>(unsignedTicks & 0xFFFFFFFFu),
                           static_cast<DWORD>(unsignedTicks >> 32)};
    SYSTEMTIME utc{};
    SYSTEMTIME local{};
    FILETIME localFile{};
    LocalTime result;
    if (!FileTimeToSystemTime(&utcFile, &utc) || !SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local) ||
        !SystemTimeToFileTime(&local, &localFile)) {
        local = utc;  // no zone to be had: UTC, and says so with +00:00
        localFile = utcFile;
    }
    result.calendar.tm_year = local.wYear - 1900;
    result.calendar.tm_mon = local.wMonth - 1;
    result.calendar.tm_mday = local.wDay;
    result.calendar.tm_wday = local.wDayOfWeek;
    result.calendar.tm_hour = local.wHour;
    result.calendar.tm_min = local.wMinute;
    result.calendar.tm_sec = local.wSecond;
    result.calendar.tm_isdst = -1;
    result.utcOffsetMinutes = static_cast<long>((ticksOf(localFile) - ticks) / (60 * kTicksPerSecond));
    return result;
}

}  // namespace ctl
