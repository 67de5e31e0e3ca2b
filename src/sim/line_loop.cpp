#include "sim/line_loop.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>

#include "protocol/frame.h"

namespace sim {
namespace {

using namespace std::chrono_literals;
using Seconds = std::chrono::duration<double>;

constexpr auto kDrainGrace = 2s;

}  // namespace

const char* packetName(std::uint8_t type)
{
    switch (type) {
    case protocol::PT_ACK: return "acknowledgement";
    case protocol::PT_TELEMETRY: return "telemetry";
    case protocol::PT_CALIBRATION: return "calibration";
    case protocol::PT_SETTINGS: return "settings";
    case protocol::PT_STATE: return "state";
    case protocol::PT_REQUEST: return "request";
    default: return "frame";
    }
}

LineLoop::LineLoop(const Options& options, int stopFd)
    : verbose_(options.verbose), device_(!options.device.empty()), stopFd_(stopFd)
{
    line_ = device_ ? makeDeviceLine(options.device, options.baud) : makePtyLine(options.baud);
    if (!options.link.empty())
        link_.emplace(options.link);
}

void LineLoop::log(const char* format, ...) const
{
    if (!verbose_)
        return;
    std::va_list args;
    va_start(args, format);
    std::fprintf(stderr, "kalvi7-sim: %8.3f ", Seconds(Clock::now() - start_).count());
    std::vfprintf(stderr, format, args);
    std::fputc('\n', stderr);
    va_end(args);
}

void LineLoop::open()
{
    line_->open();
    if (link_)
        link_->pointTo(line_->path());
    std::printf("%s\n", line_->path().c_str());
    std::fflush(stdout);
}

bool LineLoop::peerPresent() const
{
    const bool peer = line_->isOpen() && line_->peerPresent();
    if (!peer && line_->isOpen() && device_)
        throw std::runtime_error(line_->path() + " has gone away");
    return peer;
}

void LineLoop::read(const std::function<void(std::span<const std::uint8_t>)>& heard)
{
    std::uint8_t buf[256];
    const ssize_t n = ::read(line_->fd(), buf, sizeof buf);
    if (n < 0) {
        if (errno == EAGAIN || errno == EINTR)
            return;
        // On a pty, EIO means the tool has just closed its side, which the
        // next round sees; on a device it means the device itself is gone.
        if (errno == EIO && !device_)
            return;
        throw std::runtime_error(std::string("cannot read the line: ") + std::strerror(errno));
    }
    heard(std::span<const std::uint8_t>(buf, static_cast<std::size_t>(n)));
}

bool LineLoop::wait(Clock::duration timeout, short lineEvents,
                    const std::function<void(std::span<const std::uint8_t>)>& heard)
{
    pollfd fds[2] = {{stopFd_, POLLIN, 0}, {-1, 0, 0}};
    if (lineEvents != 0) {
        fds[1].fd = line_->fd();
        fds[1].events = lineEvents;
    }
    // Nanosecond timeouts: at low rates a byte slot is a few milliseconds,
    // and rounding each wait up to whole ones would slow the line and make
    // every replayed record late.
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(timeout).count();
    const timespec wait{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
    if (ppoll(fds, 2, &wait, nullptr) < 0 && errno != EINTR)
        throw std::runtime_error(std::string("poll: ") + std::strerror(errno));
    if (fds[0].revents & POLLIN)
        return false;
    if (fds[1].revents & POLLIN)
        read(heard);
    return true;
}

void LineLoop::drain() const
{
    const auto drainEnd = Clock::now() + kDrainGrace;
    while (Clock::now() < drainEnd && line_->peerPresent()) {
        pollfd stop{stopFd_, POLLIN, 0};
        if (poll(&stop, 1, 50) > 0)
            return;
    }
}

}  // namespace sim
