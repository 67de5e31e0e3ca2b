// Bytes through an open port: the reader's messages and WriteComByte.
#include "PortUnit/PortUnit.h"
#include "pty_fixture.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <thread>

using namespace PortTest;

namespace {

class OpenPort : public ::testing::Test {
protected:
    void SetUp() override { PortUnit::OpenComPort(pty.slavePath(), 38400, 0, 8, 0); }

    static void write(const Bytes& bytes)
    {
        for (std::uint8_t byte : bytes)
            PortUnit::WriteComByte(1, byte);
    }

    Pty pty;
    ByteSink sink;        // after pty: closes the port before the master goes
    ThreadWatch threads;  // the reader is the one thread started after it
};

// With the window holding every message, the reader has stopped once all it
// counted as posted has reached the window and one more read's worth would
// pass the limit. Polled: how soon it gets there depends on the machine.
bool ReaderStopsAtTheLimit(const ByteSink& sink, std::chrono::milliseconds within)
{
    constexpr std::int64_t lastRoom = PortUnit::ByteMessagesInFlightLimit - 256;
    const auto stopped = [&sink] {
        const std::int64_t inFlight = PortUnit::ByteMessagesInFlight();
        return inFlight > lastRoom && static_cast<std::int64_t>(sink.count()) == inFlight;
    };
    return Settled(stopped, true, within);
}

TEST_F(OpenPort, EveryReceivedByteBecomesOneMessageInOrder)
{
    // More than one read's worth at once, with 0x00 among the bytes.
    Bytes sent(300);
    for (std::size_t i = 0; i < sent.size(); ++i)
        sent[i] = static_cast<std::uint8_t>(i);
    pty.send(sent);

    ASSERT_TRUE(sink.waitFor(sent.size(), 3s));
    const auto messages = sink.messages();
    ASSERT_EQ(messages.size(), sent.size());
    for (std::size_t i = 0; i < sent.size(); ++i) {
        EXPECT_EQ(messages[i].first, sent[i]) << "message " << i;
        EXPECT_EQ(messages[i].second, 1) << "message " << i;
    }
}

TEST_F(OpenPort, ControlBytesPassBothWaysUnchanged)
{
    // CR, XON, XOFF, LF, 0xFF: what a cooked terminal would translate,
    // swallow or echo.
    const Bytes control = {0x0D, 0x11, 0x13, 0x0A, 0xFF, 0x03, 0x7F};
    pty.send(control);
    ASSERT_TRUE(sink.waitFor(control.size(), 2s));
    EXPECT_EQ(sink.bytes(), control);
    EXPECT_TRUE(pty.receive(1, 100ms).empty()) << "nothing echoed back";

    write(control);
    EXPECT_EQ(pty.receive(control.size(), 2s), control);
}

TEST_F(OpenPort, FramesWrittenByteByByteArriveExactly)
{
    const Bytes frames[] = {
        {0xAA, 0xAA, 0xBF, 0x35, 0x01, 0x03, 0x01, 0xE1, 0x30},
        {0xAA, 0xAA, 0xBF, 0x35, 0x01, 0x03, 0x81, 0xE0, 0x90},
        {0xAA, 0xAA, 0xBF, 0x35, 0x01, 0x03, 0x00, 0x20, 0xF0},
        {0xAA, 0xAA, 0xBF, 0x35, 0x03, 0x09, 0x01, 0x3C, 0x00, 0x00, 0x03, 0x00, 0x00, 0x3B, 0x96},
        {0xAA, 0xAA, 0xBF, 0x35, 0x03, 0x09, 0x02, 0x00, 0x1E, 0x00, 0x03, 0x00, 0x00, 0xA5, 0xA8},
    };
    Bytes all;
    for (const Bytes& frame : frames) {
        write(frame);
        all.insert(all.end(), frame.begin(), frame.end());
    }
    EXPECT_EQ(pty.receive(all.size(), 2s), all);
}

TEST_F(OpenPort, OnlyChannelOneIsWritten)
{
    for (std::int32_t channel : {0, 2, -1, 255})
        PortUnit::WriteComByte(channel, 0x5A);
    PortUnit::WriteComByte(1, 0x33);
    // A byte of another channel would come before this one.
    EXPECT_EQ(pty.receive(1, 2s), Bytes{0x33});
}

TEST_F(OpenPort, WritesWithoutAnOpenPortGoNowhere)
{
    PortUnit::CloseComPort(true);
    write({0x01, 0x02});
    PortUnit::OpenComPort(pty.slavePath(), 38400, 0, 8, 0);
    write({0x03});
    EXPECT_EQ(pty.receive(1, 2s), Bytes{0x03});
}

TEST_F(OpenPort, NoMessageAfterCloseReturnsWhileThePeerKeepsSending)
{
    std::atomic<bool> sending{true};
    std::thread peer([&] {
        const Bytes chunk(64, 0x55);
        while (sending.load()) {
            // Once the port is closed nobody drains the line; keep trying.
            if (::write(pty.master(), chunk.data(), chunk.size()) < 0)
                std::this_thread::sleep_for(1ms);
        }
    });
    ASSERT_TRUE(sink.waitFor(1000, 3s));

    PortUnit::CloseComPort(true);
    const std::size_t atClose = sink.count();
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(sink.count(), atClose);

    sending.store(false);
    peer.join();
}

// A line faster than the window: the window stops taking messages while the
// peer sends three limits' worth. The reader stops at the limit, costs no
// processor while it waits, and once the window takes its messages every
// byte arrives, in order, none lost: the rest waited in the terminal.
TEST_F(OpenPort, AWindowThatFallsBehindHoldsTheReaderAtTheLimitAndLosesNothing)
{
    constexpr std::size_t limit = PortUnit::ByteMessagesInFlightLimit;
    Bytes sent(3 * limit);
    for (std::size_t i = 0; i < sent.size(); ++i)
        sent[i] = static_cast<std::uint8_t>(i * 7 + i / 256);
    sink.hold();
    std::thread peer([&] { pty.send(sent); });

    ASSERT_TRUE(ReaderStopsAtTheLimit(sink, 10s)) << sink.count() << " messages taken";
    const std::size_t atLimit = sink.count();
    const auto cpuBefore = threads.startedCpuTime();
    const auto wallBefore = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(1s);
    EXPECT_LE(atLimit, limit);
    EXPECT_EQ(sink.count(), atLimit) << "the reader kept reading past the limit";
    EXPECT_EQ(PortUnit::ByteMessagesInFlight(), static_cast<std::int64_t>(atLimit));
    // The reader's and the peer's processor time; the peer polls ten times
    // a second for room on the line.
    const auto cpu = threads.startedCpuTime() - cpuBefore;
    EXPECT_LT(cpu * 50, std::chrono::steady_clock::now() - wallBefore)
        << "waiting at the limit used " << cpu.count() / 1000 << " us of processor in 1 s";

    sink.takeHeld();
    ASSERT_TRUE(sink.waitFor(sent.size(), 10s)) << sink.count() << " of " << sent.size();
    peer.join();
    EXPECT_TRUE(sink.bytes() == sent);
    // The sink counts a message as arrived a moment before it reports it
    // taken, on the reader's thread, which a busy machine can stretch.
    EXPECT_EQ(Settled([] { return PortUnit::ByteMessagesInFlight(); }, std::int64_t{0}), 0);
}

TEST_F(OpenPort, AReaderHeldAtTheLimitStillClosesPromptly)
{
    sink.hold();
    std::atomic<bool> sending{true};
    std::thread peer([&] {
        const Bytes chunk(256, 0x5A);
        while (sending.load()) {
            if (::write(pty.master(), chunk.data(), chunk.size()) < 0)
                std::this_thread::sleep_for(1ms);
        }
    });
    ASSERT_TRUE(ReaderStopsAtTheLimit(sink, 10s)) << sink.count() << " messages taken";

    const auto closing = std::chrono::steady_clock::now();
    PortUnit::CloseComPort(true);
    EXPECT_LT(std::chrono::steady_clock::now() - closing, 200ms)
        << "closing waited for the reader; a machine so busy that a woken thread waits 200 ms for a "
           "processor "
           "fails this too";
    EXPECT_FALSE(PortUnit::IsReaderRunning());
    sending.store(false);
    peer.join();
    sink.takeHeld();
}

// A line that brings a few bytes every 5 ms, as a UART does: the reader
// lets them gather instead of waking for each delivery, and still hands
// every byte over within a few tens of milliseconds.
TEST_F(OpenPort, TrickledBytesAreGatheredNotWokenForOneByOne)
{
    const auto wakeUpsBefore = threads.startedWakeUps();
    Bytes sent;
    const auto start = std::chrono::steady_clock::now();
    for (int slice = 0; slice < 200; ++slice) {  // one second
        const Bytes bytes(19, static_cast<std::uint8_t>(slice));
        pty.send(bytes);
        sent.insert(sent.end(), bytes.begin(), bytes.end());
        std::this_thread::sleep_until(start + (slice + 1) * 5ms);
    }
    const auto lastSent = std::chrono::steady_clock::now();
    ASSERT_TRUE(sink.waitFor(sent.size(), 2s));
    const auto lastArrived = std::chrono::steady_clock::now();
    const auto wakeUps = threads.startedWakeUps() - wakeUpsBefore;

    EXPECT_TRUE(sink.bytes() == sent);
    EXPECT_LT(lastArrived - lastSent, 100ms)
        << "the last bytes took "
        << std::chrono::duration_cast<std::chrono::milliseconds>(lastArrived - lastSent).count()
        << " ms; beyond the 20 ms gathering, only a machine that keeps woken threads from a processor for "
           "80 ms makes them this late";
    // Without gathering some 200 to 300; with it about one a 20 ms batch.
    EXPECT_LT(wakeUps, 130u) << "the reader woke for nearly every delivery";
}

TEST_F(OpenPort, AHungUpLineCostsNoProcessorAndStillClosesPromptly)
{
    pty.send({0x01, 0x02});
    ASSERT_TRUE(sink.waitFor(2, 2s));
    pty.closeMaster();  // the adapter is gone

    const auto cpuBefore = threads.startedCpuTime();
    const auto wallBefore = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(3s);
    const auto cpu = threads.startedCpuTime() - cpuBefore;
    const auto wall = std::chrono::steady_clock::now() - wallBefore;
    EXPECT_LT(cpu * 100, wall) << "reader used " << cpu.count() / 1000 << " us of processor in 3 s";
    EXPECT_TRUE(PortUnit::IsReaderRunning()) << "the reader keeps trying until stopped";
    EXPECT_EQ(sink.count(), 2u);

    const auto closing = std::chrono::steady_clock::now();
    PortUnit::CloseComPort(true);
    EXPECT_LT(std::chrono::steady_clock::now() - closing, 200ms)
        << "closing waited for the reader; a machine so busy that a woken thread waits 200 ms for a "
           "processor "
           "fails this too";
    EXPECT_FALSE(PortUnit::IsReaderRunning());
}

TEST_F(OpenPort, AFullOutputBufferIsWaitedOutNotCutShort)
{
    // Far more than the terminal buffers hold, to a peer that stops reading
    // for a while now and then: every byte must arrive, in order.
    Bytes sent(120000);
    for (std::size_t i = 0; i < sent.size(); ++i)
        sent[i] = static_cast<std::uint8_t>(i * 7 + i / 256);

    Bytes received;
    std::thread slowPeer([&] {
        std::size_t nextPause = 0;
        while (received.size() < sent.size()) {
            if (received.size() >= nextPause) {
                std::this_thread::sleep_for(100ms);
                nextPause += 40000;
            }
            Bytes chunk = pty.receive(4096, 2s);
            if (chunk.empty())
                break;
            received.insert(received.end(), chunk.begin(), chunk.end());
        }
    });
    write(sent);
    slowPeer.join();
    ASSERT_EQ(received.size(), sent.size());
    EXPECT_TRUE(received == sent);
}

TEST_F(OpenPort, APeerThatNeverReadsCannotHoldTheWriterForLong)
{
    // Nobody reads the master: the buffers fill, and from then on the
    // writer waits once, briefly, and then drops bytes without waiting.
    // What is measured is the time the writer spent blocked: the wall time
    // less its time on a processor and its time waiting for one, so that a
    // busy machine, which only stretches the latter two, cannot fail it.
    const auto start = std::chrono::steady_clock::now();
    const ThreadTimes before = CallingThreadTimes();
    int written = 0;
    for (; written < 200000; ++written) {
        PortUnit::WriteComByte(1, 0x66);
        if (written % 1000 == 0 && std::chrono::steady_clock::now() - start > 20s)
            break;
    }
    const ThreadTimes after = CallingThreadTimes();
    const auto wall = std::chrono::steady_clock::now() - start;
    const auto blocked =
        wall - (after.running - before.running) - (after.waitingForProcessor - before.waitingForProcessor);
    EXPECT_EQ(written, 200000) << "20 s were not enough for the bytes";
    EXPECT_LT(blocked, 1500ms) << "the writer was blocked for "
                               << std::chrono::duration_cast<std::chrono::milliseconds>(blocked).count()
                               << " ms of "
                               << std::chrono::duration_cast<std::chrono::milliseconds>(wall).count()
                               << " ms; one wait for room is 500 ms";

    // What did get into the buffers arrives intact, and once the peer reads
    // again the writer delivers again.
    Bytes buffered = pty.receive(200000, 1s);
    ASSERT_FALSE(buffered.empty());
    EXPECT_EQ(buffered, Bytes(buffered.size(), 0x66));
    write({0x01, 0x02, 0x03});
    EXPECT_EQ(pty.receive(3, 1s), (Bytes{0x01, 0x02, 0x03}));
}

}  // namespace
