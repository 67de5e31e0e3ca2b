// What the driver does on either system, against a peer on the far end of
// the line (line_peer.h): the same cases, the same expectations, a
// pseudo-terminal on Linux and a COM port pair on Windows.
#include "PortUnit/PortUnit.h"
#include "byte_sink.h"
#include "line_peer.h"
#include "settled.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

using namespace PortTest;

namespace {

struct OpenOutcome {
    std::string text;
    std::string reason;
};

OpenOutcome Open(const std::string& path)
{
    try {
        PortUnit::OpenComPort(path, 38400, 0, 8, 0);
    } catch (const PortUnit::PortError& error) {
        return {error.what(), error.reason()};
    }
    return {};
}

bool StartsWith(const std::string& text, const std::string& start) { return text.rfind(start, 0) == 0; }

class Line : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (const std::string why = LinePeerUnavailable(); !why.empty())
            GTEST_SKIP() << why;
        peer = MakeLinePeer();
        // One thread started and joined first, so that a helper thread a
        // runtime starts along with a process's first thread
        // (ThreadSanitizer's own) is part of the baseline, not counted as a
        // reader left running.
        std::thread([] {}).join();
        threadsBefore = ThreadCount();
    }

    void TearDown() override { PortUnit::CloseComPort(true); }

    void openPort()
    {
        const OpenOutcome outcome = Open(peer->driverPath());
        ASSERT_EQ(outcome.text, "") << outcome.reason;
    }

    static void write(const Bytes& bytes)
    {
        for (std::uint8_t byte : bytes)
            PortUnit::WriteComByte(1, byte);
    }

    std::unique_ptr<LinePeer> peer;
    ByteSink sink;  // after peer: closes the port before the peer goes
    std::size_t threadsBefore = 0;
};

TEST_F(Line, BytesQueuedAtOnceBecomeOneMessageEachInOrder)
{
    openPort();
    // More than one read's worth, with 0x00 among the bytes.
    Bytes sent(300);
    for (std::size_t i = 0; i < sent.size(); ++i)
        sent[i] = static_cast<std::uint8_t>(i);
    peer->send(sent);

    ASSERT_TRUE(sink.waitFor(sent.size(), 5s)) << sink.count() << " of " << sent.size();
    const auto messages = sink.messages();
    ASSERT_EQ(messages.size(), sent.size());
    for (std::size_t i = 0; i < sent.size(); ++i) {
        EXPECT_EQ(messages[i].first, sent[i]) << "message " << i;
        EXPECT_EQ(messages[i].second, 1) << "message " << i;
    }
}

TEST_F(Line, ControlBytesPassBothWaysUnchanged)
{
    openPort();
    // CR, XON, XOFF, LF, 0xFF, ^C, DEL, NUL: what a cooked line would
    // translate, swallow or echo.
    const Bytes control = {0x0D, 0x11, 0x13, 0x0A, 0xFF, 0x03, 0x7F, 0x00};
    peer->send(control);
    ASSERT_TRUE(sink.waitFor(control.size(), 3s));
    EXPECT_EQ(sink.bytes(), control);
    EXPECT_TRUE(peer->receive(1, 200ms).empty()) << "nothing echoed back";

    write(control);
    EXPECT_EQ(peer->receive(control.size(), 3s), control);
}

TEST_F(Line, OnlyChannelOneIsWritten)
{
    openPort();
    for (std::int32_t channel : {0, 2, -1, 255})
        PortUnit::WriteComByte(channel, 0x5A);
    PortUnit::WriteComByte(1, 0x33);
    // A byte of another channel would come before this one.
    EXPECT_EQ(peer->receive(2, 1s), Bytes{0x33});
}

// A port whose wait for received characters fails (Wine's on a port without
// modem lines) must not hold bytes back until a retry: after a silence, a
// byte still arrives at once.
TEST_F(Line, AByteAfterASilenceArrivesPromptly)
{
    openPort();
    std::this_thread::sleep_for(2s);
    const auto sent = std::chrono::steady_clock::now();
    peer->send({0x42});
    ASSERT_TRUE(sink.waitFor(1, 3s));
    const auto late = std::chrono::steady_clock::now() - sent;
    EXPECT_LT(late, 250ms) << "the byte took "
                           << std::chrono::duration_cast<std::chrono::milliseconds>(late).count() << " ms";
}

TEST_F(Line, CloseWithFalseDoesNothing)
{
    openPort();
    PortUnit::CloseComPort(false);
    EXPECT_TRUE(PortUnit::IsPortOpen());
    EXPECT_TRUE(PortUnit::IsReaderRunning());
    peer->send({0x10});
    EXPECT_TRUE(sink.waitFor(1, 3s));
}

// As the operator changing the port in the selector again and again.
TEST_F(Line, ChangingThePortAgainAndAgainLeavesOnePortAndOneReader)
{
    for (int cycle = 0; cycle < 20; ++cycle) {
        PortUnit::CloseComPort(true);
        const OpenOutcome outcome = Open(peer->driverPath());
        ASSERT_EQ(outcome.text, "") << "cycle " << cycle << ": " << outcome.reason;
    }
    EXPECT_TRUE(PortUnit::IsPortOpen());
    EXPECT_TRUE(PortUnit::IsReaderRunning());
    peer->send({0xA5});
    ASSERT_TRUE(sink.waitFor(1, 3s));
    EXPECT_FALSE(sink.waitFor(2, 200ms)) << "a byte delivered twice";

    PortUnit::CloseComPort(true);
    EXPECT_FALSE(PortUnit::IsPortOpen());
    EXPECT_FALSE(PortUnit::IsReaderRunning());
    EXPECT_EQ(Settled([] { return ThreadCount(); }, threadsBefore), threadsBefore) << "a reader left running";
}

TEST_F(Line, NoMessageAfterCloseReturnsWhileThePeerKeepsSending)
{
    openPort();
    std::atomic<bool> sending{true};
    std::thread radiosonde([&] {
        while (sending.load()) {
            peer->send(Bytes(16, 0x55));
            std::this_thread::sleep_for(5ms);
        }
    });
    ASSERT_TRUE(sink.waitFor(160, 5s));

    PortUnit::CloseComPort(true);
    const std::size_t atClose = sink.count();
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(sink.count(), atClose);

    sending.store(false);
    radiosonde.join();
}

TEST_F(Line, APortThatIsNotThereIsRefusedWithItsReason)
{
    const OpenOutcome outcome = Open(MissingPortPath());
    EXPECT_EQ(outcome.text, "Ошибка: порт стенда не открыт");
    EXPECT_TRUE(StartsWith(outcome.reason, "Такого порта нет (")) << outcome.reason;
    EXPECT_FALSE(PortUnit::IsPortOpen());
    EXPECT_FALSE(PortUnit::IsReaderRunning());
}

TEST_F(Line, APortAnotherProgramHoldsIsRefusedAsBusy)
{
    if (const std::string why = peer->holdDriverEnd(); !why.empty())
        GTEST_SKIP() << why;
    const OpenOutcome held = Open(peer->driverPath());
    EXPECT_EQ(held.text, "Ошибка: порт стенда не открыт");
    EXPECT_TRUE(StartsWith(held.reason, "Порт занят другой программой")) << held.reason;
    EXPECT_FALSE(PortUnit::IsPortOpen());
    EXPECT_FALSE(PortUnit::IsReaderRunning());

    peer->releaseDriverEnd();
    openPort();
    peer->send({0x24});
    EXPECT_TRUE(sink.waitFor(1, 3s));
}

}  // namespace
