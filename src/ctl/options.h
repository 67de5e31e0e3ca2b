// The command line of kalvi7-ctl, read into what the commands need. Every
// mistake is found here, before the port is opened, so a bad command line
// never sends a byte.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/command_line.h"
#include "telemetry/form_view.h"

namespace ctl {

// A command line that cannot be carried out, with the reason.
using UsageError = command_line::CommandLineError;

enum class Command { None, Status, Watch, Set, WriteCalibration, Capture };
enum class WatchFormat { Plain, Json, Raw };
enum class Setting { Frequency, NavMode, Gain };

struct Options {
    bool help = false;
    bool version = false;
    std::optional<std::string> port;
    std::optional<std::uint32_t> baud;
    Command command = Command::None;

    WatchFormat format = WatchFormat::Plain;  // watch; status: Plain or Json

    Setting setting = Setting::Frequency;  // set
    std::int64_t value = 0;                // kHz, mode index (0 both, 1 GLONASS, 2 GPS) or gain

    // write-calibration: the texts given for A, B, C, "№ р/з:", "№ б/д:",
    // "Дата:", decimals already with ","; and whether to write.
    std::array<std::optional<std::string>, 6> calibration;
    bool yes = false;

    std::string captureFile;        // capture
    std::optional<double> seconds;  // capture

    // Not in --help: shortens every wait (the 5 s of status, the 3 s of an
    // acknowledgement and of the watchdog) for the tests.
    std::optional<int> testTimeoutMs;
};

// args without the program name. Throws UsageError with the reason.
Options parseOptions(const std::vector<std::string>& args);

const char* helpText();

// The service-page fields that show the calibration the write replaces, in
// the order of the editors Edit1..Edit6, and the option of each.
extern const telemetry::Field kCalibrationFields[6];
const char* calibrationOptionName(std::size_t index);

}  // namespace ctl
