#include "PortUnit/line_settings_posix.h"

namespace PortUnit::detail {

namespace {

#ifdef CMSPAR
constexpr tcflag_t StickParity = CMSPAR;
#else
constexpr tcflag_t StickParity = 0;
#endif

constexpr tcflag_t FramingBits = CSIZE | PARENB | PARODD | StickParity | CSTOPB;

}  // namespace

void MakeRawLine(termios& line)
{
    cfmakeraw(&line);
    line.c_cflag |= CREAD | CLOCAL;
    // Damaged bytes are delivered as received rather than dropped or
    // replaced; the frame checksum judges them.
    line.c_iflag &= ~static_cast<tcflag_t>(INPCK | IGNPAR);
}

bool ApplyFraming(termios& line, std::uint8_t parity, std::uint8_t dataBits, std::uint8_t stopBits)
{
    tcflag_t size = 0;
    switch (dataBits) {
    case 5: size = CS5; break;
    case 6: size = CS6; break;
    case 7: size = CS7; break;
    case 8: size = CS8; break;
    default: return false;
    }

    tcflag_t parityBits = 0;
    switch (parity) {
    case 0: break;
    case 1: parityBits = PARENB | PARODD; break;
    case 2: parityBits = PARENB; break;
    case 3:
    case 4:
        if (StickParity == 0)
            return false;
        // Stick parity: with PARODD the parity bit is always 1 (mark),
        // without it always 0 (space).
        parityBits = PARENB | StickParity | (parity == 3 ? PARODD : 0);
        break;
    default: return false;
    }

    tcflag_t stop = 0;
    switch (stopBits) {
    case 0: break;
    case 1:
    case 2: stop = CSTOPB; break;
    default: return false;
    }

    line.c_cflag = (line.c_cflag & ~FramingBits) | size | parityBits | stop;
    return true;
}

bool SameFraming(const termios& wanted, const termios& got)
{
    return (wanted.c_cflag & FramingBits) == (got.c_cflag & FramingBits);
}

}  // namespace PortUnit::detail
