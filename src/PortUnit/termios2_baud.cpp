// The kernel's termios2 interface comes from <asm/termbits.h>, which cannot
// share a translation unit with <termios.h>; that is why this code lives in
// a file of its own.
#include "termios2_baud.h"

#if defined(__linux__)
#include <asm/termbits.h>
#include <sys/ioctl.h>
#else
#include <termios.h>
#endif

namespace PortUnit::detail {

bool BaudReadsBack(std::uint32_t requested, std::uint32_t readBack)
{
    if (requested == 0 || readBack == 0)
        return false;
    const std::uint64_t miss = requested > readBack ? requested - readBack : readBack - requested;
    return miss * 100 <= std::uint64_t{requested} * 2;
}

#if defined(__linux__)

bool SetLineBaud(int fd, std::uint32_t baud)
{
    if (baud == 0)
        return false;
    termios2 line{};
    if (ioctl(fd, TCGETS2, &line) != 0)
        return false;
    // BOTHER in both the output and the input speed field: the rate is taken
    // from c_ospeed and c_ispeed as plain numbers.
    line.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
    line.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    line.c_ospeed = baud;
    line.c_ispeed = baud;
    if (ioctl(fd, TCSETS2, &line) != 0)
        return false;
    termios2 back{};
    if (ioctl(fd, TCGETS2, &back) != 0)
        return false;
    return BaudReadsBack(baud, back.c_ospeed) && BaudReadsBack(baud, back.c_ispeed);
}

std::uint32_t ReadLineBaud(int fd)
{
    termios2 line{};
    return ioctl(fd, TCGETS2, &line) == 0 ? line.c_ospeed : 0;
}

#else  // other POSIX systems: speed_t is the rate itself

bool SetLineBaud(int fd, std::uint32_t baud)
{
    if (baud == 0)
        return false;
    termios line{};
    if (tcgetattr(fd, &line) != 0 || cfsetspeed(&line, baud) != 0 || tcsetattr(fd, TCSANOW, &line) != 0)
        return false;
    termios back{};
    return tcgetattr(fd, &back) == 0 && BaudReadsBack(baud, cfgetospeed(&back))
        && BaudReadsBack(baud, cfgetispeed(&back));
}

std::uint32_t ReadLineBaud(int fd)
{
    termios line{};
    return tcgetattr(fd, &line) == 0 ? static_cast<std::uint32_t>(cfgetospeed(&line)) : 0;
}

#endif

}  // namespace PortUnit::detail
