// One received byte on its way from the port's reader thread to the window:
// the reader posts it, the window's event loop delivers it in order on the
// user-interface thread.
#pragma once

#include <QCoreApplication>
#include <QEvent>

#include <cstdint>

class ByteEvent : public QEvent {
public:
    static QEvent::Type eventType()
    {
        static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
        return type;
    }

    ByteEvent(std::uint32_t w, std::intptr_t l)
        : QEvent(eventType()), wparam(w), lparam(l)
    {
    }

    // Runs on the reader thread: queues the byte for the window and nothing
    // else (postEvent is safe to call from any thread).
    static void post(void* window, std::uint32_t wparam, std::intptr_t lparam)
    {
        QCoreApplication::postEvent(static_cast<QObject*>(window), new ByteEvent(wparam, lparam));
    }

    const std::uint32_t wparam;
    const std::intptr_t lparam;
};
