// A test fixture, never shipped: loaded into Wine with LD_PRELOAD so that a
// pseudo-terminal linked as a COM port behaves as a serial port for Wine's
// serial wait.
//
// Wine 8 asks the port for its modem lines (TIOCMGET) while a program waits
// in WaitCommEvent. A pseudo-terminal has no modem lines and answers ENOTTY,
// and Wine then ends every wait at once with error 995, so the wait the
// Windows driver is built on never happens under test. Here a
// pseudo-terminal answers as a port with DSR, CTS and carrier up, and takes
// the line changes the driver or Wine make (DTR, RTS) without effect. Any
// other descriptor and any other request goes to the real ioctl untouched.
#include <dlfcn.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>

#include <cerrno>
#include <cstdarg>

namespace {

using IoctlFunction = int (*)(int, unsigned long, ...);

IoctlFunction realIoctl()
{
    static const auto function = reinterpret_cast<IoctlFunction>(dlsym(RTLD_NEXT, "ioctl"));
    return function;
}

// The slave side of a Unix 98 pseudo-terminal: character devices with the
// majors 136 to 143 (/dev/pts/N).
bool isPseudoTerminalSlave(int fd)
{
    struct stat status {};
    if (fstat(fd, &status) != 0 || !S_ISCHR(status.st_mode))
        return false;
    const unsigned int deviceMajor = major(status.st_rdev);
    return deviceMajor >= 136 && deviceMajor <= 143;
}

bool isModemLineRequest(unsigned long request)
{
    return request == TIOCMGET || request == TIOCMSET || request == TIOCMBIS || request == TIOCMBIC;
}

}  // namespace

extern "C" int ioctl(int fd, unsigned long request, ...)
{
    va_list arguments;
    va_start(arguments, request);
    void* argument = va_arg(arguments, void*);
    va_end(arguments);

    if (isModemLineRequest(request) && isPseudoTerminalSlave(fd)) {
        if (request == TIOCMGET) {
            if (argument == nullptr) {
                errno = EFAULT;
                return -1;
            }
            *static_cast<int*>(argument) = TIOCM_DSR | TIOCM_CTS | TIOCM_CAR | TIOCM_DTR | TIOCM_RTS;
        }
        return 0;
    }
    const IoctlFunction real = realIoctl();
    if (real == nullptr) {
        errno = ENOSYS;
        return -1;
    }
    return real(fd, request, argument);
}
