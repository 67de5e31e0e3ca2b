// The computer's local time of a moment, with its distance from UTC, as
// the system's clock settings give it (TZ on Linux; on Windows the zone the
// computer is set to, as the window's clock reads it), never the locale.
#pragma once

#include <ctime>

namespace ctl {

struct LocalTime {
    std::tm calendar{};         // the local date and time of day
    long utcOffsetMinutes = 0;  // east of Greenwich positive: +180 in Moscow
};

LocalTime localTimeOf(std::time_t moment);

}  // namespace ctl
