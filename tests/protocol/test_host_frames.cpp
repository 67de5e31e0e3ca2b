#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "protocol/crc16.h"
#include "protocol/host_frames.h"

using namespace protocol;

namespace {

template <typename Frame>
std::vector<std::uint8_t> bytes(const Frame& frame)
{
    return {frame.begin(), frame.end()};
}

using Bytes = std::vector<std::uint8_t>;

}  // namespace

TEST(HostFrames, WireBytesOfEveryCommand)
{
    struct Case {
        const char* what;
        Bytes wire;
        Bytes expected;
    };
    const Case cases[] = {
        {"telemetry alone",
         bytes(buildRequest(0x01)),
         {0xAA, 0xAA, 0xBF, 0x35, 0x01, 0x03, 0x01, 0xE1, 0x30}},
        {"telemetry cyclic",
         bytes(buildRequest(0x81)),
         {0xAA, 0xAA, 0xBF, 0x35, 0x01, 0x03, 0x81, 0xE0, 0x90}},
        {"all switches off",
         bytes(buildRequest(0x00)),
         {0xAA, 0xAA, 0xBF, 0x35, 0x01, 0x03, 0x00, 0x20, 0xF0}},
        {"frequency 403000",
         bytes(buildFrequencyCommand(frequencyCode(403000))),
         {0xAA, 0xAA, 0xBF, 0x35, 0x03, 0x09, 0x01, 0x3C, 0x00, 0x00, 0x03, 0x00, 0x00, 0x3B, 0x96}},
        {"gain 30",
         bytes(buildGainCommand(30)),
         {0xAA, 0xAA, 0xBF, 0x35, 0x03, 0x09, 0x02, 0x00, 0x1E, 0x00, 0x03, 0x00, 0x00, 0xA5, 0xA8}},
        {"ГЛОНАСС+GPS",
         bytes(buildNavModeCommand(0)),
         {0xAA, 0xAA, 0xBF, 0x35, 0x03, 0x09, 0x10, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0x3F, 0xAB}},
        {"ГЛОНАСС",
         bytes(buildNavModeCommand(1)),
         {0xAA, 0xAA, 0xBF, 0x35, 0x03, 0x09, 0x10, 0x00, 0x00, 0x00, 0x03, 0x00, 0x01, 0xFE, 0x6B}},
        {"GPS",
         bytes(buildNavModeCommand(2)),
         {0xAA, 0xAA, 0xBF, 0x35, 0x03, 0x09, 0x10, 0x00, 0x00, 0x00, 0x03, 0x00, 0x02, 0xBE, 0x6A}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.wire, c.expected) << c.what;
}

TEST(HostFrames, FrequencyCodeTruncatesTowardZero)
{
    struct {
        std::int64_t kHz;
        int code;
    } const cases[] = {{400000, 0}, {403000, 60}, {406000, 120}, {405025, 100}, {403020, 60}, {400049, 0}};
    for (const auto& c : cases)
        EXPECT_EQ(frequencyCode(c.kHz), c.code) << c.kHz;
}

TEST(HostFrames, CalibrationWriteLayout)
{
    CalibrationValues v;
    v.a = 1.5f;
    v.b = -40.0f;
    v.c = 273.15f;
    v.number1 = 4294967295u;  // unsigned: the radiosonde's numbers go past 2^31
    v.number2 = 123456;
    v.date = 10203;  // "01.02.03"
    const auto wire = buildCalibrationWrite(v);
    ASSERT_EQ(wire.size(), 58u);
    const std::uint8_t* body = wire.data() + 4;
    EXPECT_EQ(Bytes(wire.begin(), wire.begin() + 4), (Bytes{0xAA, 0xAA, 0xBF, 0x35}));
    EXPECT_EQ(body[0], 0x02);
    EXPECT_EQ(body[1], 52);
    EXPECT_EQ(body[2], 0xB1);  // key 0x55B1, low byte first
    EXPECT_EQ(body[3], 0x55);
    EXPECT_EQ(Bytes(body + 4, body + 8), (Bytes{0x00, 0x00, 0xC0, 0x3F}));  // 1.5f
    float b, c;
    std::memcpy(&b, body + 8, 4);
    std::memcpy(&c, body + 12, 4);
    EXPECT_EQ(b, -40.0f);
    EXPECT_EQ(c, 273.15f);
    for (int i = 16; i < 40; ++i)
        EXPECT_EQ(body[i], 0) << "offset " << i;
    EXPECT_EQ(Bytes(body + 40, body + 44), (Bytes{0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(Bytes(body + 44, body + 48), (Bytes{0x40, 0xE2, 0x01, 0x00}));
    EXPECT_EQ(Bytes(body + 48, body + 52), (Bytes{0xDB, 0x27, 0x00, 0x00}));
    // The CRC closes the body: running it over body + CRC gives zero.
    EXPECT_EQ(crc16calc(std::span<const std::uint8_t>(body, 54), 54), 0);
}

TEST(HostFrames, WrapBodyMatchesBuilders)
{
    const Bytes body{0x01, 0x03, 0x81};
    const auto built = buildRequest(0x81);
    EXPECT_EQ(wrapBody(body), Bytes(built.begin(), built.end()));
}
