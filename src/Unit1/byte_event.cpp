#include "Unit1/byte_event.h"

namespace Unit1 {

void ByteMessageRelay::post(void* queue, std::uint32_t wparam, std::intptr_t lparam)
{
    auto& self = *static_cast<ByteMessageRelay*>(queue);
    bool wake = false;
    {
        const SpinGuard guard(self.lock_);
        self.messages_.push_back({wparam, lparam});
        wake = !self.wakePending_;
        self.wakePending_ = true;
    }
    if (wake) {
        auto* event = new QEvent(wakeType());
#ifdef KALVI7_TSAN_HANDOFF
        __tsan_release(event);
#endif
        QCoreApplication::postEvent(self.window_, event);
    }
}

QEvent::Type ByteMessageRelay::wakeType()
{
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

void ByteMessageRelay::deliver()
{
    std::size_t waiting = 0;
    {
        const SpinGuard guard(lock_);
        wakePending_ = false;  // this is the wake, being delivered
        waiting = messages_.size();
    }
    for (; waiting > 0; --waiting) {
        Message message{};
        bool wake = false;
        {
            const SpinGuard guard(lock_);
            if (messages_.empty())
                break;  // a nested delivery took them
            message = messages_.front();
            messages_.pop_front();
            // Whatever still waits has a wake of its own, so that a handler
            // that runs a nested event loop (a modal box) still receives
            // the bytes behind this one, as it would posted events.
            wake = !messages_.empty() && !wakePending_;
            wakePending_ = wakePending_ || wake;
        }
        if (wake)
            QCoreApplication::postEvent(window_, new QEvent(wakeType()));
        ByteEvent event(message.wparam, message.lparam);
        QCoreApplication::sendEvent(window_, &event);
    }
}

}  // namespace Unit1
