#include "ctl/local_time.h"

namespace ctl {

LocalTime localTimeOf(std::time_t moment)
{
    LocalTime local;
    localtime_r(&moment, &local.calendar);
    local.utcOffsetMinutes = local.calendar.tm_gmtoff / 60;
    return local;
}

}  // namespace ctl
