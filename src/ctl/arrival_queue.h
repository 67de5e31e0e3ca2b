// The bytes the port's reader thread hands over, each with its arrival
// time, waiting for the command's one thread. The reader only pushes; the
// command pops with a time-out, so every wait of a command is bounded.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>

namespace ctl {

using Clock = std::chrono::steady_clock;

struct Arrival {
    std::uint8_t byte = 0;
    Clock::time_point at;
};

class ArrivalQueue {
public:
    void push(std::uint8_t byte, Clock::time_point at);
    // The next byte, or nothing once `until` has passed without one.
    std::optional<Arrival> pop(Clock::time_point until);

    // The reader's poster: context is the queue. The byte stays counted in
    // the driver's flight until pop takes it, so a command that falls behind
    // holds the reader back as the window does.
    static void post(void* context, std::uint32_t wparam, std::intptr_t lparam);

private:
    std::mutex lock_;
    std::condition_variable arrived_;
    std::deque<Arrival> bytes_;
};

// Where a command reads its bytes from: the port through a queue, or a
// test's own feed.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual std::optional<Arrival> next(Clock::time_point until) = 0;
};

}  // namespace ctl
