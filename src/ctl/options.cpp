#include "ctl/options.h"

#include <charconv>
#include <cmath>
#include <string>

#include "editors/calibration_check.h"
#include "editors/editor_keys.h"
#include "protocol/radio_settings.h"
#include "telemetry/field_legend.h"

namespace ctl {

using protocol::kFrequencyHighestKHz;
using protocol::kFrequencyLowestKHz;
using protocol::kFrequencyStepKHz;
using protocol::kGainHighest;
using protocol::kGainLowest;

// The fields the calibration editors show, in the editors' order.
const telemetry::Field kCalibrationFields[6] = {
#define KALVI7_SOURCE(name, field) telemetry::Field::field,
    KALVI7_CALIBRATION_EDITORS(KALVI7_SOURCE)
#undef KALVI7_SOURCE
};
static_assert(telemetry::kEditorCount == 6);

namespace {

[[noreturn]] void fail(const std::string& message) { throw UsageError(message); }

std::int64_t toInteger(const std::string& name, const std::string& text, std::int64_t min, std::int64_t max)
{
    std::int64_t value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc{} || ptr != end)
        fail(name + ": '" + text + "' is not a whole number");
    if (value < min || value > max)
        fail(name + ": " + text + " is out of range " + std::to_string(min) + ".." + std::to_string(max));
    return value;
}

double toSeconds(const std::string& name, const std::string& text)
{
    double value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc{} || ptr != end || !std::isfinite(value) || value <= 0 ||
        value > 86400)
        fail(name + ": '" + text + "' is not a number of seconds above 0 and at most 86400");
    return value;
}

const char* const kCalibrationOptions[6] = {"--a", "--b", "--c", "--number", "--board", "--date"};

// A decimal typed with "." means what the window's editors make of it:
// they take "." as ",".
std::string withComma(std::string text)
{
    for (char& c : text)
        if (c == '.')
            c = ',';
    return text;
}

// The given calibration values checked on their own, with harmless
// stand-ins for the others, by the same check the write makes.
void checkGivenCalibration(const Options& o)
{
    editors::CalibrationTexts texts{"0", "0", "0", "0", "0", "01.01.00"};
    for (std::size_t i = 0; i < texts.size(); ++i)
        if (o.calibration[i])
            texts[i] = *o.calibration[i];
    const editors::CalibrationCheck check = editors::checkCalibrationTexts(texts);
    if (!check.ok()) {
        const auto index = static_cast<std::size_t>(check.refused);
        fail(std::string(kCalibrationOptions[index]) + ": '" + *o.calibration[index] + "' is refused: " +
             editors::refusalText(check.refused, telemetry::legendOf(kCalibrationFields[index]).caption));
    }
}

}  // namespace

const char* calibrationOptionName(std::size_t index) { return kCalibrationOptions[index]; }

Options parseOptions(const std::vector<std::string>& args)
{
    Options o;
    std::vector<std::string> words;
    bool json = false, raw = false;
    std::vector<std::string> given;  // command options, checked against the command below

    for (command_line::Arguments line(args); line.next();) {
        const std::string& name = line.name();

        if (name == "-h" || name == "--help") {
            o.help = true;
        } else if (name == "--version") {
            o.version = true;
        } else if (name == "--port") {
            o.port = line.value();
            if (o.port->empty())
                fail("--port needs a port name");
        } else if (name == "--baud") {
            o.baud = static_cast<std::uint32_t>(toInteger(name, line.value(), 50, 4000000));
        } else if (name == "--json") {
            json = true;
            given.push_back(name);
        } else if (name == "--raw") {
            raw = true;
            given.push_back(name);
        } else if (name == "--yes") {
            o.yes = true;
            given.push_back(name);
        } else if (name == "--seconds") {
            o.seconds = toSeconds(name, line.value());
            given.push_back(name);
        } else if (name == "--test-timeout-ms") {
            o.testTimeoutMs = static_cast<int>(toInteger(name, line.value(), 1, 60000));
        } else if (name.rfind("--", 0) == 0 && name.size() > 2) {
            std::size_t index = 0;
            while (index < 6 && name != kCalibrationOptions[index])
                ++index;
            if (index == 6)
                fail("unknown option '" + line.argument() + "'");
            if (o.calibration[index])
                fail(name + " given twice");
            o.calibration[index] = line.value();
            given.push_back(name);
        } else if (name.size() > 1 && name[0] == '-' && !(name[1] >= '0' && name[1] <= '9')) {
            fail("unknown option '" + line.argument() + "'");
        } else {
            words.push_back(line.argument());
        }
    }
    if (o.help || o.version)
        return o;
    if (words.empty())
        fail("no command given (status, watch, set, write-calibration, capture)");

    const std::string& command = words[0];
    auto expectWords = [&](std::size_t count, const char* usage) {
        if (words.size() != count)
            fail(std::string("usage: kalvi7-ctl [--port PORT] [--baud N] ") + usage);
    };
    auto allowOnly = [&](std::initializer_list<const char*> allowed) {
        for (const std::string& g : given) {
            bool ok = false;
            for (const char* a : allowed)
                ok = ok || g == a;
            if (!ok)
                fail(g + " does not go with " + command);
        }
    };

    if (command == "status") {
        o.command = Command::Status;
        expectWords(1, "status [--json]");
        allowOnly({"--json"});
        o.format = json ? WatchFormat::Json : WatchFormat::Plain;
    } else if (command == "watch") {
        o.command = Command::Watch;
        expectWords(1, "watch [--json|--raw]");
        allowOnly({"--json", "--raw"});
        if (json && raw)
            fail("--json and --raw do not go together");
        o.format = json ? WatchFormat::Json : raw ? WatchFormat::Raw : WatchFormat::Plain;
    } else if (command == "set") {
        o.command = Command::Set;
        allowOnly({});
        expectWords(3, "set frequency KHZ | set nav-mode gps|glonass|both | set gain N");
        const std::string& what = words[1];
        const std::string& text = words[2];
        if (what == "frequency") {
            o.setting = Setting::Frequency;
            o.value = toInteger("frequency", text, kFrequencyLowestKHz, kFrequencyHighestKHz);
            // The window's editor steps along the grid; a frequency between
            // its steps would silently become the one below.
            if ((o.value - kFrequencyLowestKHz) % kFrequencyStepKHz != 0)
                fail("frequency: " + text + " kHz is not a multiple of " + std::to_string(kFrequencyStepKHz) +
                     " kHz from " + std::to_string(kFrequencyLowestKHz));
        } else if (what == "nav-mode") {
            o.setting = Setting::NavMode;
            if (text == "both")
                o.value = 0;
            else if (text == "glonass")
                o.value = 1;
            else if (text == "gps")
                o.value = 2;
            else
                fail("nav-mode: '" + text + "' is none of gps, glonass, both");
        } else if (what == "gain") {
            o.setting = Setting::Gain;
            o.value = toInteger("gain", text, kGainLowest, kGainHighest);
        } else {
            fail("set: '" + what + "' is none of frequency, nav-mode, gain");
        }
    } else if (command == "write-calibration") {
        o.command = Command::WriteCalibration;
        expectWords(1,
                    "write-calibration [--a X] [--b X] [--c X] [--number N] [--board N] "
                    "[--date dd.mm.yy] [--yes]");
        allowOnly({"--a", "--b", "--c", "--number", "--board", "--date", "--yes"});
        bool any = false;
        for (std::size_t i = 0; i < 3; ++i)
            if (o.calibration[i])
                o.calibration[i] = withComma(*o.calibration[i]);
        for (const auto& field : o.calibration)
            any = any || field.has_value();
        if (!any)
            fail("write-calibration: no field given to change (--a, --b, --c, --number, --board, --date)");
        checkGivenCalibration(o);
    } else if (command == "capture") {
        o.command = Command::Capture;
        expectWords(2, "capture FILE [--seconds S]");
        allowOnly({"--seconds"});
        o.captureFile = words[1];
        if (o.captureFile.empty())
            fail("capture needs a file name");
    } else {
        fail("unknown command '" + command + "'");
    }
    return o;
}

const char* helpText()
{
    // The ranges come from the radio settings' one home; the rest is text.
    static const std::string text =
        std::string(R"(Usage: kalvi7-ctl [--port PORT] [--baud N] COMMAND [ARGUMENT]...
Talks to a KALVI-7 radiosonde on a serial port from a shell or a script, with
the same protocol, request chain and texts as the kalvi7 window.

Options:
  --port PORT       serial port: a device path, on Windows COM3 or \\.\COM12
                    (default: Port of settings.INI in the current directory,
                    else /dev/ttyUSB0, on Windows COM1)
  --baud N          line speed (default: BaudRate of settings.INI, else 38400)
  -h, --help        show this text
  --version         show the version

Commands:
  status [--json]   ask for telemetry, calibration, settings and state once
                    and print every field as "caption<TAB>text", one block a
                    packet under "# telemetry", "# calibration", "# settings",
                    "# state" (--json: one watch --json line a packet); waits
                    until all four came or 5 s pass without a new one
  watch [--json|--raw]
                    print every packet as it comes until SIGINT or SIGTERM
                    (Ctrl+C; on Windows also Ctrl+Break, a closed console):
                    plain blocks with the local time on the heading line,
                    --json one object a line, --raw each frame in hex with its
                    CRC verdict; a silent line gives "# silent" and telemetry
                    is asked for again
)") + "  set frequency KHZ " +
        std::to_string(kFrequencyLowestKHz) + ".." + std::to_string(kFrequencyHighestKHz) + " in steps of " +
        std::to_string(kFrequencyStepKHz) + "\n" + R"(  set nav-mode gps|glonass|both
)" + "  set gain N        " +
        std::to_string(kGainLowest) + ".." + std::to_string(kGainHighest) +
        R"(; locked unless settings.INI has AmplSetEnable=1
                    send the window's command, then wait up to 3 s for the
                    acknowledgement and print it
  write-calibration [--a X] [--b X] [--c X] [--number N] [--board N]
                    [--date dd.mm.yy] [--yes]
                    read the calibration, replace the fields given (--number
                    is "№ р/з:", --board "№ б/д:"; decimals with "," or "."),
                    check all six, print old and new; writes only with --yes
  capture FILE [--seconds S]
                    record every byte received with its arrival time while
                    asking for packets as watch does, until S seconds pass or
                    it is stopped as watch is

Exit status:
  0  done (all four packets; the expected acknowledgement; watch or capture
     ended by a signal or its time)
  2  bad command line or a value refused by the checks; nothing was sent
  3  no answer, or not all of it, within the time-outs
  4  the port did not open (missing, no permission, held by another program)
  5  the radiosonde acknowledged something else than the command expects
)";
    return text.c_str();
}

}  // namespace ctl
