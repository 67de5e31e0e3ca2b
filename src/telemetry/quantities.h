// What the numbers of a device packet mean: the scale of each raw count,
// the sentinels of a missing sensor, the words of the codes. The window's
// texts (the decoders) and kalvi7-ctl's JSON values both take them from
// here, so that the two never disagree on what the radiosonde said.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "protocol/device_packets.h"

namespace telemetry::quantities {

// raw / divisor in extended precision: one rounding of the exact quotient
// leaves a value whose 18-digit expansion is the exact decimal
// (285123456 / 100 shows as 2851234,56, never 2851234,55999...).
long double scaled(std::int64_t raw, long double divisor);

// Each sensor reports an out-of-range sentinel when it is missing.
std::optional<long double> temperatureCelsius(const protocol::TelemetryPacket& p);
std::optional<long double> humidityPercent(const protocol::TelemetryPacket& p);
std::optional<long double> pressureHectopascals(const protocol::TelemetryPacket& p);

// 12-bit ADC against a 6.6 V full scale; r * 66 / 40960 is that ratio
// rounded once, so a reading on an exact half (512 -> 0,825 V) rounds as
// its decimal does.
long double mcuVolts(std::uint16_t reading);

// Bits 0-2 of the navigation flags; fix types 5 to 7 have no word.
const char* fixTypeWord(std::uint8_t navigationFlags);
// A set bit of the navigation flags: the time or week number is valid.
bool flagSet(std::uint8_t flags, int bit);

// A coefficient widened to double, as the coefficients are shown
// everywhere; a signalling NaN quietly becomes a quiet one with its sign
// kept.
long double widened(float coefficient);
// ddmmyy stored as one decimal number, as dd.mm.yy.
std::string dateText(std::uint32_t ddmmyy);

// Transmitter gain in dBm; nothing when the transmitter is off (code 0).
std::optional<long double> gainDbm(std::uint8_t gain);
// An 11-bit two's-complement count of 250 Hz steps; nothing outside the
// 11-bit field.
std::optional<std::int64_t> correctionHz(std::uint16_t correction);
// The count itself, signed: -1024 to 1023.
std::int64_t correctionSteps(std::uint16_t correction);
long double biasMilliamps(std::uint8_t biasCode);
// "ГЛОНАСС+GPS", "ГЛОНАСС", "GPS" or "Неизвестный".
const char* navModeWord(std::uint8_t navMode);

}  // namespace telemetry::quantities
