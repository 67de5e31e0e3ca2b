// Line speed set by number, not by the classic Bxxx table, so that any rate
// the driver accepts can be used (250000 and the like).
#pragma once

#include <cstdint>

namespace PortUnit::detail {

// What SetLineBaud gives when every call succeeded and yet the rate is not
// the one asked for.
inline constexpr int RateNotKept = -1;

// Sets both directions of the open tty fd to baud and reads the speed back.
// 0 when the rate is set; the errno of a call that failed; RateNotKept when
// the driver stores a different rate, and for 0, which is refused outright
// since to termios it means "hang up", not a speed.
int SetLineBaud(int fd, std::uint32_t baud);

// The output speed the driver holds for fd, 0 when it cannot be read.
std::uint32_t ReadLineBaud(int fd);

// Whether a speed read back from the driver is the one asked for. Drivers
// that round to the nearest divisor store the rate they really programmed;
// a miss of up to 2 % is within what an asynchronous line tolerates, a clamp
// to another rate is not.
bool BaudReadsBack(std::uint32_t requested, std::uint32_t readBack);

}  // namespace PortUnit::detail
