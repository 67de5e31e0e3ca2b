#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/formats.h"
#include "protocol/host_frames.h"
#include "protocol/receiver.h"
#include "support/fake_form.h"
#include "support/telemetry_frames.h"
#include "telemetry/telemetry.h"

namespace telemetry::testing {
namespace {

class TelemetryDecoder : public ::testing::Test {
protected:
    void SetUp() override { formats::setTimeSeparator(":"); }
    FakeForm form;
};

TEST_F(TelemetryDecoder, WritesEveryFieldOfAValidPacket)
{
    decodeTelemetry(telemetryBody(), form);

    const std::vector<std::pair<Field, std::string>> expected{
        {Field::Label4, "7"},
        {Field::Label5, "42"},
        {Field::Label6, "9:05:07"},
        {Field::Label134, "9:05:07"},
        {Field::Label7, "2849866,67"},
        {Field::Label8, "2196277,98"},
        {Field::Label9, "5248950,08"},
        {Field::Label12, "0"},
        {Field::Label13, "0"},
        {Field::Label18, "0"},
        {Field::Label21, "9"},
        {Field::Label136, "9"},
        {Field::Label22, "0,7"},
        {Field::Label23, "0,3"},
        {Field::Label24, "1,5"},
        {Field::Label25, "3D"},
        {Field::Label138, "3D"},
        {Field::Label44, "достоверно"},
        {Field::Label26, "достоверно"},
        {Field::Label40, "достоверно"},
        {Field::Label47, "23,45"},
        {Field::Label90, "23,45"},
        {Field::Label48, "50"},
        {Field::Label91, "50"},
        {Field::Label49, "1013,2"},
        {Field::Label111, "1013,2"},
        {Field::Label50, "1234,56"},
        {Field::Label51, "-1"},
        {Field::Label52, "2048 (3,30 В)"},
        {Field::Label53, "3000"},
        // the geodetic conversion of the position just shown
        {Field::Label77, "55,750000"},
        {Field::Label119, "55,750000"},
        {Field::Label78, "37,620000"},
        {Field::Label127, "37,620000"},
        {Field::Label79, "150,00"},
        {Field::Label128, "150,00"},
        {Field::Label80, "0,00"},
        {Field::Label81, "0,00"},
        {Field::Label82, "0,00"},
        {Field::Label131, "0,00"},
        {Field::Label83, "0,00"},
        {Field::Label132, "0,00"},
        {Field::Label85, "0,00"},
        {Field::Label113, "0,00"},
    };
    std::vector<FakeForm::TextWrite> expectedLog;
    for (const auto& [field, text] : expected)
        expectedLog.push_back({field, text});
    EXPECT_EQ(form.textLog, expectedLog);  // these fields, these texts, this order
    EXPECT_TRUE(form.radioButton1);
}

// The request boxes move only after every field, geodetic ones included,
// has been written.
TEST_F(TelemetryDecoder, MovesTheRequestBoxesLast)
{
    struct Recorder : FakeForm {
        std::vector<std::size_t> writesBeforeByte;
        void writeComByte(std::uint8_t byte) override
        {
            writesBeforeByte.push_back(textLog.size());
            FakeForm::writeComByte(byte);
        }
    } recorder;
    recorder.boxes[static_cast<int>(Box::CheckBox26)] = true;

    decodeTelemetry(telemetryBody(), recorder);

    ASSERT_EQ(recorder.requestMasks(), (std::vector<std::uint8_t>{0x00, 0x02}));
    for (const std::size_t writes : recorder.writesBeforeByte)
        EXPECT_EQ(writes, recorder.textLog.size());
}

struct ValueCase {
    const char* name;
    std::function<void(RxBody&)> patch;
    Field field;
    std::optional<Field> copy;
    std::string text;
};

class TelemetryValues : public TelemetryDecoder, public ::testing::WithParamInterface<ValueCase> {};

TEST_P(TelemetryValues, ShowsTheScaledValue)
{
    const ValueCase& c = GetParam();
    RxBody body = telemetryBody();
    c.patch(body);
    decodeTelemetry(body, form);
    EXPECT_EQ(form.field(c.field), c.text);
    if (c.copy) {
        EXPECT_EQ(form.field(*c.copy), c.text);
    }
}

const char* const kNoSensor = "нет датчика";

INSTANTIATE_TEST_SUITE_P(
    Table, TelemetryValues,
    ::testing::Values(
        ValueCase{"X_hundredths", [](RxBody& b) { b.i32(8, 285123456); }, Field::Label7, {}, "2851234,56"},
        ValueCase{
            "X_most_negative", [](RxBody& b) { b.i32(8, INT32_MIN); }, Field::Label7, {}, "-21474836,48"},
        ValueCase{"Y_largest", [](RxBody& b) { b.i32(12, INT32_MAX); }, Field::Label8, {}, "21474836,47"},
        ValueCase{"Z_zero", [](RxBody& b) { b.i32(16, 0); }, Field::Label9, {}, "0"},
        ValueCase{"Vx_small_negative", [](RxBody& b) { b.i16(20, -5); }, Field::Label12, {}, "-0,05"},
        ValueCase{"Vy_tenth", [](RxBody& b) { b.i16(22, 10); }, Field::Label13, {}, "0,1"},
        ValueCase{"Vz_most_negative", [](RxBody& b) { b.i16(24, INT16_MIN); }, Field::Label18, {}, "-327,68"},
        ValueCase{"satellites_max", [](RxBody& b) { b.u8(26, 255); }, Field::Label21, Field::Label136, "255"},
        ValueCase{"position_accuracy", [](RxBody& b) { b.u8(27, 7); }, Field::Label22, {}, "0,7"},
        ValueCase{"position_accuracy_max", [](RxBody& b) { b.u8(27, 255); }, Field::Label22, {}, "25,5"},
        ValueCase{"velocity_accuracy_whole", [](RxBody& b) { b.u8(28, 20); }, Field::Label23, {}, "2"},
        ValueCase{"pdop", [](RxBody& b) { b.u16(29, 150); }, Field::Label24, {}, "1,5"},
        ValueCase{"pdop_max_unsigned", [](RxBody& b) { b.u16(29, 65535); }, Field::Label24, {}, "655,35"},
        ValueCase{"temperature_sentinel", [](RxBody& b) { b.i16(32, -15000); }, Field::Label47,
                  Field::Label90, kNoSensor},
        ValueCase{"temperature_below_sentinel", [](RxBody& b) { b.i16(32, INT16_MIN); }, Field::Label47,
                  Field::Label90, kNoSensor},
        ValueCase{"temperature_above_sentinel", [](RxBody& b) { b.i16(32, -14999); }, Field::Label47,
                  Field::Label90, "-149,99"},
        ValueCase{"temperature_hot", [](RxBody& b) { b.i16(32, 15001); }, Field::Label47, Field::Label90,
                  "150,01"},
        ValueCase{"humidity_sentinel", [](RxBody& b) { b.u16(34, 0); }, Field::Label48, Field::Label91,
                  kNoSensor},
        ValueCase{"humidity_smallest", [](RxBody& b) { b.u16(34, 1); }, Field::Label48, Field::Label91,
                  "0,01"},
        ValueCase{"humidity_full", [](RxBody& b) { b.u16(34, 10000); }, Field::Label48, Field::Label91,
                  "100"},
        ValueCase{"humidity_max_unsigned", [](RxBody& b) { b.u16(34, 65535); }, Field::Label48,
                  Field::Label91, "655,35"},
        ValueCase{"pressure_below_sentinel", [](RxBody& b) { b.u16(36, 64999); }, Field::Label49,
                  Field::Label111, "6499,9"},
        ValueCase{"pressure_sentinel", [](RxBody& b) { b.u16(36, 65000); }, Field::Label49, Field::Label111,
                  kNoSensor},
        ValueCase{"pressure_max", [](RxBody& b) { b.u16(36, 65535); }, Field::Label49, Field::Label111,
                  kNoSensor},
        ValueCase{"pressure_zero", [](RxBody& b) { b.u16(36, 0); }, Field::Label49, Field::Label111, "0"},
        ValueCase{
            "adc_t_negative", [](RxBody& b) { b.i32(38, -123456789); }, Field::Label50, {}, "-1234567,89"},
        ValueCase{
            "adc_h_largest", [](RxBody& b) { b.i32(42, INT32_MAX); }, Field::Label51, {}, "21474836,47"},
        ValueCase{"mcu_zero", [](RxBody& b) { b.u16(46, 0); }, Field::Label52, {}, "0 (0,00 В)"},
        ValueCase{"mcu_1000", [](RxBody& b) { b.u16(46, 1000); }, Field::Label52, {}, "1000 (1,61 В)"},
        // 512 * 6.6 / 4096 is exactly 0,825: the half rounds away from zero.
        ValueCase{"mcu_exact_half", [](RxBody& b) { b.u16(46, 512); }, Field::Label52, {}, "512 (0,83 В)"},
        // three significant digits, still two decimals
        ValueCase{"mcu_max", [](RxBody& b) { b.u16(46, 65535); }, Field::Label52, {}, "65535 (106,00 В)"},
        ValueCase{"battery_max", [](RxBody& b) { b.u16(48, 65535); }, Field::Label53, {}, "65535"}),
    [](const auto& test) { return std::string(test.param.name); });

struct FlagsCase {
    std::uint8_t flags;
    const char* fix;  // nullptr: the previous text stays
    const char* gps;
    const char* week;
    const char* utc;
};

class TelemetryFlags : public TelemetryDecoder, public ::testing::WithParamInterface<FlagsCase> {};

TEST_P(TelemetryFlags, ShowFixTypeAndValidity)
{
    const FlagsCase& c = GetParam();
    form.fields[static_cast<int>(Field::Label25)] = "прежний";
    form.fields[static_cast<int>(Field::Label138)] = "другой";
    decodeTelemetry(telemetryBody().u8(31, c.flags), form);

    const std::string fix = c.fix ? c.fix : "прежний";
    EXPECT_EQ(form.field(Field::Label25), fix);
    EXPECT_EQ(form.field(Field::Label138), fix);  // copied again even when unchanged
    EXPECT_EQ(form.field(Field::Label44), c.gps);
    EXPECT_EQ(form.field(Field::Label26), c.week);
    EXPECT_EQ(form.field(Field::Label40), c.utc);
}

const char* const kValid = "достоверно";
const char* const kInvalid = "недостоверно";

INSTANTIATE_TEST_SUITE_P(Table, TelemetryFlags,
                         ::testing::Values(FlagsCase{0x00, "Нет", kInvalid, kInvalid, kInvalid},
                                           FlagsCase{0x01, "Расчет траектории", kInvalid, kInvalid, kInvalid},
                                           FlagsCase{0x02, "2D", kInvalid, kInvalid, kInvalid},
                                           FlagsCase{0xE3, "3D", kValid, kValid, kValid},
                                           FlagsCase{0x04, "Только время", kInvalid, kInvalid, kInvalid},
                                           FlagsCase{0x05, nullptr, kInvalid, kInvalid, kInvalid},
                                           FlagsCase{0x06, nullptr, kInvalid, kInvalid, kInvalid},
                                           FlagsCase{0xFF, nullptr, kValid, kValid, kValid},
                                           FlagsCase{0x18, "Нет", kInvalid, kInvalid,
                                                     kInvalid},  // bits 3, 4 unused
                                           FlagsCase{0x20, "Нет", kValid, kInvalid, kInvalid},
                                           FlagsCase{0x40, "Нет", kInvalid, kValid, kInvalid},
                                           FlagsCase{0x80, "Нет", kInvalid, kInvalid, kValid}));

struct TimeCase {
    std::uint8_t hour, minute, second, quarterMs;
    const char* text;  // nullptr: not a time of day
};

class TelemetryTime : public TelemetryDecoder, public ::testing::WithParamInterface<TimeCase> {};

TEST_P(TelemetryTime, ShowsAValidTimeAndStopsAfterThePacketNumberOtherwise)
{
    const TimeCase& c = GetParam();
    form.setAllFields("прежнее");
    form.boxes[static_cast<int>(Box::CheckBox26)] = true;
    const RxBody body = telemetryBody().u8(4, c.hour).u8(5, c.minute).u8(6, c.second).u8(7, c.quarterMs);

    if (c.text) {
        decodeTelemetry(body, form);
        EXPECT_EQ(form.field(Field::Label6), c.text);
        EXPECT_EQ(form.field(Field::Label134), c.text);
        return;
    }

    EXPECT_THROW(dispatchFrame(body, form), DecodeError);
    EXPECT_TRUE(form.radioButton1);
    EXPECT_EQ(form.field(Field::Label4), "7");
    EXPECT_EQ(form.field(Field::Label5), "42");
    ASSERT_EQ(form.textLog.size(), 2u);  // nothing after the packet number
    EXPECT_TRUE(form.wire.empty());
    EXPECT_TRUE(form.box(Box::CheckBox26));
    EXPECT_FALSE(form.box(Box::CheckBox32));
}

INSTANTIATE_TEST_SUITE_P(Table, TelemetryTime,
                         ::testing::Values(TimeCase{9, 5, 7, 0, "9:05:07"}, TimeCase{0, 0, 0, 0, "0:00:00"},
                                           TimeCase{23, 59, 59, 249, "23:59:59"},
                                           TimeCase{24, 0, 0, 0, nullptr}, TimeCase{255, 0, 0, 0, nullptr},
                                           TimeCase{12, 60, 0, 0, nullptr}, TimeCase{12, 0, 60, 0, nullptr},
                                           TimeCase{12, 0, 0, 250, nullptr},
                                           TimeCase{12, 0, 0, 255, nullptr}));

TEST_F(TelemetryDecoder, RequestBoxesFollowTheCyclicSwitch)
{
    // Cyclic telemetry keeps CheckBox26; an already checked CheckBox32
    // sends nothing.
    for (const Box box : {Box::CheckBox54, Box::CheckBox26, Box::CheckBox32})
        form.boxes[static_cast<std::size_t>(box)] = true;
    decodeTelemetry(telemetryBody(), form);
    EXPECT_TRUE(form.box(Box::CheckBox26));
    EXPECT_TRUE(form.box(Box::CheckBox32));
    EXPECT_TRUE(form.wire.empty());
}

// Through the real receiver: what the decoder writes before a failure stays,
// and a short frame is decoded over the bytes an earlier frame left behind.
class TelemetryThroughReceiver : public TelemetryDecoder {
protected:
    void feed(const protocol::RxBuffer& buf)
    {
        const std::vector<std::uint8_t> wire =
            protocol::wrapBody(std::span<const std::uint8_t>(buf.data(), buf[1]));
        for (const std::uint8_t byte : wire)
            receiver.Calc(byte, 1);
    }
    RecordingSink sink{form};
    protocol::FrameReceiver receiver{sink};
};

TEST_F(TelemetryThroughReceiver, FailureInsideTheDecoderIsSwallowedAndKeepsEarlierFields)
{
    feed(telemetryBody());
    const auto before = form.fields;
    form.clearRecords();
    sink.clearRecords();

    feed(telemetryBody().u8(3, 43).u8(4, 24));  // hour 24

    EXPECT_EQ(sink.verdicts, std::vector<bool>{true});
    EXPECT_EQ(sink.framesReceived, 1u);
    EXPECT_EQ(form.field(Field::Label5), "43");
    auto expected = before;
    expected[static_cast<int>(Field::Label5)] = "43";
    EXPECT_EQ(form.fields, expected);
    EXPECT_TRUE(form.wire.empty());
}

TEST_F(TelemetryThroughReceiver, ShortFrameReadsStaleBytesPastItsEnd)
{
    feed(telemetryBody());
    const auto full = form.fields;

    // Only firmware, packet number and time: its CRC lands on offsets 8 and
    // 9, the low half of X; everything from offset 12 on is the old frame's.
    RxBody shortBody(protocol::PT_TELEMETRY, 8);
    shortBody.u8(2, 8).u8(3, 99).u8(4, 10).u8(5, 0).u8(6, 1).u8(7, 0);
    feed(shortBody);

    EXPECT_EQ(form.field(Field::Label5), "99");
    EXPECT_EQ(form.field(Field::Label6), "10:00:01");
    EXPECT_NE(form.field(Field::Label7), full[static_cast<std::size_t>(Field::Label7)]);
    for (const Field f : {Field::Label8, Field::Label9, Field::Label21, Field::Label25, Field::Label47,
                          Field::Label49, Field::Label51, Field::Label52, Field::Label53})
        EXPECT_EQ(form.field(f), full[static_cast<std::size_t>(f)]) << fieldName(f);
}

}  // namespace
}  // namespace telemetry::testing
