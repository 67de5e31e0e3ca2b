#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <functional>
#include <optional>
#include <random>
#include <regex>
#include <string>
#include <vector>

#include "common/formats.h"
#include "common/json_text.h"
#include "protocol/device_packets.h"
#include "protocol/receiver.h"
#include "support/fake_form.h"
#include "support/rx_body.h"
#include "support/telemetry_frames.h"
#include "telemetry/field_legend.h"
#include "telemetry/presentation.h"
#include "telemetry/quantities.h"
#include "telemetry/telemetry.h"

namespace telemetry::testing {
namespace {

class Presentations : public ::testing::Test {
protected:
    void SetUp() override { formats::setTimeSeparator(":"); }
};

protocol::TelemetryPacket telemetry(const std::function<void(protocol::TelemetryPacket&)>& patch = {})
{
    protocol::TelemetryPacket p = protocol::readTelemetry(telemetryBody());
    if (patch)
        patch(p);
    return p;
}

protocol::CalibrationPacket calibration(const std::function<void(protocol::CalibrationPacket&)>& patch)
{
    protocol::CalibrationPacket p = protocol::readCalibration(calibrationBody());
    patch(p);
    return p;
}

protocol::SettingsPacket settings(const std::function<void(protocol::SettingsPacket&)>& patch)
{
    protocol::SettingsPacket p = protocol::readSettings(settingsBody());
    patch(p);
    return p;
}

// The one entry a presentation has for the field; nullptr, with a failure,
// when it has none or several.
const Shown* entryOf(const Presentation& shown, Field field)
{
    const Shown* found = nullptr;
    int count = 0;
    for (const Shown& s : shown.fields) {
        if (s.field == field) {
            found = &s;
            ++count;
        }
    }
    EXPECT_EQ(count, 1) << fieldName(field) << " is not shown exactly once";
    return count == 1 ? found : nullptr;
}

std::string withPoints(std::string text)
{
    for (char& ch : text)
        if (ch == ',')
            ch = '.';
    return text;
}

std::string withCommas(std::string text)
{
    for (char& ch : text)
        if (ch == '.')
            ch = ',';
    return text;
}

float fromBits(std::uint32_t bits) { return std::bit_cast<float>(bits); }

constexpr const char* kNoSensor = "нет датчика";

// --- Each field's text and value -------------------------------------------------

struct ValueCase {
    const char* what;
    Presentation shown;
    Field field;
    std::string text;
    std::string value;
};

std::vector<ValueCase> valueCases()
{
    using P = protocol::TelemetryPacket;
    using C = protocol::CalibrationPacket;
    using S = protocol::SettingsPacket;
    return {
        // Temperature: -15000 and below stand for no sensor.
        {"temperature at its sentinel", describeTelemetry(telemetry([](P& p) { p.temperature = -15000; })),
         Field::Label47, kNoSensor, "null"},
        {"temperature below its sentinel", describeTelemetry(telemetry([](P& p) { p.temperature = -15001; })),
         Field::Label47, kNoSensor, "null"},
        {"temperature at the bottom of its field",
         describeTelemetry(telemetry([](P& p) { p.temperature = INT16_MIN; })), Field::Label47, kNoSensor,
         "null"},
        {"temperature above its sentinel", describeTelemetry(telemetry([](P& p) { p.temperature = -14999; })),
         Field::Label47, "-149,99", "-149.99"},
        {"temperature zero", describeTelemetry(telemetry([](P& p) { p.temperature = 0; })), Field::Label47,
         "0", "0"},
        {"temperature at the top of its field",
         describeTelemetry(telemetry([](P& p) { p.temperature = INT16_MAX; })), Field::Label47, "327,67",
         "327.67"},
        // Humidity: 0 stands for no sensor.
        {"humidity at its sentinel", describeTelemetry(telemetry([](P& p) { p.humidity = 0; })),
         Field::Label48, kNoSensor, "null"},
        {"humidity above its sentinel", describeTelemetry(telemetry([](P& p) { p.humidity = 1; })),
         Field::Label48, "0,01", "0.01"},
        {"humidity at the top of its field", describeTelemetry(telemetry([](P& p) { p.humidity = 65535; })),
         Field::Label48, "655,35", "655.35"},
        // Pressure: 65000 and above stand for no sensor.
        {"pressure below its sentinel", describeTelemetry(telemetry([](P& p) { p.pressure = 64999; })),
         Field::Label49, "6499,9", "6499.9"},
        {"pressure at its sentinel", describeTelemetry(telemetry([](P& p) { p.pressure = 65000; })),
         Field::Label49, kNoSensor, "null"},
        {"pressure above its sentinel", describeTelemetry(telemetry([](P& p) { p.pressure = 65001; })),
         Field::Label49, kNoSensor, "null"},
        {"pressure at the top of its field", describeTelemetry(telemetry([](P& p) { p.pressure = 65535; })),
         Field::Label49, kNoSensor, "null"},
        {"pressure zero", describeTelemetry(telemetry([](P& p) { p.pressure = 0; })), Field::Label49, "0",
         "0"},
        // Navigation numbers.
        {"X most negative", describeTelemetry(telemetry([](P& p) { p.x = INT32_MIN; })), Field::Label7,
         "-21474836,48", "-21474836.48"},
        {"Vz a hundredth below zero", describeTelemetry(telemetry([](P& p) { p.vz = -1; })), Field::Label18,
         "-0,01", "-0.01"},
        {"PDOP at the top of its field", describeTelemetry(telemetry([](P& p) { p.pdop = 65535; })),
         Field::Label24, "655,35", "655.35"},
        {"satellites", describeTelemetry(telemetry([](P& p) { p.satellites = 255; })), Field::Label21, "255",
         "255"},
        {"navigation time", describeTelemetry(telemetry()), Field::Label6, "9:05:07", "\"9:05:07\""},
        {"fix type", describeTelemetry(telemetry([](P& p) { p.navigationFlags = 0x02; })), Field::Label25,
         "2D", "\"2D\""},
        // The validity flags, bits 5, 6 and 7.
        {"GPS time valid", describeTelemetry(telemetry([](P& p) { p.navigationFlags = 0x20; })),
         Field::Label44, "достоверно", "true"},
        {"GPS time not valid", describeTelemetry(telemetry([](P& p) { p.navigationFlags = 0xDF; })),
         Field::Label44, "недостоверно", "false"},
        {"week number valid", describeTelemetry(telemetry([](P& p) { p.navigationFlags = 0x40; })),
         Field::Label26, "достоверно", "true"},
        {"week number not valid", describeTelemetry(telemetry([](P& p) { p.navigationFlags = 0xBF; })),
         Field::Label26, "недостоверно", "false"},
        {"UTC time valid", describeTelemetry(telemetry([](P& p) { p.navigationFlags = 0x80; })),
         Field::Label40, "достоверно", "true"},
        {"UTC time not valid", describeTelemetry(telemetry([](P& p) { p.navigationFlags = 0x7F; })),
         Field::Label40, "недостоверно", "false"},
        // The MCU reading carries its voltage; the value is the reading.
        {"MCU reading with its voltage",
         describeTelemetry(telemetry([](P& p) { p.mcuTemperatureAdc = 512; })), Field::Label52,
         "512 (0,83 В)", "512"},
        {"temperature channel negative",
         describeTelemetry(telemetry([](P& p) { p.temperatureChannel = -123456789; })), Field::Label50,
         "-1234567,89", "-1234567.89"},
        // Coefficients: not-a-number and infinities have no JSON number.
        {"A quiet NaN", describeCalibration(calibration([](C& p) { p.values.a = fromBits(0x7FC00000); })),
         Field::Label17, "NAN", "null"},
        {"A signalling NaN",
         describeCalibration(calibration([](C& p) { p.values.a = fromBits(0x7F800001); })), Field::Label17,
         "NAN", "null"},
        {"B minus infinity",
         describeCalibration(calibration([](C& p) { p.values.b = fromBits(0xFF800000); })), Field::Label55,
         "-INF", "null"},
        {"C negative NaN", describeCalibration(calibration([](C& p) { p.values.c = fromBits(0xFFC12345); })),
         Field::Label56, "-NAN", "null"},
        {"ADCt A infinity", describeCalibration(calibration([](C& p) { p.adcT[0] = fromBits(0x7F800000); })),
         Field::Label57, "INF", "null"},
        {"ADCh B NaN", describeCalibration(calibration([](C& p) { p.adcH[1] = fromBits(0x7FC00001); })),
         Field::Label61, "NAN", "null"},
        {"A", describeCalibration(calibration([](C& p) { p.values.a = 1.5f; })), Field::Label17, "1,50000",
         "1.50000"},
        {"A too long for its digits", describeCalibration(calibration([](C& p) { p.values.a = 1234567.0f; })),
         Field::Label17, "1,23457E6", "1.23457E6"},
        {"C minus zero", describeCalibration(calibration([](C& p) { p.values.c = -0.0f; })), Field::Label56,
         "0,000", "0.000"},
        {"ADCh A in exponent form", describeCalibration(calibration([](C& p) { p.adcH[0] = -0.25f; })),
         Field::Label60, "-2,5000000E-1", "-2.5000000E-1"},
        {"number past 2^31", describeCalibration(calibration([](C& p) { p.values.number1 = 4294967295u; })),
         Field::Label63, "4294967295", "4294967295"},
        {"date", describeCalibration(calibration([](C& p) { p.values.date = 50318; })), Field::Label65,
         "05.03.18", "\"05.03.18\""},
        // Gain: 0 is the transmitter off.
        {"gain off", describeSettings(settings([](S& p) { p.gain = 0; })), Field::Label68, "Откл. (0)",
         "null"},
        {"gain 1", describeSettings(settings([](S& p) { p.gain = 1; })), Field::Label68, "-16,00 дБм (1)",
         "-16.00"},
        {"gain 30", describeSettings(settings([](S& p) { p.gain = 30; })), Field::Label68, "-2,44 дБм (30)",
         "-2.44"},
        {"gain 63", describeSettings(settings([](S& p) { p.gain = 63; })), Field::Label68, "13,00 дБм (63)",
         "13.00"},
        // Correction: an 11-bit two's-complement count of 250 Hz.
        {"correction 0", describeSettings(settings([](S& p) { p.correction = 0; })), Field::Label67,
         "0 Гц (0)", "0"},
        {"correction 1023", describeSettings(settings([](S& p) { p.correction = 1023; })), Field::Label67,
         "255750 Гц (1023)", "255750"},
        {"correction 1024", describeSettings(settings([](S& p) { p.correction = 1024; })), Field::Label67,
         "-256000 Гц (-1024)", "-256000"},
        {"correction 2047", describeSettings(settings([](S& p) { p.correction = 2047; })), Field::Label67,
         "-250 Гц (-1)", "-250"},
        {"correction 2048, outside the field", describeSettings(settings([](S& p) { p.correction = 2048; })),
         Field::Label67, "Неизвестно (2048)", "null"},
        {"frequency", describeSettings(settings([](S& p) { p.frequencyCode = 60; })), Field::Label66,
         "403000 кГц (60)", "403000"},
        {"bias", describeSettings(settings([](S& p) { p.biasCode = 0; })), Field::Label69, "0,5 мА (0)",
         "0.5"},
        {"navigation mode", describeSettings(settings([](S& p) { p.navMode = 2; })), Field::Label70,
         "GPS (2)", "\"GPS\""},
        {"navigation mode unknown", describeSettings(settings([](S& p) { p.navMode = 3; })), Field::Label70,
         "Неизвестный (3)", "\"Неизвестный\""},
        // State: a set fault bit is a part that is not healthy.
        {"transmitter PLL fault", describeState({0x01}), Field::Label74, "Нет", "false"},
        {"navigation link healthy", describeState({0x01}), Field::Label75, "OK", "true"},
        {"pressure sensor link fault", describeState({0x80}), Field::Label76, "Нет", "false"},
        {"pressure sensor link healthy", describeState({0x7F}), Field::Label76, "OK", "true"},
    };
}

TEST_F(Presentations, EachFieldsTextAndValue)
{
    for (const ValueCase& c : valueCases()) {
        const Shown* shown = entryOf(c.shown, c.field);
        if (!shown) {
            ADD_FAILURE() << c.what;
            continue;
        }
        EXPECT_FALSE(shown->keep) << c.what;
        EXPECT_EQ(shown->text, c.text) << c.what;
        EXPECT_EQ(shown->value, c.value) << c.what;
    }
}

TEST_F(Presentations, ExtrasCarryTheCodesAndTheVolts)
{
    const Presentation shownSettings = describeSettings({60, 0, 2048, 3, 7});
    EXPECT_EQ(shownSettings.extras, (std::vector<std::pair<std::string, std::string>>{
                                        {"frequency_code", "60"},
                                        {"gain_code", "0"},
                                        {"frequency_correction_code", "2048"},
                                        {"vco_bias_code", "3"},
                                        {"nav_mode_code", "7"},
                                    }));
    const Presentation shownTelemetry =
        describeTelemetry(telemetry([](auto& p) { p.mcuTemperatureAdc = 512; }));
    EXPECT_EQ(shownTelemetry.extras,
              (std::vector<std::pair<std::string, std::string>>{{"adc_mcu_temperature_volts", "0.83"}}));
}

// A fix type without a word (5 to 7) leaves the field as it was: the
// presentation keeps it, with neither text nor value.
TEST_F(Presentations, FixTypesWithoutAWordKeepTheField)
{
    struct Case {
        std::uint8_t flags;
        const char* word;  // nullptr: kept
    };
    const Case cases[] = {{0x00, "Нет"},   {0x01, "Расчет траектории"},
                          {0x03, "3D"},    {0x04, "Только время"},
                          {0x05, nullptr}, {0x06, nullptr},
                          {0x07, nullptr}, {0xE5, nullptr},
                          {0xFF, nullptr}, {0xE3, "3D"}};
    for (const Case& c : cases) {
        const Presentation shown =
            describeTelemetry(telemetry([&c](auto& p) { p.navigationFlags = c.flags; }));
        const Shown* fix = entryOf(shown, Field::Label25);
        ASSERT_NE(fix, nullptr) << int{c.flags};
        EXPECT_EQ(fix->keep, c.word == nullptr) << int{c.flags};
        EXPECT_EQ(fix->text, c.word ? c.word : "") << int{c.flags};
        EXPECT_EQ(fix->value, c.word ? json_text::jsonString(c.word) : "") << int{c.flags};
        // The rest of the packet is shown as ever.
        EXPECT_FALSE(shown.stopped) << int{c.flags};
        EXPECT_NE(entryOf(shown, Field::Label53), nullptr) << int{c.flags};
    }
}

// A navigation time that is no time of day stops the packet after the
// firmware and the packet number; kalvi7-ctl gets no geodetic values either.
TEST_F(Presentations, AnImpossibleTimeStopsAfterThePacketNumber)
{
    struct Case {
        const char* what;
        std::uint8_t hour, minute, second, quarters;
        bool stops;
    };
    const Case cases[] = {
        {"hour 24", 24, 0, 0, 0, true},         {"minute 60", 0, 60, 0, 0, true},
        {"second 60", 0, 0, 60, 0, true},       {"1000 ms", 0, 0, 0, 250, true},
        {"all ones", 255, 255, 255, 255, true}, {"the last moment of the day", 23, 59, 59, 249, false},
    };
    for (const Case& c : cases) {
        const protocol::TelemetryPacket p = telemetry([&c](auto& t) {
            t.firmware = 17;
            t.packetNumber = 200;
            t.hour = c.hour;
            t.minute = c.minute;
            t.second = c.second;
            t.quarterMilliseconds = c.quarters;
        });
        for (const Presentation& shown : {describeTelemetry(p), describePacket(p, {})}) {
            if (!c.stops) {
                EXPECT_FALSE(shown.stopped) << c.what;
                EXPECT_NE(entryOf(shown, Field::Label53), nullptr) << c.what;  // the last field of its own
                continue;
            }
            EXPECT_EQ(shown.stopped, "Недопустимое время навигационного решения") << c.what;
            ASSERT_EQ(shown.fields.size(), 2u) << c.what;
            EXPECT_EQ(shown.fields[0].field, Field::Label4) << c.what;
            EXPECT_EQ(shown.fields[0].value, "17") << c.what;
            EXPECT_EQ(shown.fields[1].field, Field::Label5) << c.what;
            EXPECT_EQ(shown.fields[1].value, "200") << c.what;
            EXPECT_TRUE(shown.extras.empty()) << c.what;
        }
    }
}

// --- The values of whole packets -----------------------------------------------------

// Any bytes a good-CRC frame of a device type may carry, with a time of day
// in most telemetry packets so that they get past it.
std::vector<protocol::RxBuffer> randomPackets(int count, std::uint32_t seed)
{
    std::mt19937 rng(seed);
    std::vector<protocol::RxBuffer> packets;
    for (int i = 0; i < count; ++i) {
        protocol::RxBuffer buf;
        for (auto& byte : buf)
            byte = static_cast<std::uint8_t>(rng());
        buf[0] = static_cast<std::uint8_t>(protocol::PT_ACK + i % 5);
        if (buf[0] == protocol::PT_TELEMETRY && i % 3 != 0) {
            buf[4] %= 24;
            buf[5] %= 60;
            buf[6] %= 60;
            buf[7] %= 250;
        }
        packets.push_back(buf);
    }
    return packets;
}

std::vector<protocol::RxBuffer> wholePackets()
{
    std::vector<protocol::RxBuffer> packets{
        telemetryBody(),
        telemetryBody().u16(36, 65000).u16(34, 0).i16(32, -15000).u8(31, 0x06),  // no sensors, no fix word
        telemetryBody().i32(8, INT32_MIN).i16(20, INT16_MIN).u16(29, 65535).i32(42, INT32_MAX),
        calibrationBody(),
        calibrationBody().u32(2, 0x7F800001).u32(6, 0xFF800000).u32(10, 0x80000000).u32(26, 0xFFC12345),
        settingsBody(),
        settingsBody().u8(3, 0).u16(4, 2048).u8(7, 9),
        stateBody(0x83),
        stateBody(0x00),
    };
    for (const protocol::RxBuffer& random : randomPackets(2000, 20240315))
        packets.push_back(random);
    return packets;
}

bool isJsonNumber(const std::string& value)
{
    static const std::regex number(R"(-?(0|[1-9][0-9]*)(\.[0-9]+)?([eE][+-]?[0-9]+)?)");
    return std::regex_match(value, number);
}

// Each value says what its text says: a number with the text's digits
// ("," for "."), or the number a longer text starts with; a word with the
// text's own; true or false for the two words of a flag; null only where
// the text stands for no value.
void expectValueOfText(const Shown& shown, const std::string& where)
{
    const std::string& text = shown.text;
    const std::string& value = shown.value;
    const std::string at = where + ", " + fieldName(shown.field) + " \"" + text + "\" -> " + value;
    if (value.empty()) {
        ADD_FAILURE() << at << ": no value";
    } else if (value == "null") {
        const bool noValue = text == kNoSensor || text == "Откл. (0)" || text.rfind("Неизвестно (", 0) == 0 ||
                             text.find("NAN") != std::string::npos || text.find("INF") != std::string::npos;
        EXPECT_TRUE(noValue) << at;
    } else if (value == "true" || value == "false") {
        const bool yes = value == "true";
        const bool words = text == (yes ? "достоверно" : "недостоверно") || text == (yes ? "OK" : "Нет");
        EXPECT_TRUE(words) << at;
    } else if (value.front() == '"') {
        const std::string word = value.substr(1, value.size() - 2);
        EXPECT_EQ(value, json_text::jsonString(word)) << at;
        EXPECT_TRUE(text == word || text.rfind(word + " (", 0) == 0) << at;
    } else {
        EXPECT_TRUE(isJsonNumber(value)) << at;
        if (formats::isDecimalText(text))
            EXPECT_EQ(value, withPoints(text)) << at;  // the number alone
        else
            EXPECT_EQ(text.rfind(withCommas(value) + " ", 0), 0u) << at;  // "403000 кГц (60)"
    }
}

TEST_F(Presentations, EveryValueSaysWhatItsTextSays)
{
    int index = 0;
    for (const protocol::RxBuffer& buf : wholePackets()) {
        const std::string where = "packet " + std::to_string(index++) + " type " + std::to_string(buf[0]);
        const std::optional<protocol::DevicePacket> packet = protocol::readDevicePacket(buf);
        ASSERT_TRUE(packet) << where;
        const Presentation shown = describePacket(*packet, {});
        for (const Shown& field : shown.fields) {
            if (field.keep) {
                EXPECT_TRUE(field.text.empty() && field.value.empty()) << where;
                continue;
            }
            expectValueOfText(field, where);
        }
        for (const auto& [key, value] : shown.extras)
            EXPECT_TRUE(isJsonNumber(value)) << where << ", " << key << " = " << value;
    }
}

// --- kalvi7-ctl's presentation against the window -------------------------------------

constexpr const char* kBefore = "прежний";

// The window's record of writes for a presentation: each field, then its
// operator-page copy; a kept field only refreshes its copy from what it
// showed before.
std::vector<FakeForm::TextWrite> writesOf(const Presentation& shown)
{
    std::vector<FakeForm::TextWrite> writes;
    for (const Shown& s : shown.fields) {
        if (!s.keep)
            writes.push_back({s.field, s.text});
        if (const std::optional<Field> copy = legendOf(s.field).copy)
            writes.push_back({*copy, s.keep ? kBefore : s.text});
    }
    return writes;
}

// Decodes the frame as the window does and as kalvi7-ctl does: the window
// writes exactly the presentation's texts, in its order, geodetic fields
// included, and stops where it stops.
void expectWindowShowsThePresentation(const protocol::RxBuffer& buf, const std::string& what)
{
    FakeForm form;
    form.setAllFields(kBefore);
    form.clock = {12, 34, 56};
    std::optional<std::string> stopped;
    try {
        dispatchFrame(buf, form);
    } catch (const DecodeError& e) {
        stopped = e.what();
    }
    const std::optional<protocol::DevicePacket> packet = protocol::readDevicePacket(buf);
    ASSERT_TRUE(packet) << what;
    const Presentation shown = describePacket(*packet, form.clock);
    EXPECT_EQ(form.textLog, writesOf(shown)) << what;
    EXPECT_EQ(stopped, shown.stopped) << what;
    EXPECT_EQ(form.statusText, shown.status.value_or("")) << what;
}

RxBody at(std::int32_t x, std::int32_t y, std::int32_t z, std::int16_t vx = 0, std::int16_t vy = 0,
          std::int16_t vz = 0)
{
    return telemetryBody().i32(8, x).i32(12, y).i32(16, z).i16(20, vx).i16(22, vy).i16(24, vz);
}

TEST_F(Presentations, WindowShowsWhatKalvi7CtlReports)
{
    struct Case {
        const char* what;
        protocol::RxBuffer buf;
        bool geodetic;
        const char* height = nullptr;  // checked where the digit is known
    };
    // At the equator with X = k^2 cm and Y = k cm the distance from the
    // axis is sqrt(k^4 + k^2) cm, about 2e-12 m short of X + 0.5 cm: the
    // height's last shown digit lies a few units in the last place of long
    // double below a rounding half, and rounds down. In double precision
    // the second of these shows one centimetre more.
    const auto nearHalf = [](std::int32_t k, std::int32_t sign = 1) { return at(sign * k * k, sign * k, 0); };
    const Case cases[] = {
        {"near Moscow, standing", telemetryBody(), true},
        {"near Moscow, moving", at(284986667, 219627798, 524895008, -327, 1250, -1), true},
        {"a height by a rounding half", nearHalf(25255), true, "14,25"},
        {"another height by a rounding half", nearHalf(25256), true, "519,36"},
        {"a height by a rounding half, opposite", nearHalf(25255, -1), true, "14,25"},
        {"a height by a rounding half, moving", at(25255 * 25255, 25255, 0, -3, 2500, 4), true, "14,25"},
        {"the north pole", at(0, 0, 635675131), true},
        {"the south pole, rising", at(0, 0, -635675131, 0, 0, -500), true},
        {"on the Y axis", at(0, 637813600, 0, 100, 0, 100), true},
        {"the extremes of every field", at(INT32_MIN, INT32_MAX, INT32_MIN, INT16_MIN, INT16_MAX, INT16_MIN),
         true},
        {"the Earth's centre", at(0, 0, 0), false},
        {"the Earth's centre, moving", at(0, 0, 0, 100, 100, 100), false},
        {"a fix type without a word", telemetryBody().u8(31, 0x07), true},
        {"an impossible time", telemetryBody().u8(4, 24), false},
    };
    for (const Case& c : cases) {
        expectWindowShowsThePresentation(c.buf, c.what);
        const Presentation shown = describePacket(protocol::readTelemetry(c.buf), {});
        const bool geodetic = std::any_of(shown.fields.begin(), shown.fields.end(),
                                          [](const Shown& s) { return s.field == Field::Label77; });
        EXPECT_EQ(geodetic, c.geodetic) << c.what;
        if (c.height) {
            const Shown* height = entryOf(shown, Field::Label79);
            EXPECT_EQ(height ? height->text : "", c.height) << c.what;
        }
    }
    int index = 0;
    for (const protocol::RxBuffer& buf : randomPackets(3000, 7))
        expectWindowShowsThePresentation(buf, "random packet " + std::to_string(index++));
}

// The window converts the numbers it reads back from its fields, kalvi7-ctl
// the typed ones: the two agree at any point, a rounding half included,
// only if every shown navigation text reads back as the very number it was
// made from.
TEST_F(Presentations, ShownNavigationTextsReadBackAsTheirNumbers)
{
    std::vector<std::int64_t> raws{INT32_MIN, INT32_MAX, INT16_MIN, INT16_MAX, 0, 1, -1, 5, 50, 99, 100, 101};
    std::mt19937 rng(51794);
    for (int i = 0; i < 20000; ++i)
        raws.push_back(static_cast<std::int32_t>(rng()));
    for (const std::int64_t raw : raws) {
        const long double typed = quantities::scaled(raw, 100);
        const std::optional<long double> read = formats::parseDecimal(formats::general(typed));
        ASSERT_TRUE(read) << raw;
        EXPECT_EQ(*read, typed) << raw << " shown as " << formats::general(typed);
    }
}

}  // namespace
}  // namespace telemetry::testing
