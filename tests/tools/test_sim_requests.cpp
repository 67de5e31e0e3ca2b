// How the simulated radiosonde answers the request mask and the two writes.
#include <gtest/gtest.h>

#include <algorithm>

#include "protocol/frame.h"
#include "protocol/host_frames.h"
#include "sim_port.h"

using namespace simtest;
using namespace protocol;

namespace {

// Every test gets a radiosonde that has its fix, so telemetry is complete.
const std::vector<std::string> kQuickStart{"--warmup", "0"};

Received only(const std::vector<Received>& frames, std::uint8_t type)
{
    EXPECT_EQ(frames.size(), 1u);
    EXPECT_FALSE(frames.empty());
    if (frames.empty())
        return {};
    EXPECT_EQ(frames[0].type(), type);
    EXPECT_TRUE(frames[0].crcGood);
    return frames[0];
}

}  // namespace

TEST(SimRequests, ServiceMaskAnswersEachBitOnceInOrder)
{
    SimProcess sim(kQuickStart);
    Port port(sim.linePath());
    port.request(RQ_TELEMETRY | RQ_CALIBRATION | RQ_SETTINGS | RQ_STATE);
    const auto frames = port.collect(4, 2s);
    ASSERT_EQ(typesOf(frames),
              (std::vector<std::uint8_t>{PT_TELEMETRY, PT_CALIBRATION, PT_SETTINGS, PT_STATE}));
    for (const auto& f : frames)
        EXPECT_TRUE(f.crcGood) << "type " << int(f.type());
    EXPECT_EQ(frames[0].body.size(), 50u);
    EXPECT_EQ(frames[1].body.size(), 50u);
    EXPECT_EQ(frames[2].body.size(), 8u);
    EXPECT_EQ(frames[3].body.size(), 3u);

    // Nothing more comes for that one request.
    EXPECT_TRUE(port.collectFor(1200ms).empty());

    // A single bit asks for its packet alone; a mask of nothing gets nothing.
    port.request(RQ_STATE);
    EXPECT_EQ(typesOf(port.collect(2, 500ms)), std::vector<std::uint8_t>{PT_STATE});
    port.request(0x00);
    EXPECT_TRUE(port.collectFor(500ms).empty());
}

TEST(SimRequests, ServicePacketsHoldFactoryValues)
{
    SimProcess sim({"--warmup", "0", "--state", "0x83"});
    Port port(sim.linePath());
    port.request(RQ_CALIBRATION | RQ_SETTINGS | RQ_STATE);
    const auto frames = port.collect(3, 2s);
    ASSERT_EQ(frames.size(), 3u);
    const auto& calibration = frames[0].body;
    EXPECT_FLOAT_EQ(f32(calibration, 2), 1.5f);
    EXPECT_EQ(u32(calibration, 46), 150324u);
    const auto& settings = frames[1].body;
    EXPECT_EQ(settings[2], 60);  // 403000 kHz
    EXPECT_EQ(settings[3], 30);
    EXPECT_EQ(settings[7], 0);
    EXPECT_EQ(frames[2].body[2], 0x83);
}

TEST(SimRequests, CyclicTelemetryOnceASecondUntilARequestWithoutIt)
{
    SimProcess sim(kQuickStart);
    Port port(sim.linePath());
    const auto asked = Clock::now();
    port.request(RQ_CYCLIC | RQ_TELEMETRY);
    const auto cyclic = port.collectFor(3300ms);
    ASSERT_GE(cyclic.size(), 3u);
    ASSERT_LE(cyclic.size(), 5u);
    EXPECT_LT(cyclic[0].at - asked, 300ms) << "the first packet comes at once";
    for (std::size_t i = 0; i < cyclic.size(); ++i) {
        EXPECT_EQ(cyclic[i].type(), PT_TELEMETRY);
        if (i > 0) {
            EXPECT_EQ(cyclic[i].body[3], static_cast<std::uint8_t>(cyclic[i - 1].body[3] + 1));
            const auto gap = cyclic[i].at - cyclic[i - 1].at;
            // 200 ms either way: more than a busy machine delays a read.
            EXPECT_GT(gap, 800ms) << "packet " << i;
            EXPECT_LT(gap, 1200ms) << "packet " << i;
        }
    }

    // The host's chain keeps the telemetry bit in every request while
    // cyclic; those requests must not add packets of their own.
    port.request(RQ_CYCLIC | RQ_TELEMETRY | RQ_CALIBRATION);
    EXPECT_EQ(typesOf(port.collect(1, 500ms)), std::vector<std::uint8_t>{PT_CALIBRATION});

    port.request(RQ_TELEMETRY);
    const auto last = port.collectFor(2200ms);
    EXPECT_EQ(typesOf(last), std::vector<std::uint8_t>{PT_TELEMETRY})
        << "one packet for the bit, then the cycle has stopped";
}

TEST(SimWrites, SettingsCommandsAreAcknowledgedAndReported)
{
    struct Case {
        const char* what;
        SettingsFrame command;
        std::size_t offset;  // in the settings packet
        std::uint8_t value;
    };
    const Case cases[] = {
        {"frequency", buildFrequencyCommand(frequencyCode(405000)), 2, 100},
        {"gain", buildGainCommand(45), 3, 45},
        {"navigation mode", buildNavModeCommand(2), 7, 2},
    };
    SimProcess sim(kQuickStart);
    Port port(sim.linePath());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        port.send(c.command);
        const auto ack = only(port.collect(1, 1s), PT_ACK);
        ASSERT_EQ(ack.body.size(), 3u);
        EXPECT_EQ(ack.body[2], 3);
        port.request(RQ_SETTINGS);
        const auto settings = only(port.collect(1, 1s), PT_SETTINGS);
        ASSERT_EQ(settings.body.size(), 8u);
        EXPECT_EQ(settings.body[c.offset], c.value);
    }
    // Each command changed only its own setting: all three stay.
    port.request(RQ_SETTINGS);
    const auto settings = only(port.collect(1, 1s), PT_SETTINGS);
    ASSERT_EQ(settings.body.size(), 8u);
    EXPECT_EQ(settings.body[2], 100);
    EXPECT_EQ(settings.body[3], 45);
    EXPECT_EQ(settings.body[7], 2);

    // A selector the radiosonde does not know changes nothing and is not
    // acknowledged.
    const std::array<std::uint8_t, 9> unknown{PT_SETTINGS_WRITE, 9, 0x04, 7, 7, 0, 3, 0, 7};
    port.send(wrapBody(unknown));
    EXPECT_TRUE(port.collectFor(500ms).empty());
}

TEST(SimWrites, CalibrationWriteWithTheKeyIsStoredAndReported)
{
    SimProcess sim(kQuickStart);
    Port port(sim.linePath());
    port.request(RQ_CALIBRATION);
    const auto before = only(port.collect(1, 1s), PT_CALIBRATION);

    CalibrationValues values;
    values.a = 2.25f;
    values.b = -12.5f;
    values.c = 300.125f;
    values.number1 = 4294967295u;
    values.number2 = 42;
    values.date = 10203;
    port.send(buildCalibrationWrite(values));
    const auto ack = only(port.collect(1, 1s), PT_ACK);
    EXPECT_EQ(ack.body.at(2), 2);

    port.request(RQ_CALIBRATION);
    const auto after = only(port.collect(1, 1s), PT_CALIBRATION);
    ASSERT_EQ(after.body.size(), 50u);
    EXPECT_EQ(f32(after.body, 2), 2.25f);
    EXPECT_EQ(f32(after.body, 6), -12.5f);
    EXPECT_EQ(f32(after.body, 10), 300.125f);
    EXPECT_EQ(u32(after.body, 38), 4294967295u);
    EXPECT_EQ(u32(after.body, 42), 42u);
    EXPECT_EQ(u32(after.body, 46), 10203u);
    // The write carries zeros for the channel coefficients; the radiosonde
    // keeps its own.
    EXPECT_TRUE(std::equal(before.body.begin() + 14, before.body.begin() + 38, after.body.begin() + 14));
}

TEST(SimWrites, CalibrationWriteWithAWrongKeyIsIgnored)
{
    SimProcess sim(kQuickStart);
    Port port(sim.linePath());
    CalibrationValues values;
    values.a = 9.0f;
    values.date = 311299;
    const auto good = buildCalibrationWrite(values);
    std::vector<std::uint8_t> body(good.begin() + 4, good.end() - 2);
    body[3] = 0x56;  // key 0x56B1
    port.send(wrapBody(body));
    EXPECT_TRUE(port.collectFor(600ms).empty());

    port.request(RQ_CALIBRATION);
    const auto calibration = only(port.collect(1, 1s), PT_CALIBRATION);
    EXPECT_EQ(f32(calibration.body, 2), 1.5f);
    EXPECT_EQ(u32(calibration.body, 46), 150324u);
}
