// What the radiosonde's line carries at its default speed: ten bits a
// character (start, eight data, stop), a telemetry frame of 56 characters.
#pragma once

namespace linerate {

inline constexpr double kBaud = 38400.0;
inline constexpr double kBitsPerCharacter = 10.0;
inline constexpr double kTelemetryFrameCharacters = 56.0;  // sync 4, body 50, CRC 2
inline constexpr double kCharactersPerSecond = kBaud / kBitsPerCharacter;
inline constexpr double kTelemetryFramesPerSecond = kCharactersPerSecond / kTelemetryFrameCharacters;

}  // namespace linerate
