// Received bytes on their way from the port's reader thread to the window.
//
// The reader hands over every byte as one message (byte, 1), in arrival
// order. Posting each as an event of its own would cost an allocation, a
// lock and a wake-up of the window's thread per byte: at a full 38 400-baud
// line some four thousand a second, more than the window's own work on
// them. So the messages wait in the window's ByteMessageRelay, in order, and the
// window's thread is woken once for all the messages that come while it has
// not yet turned to them. It then delivers them one by one, each as a
// ByteEvent sent to the window, exactly as if each had been posted.
#pragma once

#include <QCoreApplication>
#include <QEvent>

#include <cstdint>
#include <deque>

#include "common/spin_lock.h"

// Qt hands a posted event to the receiving thread under its queue's lock,
// which ThreadSanitizer cannot see in a Qt not built with it (Debian's). In
// such a build the reader releases the wake event it makes and the window
// acquires every event before reading it, stating what the lock does; in
// every other build both are nothing.
#if defined(__SANITIZE_THREAD__)
#define KALVI7_TSAN_HANDOFF 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define KALVI7_TSAN_HANDOFF 1
#endif
#endif
#ifdef KALVI7_TSAN_HANDOFF
extern "C" void __tsan_acquire(void* address);
extern "C" void __tsan_release(void* address);
#endif

namespace Unit1 {

class ByteEvent : public QEvent {
public:
    static QEvent::Type eventType()
    {
        static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
        return type;
    }

    ByteEvent(std::uint32_t w, std::intptr_t l) : QEvent(eventType()), wparam(w), lparam(l) {}

    const std::uint32_t wparam;
    const std::intptr_t lparam;
};

class ByteMessageRelay {
public:
    explicit ByteMessageRelay(QObject* window) : window_(window) {}
    ByteMessageRelay(const ByteMessageRelay&) = delete;
    ByteMessageRelay& operator=(const ByteMessageRelay&) = delete;

    // Runs on the reader thread (a PortUnit::ByteMessagePoster, the queue its
    // context): queues the message and wakes the window if it is not already
    // due to look, and nothing else.
    static void post(void* queue, std::uint32_t wparam, std::intptr_t lparam);

    // The event that tells the window messages wait.
    static QEvent::Type wakeType();

    // Called by a receiver for every event it is given, before it reads it.
    static void arrived([[maybe_unused]] QEvent* event)
    {
#ifdef KALVI7_TSAN_HANDOFF
        __tsan_acquire(event);
#endif
    }

    // On the window's thread, for the wake event: sends each message that
    // waited when it began to the window as a ByteEvent, oldest first.
    // Messages that come meanwhile wait for the next wake, so that a line
    // faster than the window still leaves room for painting and timers.
    // Safe to enter again from a handler that runs a nested event loop:
    // each message is taken off the queue before it is sent.
    void deliver();

private:
    struct Message {
        std::uint32_t wparam;
        std::intptr_t lparam;
    };

    QObject* const window_;
    SpinLock lock_;  // held only to push, pop or look at the flag
    std::deque<Message> messages_;
    // A wake event is posted and not yet being delivered; always so while
    // messages wait.
    bool wakePending_ = false;
};

}  // namespace Unit1
