// The part of the serial driver that is the same on every system: the byte
// message target and the counting of messages posted and taken.
#include "PortUnit/port_common.h"
#include "common/spin_lock.h"

#include <atomic>

namespace PortUnit {

namespace detail {

ByteFlow Flow;

}  // namespace detail

namespace {

// The target is swapped on the window's thread and read by the reader once
// per delivery; the lock keeps the pair consistent.
SpinLock TargetLock;
ByteMessagePoster TargetPoster = nullptr;
void* TargetContext = nullptr;

}  // namespace

void detail::PostBytes(const std::uint8_t* bytes, std::size_t count)
{
    ByteMessagePoster poster;
    void* context;
    {
        const SpinGuard guard(TargetLock);
        poster = TargetPoster;
        context = TargetContext;
    }
    if (poster == nullptr)
        return;
    // Counted before posting: the window may take a message before the
    // poster has returned.
    Flow.Posted(count);
    for (std::size_t i = 0; i < count; ++i)
        poster(context, bytes[i], 1);
}

void SetByteMessageTarget(ByteMessagePoster poster, void* context)
{
    {
        const SpinGuard guard(TargetLock);
        TargetPoster = poster;
        TargetContext = context;
        detail::Flow.ResetCount();
    }
    detail::SignalRoom();
}

void ByteMessageTaken()
{
    if (detail::Flow.Taken())
        detail::SignalRoom();
}

std::int64_t ByteMessagesInFlight() { return detail::Flow.InFlight(); }

}  // namespace PortUnit
