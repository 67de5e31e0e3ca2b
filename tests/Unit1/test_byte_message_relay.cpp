// The byte messages' way to the window: every message arrives once, in
// order, as a ByteEvent; one wake serves all that wait; a delivery leaves
// what comes meanwhile to the next wake; a nested event loop in a handler
// still receives the messages behind the current one.

#include <gtest/gtest.h>

#include <QCoreApplication>

#include <cstdint>
#include <functional>
#include <thread>
#include <vector>

#include "Unit1/byte_event.h"

using Unit1::ByteEvent;
using Unit1::ByteMessageRelay;

namespace {

class Receiver : public QObject {
public:
    ByteMessageRelay queue{this};
    std::vector<std::uint32_t> bytes;
    int wakes = 0;
    std::function<void(std::uint32_t)> onByte;

    bool event(QEvent* e) override
    {
        ByteMessageRelay::arrived(e);
        if (e->type() == ByteMessageRelay::wakeType()) {
            ++wakes;
            queue.deliver();
            return true;
        }
        if (e->type() == ByteEvent::eventType()) {
            const auto* byte = static_cast<const ByteEvent*>(e);
            EXPECT_EQ(byte->lparam, 1);
            bytes.push_back(byte->wparam);
            if (onByte)
                onByte(byte->wparam);
            return true;
        }
        return QObject::event(e);
    }

    void pump()
    {
        for (int i = 0; i < 5; ++i)
            QCoreApplication::processEvents();
    }
};

std::vector<std::uint32_t> upTo(std::uint32_t n)
{
    std::vector<std::uint32_t> all;
    for (std::uint32_t i = 1; i <= n; ++i)
        all.push_back(i);
    return all;
}

TEST(ByteMessageRelay, OneWakeDeliversEveryMessageWaitingInOrder)
{
    Receiver receiver;
    for (std::uint32_t byte : upTo(100))
        ByteMessageRelay::post(&receiver.queue, byte, 1);
    receiver.pump();
    EXPECT_EQ(receiver.bytes, upTo(100));
    // The wake that delivers them, and the one kept ready meanwhile for a
    // nested event loop, which finds nothing left.
    EXPECT_LE(receiver.wakes, 2);
}

TEST(ByteMessageRelay, MessagesFromTheReaderThreadArriveOnceAndInOrder)
{
    Receiver receiver;
    constexpr std::uint32_t kCount = 20000;
    std::thread reader([&receiver] {
        for (std::uint32_t byte : upTo(kCount))
            ByteMessageRelay::post(&receiver.queue, byte, 1);
    });
    while (receiver.bytes.size() < kCount && receiver.wakes < static_cast<int>(kCount) + 10)
        QCoreApplication::processEvents();
    reader.join();
    receiver.pump();
    EXPECT_EQ(receiver.bytes, upTo(kCount));
    EXPECT_LE(receiver.wakes, static_cast<int>(kCount));
}

TEST(ByteMessageRelay, WhatComesDuringADeliveryWaitsForTheNextWake)
{
    Receiver receiver;
    ByteMessageRelay::post(&receiver.queue, 1, 1);
    ByteMessageRelay::post(&receiver.queue, 2, 1);
    receiver.onByte = [&receiver](std::uint32_t byte) {
        if (byte == 1)
            ByteMessageRelay::post(&receiver.queue, 3, 1);
    };
    receiver.queue.deliver();
    EXPECT_EQ(receiver.bytes, upTo(2)) << "a line faster than the window must not hold it in one delivery";
    receiver.pump();
    EXPECT_EQ(receiver.bytes, upTo(3));
}

TEST(ByteMessageRelay, ANestedEventLoopInAHandlerReceivesTheMessagesBehind)
{
    Receiver receiver;
    std::vector<std::uint32_t> seenInsideTheNestedLoop;
    receiver.onByte = [&](std::uint32_t byte) {
        if (byte != 1)
            return;
        const std::size_t before = receiver.bytes.size();
        receiver.pump();  // as a modal box would
        seenInsideTheNestedLoop.assign(receiver.bytes.begin() + static_cast<std::ptrdiff_t>(before),
                                       receiver.bytes.end());
    };
    for (std::uint32_t byte : upTo(4))
        ByteMessageRelay::post(&receiver.queue, byte, 1);
    receiver.pump();
    EXPECT_EQ(seenInsideTheNestedLoop, (std::vector<std::uint32_t>{2, 3, 4}));
    EXPECT_EQ(receiver.bytes, upTo(4)) << "each message once, in order";
}

}  // namespace
