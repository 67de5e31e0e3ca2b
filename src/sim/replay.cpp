#include "sim/replay.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "protocol/frame.h"

namespace sim {
namespace {

using namespace std::chrono_literals;
using Seconds = std::chrono::duration<double>;

// Due bytes handed to the line at once: records are often a few bytes, and
// at --speed 0 a write per record would cost a system call for each.
constexpr std::size_t kStageLimit = 4096;

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
    : options_(options), capture_(std::move(capture)), loop_(options, stopFd)
{}

Replay::~Replay() = default;

void Replay::Logger::frameChecked(bool crcGood)
{
    if (!crcGood)
        replay_.loop_.log("%s frame with a bad CRC", direction_);
}

void Replay::Logger::frameReceived(const protocol::RxBuffer& RxBuf)
{
    replay_.loop_.log("%s 0x%02X %s", direction_, RxBuf[0], packetName(RxBuf[0]));
}

void Replay::openLine()
{
    loop_.open();
    loop_.log("line %s open; replaying %s: %zu records", loop_.line().path().c_str(), options_.replay.c_str(),
              capture_.records.size());
    for (const auto& [key, value] : capture_.notes)
        loop_.log("capture %s: %s", key.c_str(), value.c_str());
}

bool Replay::followPeer(Clock::time_point now)
{
    const bool peer = loop_.peerPresent();
    if (peer && !playing_) {
        // Playing starts when someone listens, and a pause shifts the rest
        // of the capture by its length: nothing is lost to a closed port.
        origin_ = now - std::chrono::duration_cast<Clock::duration>(pausedAt_);
        playing_ = true;
        loop_.log(everPlayed_ ? "the far end is open again; the replay goes on"
                              : "the far end is open; the replay begins");
        everPlayed_ = true;
    } else if (!peer && playing_) {
        pausedAt_ = now - origin_;
        playing_ = false;
        loop_.log("the far end closed the line; the replay waits");
    }
    return peer;
}

Clock::time_point Replay::dueAt(std::size_t record) const
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
        const ssize_t n =
            ::write(loop_.line().fd(), staged_.data() + stagedHead_, staged_.size() - stagedHead_);
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

bool Replay::waitAndRead(bool peer)
{
    const auto now = Clock::now();
    Clock::duration timeout = 1s;
    if (!peer)
        timeout = kPeerPoll;
    const bool pending = stagedHead_ < staged_.size();
    if (playing_ && !pending && next_ < capture_.records.size() && options_.speed > 0)
        timeout = std::min(timeout, std::max(Clock::duration::zero(), dueAt(next_) - now));

    const short events = peer ? static_cast<short>(POLLIN | (pending ? POLLOUT : 0)) : 0;
    // The capture answers nothing: what the tool sends is only logged.
    return loop_.wait(timeout, events, [this](std::span<const std::uint8_t> bytes) {
        if (options_.verbose)
            for (const std::uint8_t byte : bytes)
                heard_.Calc(byte, 1);
    });
}

int Replay::run()
{
    loop_.startClock();
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
            loop_.drain();
            return 0;
        }
        if (!waitAndRead(peer))
            return 0;  // SIGINT or SIGTERM
    }
}

}  // namespace sim
