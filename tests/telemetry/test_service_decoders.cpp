#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <string>

#include "common/formats.h"
#include "support/fake_form.h"
#include "support/telemetry_frames.h"
#include "telemetry/telemetry.h"

namespace telemetry::testing {
namespace {

class ServiceDecoders : public ::testing::Test {
protected:
    void SetUp() override { formats::setTimeSeparator(":"); }
    FakeForm form;
};

// --- Acknowledgement ---------------------------------------------------------

struct AckCase {
    std::uint8_t code;
    TimeOfDay now;
    const char* status;  // nullptr: the status bar keeps its text
};

class Acknowledgement : public ServiceDecoders, public ::testing::WithParamInterface<AckCase> {};

TEST_P(Acknowledgement, StampsKnownCodesWithTheLocalTime)
{
    const AckCase& c = GetParam();
    form.statusText = "прежний";
    form.clock = c.now;
    dispatchFrame(RxBody(protocol::PT_ACK, 3).u8(2, c.code), form);
    EXPECT_EQ(form.statusText, c.status ? c.status : "прежний");
    EXPECT_TRUE(form.textLog.empty());
    EXPECT_TRUE(form.wire.empty());  // no box moves
}

INSTANTIATE_TEST_SUITE_P(Table, Acknowledgement,
                         ::testing::Values(AckCase{2, {9, 3, 7}, "Градуировки сохранены 09:03:07"},
                                           AckCase{3, {14, 5, 9}, "Настройки сохранены 14:05:09"},
                                           AckCase{
                                               4, {0, 0, 0}, "Режим работы передатчика установлен 00:00:00"},
                                           AckCase{0, {9, 3, 7}, nullptr}, AckCase{1, {9, 3, 7}, nullptr},
                                           AckCase{5, {9, 3, 7}, nullptr}, AckCase{255, {9, 3, 7}, nullptr}));

// --- Calibration ---------------------------------------------------------------

struct CoefficientCase {
    const char* name;
    std::size_t offset;
    std::uint32_t bits;  // the single as it lies in the packet
    Field field;
    const char* text;
};

std::uint32_t bitsOf(float value) { return std::bit_cast<std::uint32_t>(value); }

class CalibrationCoefficient : public ServiceDecoders,
                               public ::testing::WithParamInterface<CoefficientCase> {};

TEST_P(CalibrationCoefficient, ShowsItInItsFormat)
{
    const CoefficientCase& c = GetParam();
    decodeCalibration(calibrationBody().u32(c.offset, c.bits), form);
    EXPECT_EQ(form.field(c.field), c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Table, CalibrationCoefficient,
    ::testing::Values(
        CoefficientCase{"A", 2, bitsOf(1.5f), Field::Label17, "1,50000"},
        // six significant digits of the single 123.456787..., zero-filled
        CoefficientCase{"A_six_digits", 2, bitsOf(123.456789f), Field::Label17, "123,45700"},
        CoefficientCase{"A_too_long", 2, bitsOf(1234567.0f), Field::Label17, "1,23457E6"},
        CoefficientCase{"B", 6, bitsOf(-40.0f), Field::Label55, "-40,00"},
        CoefficientCase{"B_too_long", 6, bitsOf(1234567.0f), Field::Label55, "1,23457E06"},
        CoefficientCase{"C", 10, bitsOf(273.15f), Field::Label56, "273,150"},
        CoefficientCase{"ADCt_A", 14, bitsOf(2.0f), Field::Label57, "2,0000000E+0"},
        CoefficientCase{"ADCt_A_zero", 14, bitsOf(0.0f), Field::Label57, "0,0000000E+0"},
        CoefficientCase{"ADCt_B", 18, bitsOf(0.5f), Field::Label58, "0,5000000"},
        CoefficientCase{"ADCt_C", 22, bitsOf(123.5f), Field::Label59, "123,5000000"},
        CoefficientCase{"ADCh_A_negative", 26, bitsOf(-0.25f), Field::Label60, "-2,5000000E-1"},
        CoefficientCase{"ADCh_A_small", 26, bitsOf(0.001953125f), Field::Label60, "1,9531250E-3"},
        CoefficientCase{"ADCh_B", 30, bitsOf(0.5f), Field::Label61, "0,5000000"},
        CoefficientCase{"ADCh_C", 34, bitsOf(-123.5f), Field::Label62, "-123,5000000"},
        CoefficientCase{"A_infinite", 2, 0x7F800000u, Field::Label17, "INF"},
        CoefficientCase{"B_minus_infinite", 6, 0xFF800000u, Field::Label55, "-INF"},
        CoefficientCase{"ADCt_A_infinite", 14, 0x7F800000u, Field::Label57, "INF"},
        CoefficientCase{"C_quiet_nan", 10, 0x7FC00000u, Field::Label56, "NAN"},
        CoefficientCase{"ADCh_B_negative_nan", 30, 0xFFC00000u, Field::Label61, "-NAN"},
        CoefficientCase{"A_signalling_nan", 2, 0x7F800001u, Field::Label17, "NAN"},
        CoefficientCase{"ADCh_A_negative_signalling_nan", 26, 0xFFA00000u, Field::Label60, "-NAN"}),
    [](const auto& test) { return std::string(test.param.name); });

struct NumberCase {
    std::size_t offset;
    std::uint32_t value;
    Field field;
    const char* text;
};

class CalibrationNumber : public ServiceDecoders, public ::testing::WithParamInterface<NumberCase> {};

TEST_P(CalibrationNumber, ShowsSerialNumbersUnsignedAndTheDateAsDdMmYy)
{
    const NumberCase& c = GetParam();
    decodeCalibration(calibrationBody().u32(c.offset, c.value), form);
    EXPECT_EQ(form.field(c.field), c.text);
}

INSTANTIATE_TEST_SUITE_P(Table, CalibrationNumber,
                         ::testing::Values(NumberCase{38, 4294967295u, Field::Label63, "4294967295"},
                                           NumberCase{42, 2147483648u, Field::Label64, "2147483648"},
                                           NumberCase{42, 0, Field::Label64, "0"},
                                           NumberCase{46, 311218, Field::Label65, "31.12.18"},
                                           NumberCase{46, 50318, Field::Label65, "05.03.18"},  // day below 10
                                           NumberCase{46, 0, Field::Label65, "00.00.00"},
                                           NumberCase{46, 7, Field::Label65, "00.00.07"},
                                           NumberCase{46, 1234567, Field::Label65,
                                                      "12.34.56"},  // seventh digit dropped
                                           NumberCase{46, 4294967295u, Field::Label65, "42.94.96"}));

TEST_F(ServiceDecoders, CalibrationFillsTheEditorsOnlyWhileNotEditing)
{
    form.editors.fill("ввод");
    form.edit1IsReadOnly = false;  // the operator is typing
    decodeCalibration(calibrationBody(), form);
    EXPECT_EQ(form.field(Field::Label17), "1,50000");
    EXPECT_EQ(form.field(Field::Label65), "31.12.18");
    for (const auto& text : form.editors)
        EXPECT_EQ(text, "ввод");

    form.edit1IsReadOnly = true;
    decodeCalibration(calibrationBody(), form);
    EXPECT_EQ(form.editors, (std::array<std::string, kEditorCount>{"1,50000", "-40,00", "273,150", "123456",
                                                                   "654321", "31.12.18"}));
}

// --- Settings --------------------------------------------------------------------

struct SettingsCase {
    const char* name;
    std::size_t offset;
    std::uint16_t value;
    bool wide;  // a 16-bit field
    Field field;
    const char* text;
};

class Settings : public ServiceDecoders, public ::testing::WithParamInterface<SettingsCase> {};

TEST_P(Settings, ShowsTheValueWithItsRawCode)
{
    const SettingsCase& c = GetParam();
    RxBody body = settingsBody();
    if (c.wide)
        body.u16(c.offset, c.value);
    else
        body.u8(c.offset, static_cast<std::uint8_t>(c.value));
    decodeSettings(body, form);
    EXPECT_EQ(form.field(c.field), c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Settings,
    ::testing::Values(
        SettingsCase{"frequency_low", 2, 0, false, Field::Label66, "400000 кГц (0)"},
        SettingsCase{"frequency_mid", 2, 60, false, Field::Label66, "403000 кГц (60)"},
        SettingsCase{"frequency_high", 2, 120, false, Field::Label66, "406000 кГц (120)"},
        SettingsCase{"frequency_code_max", 2, 255, false, Field::Label66, "412750 кГц (255)"},
        SettingsCase{"gain_off", 3, 0, false, Field::Label68, "Откл. (0)"},
        SettingsCase{"gain_1", 3, 1, false, Field::Label68, "-16,00 дБм (1)"},
        SettingsCase{"gain_30", 3, 30, false, Field::Label68, "-2,44 дБм (30)"},
        SettingsCase{"gain_32", 3, 32, false, Field::Label68, "-1,50 дБм (32)"},
        SettingsCase{"gain_35", 3, 35, false, Field::Label68, "-0,10 дБм (35)"},
        SettingsCase{"gain_63", 3, 63, false, Field::Label68, "13,00 дБм (63)"},
        // four significant digits leave 102,8
        SettingsCase{"gain_255", 3, 255, false, Field::Label68, "102,80 дБм (255)"},
        SettingsCase{"correction_zero", 4, 0, true, Field::Label67, "0 Гц (0)"},
        SettingsCase{"correction_4", 4, 4, true, Field::Label67, "1000 Гц (4)"},
        SettingsCase{"correction_max_up", 4, 1023, true, Field::Label67, "255750 Гц (1023)"},
        SettingsCase{"correction_max_down", 4, 1024, true, Field::Label67, "-256000 Гц (-1024)"},
        SettingsCase{"correction_minus_4", 4, 2044, true, Field::Label67, "-1000 Гц (-4)"},
        SettingsCase{"correction_minus_1", 4, 2047, true, Field::Label67, "-250 Гц (-1)"},
        SettingsCase{"correction_outside_field", 4, 2048, true, Field::Label67, "Неизвестно (2048)"},
        SettingsCase{"correction_all_ones", 4, 65535, true, Field::Label67, "Неизвестно (65535)"},
        SettingsCase{"bias_0", 6, 0, false, Field::Label69, "0,5 мА (0)"},
        SettingsCase{"bias_3", 6, 3, false, Field::Label69, "2 мА (3)"},
        SettingsCase{"bias_255", 6, 255, false, Field::Label69, "128 мА (255)"},
        SettingsCase{"navigation_both", 7, 0, false, Field::Label70, "ГЛОНАСС+GPS (0)"},
        SettingsCase{"navigation_glonass", 7, 1, false, Field::Label70, "ГЛОНАСС (1)"},
        SettingsCase{"navigation_gps", 7, 2, false, Field::Label70, "GPS (2)"},
        SettingsCase{"navigation_unknown", 7, 3, false, Field::Label70, "Неизвестный (3)"},
        SettingsCase{"navigation_unknown_max", 7, 255, false, Field::Label70, "Неизвестный (255)"}),
    [](const auto& test) { return std::string(test.param.name); });

// --- State -----------------------------------------------------------------------

struct StateCase {
    std::uint8_t flags;
    const char* pll;
    const char* navigation;
    const char* pressure;
};

class State : public ServiceDecoders, public ::testing::WithParamInterface<StateCase> {};

TEST_P(State, ShowsFaultBitsAndClearsTheLinkIndicator)
{
    const StateCase& c = GetParam();
    form.radioButton1 = true;
    decodeState(stateBody(c.flags), form);
    EXPECT_EQ(form.field(Field::Label74), c.pll);
    EXPECT_EQ(form.field(Field::Label75), c.navigation);
    EXPECT_EQ(form.field(Field::Label76), c.pressure);
    EXPECT_FALSE(form.radioButton1);
}

INSTANTIATE_TEST_SUITE_P(Table, State,
                         ::testing::Values(StateCase{0x00, "OK", "OK", "OK"},
                                           StateCase{0x83, "Нет", "Нет", "Нет"},
                                           StateCase{0x7C, "OK", "OK", "OK"},  // unused bits
                                           StateCase{0x01, "Нет", "OK", "OK"},
                                           StateCase{0x02, "OK", "Нет", "OK"},
                                           StateCase{0x80, "OK", "OK", "Нет"}));

// --- Every decoder on whatever a good-CRC frame may carry -------------------------

// Any bytes give every field a defined text or the failure the time check
// raises; random fill also exercises odd offsets and NaN payloads.
TEST_F(ServiceDecoders, AnyContentGivesDefinedTexts)
{
    std::uint32_t seed = 12345;
    auto next = [&seed] { return seed = seed * 1664525u + 1013904223u; };
    for (int round = 0; round < 3000; ++round) {
        protocol::RxBuffer buf;
        for (auto& byte : buf)
            byte = static_cast<std::uint8_t>(next() >> 24);
        buf[0] = static_cast<std::uint8_t>(0x80 + round % 5);
        if (round % 10 == 1) {  // telemetry with a valid time, to get past it
            buf[4] %= 24;
            buf[5] %= 60;
            buf[6] %= 60;
            buf[7] %= 250;
        }
        form.setAllFields("?");
        try {
            dispatchFrame(buf, form);
        } catch (const DecodeError&) {
            ASSERT_EQ(buf[0], protocol::PT_TELEMETRY);
            continue;
        }
        for (const auto& write : form.textLog)
            ASSERT_FALSE(write.text.empty()) << fieldName(write.field);
        ASSERT_TRUE(form.wireWellFormed());
        form.clearRecords();
    }
}

}  // namespace
}  // namespace telemetry::testing
