// The three frames the host sends, built from values into the exact bytes
// that go on the wire (sync word, body, CRC low, CRC high).
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "protocol/device_packets.h"
#include "protocol/frame.h"
#include "protocol/radio_settings.h"

namespace protocol {

using RequestFrame = std::array<std::uint8_t, wireSize(3)>;       // 9 bytes
using SettingsFrame = std::array<std::uint8_t, wireSize(9)>;      // 15 bytes
using CalibrationFrame = std::array<std::uint8_t, wireSize(52)>;  // 58 bytes

// Sync word + body + CRC of an arbitrary body (its length byte at offset 1
// tells how many body bytes the CRC covers). Used by the builders below and
// by the simulated radiosonde for its own packets.
std::vector<std::uint8_t> wrapBody(std::span<const std::uint8_t> body);

RequestFrame buildRequest(std::uint8_t mask);

SettingsFrame buildFrequencyCommand(std::uint8_t frequencyCode);
SettingsFrame buildGainCommand(std::uint8_t gain);
SettingsFrame buildNavModeCommand(std::uint8_t navMode);

CalibrationFrame buildCalibrationWrite(const CalibrationValues& values);

}  // namespace protocol
