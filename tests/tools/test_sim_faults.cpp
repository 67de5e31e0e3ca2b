// Faults the simulator puts on the line when asked to.
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "protocol/frame.h"
#include "sim_port.h"

using namespace simtest;
using namespace protocol;

TEST(SimFaults, BadCrcOnEveryNthFrame)
{
    SimProcess sim({"--warmup", "0", "--bad-crc", "2"});
    Port port(sim.linePath());
    port.request(RQ_TELEMETRY | RQ_CALIBRATION | RQ_SETTINGS | RQ_STATE);
    const auto frames = port.collect(4, 2s);
    ASSERT_EQ(typesOf(frames),
              (std::vector<std::uint8_t>{PT_TELEMETRY, PT_CALIBRATION, PT_SETTINGS, PT_STATE}));
    EXPECT_TRUE(frames[0].crcGood);
    EXPECT_FALSE(frames[1].crcGood);
    EXPECT_TRUE(frames[2].crcGood);
    EXPECT_FALSE(frames[3].crcGood);
}

TEST(SimFaults, NoiseGoesBetweenFramesNotIntoThem)
{
    SimProcess sim({"--warmup", "0", "--noise"});
    Port port(sim.linePath());
    std::size_t frameBytes = 0;
    for (int round = 0; round < 5; ++round) {
        port.request(RQ_TELEMETRY | RQ_CALIBRATION | RQ_SETTINGS | RQ_STATE);
        const auto frames = port.collect(4, 2s);
        ASSERT_EQ(typesOf(frames),
                  (std::vector<std::uint8_t>{PT_TELEMETRY, PT_CALIBRATION, PT_SETTINGS, PT_STATE}));
        for (const auto& f : frames) {
            EXPECT_TRUE(f.crcGood);
            frameBytes += wireSize(f.body.size());
        }
    }
    // Let the last frame's trailing bytes (none: noise precedes frames) settle.
    port.collectFor(100ms);
    EXPECT_GE(port.bytesRead(), frameBytes + 20) << "one to eight noise bytes before each frame";
}

TEST(SimFaults, SilenceLosesRequestsForItsSpan)
{
    // Three-second cycle: two seconds of service, then one of silence. The
    // simulator's own log says when the silence begins and ends, so that
    // how late a busy machine lets the test look at the clock cannot move
    // a request out of the span it is meant for.
    SimProcess sim({"--warmup", "0", "--silence", "1,3", "--verbose"});
    const auto logged = [&sim](const std::string& text) {
        const auto until = Clock::now() + 5s;
        while (sim.errText().find(text) == std::string::npos) {
            if (Clock::now() > until)
                return false;
            std::this_thread::sleep_for(5ms);
        }
        return true;
    };
    Port port(sim.linePath());
    port.request(RQ_STATE);
    EXPECT_EQ(port.collect(1, 1s).size(), 1u) << "answers before the silence";

    ASSERT_TRUE(logged("radio silence begins")) << sim.errText();
    port.request(RQ_STATE);
    EXPECT_TRUE(port.collectFor(500ms).empty()) << "a request in the silence is lost";

    ASSERT_TRUE(logged("radio silence ends")) << sim.errText();
    port.request(RQ_STATE);
    EXPECT_EQ(port.collect(1, 1s).size(), 1u) << "answers again after it";
}
