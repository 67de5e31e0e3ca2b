#include "sim/session.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "protocol/frame.h"

namespace sim {
namespace {

using namespace std::chrono_literals;
using Seconds = std::chrono::duration<double>;

constexpr auto kCyclicPeriod = 1s;
// Bytes handed to the line at once when pacing: small enough to keep the
// gaps short, large enough not to wake for every byte.
constexpr double kPacingSlice = 0.005;  // seconds
// Telemetry frames kept waiting in flood mode, so the loop runs once per
// few frames rather than per frame.
constexpr std::size_t kFloodBacklog = 8 * protocol::wireSize(kTelemetryBodySize);

std::uint64_t seedFor(const Options& options)
{
    return options.seed ? *options.seed : std::random_device{}();
}

Clock::duration toDuration(double seconds)
{
    return std::chrono::duration_cast<Clock::duration>(Seconds(seconds));
}

Clock::duration until(Clock::time_point now, Clock::time_point when)
{
    return when > now ? when - now : Clock::duration::zero();
}

}  // namespace

Session::Session(const Options& options, int stopFd)
    : options_(options),
      loop_(options, stopFd),
      line_(loop_.line()),
      radiosonde_({options.lat, options.lon, options.height}, options.warmup, options.state,
                  seedFor(options)),
      faultRng_(seedFor(options) ^ 0x9E3779B97F4A7C15ull)
{}

Session::~Session() = default;

Instant Session::instant() const
{
    return {Seconds(Clock::now() - loop_.started()).count(), std::chrono::system_clock::now()};
}

void Session::openLine()
{
    loop_.open();
    peerWasPresent_ = false;
    lineFreeAt_ = Clock::now();
    loop_.log("line %s open", line_.path().c_str());
}

void Session::dropLine()
{
    tx_.clear();
    txHead_ = 0;
    line_.close();
    loop_.log("line dropped");
}

bool Session::silentAt(Clock::time_point now) const
{
    if (options_.silenceFor <= 0)
        return false;
    const double phase = std::fmod(Seconds(now - loop_.started()).count(), options_.silenceEvery);
    return phase >= options_.silenceEvery - options_.silenceFor;
}

void Session::frameChecked(bool crcGood)
{
    if (!crcGood)
        loop_.log("<- frame with a bad CRC, ignored");
}

void Session::frameReceived(const protocol::RxBuffer& RxBuf)
{
    const std::size_t length = std::min<std::size_t>(RxBuf[1], RxBuf.size());
    const std::span<const std::uint8_t> body(RxBuf.data(), length);
    if (RxBuf[0] == protocol::PT_REQUEST)
        loop_.log("<- request 0x%02X", RxBuf[2]);
    else
        loop_.log("<- frame 0x%02X, selector/key byte 0x%02X", RxBuf[0], RxBuf[2]);
    Reply reply = radiosonde_.handleHostFrame(body, instant());
    if (reply.cyclicStarted)
        nextTelemetry_ = Clock::now() + kCyclicPeriod;
    for (auto& frame : reply.frames)
        enqueue(std::move(frame));
}

void Session::enqueue(WireFrame frame)
{
    if (txHead_ == tx_.size()) {
        tx_.clear();
        txHead_ = 0;
        // An idle line starts sending now; a busy one keeps its cadence.
        lineFreeAt_ = std::max(lineFreeAt_, Clock::now());
    }
    ++framesQueued_;
    const bool corrupt = options_.badCrc != 0 && framesQueued_ % options_.badCrc == 0;
    if (corrupt)
        frame[frame.size() - 2] ^= 0xFF;
    if (options_.noise) {
        const int count = std::uniform_int_distribution<int>(1, 8)(faultRng_);
        for (int i = 0; i < count; ++i)
            tx_.push_back(static_cast<std::uint8_t>(faultRng_()));
    }
    const std::uint8_t type = frame[4];
    if (type == protocol::PT_TELEMETRY) {
        if (telemetryQueued_++ == 0)
            firstTelemetryAt_ = Clock::now();
        loop_.log("-> 0x81 telemetry #%u%s", frame[7], corrupt ? " (bad CRC)" : "");
    } else {
        loop_.log("-> 0x%02X %s%s", type, packetName(type), corrupt ? " (bad CRC)" : "");
    }
    tx_.insert(tx_.end(), frame.begin(), frame.end());
}

void Session::sendCyclicTelemetry(Clock::time_point now)
{
    if (!radiosonde_.cyclic())
        return;
    if (options_.flood) {
        while (tx_.size() - txHead_ < kFloodBacklog && telemetryWanted())
            enqueue(radiosonde_.telemetry(instant()));
        return;
    }
    if (now < nextTelemetry_ || !telemetryWanted())
        return;
    enqueue(radiosonde_.telemetry(instant()));
    nextTelemetry_ += kCyclicPeriod;
    if (nextTelemetry_ <= now)  // after a silence or a dropped line
        nextTelemetry_ = now + kCyclicPeriod;
}

void Session::heard(std::span<const std::uint8_t> bytes)
{
    if (wasSilent_) {
        loop_.log("<- %zu bytes unheard during the silence", bytes.size());
        return;
    }
    for (const std::uint8_t byte : bytes)
        receiver_.Calc(byte, 1);
}

void Session::writeLine(Clock::time_point now)
{
    const double rate = options_.baud / 10.0;  // start, eight data bits, stop
    while (txHead_ < tx_.size()) {
        std::size_t chunk = tx_.size() - txHead_;
        if (!options_.flood) {
            if (now < lineFreeAt_)
                return;
            chunk = std::min(chunk, static_cast<std::size_t>(std::max(1.0, rate * kPacingSlice)));
        }
        const ssize_t n = ::write(line_.fd(), tx_.data() + txHead_, chunk);
        if (n < 0) {
            if (errno == EAGAIN || errno == EINTR)
                return;
            if (errno == EIO) {  // the far end went away mid-frame
                tx_.clear();
                txHead_ = 0;
                return;
            }
            throw std::runtime_error(std::string("cannot write the line: ") + std::strerror(errno));
        }
        txHead_ += static_cast<std::size_t>(n);
        if (!options_.flood) {
            // Each byte has its slot; waking late sends the overdue ones at
            // once, so the average rate holds under a busy scheduler.
            lineFreeAt_ += toDuration(static_cast<double>(n) / rate);
        }
    }
}

bool Session::telemetryWanted() const { return options_.frames == 0 || telemetryQueued_ < options_.frames; }

bool Session::framesDone() const
{
    return options_.frames != 0 && telemetryQueued_ >= options_.frames && txHead_ == tx_.size();
}

void Session::reportFrames() const
{
    const double elapsed = Seconds(Clock::now() - firstTelemetryAt_).count();
    std::fprintf(stderr, "kalvi7-sim: sent %llu telemetry frames in %.3f s (%.0f frames/s)\n",
                 static_cast<unsigned long long>(telemetryQueued_), elapsed,
                 elapsed > 0 ? static_cast<double>(telemetryQueued_) / elapsed : 0.0);
}

void Session::followHangupSchedule(Clock::time_point now)
{
    if (options_.hangupEvery <= 0)
        return;
    if (line_.isOpen() && now >= nextHangup_) {
        dropLine();
        lineBackAt_ = now + toDuration(options_.hangupFor);
    } else if (!line_.isOpen() && now >= lineBackAt_) {
        openLine();
        nextHangup_ = Clock::now() + toDuration(options_.hangupEvery);
    }
}

void Session::followSilenceSchedule(Clock::time_point now)
{
    const bool silent = silentAt(now);
    if (silent == wasSilent_)
        return;
    loop_.log("radio silence %s", silent ? "begins" : "ends");
    if (silent) {
        tx_.clear();
        txHead_ = 0;
    }
    wasSilent_ = silent;
}

bool Session::checkPeer()
{
    const bool peer = loop_.peerPresent();
    if (peer != peerWasPresent_) {
        loop_.log(peer ? "the far end is open" : "the far end closed the line; waiting for it");
        if (!peer) {  // a line nobody listens on loses what is sent
            tx_.clear();
            txHead_ = 0;
        }
        peerWasPresent_ = peer;
    }
    return peer;
}

bool Session::waitAndRead(bool peer)
{
    // Sleep until the next thing due: a byte slot, a cyclic packet, a
    // fault's turn, or something to read.
    const auto now = Clock::now();
    Clock::duration timeout = 1s;
    // Flooding, the line's readiness for more is what paces the packets.
    const bool flooding = options_.flood && radiosonde_.cyclic() && telemetryWanted();
    const bool pending = txHead_ < tx_.size() || flooding;
    if (!peer || options_.silenceFor > 0)
        timeout = std::min<Clock::duration>(timeout, kPeerPoll);
    if (peer && pending && !options_.flood)
        timeout = std::min(timeout, until(now, lineFreeAt_));
    if (peer && radiosonde_.cyclic() && !options_.flood)
        timeout = std::min(timeout, until(now, nextTelemetry_));
    if (options_.hangupEvery > 0)
        timeout = std::min(timeout, until(now, line_.isOpen() ? nextHangup_ : lineBackAt_));

    const bool room = pending && (options_.flood || now >= lineFreeAt_);
    const short events = peer ? static_cast<short>(POLLIN | (room ? POLLOUT : 0)) : 0;
    return loop_.wait(timeout, events, [this](std::span<const std::uint8_t> bytes) { heard(bytes); });
}

int Session::run()
{
    loop_.startClock();
    openLine();
    nextHangup_ = loop_.started() + toDuration(options_.hangupEvery);
    for (;;) {
        const auto now = Clock::now();
        followHangupSchedule(now);
        followSilenceSchedule(now);
        const bool peer = checkPeer();
        if (peer && !wasSilent_) {
            sendCyclicTelemetry(now);
            writeLine(now);
        }
        if (framesDone()) {
            reportFrames();
            loop_.drain();
            return 0;
        }
        if (!waitAndRead(peer))
            return 0;  // SIGINT or SIGTERM
    }
}

}  // namespace sim
