// The three frames the host sends, built from values into the exact bytes
// that go on the wire (sync word, body, CRC low, CRC high).
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "protocol/frame.h"

namespace protocol {

using RequestFrame = std::array<std::uint8_t, wireSize(3)>;       // 9 bytes
using SettingsFrame = std::array<std::uint8_t, wireSize(9)>;      // 15 bytes
using CalibrationFrame = std::array<std::uint8_t, wireSize(52)>;  // 58 bytes

// Sync word + body + CRC of an arbitrary body (its length byte at offset 1
// tells how many body bytes the CRC covers). Used by the builders below and
// by the simulated radiosonde for its own packets.
std::vector<std::uint8_t> wrapBody(std::span<const std::uint8_t> body);

RequestFrame buildRequest(std::uint8_t mask);

// Frequency code from the carrier-frequency editor's value in kHz:
// (value - 400000) / 50 truncated toward zero, low eight bits.
std::uint8_t frequencyCode(std::int64_t kHz);

SettingsFrame buildFrequencyCommand(std::uint8_t frequencyCode);
SettingsFrame buildGainCommand(std::uint8_t gain);
SettingsFrame buildNavModeCommand(std::uint8_t navMode);

struct CalibrationValues {
    float a = 0, b = 0, c = 0;
    std::uint32_t number1 = 0;  // "№ р/з:"
    std::uint32_t number2 = 0;  // "№ б/д:"
    std::uint32_t date = 0;     // ddmmyy as one decimal number
};
CalibrationFrame buildCalibrationWrite(const CalibrationValues& values);

}  // namespace protocol
