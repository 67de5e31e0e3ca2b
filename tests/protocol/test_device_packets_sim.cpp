// The readers against the packets the simulated radiosonde builds. The
// simulator lays its packets out by its own code, as the radiosonde does,
// so the two agreeing is a check of each layout from the far side.

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "calibration_bits.h"
#include "protocol/device_packets.h"
#include "protocol/frame.h"
#include "protocol/host_frames.h"
#include "protocol/receiver.h"
#include "sim/model/radiosonde.h"
#include "sim/model/telemetry_packet.h"

using namespace protocol;

namespace {

std::uint32_t bitsOf(float value) { return std::bit_cast<std::uint32_t>(value); }

// What the window's receiver hands on for a frame off the line.
RxBuffer received(const sim::WireFrame& wire)
{
    struct Capture : ReceiverSink {
        std::vector<RxBuffer> frames;
        void frameReceived(const RxBuffer& buf) override { frames.push_back(buf); }
    } sink;
    FrameReceiver receiver(sink);
    for (const std::uint8_t byte : wire)
        receiver.Calc(byte, 1);
    EXPECT_EQ(sink.frames.size(), 1u) << "the frame did not arrive whole with a good CRC";
    return sink.frames.empty() ? RxBuffer{} : sink.frames.front();
}

template <typename Packet>
Packet receivedAs(const sim::WireFrame& wire)
{
    const std::optional<DevicePacket> packet = readDevicePacket(received(wire));
    EXPECT_TRUE(packet && std::holds_alternative<Packet>(*packet)) << "type " << int{wire.at(4)};
    return packet && std::holds_alternative<Packet>(*packet) ? std::get<Packet>(*packet) : Packet{};
}

// A host frame as the simulated radiosonde takes it: its body alone.
std::span<const std::uint8_t> bodyOf(std::span<const std::uint8_t> wire)
{
    return wire.subspan(kSyncWord.size(), wire.size() - kSyncWord.size() - 2);
}

using Members = std::vector<std::pair<std::string, std::int64_t>>;

Members members(const TelemetryPacket& p)
{
    return {{"firmware", p.firmware},
            {"packetNumber", p.packetNumber},
            {"hour", p.hour},
            {"minute", p.minute},
            {"second", p.second},
            {"quarterMilliseconds", p.quarterMilliseconds},
            {"x", p.x},
            {"y", p.y},
            {"z", p.z},
            {"vx", p.vx},
            {"vy", p.vy},
            {"vz", p.vz},
            {"satellites", p.satellites},
            {"positionAccuracy", p.positionAccuracy},
            {"velocityAccuracy", p.velocityAccuracy},
            {"pdop", p.pdop},
            {"navigationFlags", p.navigationFlags},
            {"temperature", p.temperature},
            {"humidity", p.humidity},
            {"pressure", p.pressure},
            {"temperatureChannel", p.temperatureChannel},
            {"humidityChannel", p.humidityChannel},
            {"mcuTemperatureAdc", p.mcuTemperatureAdc},
            {"batteryAdc", p.batteryAdc}};
}

Members members(const CalibrationValues& v)
{
    return {{"a", bitsOf(v.a)},     {"b", bitsOf(v.b)},     {"c", bitsOf(v.c)},
            {"number1", v.number1}, {"number2", v.number2}, {"date", v.date}};
}

Members channelMembers(const float (&adcT)[3], const float (&adcH)[3])
{
    return {{"adcT[0]", bitsOf(adcT[0])}, {"adcT[1]", bitsOf(adcT[1])}, {"adcT[2]", bitsOf(adcT[2])},
            {"adcH[0]", bitsOf(adcH[0])}, {"adcH[1]", bitsOf(adcH[1])}, {"adcH[2]", bitsOf(adcH[2])}};
}

Members channelMembers(const sim::Calibration& c)
{
    const float adcT[3]{c.adcT[0], c.adcT[1], c.adcT[2]};
    const float adcH[3]{c.adcH[0], c.adcH[1], c.adcH[2]};
    return channelMembers(adcT, adcH);
}

Members members(const SettingsPacket& p)
{
    return {{"frequencyCode", p.frequencyCode},
            {"gain", p.gain},
            {"correction", p.correction},
            {"biasCode", p.biasCode},
            {"navMode", p.navMode}};
}

Members members(const sim::RadioSettings& s)
{
    return {{"frequencyCode", s.frequencyCode},
            {"gain", s.gain},
            {"correction", s.correction},
            {"biasCode", s.biasCurrent},
            {"navMode", s.navMode}};
}

TelemetryPacket telemetryPacket(std::uint8_t firmware, std::uint8_t packetNumber,
                                std::array<std::uint8_t, 4> time, std::array<std::int32_t, 3> position,
                                std::array<std::int16_t, 3> velocity, std::array<std::uint8_t, 3> counts,
                                std::uint16_t pdop, std::uint8_t flags, std::int16_t temperature,
                                std::uint16_t humidity, std::uint16_t pressure,
                                std::array<std::int32_t, 2> channels, std::array<std::uint16_t, 2> adc)
{
    TelemetryPacket p;
    p.firmware = firmware;
    p.packetNumber = packetNumber;
    p.hour = time[0];
    p.minute = time[1];
    p.second = time[2];
    p.quarterMilliseconds = time[3];
    p.x = position[0];
    p.y = position[1];
    p.z = position[2];
    p.vx = velocity[0];
    p.vy = velocity[1];
    p.vz = velocity[2];
    p.satellites = counts[0];
    p.positionAccuracy = counts[1];
    p.velocityAccuracy = counts[2];
    p.pdop = pdop;
    p.navigationFlags = flags;
    p.temperature = temperature;
    p.humidity = humidity;
    p.pressure = pressure;
    p.temperatureChannel = channels[0];
    p.humidityChannel = channels[1];
    p.mcuTemperatureAdc = adc[0];
    p.batteryAdc = adc[1];
    return p;
}

const sim::Instant kMarch15{20.0, std::chrono::system_clock::time_point(std::chrono::seconds(1710510307) +
                                                                        std::chrono::milliseconds(123))};

}  // namespace

TEST(DevicePacketsFromTheSimulator, TelemetryReadingsComeBackAsTheirCounts)
{
    struct Case {
        const char* what;
        sim::TelemetryReadings readings;
        TelemetryPacket expected;
    };
    std::vector<Case> cases;
    {
        sim::TelemetryReadings r;
        r.packetNumber = 200;
        r.hour = 23, r.minute = 59, r.second = 59, r.millisecond = 996;
        r.position = {2849866.67, 2196277.98, 5248950.08};
        r.velocity = {-3.27, 12.5, -0.01};
        r.satellites = 12, r.positionAccuracy = 1.8, r.velocityAccuracy = 0.3, r.pdop = 1.5;
        r.navigationFlags = 0xE3;
        r.temperature = -12.34, r.humidity = 55.5, r.pressure = 1013.2;
        r.temperatureChannel = 28765.43, r.humidityChannel = -28325, r.mcuTemperatureAdc = 1150,
        r.batteryAdc = 3001;
        cases.push_back({"a point near Moscow, moving", r,
                         telemetryPacket(sim::kFirmwareVersion, 200, {23, 59, 59, 249},
                                         {284986667, 219627798, 524895008}, {-327, 1250, -1}, {12, 18, 3},
                                         150, 0xE3, -1234, 5550, 10132, {2876543, -2832500}, {1150, 3001})});
    }
    {
        sim::TelemetryReadings r;
        r.firmware = 255, r.packetNumber = 255;
        r.position = {21474836.47, -21474836.48, -0.01};
        r.velocity = {327.67, -327.68, 0};
        r.satellites = 255, r.positionAccuracy = 25.5, r.velocityAccuracy = 25.5, r.pdop = 655.35;
        r.navigationFlags = 0x07;
        r.temperature = 327.67, r.humidity = 655.35, r.pressure = 6553.5;
        r.temperatureChannel = -21474836.48, r.humidityChannel = 21474836.47, r.mcuTemperatureAdc = 65535,
        r.batteryAdc = 65535;
        cases.push_back({"every field at an end of its range", r,
                         telemetryPacket(255, 255, {0, 0, 0, 0}, {INT32_MAX, INT32_MIN, -1},
                                         {32767, -32768, 0}, {255, 255, 255}, 65535, 0x07, 32767, 65535,
                                         65535, {INT32_MIN, INT32_MAX}, {65535, 65535})});
    }
    {
        sim::TelemetryReadings r;
        r.temperature = -150, r.humidity = 0, r.pressure = 6500;
        cases.push_back({"every sensor missing", r,
                         telemetryPacket(sim::kFirmwareVersion, 0, {0, 0, 0, 0}, {0, 0, 0}, {0, 0, 0},
                                         {0, 0, 0}, 0, 0, -15000, 0, 65000, {0, 0}, {0, 0})});
    }
    for (const Case& c : cases) {
        const sim::TelemetryBody body = sim::packTelemetry(c.readings);
        EXPECT_EQ(members(receivedAs<TelemetryPacket>(wrapBody(body))), members(c.expected)) << c.what;
    }
}

TEST(DevicePacketsFromTheSimulator, TelemetryOfTheModel)
{
    sim::Radiosonde sonde({}, 10.0, 0, 7);
    sim::Instant searching = kMarch15;
    searching.uptime = 0;  // no satellites yet
    const TelemetryPacket first = receivedAs<TelemetryPacket>(sonde.telemetry(searching));
    EXPECT_EQ(first.firmware, sim::kFirmwareVersion);
    EXPECT_EQ(first.packetNumber, 0);
    EXPECT_EQ(first.navigationFlags, 0);
    EXPECT_EQ(first.x, 0);
    EXPECT_EQ(first.y, 0);
    EXPECT_EQ(first.z, 0);

    const TelemetryPacket fixed = receivedAs<TelemetryPacket>(sonde.telemetry(kMarch15));
    EXPECT_EQ(fixed.packetNumber, 1);
    EXPECT_EQ(fixed.hour, 13);
    EXPECT_EQ(fixed.minute, 45);
    EXPECT_EQ(fixed.second, 7);
    EXPECT_EQ(fixed.quarterMilliseconds, 123 / 4);
    EXPECT_EQ(fixed.navigationFlags, 0xE3);  // 3D, every time valid
    // Scattered by metres around the launch site, in centimetres.
    const sim::LaunchSite site;
    const sim::Ecef at = sim::geodeticToEcef(site.lat, site.lon, site.height);
    EXPECT_NEAR(fixed.x, at.x * 100, 5000);
    EXPECT_NEAR(fixed.y, at.y * 100, 5000);
    EXPECT_NEAR(fixed.z, at.z * 100, 5000);
    EXPECT_NEAR(fixed.pressure, 10132.5 - 180, 100);  // about 18 hPa less, 150 m up
    EXPECT_GT(fixed.humidity, 0);                     // the sensors are there
    EXPECT_GT(fixed.temperature, -15000);
}

TEST(DevicePacketsFromTheSimulator, ServicePacketsOfTheModel)
{
    sim::Radiosonde sonde({}, 0, 0x83, 1);

    const CalibrationPacket calibration = receivedAs<CalibrationPacket>(sonde.calibrationPacket());
    const sim::Calibration factory;
    CalibrationValues factoryValues;
    factoryValues.a = factory.a;
    factoryValues.b = factory.b;
    factoryValues.c = factory.c;
    factoryValues.number1 = factory.number1;
    factoryValues.number2 = factory.number2;
    factoryValues.date = factory.date;
    EXPECT_EQ(members(calibration.values), members(factoryValues));
    EXPECT_EQ(channelMembers(calibration.adcT, calibration.adcH), channelMembers(factory));

    EXPECT_EQ(members(receivedAs<SettingsPacket>(sonde.settingsPacket())), members(sim::RadioSettings{}));
    EXPECT_EQ(receivedAs<StatePacket>(sonde.statePacket()).faults, 0x83);
    for (const std::uint8_t code : {PT_CALIB_WRITE, PT_SETTINGS_WRITE, std::uint8_t{0xA5}})
        EXPECT_EQ(receivedAs<AckPacket>(sim::Radiosonde::acknowledgement(code)).code, code);
}

// Each settings write the host builds changes its one setting in the
// simulated radiosonde, which acknowledges it and reports it back.
TEST(DevicePacketsFromTheSimulator, SettingsWritesComeBackInTheSettingsPacket)
{
    sim::Radiosonde sonde({}, 0, 0, 1);
    sim::RadioSettings expected;
    struct Case {
        const char* what;
        SettingsFrame frame;
        void (*change)(sim::RadioSettings&);
    };
    const Case cases[] = {
        {"frequency code 120", buildFrequencyCommand(120),
         [](sim::RadioSettings& s) { s.frequencyCode = 120; }},
        {"gain 63", buildGainCommand(63), [](sim::RadioSettings& s) { s.gain = 63; }},
        {"gain off", buildGainCommand(0), [](sim::RadioSettings& s) { s.gain = 0; }},
        {"GPS alone", buildNavModeCommand(2), [](sim::RadioSettings& s) { s.navMode = 2; }},
        {"frequency code 255", buildFrequencyCommand(255),
         [](sim::RadioSettings& s) { s.frequencyCode = 255; }},
    };
    for (const Case& c : cases) {
        const sim::Reply reply = sonde.handleHostFrame(bodyOf(c.frame), kMarch15);
        ASSERT_EQ(reply.frames.size(), 1u) << c.what;
        EXPECT_EQ(receivedAs<AckPacket>(reply.frames[0]).code, PT_SETTINGS_WRITE) << c.what;
        c.change(expected);
        EXPECT_EQ(members(receivedAs<SettingsPacket>(sonde.settingsPacket())), members(expected)) << c.what;
    }
}

// What buildCalibrationWrite carries is what the radiosonde stores and
// sends back, bit for bit; the channel coefficients it leaves out stay as
// the factory set them.
TEST(DevicePacketsFromTheSimulator, CalibrationWriteComesBackInTheCalibrationPacket)
{
    const CalibrationBits cases[] = {
        {"ordinary values", std::bit_cast<std::uint32_t>(2.25f), std::bit_cast<std::uint32_t>(-39.5f),
         std::bit_cast<std::uint32_t>(0.001f), 123456, 654321, 311218},
        {"NaN payloads and minus zero", 0x7F800001, 0xFFC12345, 0x80000000, 0, 0, 0},
        {"infinities and subnormals", 0x7F800000, 0xFF800000, 0x80000001, 4294967295, 2147483648, 10203},
    };
    sim::Radiosonde sonde({}, 0, 0, 1);
    for (const CalibrationBits& c : cases) {
        const CalibrationValues written = c.values();
        const sim::Reply reply = sonde.handleHostFrame(bodyOf(buildCalibrationWrite(written)), kMarch15);
        ASSERT_EQ(reply.frames.size(), 1u) << c.what << ": the key or the length was refused";
        EXPECT_EQ(receivedAs<AckPacket>(reply.frames[0]).code, PT_CALIB_WRITE) << c.what;

        const CalibrationPacket stored = receivedAs<CalibrationPacket>(sonde.calibrationPacket());
        EXPECT_EQ(members(stored.values), members(written)) << c.what;
        EXPECT_EQ(channelMembers(stored.adcT, stored.adcH), channelMembers(sim::Calibration{})) << c.what;
    }
}
