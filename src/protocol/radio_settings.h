// The radio settings an operator may write, and how they travel: the
// carrier frequency as a code on a 50 kHz grid from 400 000 kHz, the
// transmitter gain as a code from 0 (off) to 63. The window's spin boxes,
// the settings frame builders, the settings packet's decoder and
// kalvi7-ctl all take the grid and the range from here.
#pragma once

#include <cstdint>

namespace protocol {

inline constexpr std::int64_t kFrequencyLowestKHz = 400000;   // code 0
inline constexpr std::int64_t kFrequencyStepKHz = 50;         // one code
inline constexpr std::int64_t kFrequencyHighestKHz = 406000;  // the editor's top: code 120

inline constexpr int kGainLowest = 0;  // transmitter off
inline constexpr int kGainHighest = 63;

// The frequency a settings packet's code stands for.
constexpr std::int64_t frequencyOfCode(std::uint8_t code)
{
    return kFrequencyLowestKHz + kFrequencyStepKHz * code;
}

// Frequency code from the carrier-frequency editor's value in kHz:
// (value - 400000) / 50 truncated toward zero, as the radiosonde expects,
// low eight bits.
constexpr std::uint8_t frequencyCode(std::int64_t kHz)
{
    return static_cast<std::uint8_t>((kHz - kFrequencyLowestKHz) / kFrequencyStepKHz);
}

}  // namespace protocol
