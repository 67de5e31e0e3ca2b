// The count of byte messages posted by the reader and not yet taken by the
// window, shared by both drivers. It lets the reader stop reading while the
// window is behind, so that the messages queued between the two threads stay
// bounded however fast the line is: the bytes then wait in the system's
// receive queue, where the line's own pace (or, on a pseudo-terminal, the
// writer being held) keeps them.
//
// Posted runs on the reader thread; Taken and ResetCount where the messages
// are taken and the target is set. The count is one atomic, so no lock is
// taken per byte.
#pragma once

#include "PortUnit/PortUnit.h"

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace PortUnit::detail {

class ByteFlow {
public:
    // A stalled window holds at most this many messages: about two seconds
    // of a 38 400-baud line, under the ten thousand a Windows message queue
    // takes before posts start to fail.
    static constexpr std::int64_t Limit = ByteMessagesInFlightLimit;
    // Once stopped, the reader reads again when the window has worked the
    // queue down to this, so that it wakes once per few thousand bytes
    // rather than once per byte taken.
    static constexpr std::int64_t ResumeMark = Limit / 2;

    // May `count` more messages be posted without passing the limit?
    bool HasRoomFor(std::size_t count) const
    {
        return inFlight_.load(std::memory_order_acquire) + static_cast<std::int64_t>(count) <= Limit;
    }

    bool MayResume() const { return inFlight_.load(std::memory_order_acquire) <= ResumeMark; }

    void Posted(std::size_t count)
    {
        inFlight_.fetch_add(static_cast<std::int64_t>(count), std::memory_order_acq_rel);
    }

    // True when this take brought the count down to the resume mark: the
    // caller then wakes a reader that may be waiting. Exactly one take
    // crosses the mark however the two threads interleave.
    bool Taken() { return inFlight_.fetch_sub(1, std::memory_order_acq_rel) - 1 == ResumeMark; }

    // A new message target starts with nothing in flight. Messages of the
    // old target still taken afterwards bring the count below zero, which
    // only gives the reader that much more room for a while.
    void ResetCount() { inFlight_.store(0, std::memory_order_release); }

    std::int64_t InFlight() const { return inFlight_.load(std::memory_order_acquire); }

private:
    std::atomic<std::int64_t> inFlight_{0};
};

}  // namespace PortUnit::detail
