#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "calibration_bits.h"
#include "protocol/device_packets.h"
#include "protocol/frame.h"
#include "protocol/host_frames.h"

using namespace protocol;
using Bytes = std::vector<std::uint8_t>;

namespace {

// One member of a typed packet, widened so that every member compares the
// same way; singles as their bit patterns, so that NaN payloads and -0.0
// compare exactly.
template <typename Packet>
struct Member {
    const char* name;
    std::int64_t (*get)(const Packet&);
};

std::int64_t bitsOf(float value) { return std::bit_cast<std::uint32_t>(value); }

// Some bytes laid at a body offset of an otherwise zero-filled RxBuf, and
// the one member they must land in (nullptr: none) with its value.
struct Landing {
    const char* what;
    std::size_t offset;
    Bytes bytes;
    const char* member;
    std::int64_t value;
};

// Reads every case's buffer and checks each member: the one the bytes were
// laid for holds exactly their value, every other member stays zero. A
// reader at a wrong offset or width, with a wrong byte order or sign, or
// reading past its field into a neighbour's shows up as a wrong member.
template <typename Packet, std::size_t N>
void expectLandings(Packet (*read)(const RxBuffer&), const Member<Packet> (&members)[N],
                    const std::vector<Landing>& cases)
{
    for (const Landing& c : cases) {
        RxBuffer buf{};
        for (std::size_t i = 0; i < c.bytes.size(); ++i)
            buf.at(c.offset + i) = c.bytes[i];
        const Packet packet = read(buf);
        bool found = c.member == nullptr;
        for (const auto& m : members) {
            const bool target = c.member != nullptr && std::string(m.name) == c.member;
            found = found || target;
            EXPECT_EQ(m.get(packet), target ? c.value : 0) << c.what << ": member " << m.name;
        }
        EXPECT_TRUE(found) << c.what << ": no member named " << c.member;
    }
}

const Member<TelemetryPacket> kTelemetryMembers[] = {
    {"firmware", [](const TelemetryPacket& p) -> std::int64_t { return p.firmware; }},
    {"packetNumber", [](const TelemetryPacket& p) -> std::int64_t { return p.packetNumber; }},
    {"hour", [](const TelemetryPacket& p) -> std::int64_t { return p.hour; }},
    {"minute", [](const TelemetryPacket& p) -> std::int64_t { return p.minute; }},
    {"second", [](const TelemetryPacket& p) -> std::int64_t { return p.second; }},
    {"quarterMilliseconds", [](const TelemetryPacket& p) -> std::int64_t { return p.quarterMilliseconds; }},
    {"x", [](const TelemetryPacket& p) -> std::int64_t { return p.x; }},
    {"y", [](const TelemetryPacket& p) -> std::int64_t { return p.y; }},
    {"z", [](const TelemetryPacket& p) -> std::int64_t { return p.z; }},
    {"vx", [](const TelemetryPacket& p) -> std::int64_t { return p.vx; }},
    {"vy", [](const TelemetryPacket& p) -> std::int64_t { return p.vy; }},
    {"vz", [](const TelemetryPacket& p) -> std::int64_t { return p.vz; }},
    {"satellites", [](const TelemetryPacket& p) -> std::int64_t { return p.satellites; }},
    {"positionAccuracy", [](const TelemetryPacket& p) -> std::int64_t { return p.positionAccuracy; }},
    {"velocityAccuracy", [](const TelemetryPacket& p) -> std::int64_t { return p.velocityAccuracy; }},
    {"pdop", [](const TelemetryPacket& p) -> std::int64_t { return p.pdop; }},
    {"navigationFlags", [](const TelemetryPacket& p) -> std::int64_t { return p.navigationFlags; }},
    {"temperature", [](const TelemetryPacket& p) -> std::int64_t { return p.temperature; }},
    {"humidity", [](const TelemetryPacket& p) -> std::int64_t { return p.humidity; }},
    {"pressure", [](const TelemetryPacket& p) -> std::int64_t { return p.pressure; }},
    {"temperatureChannel", [](const TelemetryPacket& p) -> std::int64_t { return p.temperatureChannel; }},
    {"humidityChannel", [](const TelemetryPacket& p) -> std::int64_t { return p.humidityChannel; }},
    {"mcuTemperatureAdc", [](const TelemetryPacket& p) -> std::int64_t { return p.mcuTemperatureAdc; }},
    {"batteryAdc", [](const TelemetryPacket& p) -> std::int64_t { return p.batteryAdc; }},
};

const Member<CalibrationPacket> kCalibrationMembers[] = {
    {"a", [](const CalibrationPacket& p) { return bitsOf(p.values.a); }},
    {"b", [](const CalibrationPacket& p) { return bitsOf(p.values.b); }},
    {"c", [](const CalibrationPacket& p) { return bitsOf(p.values.c); }},
    {"adcT[0]", [](const CalibrationPacket& p) { return bitsOf(p.adcT[0]); }},
    {"adcT[1]", [](const CalibrationPacket& p) { return bitsOf(p.adcT[1]); }},
    {"adcT[2]", [](const CalibrationPacket& p) { return bitsOf(p.adcT[2]); }},
    {"adcH[0]", [](const CalibrationPacket& p) { return bitsOf(p.adcH[0]); }},
    {"adcH[1]", [](const CalibrationPacket& p) { return bitsOf(p.adcH[1]); }},
    {"adcH[2]", [](const CalibrationPacket& p) { return bitsOf(p.adcH[2]); }},
    {"number1", [](const CalibrationPacket& p) -> std::int64_t { return p.values.number1; }},
    {"number2", [](const CalibrationPacket& p) -> std::int64_t { return p.values.number2; }},
    {"date", [](const CalibrationPacket& p) -> std::int64_t { return p.values.date; }},
};

const Member<SettingsPacket> kSettingsMembers[] = {
    {"frequencyCode", [](const SettingsPacket& p) -> std::int64_t { return p.frequencyCode; }},
    {"gain", [](const SettingsPacket& p) -> std::int64_t { return p.gain; }},
    {"correction", [](const SettingsPacket& p) -> std::int64_t { return p.correction; }},
    {"biasCode", [](const SettingsPacket& p) -> std::int64_t { return p.biasCode; }},
    {"navMode", [](const SettingsPacket& p) -> std::int64_t { return p.navMode; }},
};

const Member<StatePacket> kStateMembers[] = {
    {"faults", [](const StatePacket& p) -> std::int64_t { return p.faults; }},
};

const Member<AckPacket> kAckMembers[] = {
    {"code", [](const AckPacket& p) -> std::int64_t { return p.code; }},
};

// The type and length bytes, and whatever follows a body in RxBuf (its CRC,
// stale bytes of longer frames before it), belong to no member: one more
// case sets all of them and expects every member zero.
std::vector<Landing> withOutside(std::size_t bodyLength, std::vector<Landing> cases)
{
    Bytes outside(kRxBufSize, 0xFF);
    std::fill(outside.begin() + 2, outside.begin() + static_cast<std::ptrdiff_t>(bodyLength), 0);
    cases.push_back({"type, length, CRC and stale bytes after the body", 0, std::move(outside), nullptr, 0});
    return cases;
}

}  // namespace

TEST(DevicePackets, TelemetryFieldsLandInTheirMembers)
{
    expectLandings(
        readTelemetry, kTelemetryMembers,
        withOutside(50,
                    {
                        {"firmware, unsigned", 2, {0xFE}, "firmware", 254},
                        {"packet number", 3, {0xFD}, "packetNumber", 253},
                        {"hour", 4, {0x17}, "hour", 23},
                        {"minute", 5, {0x3B}, "minute", 59},
                        {"second, kept even when no second", 6, {0xFC}, "second", 252},
                        {"milliseconds in 4 ms", 7, {0xF9}, "quarterMilliseconds", 249},
                        {"X low byte first, negative", 8, {0x01, 0x02, 0x03, 0x84}, "x", -2080177663},
                        {"X positive", 8, {0x0B, 0x0A, 0x0C, 0x11}, "x", 286001675},
                        {"Y most negative", 12, {0x00, 0x00, 0x00, 0x80}, "y", INT32_MIN},
                        {"Z largest", 16, {0xFF, 0xFF, 0xFF, 0x7F}, "z", INT32_MAX},
                        {"Vx signed", 20, {0x01, 0x80}, "vx", -32767},
                        {"Vy low byte first", 22, {0x34, 0x12}, "vy", 0x1234},
                        {"Vz minus one", 24, {0xFF, 0xFF}, "vz", -1},
                        {"satellites", 26, {0xFF}, "satellites", 255},
                        {"position accuracy", 27, {0x80}, "positionAccuracy", 128},
                        {"velocity accuracy", 28, {0x81}, "velocityAccuracy", 129},
                        {"PDOP at an odd offset, unsigned", 29, {0x34, 0xF2}, "pdop", 0xF234},
                        {"navigation flags", 31, {0xE3}, "navigationFlags", 0xE3},
                        {"temperature signed", 32, {0x68, 0xC5}, "temperature", -15000},
                        {"humidity unsigned", 34, {0xFF, 0xFF}, "humidity", 65535},
                        {"humidity", 34, {0x10, 0x27}, "humidity", 10000},
                        {"pressure unsigned", 36, {0xE8, 0xFD}, "pressure", 65000},
                        {"t channel signed", 38, {0xEB, 0x32, 0xA4, 0xF8}, "temperatureChannel", -123456789},
                        {"humidity channel signed", 42, {0x9C, 0xFF, 0xFF, 0xFF}, "humidityChannel", -100},
                        {"MCU reading unsigned", 46, {0xFF, 0xFF}, "mcuTemperatureAdc", 65535},
                        {"MCU reading", 46, {0x00, 0x08}, "mcuTemperatureAdc", 2048},
                        {"battery unsigned", 48, {0x01, 0x80}, "batteryAdc", 0x8001},
                        {"battery", 48, {0xB8, 0x0B}, "batteryAdc", 3000},
                    }));
}

TEST(DevicePackets, CalibrationFieldsLandInTheirMembers)
{
    expectLandings(
        readCalibration, kCalibrationMembers,
        withOutside(50,
                    {
                        {"A 1.5", 2, {0x00, 0x00, 0xC0, 0x3F}, "a", 0x3FC00000},
                        {"B -40", 6, {0x00, 0x00, 0x20, 0xC2}, "b", 0xC2200000},
                        {"C 273.15", 10, {0x33, 0x93, 0x88, 0x43}, "c", 0x43889333},
                        // A signalling NaN keeps its payload: the reader does no arithmetic on it.
                        {"ADCt A signalling NaN", 14, {0x01, 0x00, 0x80, 0x7F}, "adcT[0]", 0x7F800001},
                        {"ADCt B minus zero", 18, {0x00, 0x00, 0x00, 0x80}, "adcT[1]", 0x80000000},
                        {"ADCt C", 22, {0x01, 0x02, 0x03, 0x84}, "adcT[2]", 0x84030201},
                        {"ADCh A negative NaN, payload", 26, {0x45, 0x23, 0xC1, 0xFF}, "adcH[0]", 0xFFC12345},
                        {"ADCh B smallest subnormal", 30, {0x01, 0x00, 0x00, 0x00}, "adcH[1]", 1},
                        {"ADCh C", 34, {0x04, 0x03, 0x02, 0x81}, "adcH[2]", 0x81020304},
                        {"number 1 unsigned", 38, {0xFF, 0xFF, 0xFF, 0xFF}, "number1", 4294967295},
                        {"number 2 past 2^31", 42, {0x00, 0x00, 0x00, 0x80}, "number2", 2147483648},
                        {"date", 46, {0x34, 0x4B, 0x02, 0x00}, "date", 150324},
                    }));
}

TEST(DevicePackets, ServicePacketFieldsLandInTheirMembers)
{
    expectLandings(readSettings, kSettingsMembers,
                   withOutside(8, {
                                      {"frequency code", 2, {0xFF}, "frequencyCode", 255},
                                      {"gain", 3, {0x3F}, "gain", 63},
                                      {"correction low byte first", 4, {0xFF, 0x07}, "correction", 2047},
                                      {"correction unsigned", 4, {0x00, 0x80}, "correction", 0x8000},
                                      {"bias", 6, {0xFE}, "biasCode", 254},
                                      {"navigation mode", 7, {0x02}, "navMode", 2},
                                  }));
    expectLandings(readState, kStateMembers,
                   withOutside(3, {
                                      {"faults", 2, {0x83}, "faults", 0x83},
                                  }));
    expectLandings(readAck, kAckMembers,
                   withOutside(3, {
                                      {"code", 2, {0xF2}, "code", 0xF2},
                                  }));
}

// The packet by its type byte: the reader of that type and no other. Each
// body carries 0x5A at offset 2, where every layout has its first field.
TEST(DevicePackets, ReadsThePacketItsTypeByteNames)
{
    struct Case {
        std::uint8_t type;
        std::optional<std::size_t> alternative;  // index in DevicePacket; nothing: no packet
    };
    const Case cases[] = {
        {PT_ACK, 4},
        {PT_TELEMETRY, 0},
        {PT_CALIBRATION, 1},
        {PT_SETTINGS, 2},
        {PT_STATE, 3},
        // host frames echoed back
        {PT_REQUEST, std::nullopt},
        {PT_CALIB_WRITE, std::nullopt},
        {PT_SETTINGS_WRITE, std::nullopt},
        // unknown types, either side of the device range
        {0x00, std::nullopt},
        {0x7F, std::nullopt},
        {0x85, std::nullopt},
        {0xFF, std::nullopt},
    };
    for (const Case& c : cases) {
        RxBuffer buf{};
        buf[0] = c.type;
        buf[1] = 50;
        buf[2] = 0x5A;
        const std::optional<DevicePacket> packet = readDevicePacket(buf);
        ASSERT_EQ(packet.has_value(), c.alternative.has_value()) << "type " << int{c.type};
        if (!packet)
            continue;
        EXPECT_EQ(packet->index(), *c.alternative) << "type " << int{c.type};
        const std::int64_t first = std::visit(
            [](const auto& p) -> std::int64_t {
                using P = std::decay_t<decltype(p)>;
                if constexpr (std::is_same_v<P, TelemetryPacket>)
                    return p.firmware;
                else if constexpr (std::is_same_v<P, CalibrationPacket>)
                    return bitsOf(p.values.a);
                else if constexpr (std::is_same_v<P, SettingsPacket>)
                    return p.frequencyCode;
                else if constexpr (std::is_same_v<P, StatePacket>)
                    return p.faults;
                else
                    return p.code;
            },
            *packet);
        EXPECT_EQ(first, 0x5A) << "type " << int{c.type};
    }
}

// The calibration write carries the calibration packet's layout two bytes
// further on, after its key: read back with that layout it gives what was
// written, bit for bit, and zeros for the channel coefficients it leaves out.
TEST(DevicePackets, CalibrationWriteReadsBackWithTheCalibrationLayout)
{
    const CalibrationBits cases[] = {
        {"factory values", 0x3FC00000, 0xC2200000, 0x43889333, 240315, 1187, 150324},
        {"NaN payloads and minus zero", 0x7F800001, 0xFFC12345, 0x80000000, 0, 0, 0},
        {"infinities and the smallest subnormal", 0x7F800000, 0xFF800000, 0x00000001, 4294967295, 2147483648,
         311299},
        {"largest finite and a negative subnormal", 0x7F7FFFFF, 0xFF7FFFFF, 0x80000001, 1, 0x01020304, 10203},
    };
    for (const CalibrationBits& c : cases) {
        const CalibrationValues written = c.values();
        const CalibrationFrame wire = buildCalibrationWrite(written);

        // Body offset k of the packet is body offset k + 2 of the write,
        // wire offset k + 6 past the sync word.
        RxBuffer asPacket{};
        asPacket[0] = PT_CALIBRATION;
        asPacket[1] = 50;
        for (std::size_t k = 2; k < 50; ++k)
            asPacket[k] = wire[k + 2 + kSyncWord.size()];
        const CalibrationPacket read = readCalibration(asPacket);

        EXPECT_EQ(bitsOf(read.values.a), c.a) << c.what;
        EXPECT_EQ(bitsOf(read.values.b), c.b) << c.what;
        EXPECT_EQ(bitsOf(read.values.c), c.c) << c.what;
        EXPECT_EQ(read.values.number1, c.number1) << c.what;
        EXPECT_EQ(read.values.number2, c.number2) << c.what;
        EXPECT_EQ(read.values.date, c.date) << c.what;
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(bitsOf(read.adcT[i]), 0) << c.what << ": ADCt " << i;  // +0.0, not -0.0
            EXPECT_EQ(bitsOf(read.adcH[i]), 0) << c.what << ": ADCh " << i;
        }
    }
}
