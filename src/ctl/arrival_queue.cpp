#include "ctl/arrival_queue.h"

#include "PortUnit/PortUnit.h"

namespace ctl {

void ArrivalQueue::push(std::uint8_t byte, Clock::time_point at)
{
    {
        const std::lock_guard<std::mutex> hold(lock_);
        bytes_.push_back({byte, at});
    }
    arrived_.notify_one();
}

std::optional<Arrival> ArrivalQueue::pop(Clock::time_point until)
{
    std::unique_lock<std::mutex> hold(lock_);
    if (!arrived_.wait_until(hold, until, [this] { return !bytes_.empty(); }))
        return std::nullopt;
    const Arrival arrival = bytes_.front();
    bytes_.pop_front();
    hold.unlock();
    // The driver stops reading while too many bytes wait untaken; taking
    // them here keeps a slow consumer's memory bounded the same way.
    PortUnit::ByteMessageTaken();
    return arrival;
}

void ArrivalQueue::post(void* context, std::uint32_t wparam, std::intptr_t lparam)
{
    if (lparam != 1)
        return;
    static_cast<ArrivalQueue*>(context)->push(static_cast<std::uint8_t>(wparam & 0xFFu), Clock::now());
}

}  // namespace ctl
