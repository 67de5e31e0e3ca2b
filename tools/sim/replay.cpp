#include "replay.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "frame.h"

namespace sim {
namespace {

using namespace std::chrono_literals;
using Seconds = std::chrono::duration<double>;

// How often a line without its far end is looked at again (a pty master
// whose slave is closed reports a hang-up at once on every poll).
constexpr auto kPeerPoll = 100ms;
// How long, after the last byte, the far end gets to read what is still in
// the line before the pty goes away under it.
constexpr auto kDrainGrace = 2s;
// Due bytes handed to the line at once: records are often a few bytes, and
// at --speed 0 a write per record would cost a system call for each.
constexpr std::size_t kStageLimit = 4096;

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

}  // namespace

capture::Capture loadReplay(const std::string& path)
{
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec))
        throw std::invalid_argument(path + ": is a directory, not a capture");
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::invalid_argument(path + ": cannot open: " + std::strerror(errno));
    try {
        capture::Capture capture = capture::readCapture(in);
        if (in.bad())
            throw std::invalid_argument(path + ": cannot read it to its end");
        return capture;
    } catch (const capture::CaptureError& e) {
        throw std::invalid_argument(path + ": " + e.what());
    }
}

Replay::Replay(const Options& options, capture::Capture capture, int stopFd)
    : options_(options), capture_(std::move(capture)), stopFd_(stopFd)
{
    line_ = options.device.empty() ? makePtyLine(options.baud) : makeDeviceLine(options.device, options.baud);
    if (!options.link.empty())
        link_.emplace(options.link);
}

Replay::~Replay() = default;

void Replay::log(const char* format, ...) const
{
    if (!options_.verbose)
        return;
    std::va_list args;
    va_start(args, format);
    std::fprintf(stderr, "kalvi7-sim: %8.3f ", Seconds(Clock::now() - start_).count());
    std::vfprintf(stderr, format, args);
    std::fputc('\n', stderr);
    va_end(args);
}

void Replay::Logger::frameChecked(bool crcGood)
{
    if (!crcGood)
        replay_.log("%s frame with a bad CRC", direction_);
}

void Replay::Logger::frameReceived(const protocol::RxBuffer& RxBuf)
{
    replay_.log("%s 0x%02X %s", direction_, RxBuf[0], packetName(RxBuf[0]));
}

void Replay::openLine()
{
    line_->open();
    // As the simulator does: the link first, then the path on the first
    // line of output, for whoever waits for it.
    if (link_)
        link_->pointTo(line_->path());
    std::printf("%s\n", line_->path().c_str());
    std::fflush(stdout);
    log("line %s open; replaying %s: %zu records", line_->path().c_str(), options_.replay.c_str(),
        capture_.records.size());
    for (const auto& [key, value] : capture_.notes)
        log("capture %s: %s", key.c_str(), value.c_str());
}

bool Replay::followPeer(Clock::time_point now)
{
    const bool peer = line_->isOpen() && line_->peerPresent();
    if (!peer && !options_.device.empty())
        throw std::runtime_error(line_->path() + " has gone away");
    if (peer && !playing_) {
        // Playing starts when someone listens, and a pause shifts the rest
        // of the capture by its length: nothing is lost to a closed port.
        origin_ = now - std::chrono::duration_cast<Clock::duration>(pausedAt_);
        playing_ = true;
        log(everPlayed_ ? "the far end is open again; the replay goes on"
                        : "the far end is open; the replay begins");
        everPlayed_ = true;
    } else if (!peer && playing_) {
        pausedAt_ = now - origin_;
        playing_ = false;
        log("the far end closed the line; the replay waits");
    }
    return peer;
}

Replay::Clock::time_point Replay::dueAt(std::size_t record) const
{
    // Capped at some thirty years, which the clock's nanoseconds still hold:
    // a capture may name times far beyond that, and --speed stretches them.
    constexpr double kFarAhead = 1e9;
    const double seconds = static_cast<double>(capture_.records[record].microseconds) / 1e6 / options_.speed;
    return origin_ + std::chrono::duration_cast<Clock::duration>(Seconds(std::min(seconds, kFarAhead)));
}

void Replay::stageDue(Clock::time_point now)
{
    if (stagedHead_ == staged_.size()) {
        staged_.clear();
        stagedHead_ = 0;
    }
    // A record that became due while the line was full goes out as soon as
    // there is room, so that lateness never piles up.
    while (next_ < capture_.records.size() && staged_.size() - stagedHead_ < kStageLimit &&
           (options_.speed == 0 || dueAt(next_) <= now)) {
        const auto& bytes = capture_.records[next_].bytes;
        staged_.insert(staged_.end(), bytes.begin(), bytes.end());
        ++next_;
    }
}

void Replay::writeLine()
{
    for (;;) {
        stageDue(Clock::now());
        if (stagedHead_ == staged_.size())
            return;
        const ssize_t n = ::write(line_->fd(), staged_.data() + stagedHead_, staged_.size() - stagedHead_);
        if (n < 0) {
            // EIO: the far end went away; the next round pauses the replay.
            if (errno == EAGAIN || errno == EINTR || errno == EIO)
                return;
            throw std::runtime_error(std::string("cannot write the line: ") + std::strerror(errno));
        }
        if (bytesPlayed_ == 0)
            firstByteAt_ = Clock::now();
        if (options_.verbose)
            for (ssize_t i = 0; i < n; ++i)
                sent_.Calc(staged_[stagedHead_ + static_cast<std::size_t>(i)], 1);
        stagedHead_ += static_cast<std::size_t>(n);
        bytesPlayed_ += static_cast<std::uint64_t>(n);
    }
}

void Replay::readLine()
{
    std::uint8_t buf[256];
    const ssize_t n = ::read(line_->fd(), buf, sizeof buf);
    if (n < 0) {
        if (errno == EAGAIN || errno == EINTR || (errno == EIO && options_.device.empty()))
            return;
        throw std::runtime_error(std::string("cannot read the line: ") + std::strerror(errno));
    }
    // The capture answers nothing: what the tool sends is only logged.
    if (options_.verbose)
        for (ssize_t i = 0; i < n; ++i)
            heard_.Calc(buf[i], 1);
}

bool Replay::waitAndRead(bool peer)
{
    const auto now = Clock::now();
    Clock::duration timeout = 1s;
    if (!peer)
        timeout = kPeerPoll;
    const bool pending = stagedHead_ < staged_.size();
    if (playing_ && !pending && next_ < capture_.records.size() && options_.speed > 0)
        timeout = std::min(timeout, std::max(Clock::duration::zero(), dueAt(next_) - now));

    pollfd fds[2] = {{stopFd_, POLLIN, 0}, {-1, 0, 0}};
    if (peer) {
        fds[1].fd = line_->fd();
        fds[1].events = static_cast<short>(POLLIN | (pending ? POLLOUT : 0));
    }
    // Nanosecond timeouts: rounding each wait up to whole milliseconds
    // would make every record late.
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(timeout).count();
    const timespec wait{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
    if (ppoll(fds, 2, &wait, nullptr) < 0 && errno != EINTR)
        throw std::runtime_error(std::string("poll: ") + std::strerror(errno));
    if (fds[0].revents & POLLIN)
        return false;
    if (fds[1].revents & POLLIN)
        readLine();
    return true;
}

void Replay::drainAtEnd()
{
    const auto drainEnd = Clock::now() + kDrainGrace;
    while (Clock::now() < drainEnd && line_->peerPresent()) {
        pollfd stop{stopFd_, POLLIN, 0};
        if (poll(&stop, 1, 50) > 0)
            return;
    }
}

int Replay::run()
{
    start_ = Clock::now();
    openLine();
    for (;;) {
        const auto now = Clock::now();
        const bool peer = followPeer(now);
        if (playing_)
            writeLine();
        if (everPlayed_ && finished()) {
            const double took = bytesPlayed_ > 0 ? Seconds(Clock::now() - firstByteAt_).count() : 0.0;
            std::fprintf(stderr, "kalvi7-sim: replayed %llu bytes in %zu records in %.3f s\n",
                         static_cast<unsigned long long>(bytesPlayed_), capture_.records.size(), took);
            drainAtEnd();
            return 0;
        }
        if (!waitAndRead(peer))
            return 0;  // SIGINT or SIGTERM
    }
}

}  // namespace sim
