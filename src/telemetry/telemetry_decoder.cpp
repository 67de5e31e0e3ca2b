// Telemetry packet (type 0x81): live navigation and meteorological values.

#include <string>

#include "common/formats.h"
#include "telemetry/body_fields.h"
#include "telemetry/field_writes.h"
#include "telemetry/telemetry.h"

namespace telemetry {
namespace {

// Raw counts are scaled in extended precision: one rounding of the exact
// quotient leaves a value whose 18-digit expansion is the exact decimal
// (285123456 / 100 shows as 2851234,56, never 2851234,55999...).
std::string scaled(std::int64_t raw, long double divisor)
{
    return formats::general(static_cast<long double>(raw) / divisor);
}

const char* const kNoSensor = "нет датчика";

// Bits 0-2 of the flags byte. Values 5 to 7 have no text: the field keeps
// whatever it showed before.
const char* fixTypeText(std::uint8_t fixType)
{
    switch (fixType) {
    case 0: return "Нет";
    case 1: return "Расчет траектории";
    case 2: return "2D";
    case 3: return "3D";
    case 4: return "Только время";
    default: return nullptr;
    }
}

const char* validityText(std::uint8_t flags, int bit)
{
    return ((static_cast<unsigned>(flags) >> bit) & 1u) != 0 ? "достоверно" : "недостоверно";
}

void writeNavigationTime(const protocol::RxBuffer& RxBuf, FormView& form)
{
    const int hour = body::u8<4>(RxBuf);
    const int minute = body::u8<5>(RxBuf);
    const int second = body::u8<6>(RxBuf);
    const int millisecond = 4 * body::u8<7>(RxBuf);  // shown nowhere, but must be a valid time
    if (hour > 23 || minute > 59 || second > 59 || millisecond > 999)
        throw DecodeError("Недопустимое время навигационного решения");
    writeField(form, Field::Label6, formats::timeHNNSS(hour, minute, second));
}

void writeNavigation(const protocol::RxBuffer& RxBuf, FormView& form)
{
    writeField(form, Field::Label7, scaled(body::i32<8>(RxBuf), 100));
    writeField(form, Field::Label8, scaled(body::i32<12>(RxBuf), 100));
    writeField(form, Field::Label9, scaled(body::i32<16>(RxBuf), 100));
    writeField(form, Field::Label12, scaled(body::i16<20>(RxBuf), 100));
    writeField(form, Field::Label13, scaled(body::i16<22>(RxBuf), 100));
    writeField(form, Field::Label18, scaled(body::i16<24>(RxBuf), 100));

    writeField(form, Field::Label21, formats::decimal(body::u8<26>(RxBuf)));

    writeField(form, Field::Label22, scaled(body::u8<27>(RxBuf), 10));
    writeField(form, Field::Label23, scaled(body::u8<28>(RxBuf), 10));
    writeField(form, Field::Label24, scaled(body::u16<29>(RxBuf), 100));

    const std::uint8_t flags = body::u8<31>(RxBuf);
    // Fix types without a text leave Label25 as it was; its copy is still
    // written from it, as on every telemetry packet.
    if (const char* fix = fixTypeText(flags & 0x07u))
        writeField(form, Field::Label25, fix);
    else
        copyToOperatorPage(form, Field::Label25);
    writeField(form, Field::Label44, validityText(flags, 5));  // GPS time
    writeField(form, Field::Label26, validityText(flags, 6));  // week number
    writeField(form, Field::Label40, validityText(flags, 7));  // UTC time
}

void writeMeteo(const protocol::RxBuffer& RxBuf, FormView& form)
{
    // Each sensor reports an out-of-range sentinel when it is missing.
    const std::int16_t temperature = body::i16<32>(RxBuf);
    writeField(form, Field::Label47, temperature <= -15000 ? kNoSensor : scaled(temperature, 100));

    const std::uint16_t humidity = body::u16<34>(RxBuf);
    writeField(form, Field::Label48, humidity == 0 ? kNoSensor : scaled(humidity, 100));

    const std::uint16_t pressure = body::u16<36>(RxBuf);
    writeField(form, Field::Label49, pressure >= 65000 ? kNoSensor : scaled(pressure, 10));
}

void writeRawReadings(const protocol::RxBuffer& RxBuf, FormView& form)
{
    writeField(form, Field::Label50, scaled(body::i32<38>(RxBuf), 100));
    writeField(form, Field::Label51, scaled(body::i32<42>(RxBuf), 100));

    // 12-bit ADC against a 6.6 V full scale; r * 66 / 40960 is that ratio
    // rounded once, so a reading on an exact half (512 -> 0,825 V) rounds
    // as its decimal does.
    const std::uint16_t mcuReading = body::u16<46>(RxBuf);
    const long double volts = static_cast<long double>(mcuReading) * 66 / 40960;
    writeField(form, Field::Label52,
               formats::decimal(mcuReading) + " (" + formats::fixed(volts, 3, 2) + " В)");

    writeField(form, Field::Label53, formats::decimal(body::u16<48>(RxBuf)));
}

}  // namespace

void decodeTelemetry(const protocol::RxBuffer& RxBuf, FormView& form)
{
    form.setRadioButton1(true);
    writeField(form, Field::Label4, formats::decimal(body::u8<2>(RxBuf)));
    writeField(form, Field::Label5, formats::decimal(body::u8<3>(RxBuf)));
    writeNavigationTime(RxBuf, form);  // throws on an impossible time: nothing below runs
    writeNavigation(RxBuf, form);
    writeMeteo(RxBuf, form);
    writeRawReadings(RxBuf, form);

    XYZ_to_LBH(form);

    // Move the request chain on: telemetry is answered, calibration is next.
    if (!form.checked(Box::CheckBox54))
        form.setChecked(Box::CheckBox26, false);
    form.setChecked(Box::CheckBox32, true);
}

}  // namespace telemetry
