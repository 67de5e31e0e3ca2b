// One received byte on its way from the port's reader thread to the window:
// the reader posts it, the window's event loop delivers it in order on the
// user-interface thread.
#pragma once

#include <QCoreApplication>
#include <QEvent>

#include <cstdint>

// Qt hands a posted event from the posting thread to the receiving one under
// its queue's lock. Under ThreadSanitizer that lock is invisible when Qt
// itself is not built with the sanitizer, as Debian's is not, and every
// read of a byte event on the user-interface thread would be reported as
// racing with the reader thread that made it. In such a build the poster
// releases the event and the window acquires whatever event it is given
// before it reads it, which states to the sanitizer what the queue's lock
// does; in every other build both are nothing.
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

class ByteEvent : public QEvent {
public:
    static QEvent::Type eventType()
    {
        static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
        return type;
    }

    ByteEvent(std::uint32_t wparam, std::intptr_t lparam)
        : QEvent(eventType()), wparam(wparam), lparam(lparam)
    {
    }

    // Runs on the reader thread: queues the byte for the window and nothing
    // else (postEvent is safe to call from any thread).
    static void post(void* window, std::uint32_t wparam, std::intptr_t lparam)
    {
        auto* event = new ByteEvent(wparam, lparam);
#ifdef KALVI7_TSAN_HANDOFF
        __tsan_release(event);
#endif
        QCoreApplication::postEvent(static_cast<QObject*>(window), event);
    }

    // Called by the window for every event it is given, before it reads it.
    static void arrived([[maybe_unused]] QEvent* event)
    {
#ifdef KALVI7_TSAN_HANDOFF
        __tsan_acquire(event);
#endif
    }

    const std::uint32_t wparam;
    const std::intptr_t lparam;
};
