// settings.INI: the port, its baud rate and two switches, kept in the
// current directory between runs. Read once at start-up, written once at
// exit. The file stays compatible with one written on Windows by the
// profile functions: sections and keys are matched whatever their letter
// case, blanks around names and values are ignored, CRLF line ends and a
// UTF-8 byte-order mark are read, and a write updates our keys in place,
// keeping every other line, section and comment as it was.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace settings {

struct Settings {
    std::string port;               // [Port1 setting] Port
    std::int32_t baudRate = 38400;  // [Port1 setting] BaudRate
    bool continuedMode = false;     // [Form setting] ContinuedMode
    bool amplSetEnable = false;     // [Form setting] AmplSetEnable
};

// The current directory followed by "/settings.INI", taken afresh each call.
std::string settingsPath();

// Reads the file; a missing file, a missing key or an unreadable value
// gives that key's default (port: defaultPort, also for an empty name).
// Integers are decimal, or hexadecimal when longer than two characters and
// starting with "0x"; a boolean is an integer, any non-zero value true.
// The port name is taken unchanged, up to 2047 characters. Never throws.
Settings loadSettings(const std::string& path, const std::string& defaultPort);

// Writes the keys in this order: Port (only when port has a non-empty
// value), BaudRate, ContinuedMode ("1"/"0"), AmplSetEnable ("1"/"0"),
// creating the file when missing. The file is replaced in one rename where
// its directory allows, else rewritten in place (see rewriteFile); a file
// that cannot be written, or cannot be created, throws std::runtime_error
// with "Unable to write to " followed by the path.
void saveSettings(const std::string& path, const std::optional<std::string>& port, std::int32_t baudRate,
                  bool continuedMode, bool amplSetEnable);

}  // namespace settings
