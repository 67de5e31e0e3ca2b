// Faults the simulator puts on the line when asked to.
#include <gtest/gtest.h>

#include <thread>

#include "frame.h"
#include "sim_process.h"

using namespace simtest;
using namespace protocol;

TEST(SimFaults, BadCrcOnEveryNthFrame)
{
    SimProcess sim({"--warmup", "0", "--bad-crc", "2"});
    Port port(sim.firstLine());
    port.request(RQ_TELEMETRY | RQ_CALIBRATION | RQ_SETTINGS | RQ_STATE);
    const auto frames = port.collect(4, 2s);
    ASSERT_EQ(typesOf(frames), (std::vector<std::uint8_t>{PT_TELEMETRY, PT_CALIBRATION,
                                                          PT_SETTINGS, PT_STATE}));
    EXPECT_TRUE(frames[0].crcGood);
    EXPECT_FALSE(frames[1].crcGood);
    EXPECT_TRUE(frames[2].crcGood);
    EXPECT_FALSE(frames[3].crcGood);
}

TEST(SimFaults, NoiseGoesBetweenFramesNotIntoThem)
{
    SimProcess sim({"--warmup", "0", "--noise"});
    Port port(sim.firstLine());
    std::size_t frameBytes = 0;
    for (int round = 0; round < 5; ++round) {
        port.request(RQ_TELEMETRY | RQ_CALIBRATION | RQ_SETTINGS | RQ_STATE);
        const auto frames = port.collect(4, 2s);
        ASSERT_EQ(typesOf(frames), (std::vector<std::uint8_t>{PT_TELEMETRY, PT_CALIBRATION,
                                                              PT_SETTINGS, PT_STATE}));
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
    // Three-second cycle: two seconds of service, then one of silence.
    SimProcess sim({"--warmup", "0", "--silence", "1,3"});
    const auto start = Clock::now();
    Port port(sim.firstLine());
    port.request(RQ_STATE);
    EXPECT_EQ(port.collect(1, 500ms).size(), 1u) << "answers before the silence";

    std::this_thread::sleep_until(start + 2300ms);
    port.request(RQ_STATE);
    EXPECT_TRUE(port.collectFor(500ms).empty()) << "a request in the silence is lost";

    std::this_thread::sleep_until(start + 3300ms);
    port.request(RQ_STATE);
    EXPECT_EQ(port.collect(1, 500ms).size(), 1u) << "answers again after it";
}
