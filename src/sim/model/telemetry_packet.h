// The telemetry packet's body built from readings in their own units: the
// one place that knows each field's offset, width and scale, for the
// simulated radiosonde and for the flight the benchmarks feed the window.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "sim/model/pz90.h"

namespace sim {

inline constexpr std::uint8_t kFirmwareVersion = 17;
inline constexpr std::size_t kTelemetryBodySize = 50;
using TelemetryBody = std::array<std::uint8_t, kTelemetryBodySize>;

// The navigation flags: the fix in bits 0-2, then GPS time (5), week number
// (6) and UTC time (7) valid.
inline constexpr std::uint8_t kFixNone = 0, kFix2D = 2, kFix3D = 3;
inline constexpr std::uint8_t kTimeFlagsValid = 0xE0;

struct TelemetryReadings {
    std::uint8_t firmware = kFirmwareVersion;
    std::uint8_t packetNumber = 0;
    int hour = 0, minute = 0, second = 0, millisecond = 0;  // of the navigation solution, UTC
    Ecef position{};                                        // metres, Earth-centred
    Ecef velocity{};                                        // metres a second, Earth-centred
    double satellites = 0;
    double positionAccuracy = 0;  // metres
    double velocityAccuracy = 0;  // metres a second
    double pdop = 0;
    std::uint8_t navigationFlags = kFixNone;
    double temperature = 0;  // degrees Celsius
    double humidity = 0;     // percent
    double pressure = 0;     // hectopascals
    // The raw readings: the measuring channels' counts in hundredths, the
    // microcontroller's temperature and the battery as the ADC gives them.
    double temperatureChannel = 0, humidityChannel = 0;
    double mcuTemperatureAdc = 0, batteryAdc = 0;
};

// Each reading rounded to its field's step and held to the field's range.
TelemetryBody packTelemetry(const TelemetryReadings& readings);

}  // namespace sim
