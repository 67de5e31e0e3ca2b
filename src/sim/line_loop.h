// What the simulation and the replay do alike with their line: open it and
// announce its path, wait for the next thing due while watching for a stop,
// read what the tool writes, give the far end a grace before the line goes
// at the end, and log with --verbose.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>

#include "sim/line.h"
#include "sim/options.h"
#include "sim/slave_link.h"

namespace sim {

using Clock = std::chrono::steady_clock;

// How often a line without its far end is looked at again: the master of a
// pty whose slave is closed reports a hang-up at once on every poll.
inline constexpr auto kPeerPoll = std::chrono::milliseconds(100);

// What the log calls a frame of this type.
const char* packetName(std::uint8_t type);

class LineLoop {
public:
    // stopFd: read end of a pipe that becomes readable when the run must end.
    LineLoop(const Options& options, int stopFd);

    Line& line() { return *line_; }
    const Line& line() const { return *line_; }

    // The moment log times count from; set once the run begins.
    void startClock() { start_ = Clock::now(); }
    Clock::time_point started() const { return start_; }

    // Opens the line. The link is in place before the path is printed, and
    // the path is the first line of output (each new pty adds one): whoever
    // waits for that line may open either at once.
    void open();

    // Whether the far end is there to hear; throws when a serial device has
    // gone away, which a pty's far end may do and come back.
    bool peerPresent() const;

    // Sleeps until `timeout` passes, a stop is asked for, or the line is
    // ready for `lineEvents` (0: the line is not watched). What the tool
    // wrote in the meantime goes to `heard`. False on a stop.
    bool wait(Clock::duration timeout, short lineEvents,
              const std::function<void(std::span<const std::uint8_t>)>& heard);

    // After the last byte: the far end gets some time to read what is still
    // in the line before the pty goes away under it, unless a stop comes.
    void drain() const;

    void log(const char* format, ...) const __attribute__((format(printf, 2, 3)));

private:
    void read(const std::function<void(std::span<const std::uint8_t>)>& heard);

    bool verbose_;
    bool device_;
    int stopFd_;
    std::unique_ptr<Line> line_;
    std::optional<SlaveLink> link_;
    Clock::time_point start_ = Clock::now();
};

}  // namespace sim
