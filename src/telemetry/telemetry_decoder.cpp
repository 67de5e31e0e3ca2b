// Telemetry packet (type 0x81): live navigation and meteorological values,
// presented as the service page's texts.

#include <string>

#include "common/formats.h"
#include "protocol/device_packets.h"
#include "telemetry/field_writes.h"
#include "telemetry/quantities.h"
#include "telemetry/telemetry.h"

namespace telemetry {
namespace {

using namespace quantities;

// Every number shown in the 18-digit general format of formats.h.
std::string shown(long double value) { return formats::general(value); }

const char* const kNoSensor = "нет датчика";

std::string orNoSensor(const std::optional<long double>& value) { return value ? shown(*value) : kNoSensor; }

const char* validityText(std::uint8_t flags, int bit)
{
    return flagSet(flags, bit) ? "достоверно" : "недостоверно";
}

void writeNavigationTime(const protocol::TelemetryPacket& p, FormView& form)
{
    const int hour = p.hour;
    const int minute = p.minute;
    const int second = p.second;
    const int millisecond = 4 * p.quarterMilliseconds;  // shown nowhere, but must be a valid time
    if (hour > 23 || minute > 59 || second > 59 || millisecond > 999)
        throw DecodeError("Недопустимое время навигационного решения");
    writeField(form, Field::Label6, formats::timeHNNSS(hour, minute, second));
}

void writeNavigation(const protocol::TelemetryPacket& p, FormView& form)
{
    writeField(form, Field::Label7, shown(scaled(p.x, 100)));
    writeField(form, Field::Label8, shown(scaled(p.y, 100)));
    writeField(form, Field::Label9, shown(scaled(p.z, 100)));
    writeField(form, Field::Label12, shown(scaled(p.vx, 100)));
    writeField(form, Field::Label13, shown(scaled(p.vy, 100)));
    writeField(form, Field::Label18, shown(scaled(p.vz, 100)));

    writeField(form, Field::Label21, formats::decimal(p.satellites));

    writeField(form, Field::Label22, shown(scaled(p.positionAccuracy, 10)));
    writeField(form, Field::Label23, shown(scaled(p.velocityAccuracy, 10)));
    writeField(form, Field::Label24, shown(scaled(p.pdop, 100)));

    const std::uint8_t flags = p.navigationFlags;
    // Fix types without a text leave Label25 as it was; its copy is still
    // written from it, as on every telemetry packet.
    if (const char* fix = fixTypeWord(flags))
        writeField(form, Field::Label25, fix);
    else
        copyToOperatorPage(form, Field::Label25);
    writeField(form, Field::Label44, validityText(flags, 5));  // GPS time
    writeField(form, Field::Label26, validityText(flags, 6));  // week number
    writeField(form, Field::Label40, validityText(flags, 7));  // UTC time
}

void writeMeteo(const protocol::TelemetryPacket& p, FormView& form)
{
    writeField(form, Field::Label47, orNoSensor(temperatureCelsius(p)));
    writeField(form, Field::Label48, orNoSensor(humidityPercent(p)));
    writeField(form, Field::Label49, orNoSensor(pressureHectopascals(p)));
}

void writeRawReadings(const protocol::TelemetryPacket& p, FormView& form)
{
    writeField(form, Field::Label50, shown(scaled(p.temperatureChannel, 100)));
    writeField(form, Field::Label51, shown(scaled(p.humidityChannel, 100)));

    const std::uint16_t mcuReading = p.mcuTemperatureAdc;
    const long double volts = mcuVolts(mcuReading);
    writeField(form, Field::Label52,
               formats::decimal(mcuReading) + " (" + formats::fixed(volts, 3, 2) + " В)");

    writeField(form, Field::Label53, formats::decimal(p.batteryAdc));
}

}  // namespace

void presentTelemetry(const protocol::TelemetryPacket& p, FormView& form)
{
    form.setRadioButton1(true);
    writeField(form, Field::Label4, formats::decimal(p.firmware));
    writeField(form, Field::Label5, formats::decimal(p.packetNumber));
    writeNavigationTime(p, form);  // throws on an impossible time: nothing below runs
    writeNavigation(p, form);
    writeMeteo(p, form);
    writeRawReadings(p, form);

    XYZ_to_LBH(form);

    // Move the request chain on: telemetry is answered, calibration is next.
    if (!form.checked(Box::CheckBox54))
        form.setChecked(Box::CheckBox26, false);
    form.setChecked(Box::CheckBox32, true);
}

}  // namespace telemetry
