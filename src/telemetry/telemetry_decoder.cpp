// Telemetry packet (type 0x81): live navigation and meteorological values,
// as the service page shows them.

#include <string>

#include "common/formats.h"
#include "protocol/device_packets.h"
#include "telemetry/presentation.h"
#include "telemetry/quantities.h"
#include "telemetry/shown_fields.h"
#include "telemetry/telemetry.h"

namespace telemetry {
namespace {

using namespace quantities;
using namespace shown;

// Every scaled reading is shown in the general format of formats.h.
Shown reading(Field field, long double value) { return number(field, formats::general(value)); }

Shown sensor(Field field, const std::optional<long double>& value)
{
    return value ? reading(field, *value) : none(field, "нет датчика");
}

Shown validity(Field field, std::uint8_t flags, int bit)
{
    const bool valid = flagSet(flags, bit);
    return flag(field, valid ? "достоверно" : "недостоверно", valid);
}

bool isTimeOfDay(const protocol::TelemetryPacket& p)
{
    const int millisecond = 4 * p.quarterMilliseconds;  // shown nowhere, but must be a valid time
    return p.hour <= 23 && p.minute <= 59 && p.second <= 59 && millisecond <= 999;
}

void addNavigation(const protocol::TelemetryPacket& p, std::vector<Shown>& fields)
{
    fields.push_back(reading(Field::Label7, scaled(p.x, 100)));
    fields.push_back(reading(Field::Label8, scaled(p.y, 100)));
    fields.push_back(reading(Field::Label9, scaled(p.z, 100)));
    fields.push_back(reading(Field::Label12, scaled(p.vx, 100)));
    fields.push_back(reading(Field::Label13, scaled(p.vy, 100)));
    fields.push_back(reading(Field::Label18, scaled(p.vz, 100)));

    fields.push_back(integer(Field::Label21, p.satellites));

    fields.push_back(reading(Field::Label22, scaled(p.positionAccuracy, 10)));
    fields.push_back(reading(Field::Label23, scaled(p.velocityAccuracy, 10)));
    fields.push_back(reading(Field::Label24, scaled(p.pdop, 100)));

    const std::uint8_t flags = p.navigationFlags;
    // Fix types without a word leave Label25 as it was; its copy is still
    // written from it, as on every telemetry packet.
    const char* fix = fixTypeWord(flags);
    fields.push_back(fix ? word(Field::Label25, fix) : kept(Field::Label25));
    fields.push_back(validity(Field::Label44, flags, 5));  // GPS time
    fields.push_back(validity(Field::Label26, flags, 6));  // week number
    fields.push_back(validity(Field::Label40, flags, 7));  // UTC time
}

void addMeteo(const protocol::TelemetryPacket& p, std::vector<Shown>& fields)
{
    fields.push_back(sensor(Field::Label47, temperatureCelsius(p)));
    fields.push_back(sensor(Field::Label48, humidityPercent(p)));
    fields.push_back(sensor(Field::Label49, pressureHectopascals(p)));
}

void addRawReadings(const protocol::TelemetryPacket& p, Presentation& shown)
{
    shown.fields.push_back(reading(Field::Label50, scaled(p.temperatureChannel, 100)));
    shown.fields.push_back(reading(Field::Label51, scaled(p.humidityChannel, 100)));

    const std::uint16_t mcuReading = p.mcuTemperatureAdc;
    const std::string volts = formats::fixed(mcuVolts(mcuReading), 3, 2);
    shown.fields.push_back(numberIn(Field::Label52, formats::decimal(mcuReading) + " (" + volts + " В)",
                                    formats::decimal(mcuReading)));
    shown.extras.emplace_back("adc_mcu_temperature_volts", json_text::jsonNumber(volts));

    shown.fields.push_back(integer(Field::Label53, p.batteryAdc));
}

}  // namespace

Presentation describeTelemetry(const protocol::TelemetryPacket& p)
{
    Presentation shown;
    shown.fields.push_back(integer(Field::Label4, p.firmware));
    shown.fields.push_back(integer(Field::Label5, p.packetNumber));
    if (!isTimeOfDay(p)) {
        shown.stopped = "Недопустимое время навигационного решения";  // nothing below is shown
        return shown;
    }
    shown.fields.push_back(word(Field::Label6, formats::timeHNNSS(p.hour, p.minute, p.second)));
    addNavigation(p, shown.fields);
    addMeteo(p, shown.fields);
    addRawReadings(p, shown);
    return shown;
}

void presentTelemetry(const protocol::TelemetryPacket& p, FormView& form)
{
    form.setRadioButton1(true);
    show(describeTelemetry(p), form);  // throws on an impossible time: nothing below runs

    XYZ_to_LBH(form);

    // Move the request chain on: telemetry is answered, calibration is next.
    if (!form.checked(Box::CheckBox54))
        form.setChecked(Box::CheckBox26, false);
    form.setChecked(Box::CheckBox32, true);
}

}  // namespace telemetry
