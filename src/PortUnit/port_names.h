// Windows' names of serial ports, read without asking the system: which
// names are COM ports the driver opens, and the path it opens them by.
// Plain text work, the same on every system, so that it is checked on any
// machine.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace PortUnit::detail {

// The numbers a COM port may have: those the selector probes.
inline constexpr int FirstComPortNumber = 1;
inline constexpr int LastComPortNumber = 255;

// The port's number for "COM7" or the device path "\\.\COM12", in any case
// (Windows' device names are case-insensitive: "com7" is COM7). Nothing
// for any other name: a number out of range (COM0, COM256), leading zeros,
// spaces or other characters, another device (LPT1, NUL), no name.
std::optional<int> ComPortNumber(std::string_view name);

// The device path of a name the selector shows: "\\.\" before it, unless it
// has that prefix already. Only the device namespace reaches ports past
// COM9.
std::string ComDevicePath(std::string_view name);

}  // namespace PortUnit::detail
