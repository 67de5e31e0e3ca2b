#include "edge_packets.h"

#include <cstdint>
#include <limits>
#include <span>

#include "protocol/frame.h"
#include "protocol/host_frames.h"
#include "support/rx_body.h"
#include "support/telemetry_frames.h"

namespace ctltest {
namespace {

using telemetry::testing::RxBody;

std::vector<std::uint8_t> frameOf(const RxBody& body)
{
    return protocol::wrapBody(std::span(body.buf().data(), body.buf()[1]));
}

const std::vector<std::string> kGeodeticKeys = {"latitude",       "longitude",     "height",
                                                "velocity_north", "velocity_east", "velocity_up",
                                                "ground_speed",   "heading"};

// The sample telemetry body at the given navigation time.
RxBody telemetry(std::uint8_t hour, std::uint8_t minute, std::uint8_t second, std::uint8_t quarterMs)
{
    RxBody body = telemetry::testing::telemetryBody();
    body.u8(4, hour).u8(5, minute).u8(6, second).u8(7, quarterMs);
    return body;
}

EdgePacket impossibleTime(const std::string& what, std::uint8_t hour, std::uint8_t minute,
                          std::uint8_t second, std::uint8_t quarterMs)
{
    return {"impossible time: " + what,
            frameOf(telemetry(hour, minute, second, quarterMs).u8(2, 9).u8(3, 77)),
            "telemetry",
            {{"firmware", "9"}, {"packet_number", "77"}},
            {},
            {"time", "x", "fix", "temperature", "adc_mcu_temperature", "adc_mcu_temperature_volts",
             "latitude", "heading"},
            {}};
}

RxBody settings(std::uint8_t frequency, std::uint8_t gain, std::uint16_t correction, std::uint8_t bias,
                std::uint8_t navMode)
{
    RxBody body(protocol::PT_SETTINGS, 8);
    body.u8(2, frequency).u8(3, gain).u16(4, correction).u8(6, bias).u8(7, navMode);
    return body;
}

RxBody state(std::uint8_t faults)
{
    RxBody body(protocol::PT_STATE, 3);
    body.u8(2, faults);
    return body;
}

RxBody ack(std::uint8_t code)
{
    RxBody body(protocol::PT_ACK, 3);
    body.u8(2, code);
    return body;
}

}  // namespace

std::vector<EdgePacket> edgePackets()
{
    constexpr std::int32_t kMin32 = std::numeric_limits<std::int32_t>::min();
    constexpr std::int32_t kMax32 = std::numeric_limits<std::int32_t>::max();
    constexpr float kNan = std::numeric_limits<float>::quiet_NaN();
    constexpr float kInf = std::numeric_limits<float>::infinity();

    std::vector<EdgePacket> packets;

    packets.push_back({"readings at the ends of their ranges, fix type 5, nothing valid",
                       frameOf(telemetry(23, 59, 59, 249)
                                   .u8(2, 255)
                                   .u8(3, 254)
                                   .i32(8, kMin32)
                                   .i32(12, kMax32)
                                   .i32(16, -1)
                                   .i16(20, -32768)
                                   .i16(22, 32767)
                                   .i16(24, 1)
                                   .u8(26, 255)
                                   .u8(27, 255)
                                   .u8(28, 0)
                                   .u16(29, 65535)
                                   .u8(31, 0x05)
                                   .i16(32, -14999)
                                   .u16(34, 1)
                                   .u16(36, 64999)
                                   .i32(38, kMin32)
                                   .i32(42, kMax32)
                                   .u16(46, 4095)
                                   .u16(48, 65535)),
                       "telemetry",
                       {{"firmware", "255"},
                        {"packet_number", "254"},
                        {"time", "\"23:59:59\""},
                        {"x", "-21474836.48"},
                        {"y", "21474836.47"},
                        {"z", "-0.01"},
                        {"vx", "-327.68"},
                        {"vy", "327.67"},
                        {"vz", "0.01"},
                        {"satellites", "255"},
                        {"position_accuracy", "25.5"},
                        {"velocity_accuracy", "0"},
                        {"pdop", "655.35"},
                        {"gps_valid", "false"},
                        {"week_valid", "false"},
                        {"utc_valid", "false"},
                        {"temperature", "-149.99"},
                        {"humidity", "0.01"},
                        {"pressure", "6499.9"},
                        {"adc_t", "-21474836.48"},
                        {"adc_h", "21474836.47"},
                        {"adc_mcu_temperature", "4095"},
                        {"adc_mcu_temperature_volts", "6.60"},
                        {"adc_battery", "65535"}},
                       kGeodeticKeys,
                       {"fix"},
                       {}});

    packets.push_back({"no sensors, at the Earth's centre, no fix",
                       frameOf(telemetry(0, 0, 0, 0)
                                   .i32(8, 0)
                                   .i32(12, 0)
                                   .i32(16, 0)
                                   .u8(31, 0x00)
                                   .i16(32, -15000)
                                   .u16(34, 0)
                                   .u16(36, 65000)
                                   .u16(46, 0)),
                       "telemetry",
                       {{"time", "\"0:00:00\""},
                        {"x", "0"},
                        {"fix", "\"Нет\""},
                        {"gps_valid", "false"},
                        {"temperature", "null"},
                        {"humidity", "null"},
                        {"pressure", "null"},
                        {"adc_mcu_temperature", "0"},
                        {"adc_mcu_temperature_volts", "0.00"}},
                       {"fix", "temperature", "humidity", "pressure"},
                       kGeodeticKeys,
                       {}});

    packets.push_back({"only time, all valid, near Moscow",
                       frameOf(telemetry(9, 5, 7, 0).u8(31, 0xE4)),
                       "telemetry",
                       {{"time", "\"9:05:07\""},
                        {"x", "2849866.67"},
                        {"fix", "\"Только время\""},
                        {"gps_valid", "true"},
                        {"week_valid", "true"},
                        {"utc_valid", "true"},
                        {"temperature", "23.45"},
                        {"humidity", "50"},
                        {"pressure", "1013.2"},
                        {"adc_t", "1234.56"},
                        {"adc_h", "-1"},
                        {"adc_mcu_temperature", "2048"},
                        {"adc_mcu_temperature_volts", "3.30"}},
                       kGeodeticKeys,
                       {},
                       {}});

    packets.push_back(impossibleTime("hour 24", 24, 0, 0, 0));
    packets.push_back(impossibleTime("minute 60", 0, 60, 0, 0));
    packets.push_back(impossibleTime("second 60", 0, 0, 60, 0));
    packets.push_back(impossibleTime("millisecond 1000", 0, 0, 0, 250));

    RxBody calibration = telemetry::testing::calibrationBody();
    calibration.single(2, kNan)
        .single(6, -kInf)
        .single(10, kInf)
        .single(14, -kNan)
        .single(18, 123456789.0f)
        .single(22, 0.0f)
        .single(26, 1e-30f)
        .single(30, -1e30f)
        .single(34, std::numeric_limits<float>::max())
        .u32(38, 4294967295u)
        .u32(42, 0)
        .u32(46, 1234567);
    packets.push_back({"coefficients that are no numbers or far too large, serials at their ends",
                       frameOf(calibration),
                       "calibration",
                       {{"a", "null"},
                        {"b", "null"},
                        {"c", "null"},
                        {"adc_t_a", "null"},
                        {"number", "4294967295"},
                        {"board", "0"},
                        {"date", "\"12.34.56\""}},
                       {"adc_t_b", "adc_t_c", "adc_h_a", "adc_h_b", "adc_h_c"},
                       {},
                       {}});

    packets.push_back({"transmitter off, a negative correction, an unknown navigation mode",
                       frameOf(settings(255, 0, 2047, 255, 7)),
                       "settings",
                       {{"frequency", "412750"},
                        {"gain", "null"},
                        {"frequency_correction", "-250"},
                        {"vco_bias", "128"},
                        {"nav_mode", "\"Неизвестный\""},
                        {"frequency_code", "255"},
                        {"gain_code", "0"},
                        {"frequency_correction_code", "2047"},
                        {"vco_bias_code", "255"},
                        {"nav_mode_code", "7"}},
                       {},
                       {},
                       {}});
    packets.push_back({"highest gain, a correction outside the 11-bit field",
                       frameOf(settings(0, 255, 3000, 0, 2)),
                       "settings",
                       {{"frequency", "400000"},
                        {"gain", "102.80"},
                        {"frequency_correction", "null"},
                        {"vco_bias", "0.5"},
                        {"nav_mode", "\"GPS\""},
                        {"frequency_code", "0"},
                        {"gain_code", "255"},
                        {"frequency_correction_code", "3000"},
                        {"vco_bias_code", "0"},
                        {"nav_mode_code", "2"}},
                       {},
                       {},
                       {}});
    packets.push_back({"lowest gain, the lowest correction",
                       frameOf(settings(120, 1, 1024, 1, 1)),
                       "settings",
                       {{"frequency", "406000"},
                        {"gain", "-16.00"},
                        {"frequency_correction", "-256000"},
                        {"vco_bias", "1"},
                        {"nav_mode", "\"ГЛОНАСС\""},
                        {"frequency_correction_code", "1024"}},
                       {},
                       {},
                       {}});
    packets.push_back({"the highest correction, the largest field",
                       frameOf(settings(60, 35, 1023, 2, 0)),
                       "settings",
                       {{"gain", "-0.10"},
                        {"frequency_correction", "255750"},
                        {"vco_bias", "1.5"},
                        {"nav_mode", "\"ГЛОНАСС+GPS\""},
                        {"frequency_correction_code", "1023"}},
                       {},
                       {},
                       {}});
    packets.push_back(
        {"a correction field all ones",
         frameOf(settings(60, 30, 65535, 3, 0)),
         "settings",
         {{"gain", "-2.44"}, {"frequency_correction", "null"}, {"frequency_correction_code", "65535"}},
         {},
         {},
         {}});

    packets.push_back({"every part faulty",
                       frameOf(state(0x83)),
                       "state",
                       {{"pll", "false"}, {"nav_link", "false"}, {"pressure_link", "false"}},
                       {},
                       {},
                       {}});
    packets.push_back({"only unused bits set",
                       frameOf(state(0x7C)),
                       "state",
                       {{"pll", "true"}, {"nav_link", "true"}, {"pressure_link", "true"}},
                       {},
                       {},
                       {}});
    packets.push_back({"the navigation module silent",
                       frameOf(state(0x02)),
                       "state",
                       {{"pll", "true"}, {"nav_link", "false"}, {"pressure_link", "true"}},
                       {},
                       {},
                       {}});

    packets.push_back(
        {"calibration written", frameOf(ack(2)), "ack", {{"code", "2"}}, {}, {}, "Градуировки сохранены "});
    packets.push_back(
        {"settings written", frameOf(ack(3)), "ack", {{"code", "3"}}, {}, {}, "Настройки сохранены "});
    packets.push_back({"transmitter mode set",
                       frameOf(ack(4)),
                       "ack",
                       {{"code", "4"}},
                       {},
                       {},
                       "Режим работы передатчика установлен "});
    packets.push_back({"a code the window ignores",
                       frameOf(ack(0)),
                       "ack",
                       {{"code", "0"}, {"status", "null"}},
                       {},
                       {},
                       {}});
    packets.push_back(
        {"the highest code", frameOf(ack(255)), "ack", {{"code", "255"}, {"status", "null"}}, {}, {}, {}});
    return packets;
}

}  // namespace ctltest
