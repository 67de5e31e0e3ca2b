// What a device packet shows, worked out once from its typed value: for
// each display field the window's text and, for programs, the same as a
// JSON literal. The window writes the texts into its fields (telemetry.h's
// present functions); kalvi7-ctl prints the texts and the values. Neither
// works anything out from the other's output.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "protocol/device_packets.h"
#include "telemetry/form_view.h"

namespace telemetry {

struct Shown {
    Field field;
    std::string text;   // as the window shows it
    std::string value;  // JSON: a number in the unit of the field's caption
                        // (with the shown digits), true/false, a string for
                        // a word, null for a missing sensor or not-a-number
    bool keep = false;  // the field keeps what it showed before: no text, no value
};

struct Presentation {
    std::vector<Shown> fields;  // service-page fields, in the window's order of writing
    // Further values for programs, with no field of their own: the codes
    // behind the settings' texts, the MCU reading in volts.
    std::vector<std::pair<std::string, std::string>> extras;
    // The packet ended part-way for this reason; nothing after the fields
    // above is shown.
    std::optional<std::string> stopped;
    // The acknowledgement's status bar text; nothing for a code the window
    // does not show.
    std::optional<std::string> status;
};

Presentation describeTelemetry(const protocol::TelemetryPacket& p);
Presentation describeCalibration(const protocol::CalibrationPacket& p);
Presentation describeSettings(const protocol::SettingsPacket& p);
Presentation describeState(const protocol::StatePacket& p);
Presentation describeAck(const protocol::AckPacket& p, const TimeOfDay& now);

// The fourteen geodetic fields' eight values from Earth-centred position
// (m) and velocity (m/s); no fields when the point has no geodetic values.
Presentation describeGeodetic(long double X, long double Y, long double Z, long double Vx, long double Vy,
                              long double Vz);

// The acknowledgement's words for a code, or nullptr for a code the window
// leaves the status bar alone for.
const char* ackWords(std::uint8_t code);

// Everything a packet shows, as kalvi7-ctl reports it: the packet's own
// fields, and after a telemetry packet that ended well the geodetic ones,
// worked out from the same numbers the service page shows.
Presentation describePacket(const protocol::DevicePacket& packet, const TimeOfDay& now);

// Writes the fields into the form (with their operator-page copies), then
// throws DecodeError when the packet stopped part-way.
void show(const Presentation& presentation, FormView& form);

}  // namespace telemetry
