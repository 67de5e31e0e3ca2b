#include "telemetry/presentation.h"

#include <variant>

#include "telemetry/field_writes.h"
#include "telemetry/quantities.h"
#include "telemetry/telemetry.h"

namespace telemetry {

void show(const Presentation& presentation, FormView& form)
{
    for (const Shown& shown : presentation.fields) {
        if (shown.keep)
            copyToOperatorPage(form, shown.field);
        else
            writeField(form, shown.field, shown.text);
    }
    if (presentation.stopped)
        throw DecodeError(*presentation.stopped);
}

Presentation describePacket(const protocol::DevicePacket& packet, const TimeOfDay& now)
{
    if (const auto* ack = std::get_if<protocol::AckPacket>(&packet))
        return describeAck(*ack, now);
    if (const auto* p = std::get_if<protocol::CalibrationPacket>(&packet))
        return describeCalibration(*p);
    if (const auto* p = std::get_if<protocol::SettingsPacket>(&packet))
        return describeSettings(*p);
    if (const auto* p = std::get_if<protocol::StatePacket>(&packet))
        return describeState(*p);

    const auto& p = std::get<protocol::TelemetryPacket>(packet);
    Presentation shown = describeTelemetry(p);
    if (shown.stopped)
        return shown;
    // The window converts the numbers its service page shows; these are
    // the same numbers, each shown text being the exact decimal of its
    // scaled reading.
    using quantities::scaled;
    Presentation geodetic = describeGeodetic(scaled(p.x, 100), scaled(p.y, 100), scaled(p.z, 100),
                                             scaled(p.vx, 100), scaled(p.vy, 100), scaled(p.vz, 100));
    for (Shown& field : geodetic.fields)
        shown.fields.push_back(std::move(field));
    return shown;
}

}  // namespace telemetry
