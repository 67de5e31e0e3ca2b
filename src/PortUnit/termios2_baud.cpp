// The kernel's termios2 interface comes from <asm/termbits.h>, which cannot
// share a translation unit with <termios.h>; that is why this code lives in
// a file of its own.
#include "PortUnit/termios2_baud.h"

#include <cerrno>

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

namespace {

// A rate of the classic table goes in as its constant, so that programs
// reading the line with plain termios see the rate; any other as BOTHER, a
// plain number in c_ospeed and c_ispeed.
tcflag_t SpeedCode(std::uint32_t baud)
{
    static const struct {
        std::uint32_t rate;
        tcflag_t code;
    } classic[] = {{50, B50},           {75, B75},           {110, B110},         {134, B134},
                   {150, B150},         {200, B200},         {300, B300},         {600, B600},
                   {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
                   {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
                   {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
                   {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
                   {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
                   {3500000, B3500000}, {4000000, B4000000}};
    for (const auto& entry : classic)
        if (entry.rate == baud)
            return entry.code;
    return BOTHER;
}

}  // namespace

int SetLineBaud(int fd, std::uint32_t baud)
{
    if (baud == 0)
        return RateNotKept;
    termios2 line{};
    if (ioctl(fd, TCGETS2, &line) != 0)
        return errno;
    // The input speed follows the output speed (input code 0).
    line.c_cflag &= ~static_cast<tcflag_t>(CBAUD | (CBAUD << IBSHIFT));
    line.c_cflag |= SpeedCode(baud);
    line.c_ospeed = baud;
    line.c_ispeed = baud;
    if (ioctl(fd, TCSETS2, &line) != 0)
        return errno;
    termios2 back{};
    if (ioctl(fd, TCGETS2, &back) != 0)
        return errno;
    return BaudReadsBack(baud, back.c_ospeed) && BaudReadsBack(baud, back.c_ispeed) ? 0 : RateNotKept;
}

std::uint32_t ReadLineBaud(int fd)
{
    termios2 line{};
    return ioctl(fd, TCGETS2, &line) == 0 ? line.c_ospeed : 0;
}

#else  // other POSIX systems: speed_t is the rate itself

int SetLineBaud(int fd, std::uint32_t baud)
{
    if (baud == 0)
        return RateNotKept;
    termios line{};
    if (tcgetattr(fd, &line) != 0 || cfsetspeed(&line, baud) != 0 || tcsetattr(fd, TCSANOW, &line) != 0)
        return errno;
    termios back{};
    if (tcgetattr(fd, &back) != 0)
        return errno;
    return BaudReadsBack(baud, cfgetospeed(&back)) && BaudReadsBack(baud, cfgetispeed(&back)) ? 0
                                                                                              : RateNotKept;
}

std::uint32_t ReadLineBaud(int fd)
{
    termios line{};
    return tcgetattr(fd, &line) == 0 ? static_cast<std::uint32_t>(cfgetospeed(&line)) : 0;
}

#endif

}  // namespace PortUnit::detail
