#include "sim/line.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <utility>

namespace sim {
namespace {

[[noreturn]] void failed(const std::string& step)
{
    throw std::runtime_error(step + ": " + std::strerror(errno));
}

constexpr std::array<std::pair<unsigned, speed_t>, 19> kSpeeds{{
    {50, B50},         {300, B300},         {600, B600},         {1200, B1200},       {2400, B2400},
    {4800, B4800},     {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
    {115200, B115200}, {230400, B230400},   {460800, B460800},   {500000, B500000},   {576000, B576000},
    {921600, B921600}, {1000000, B1000000}, {2000000, B2000000}, {4000000, B4000000},
}};

speed_t speedOf(unsigned baud)
{
    for (const auto& [rate, code] : kSpeeds)
        if (rate == baud)
            return code;
    return B38400;
}

// Raw 8N1 without flow control, as the radiosonde's UART is.
void makeRaw(int fd, unsigned baud, const std::string& what)
{
    termios tio{};
    if (tcgetattr(fd, &tio) != 0)
        failed("cannot read the settings of " + what);
    cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cflag &= ~(CSTOPB | PARENB | CRTSCTS);
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    cfsetispeed(&tio, speedOf(baud));
    cfsetospeed(&tio, speedOf(baud));
    if (tcsetattr(fd, TCSANOW, &tio) != 0)
        failed("cannot configure " + what);
}

class PtyLine final : public Line {
public:
    explicit PtyLine(unsigned baud) : baud_(baud) {}

    void open() override
    {
        close();
        fd_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (fd_ < 0)
            failed("cannot open a pseudo-terminal");
        if (grantpt(fd_) != 0 || unlockpt(fd_) != 0)
            failed("cannot unlock the pseudo-terminal");
        char name[128];
        if (ptsname_r(fd_, name, sizeof name) != 0)
            failed("cannot name the pseudo-terminal");
        path_ = name;
        // The line discipline lives on the slave side, so it is made raw
        // there; the settings outlast this open while the master stays open.
        const int slave = ::open(name, O_RDWR | O_NOCTTY);
        if (slave < 0)
            failed("cannot open " + path_);
        makeRaw(slave, baud_, path_);
        ::close(slave);
    }

    bool peerPresent() const override { return pollShowsNone(POLLHUP | POLLERR); }

private:
    unsigned baud_;
};

class DeviceLine final : public Line {
public:
    DeviceLine(std::string device, unsigned baud) : baud_(baud) { path_ = std::move(device); }

    void open() override
    {
        close();
        fd_ = ::open(path_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (fd_ < 0)
            failed("cannot open " + path_);
        makeRaw(fd_, baud_, path_);
        tcflush(fd_, TCIOFLUSH);
    }

    // A device unplugged (a USB adapter pulled out) reports a hang-up.
    bool peerPresent() const override { return pollShowsNone(POLLHUP | POLLERR | POLLNVAL); }

private:
    unsigned baud_;
};

}  // namespace

void Line::close()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

bool Line::pollShowsNone(short gone) const
{
    if (fd_ < 0)
        return false;
    pollfd p{fd_, POLLIN, 0};
    return poll(&p, 1, 0) >= 0 && !(p.revents & gone);
}

bool isDeviceBaud(unsigned baud)
{
    for (const auto& entry : kSpeeds)
        if (entry.first == baud)
            return true;
    return false;
}

std::unique_ptr<Line> makePtyLine(unsigned baud) { return std::make_unique<PtyLine>(baud); }

std::unique_ptr<Line> makeDeviceLine(const std::string& path, unsigned baud)
{
    return std::make_unique<DeviceLine>(path, baud);
}

}  // namespace sim
