#include "sim/options.h"

#include "common/command_line.h"

#include <charconv>
#include <cmath>
#include <stdexcept>
#include <string_view>

namespace sim {
namespace {

[[noreturn]] void fail(const std::string& message) { throw std::invalid_argument(message); }

double toNumber(const std::string& name, std::string_view text)
{
    double value = 0;
    const auto* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc{} || ptr != end || !std::isfinite(value))
        fail(name + ": '" + std::string(text) + "' is not a number");
    return value;
}

std::uint64_t toCount(const std::string& name, std::string_view text, std::uint64_t min, std::uint64_t max)
{
    std::uint64_t value = 0;
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        base = 16;
    }
    const auto* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value, base);
    if (text.empty() || ec != std::errc{} || ptr != end)
        fail(name + ": '" + std::string(text) + "' is not a whole number");
    if (value < min || value > max)
        fail(name + ": " + std::to_string(value) + " is out of range " + std::to_string(min) + ".." +
             std::to_string(max));
    return value;
}

double toSeconds(const std::string& name, std::string_view text)
{
    const double value = toNumber(name, text);
    if (value <= 0 || value > 86400)
        fail(name + ": seconds must be above 0 and at most 86400");
    return value;
}

// "S" or "S,T": the first number and, if present, the second.
std::pair<std::string_view, std::string_view> splitPair(std::string_view text)
{
    const auto comma = text.find(',');
    if (comma == std::string_view::npos)
        return {text, {}};
    return {text.substr(0, comma), text.substr(comma + 1)};
}

}  // namespace

Options parseOptions(const std::vector<std::string>& args)
{
    Options o;
    // What shapes the simulated radiosonde has no meaning for a replay,
    // which sends what the capture holds and nothing else.
    std::string simulationOption;
    bool speedGiven = false;
    for (command_line::Arguments line(args); line.next();) {
        const std::string& name = line.name();
        auto value = [&line] { return line.value(); };

        if (name == "-h" || name == "--help") {
            o.help = true;
        } else if (name == "--device") {
            o.device = value();
            if (o.device.empty())
                fail("--device needs a path");
        } else if (name == "--link") {
            o.link = value();
            if (o.link.empty())
                fail("--link needs a path");
        } else if (name == "--baud") {
            o.baud = static_cast<unsigned>(toCount(name, value(), 50, 4000000));
        } else if (name == "--flood") {
            o.flood = true;
        } else if (name == "--frames") {
            o.frames = toCount(name, value(), 1, UINT64_MAX);
        } else if (name == "--lat") {
            o.lat = toNumber(name, value());
            if (std::fabs(o.lat) > 90)
                fail("--lat: latitude must lie within -90..90 degrees");
        } else if (name == "--lon") {
            o.lon = toNumber(name, value());
            if (o.lon < -180 || o.lon > 360)
                fail("--lon: longitude must lie within -180..360 degrees");
        } else if (name == "--height") {
            o.height = toNumber(name, value());
            if (o.height < -500 || o.height > 50000)
                fail("--height: height must lie within -500..50000 m");
        } else if (name == "--warmup") {
            o.warmup = toNumber(name, value());
            if (o.warmup < 0 || o.warmup > 3600)
                fail("--warmup: seconds must lie within 0..3600");
        } else if (name == "--state") {
            o.state = static_cast<std::uint8_t>(toCount(name, value(), 0, 255));
        } else if (name == "--bad-crc") {
            o.badCrc = static_cast<unsigned>(toCount(name, value(), 1, 1000000));
        } else if (name == "--noise") {
            o.noise = true;
        } else if (name == "--silence") {
            const std::string text = value();
            const auto [s, t] = splitPair(text);
            o.silenceFor = toSeconds(name, s);
            o.silenceEvery = t.empty() ? o.silenceFor + 10 : toSeconds(name, t);
            if (o.silenceEvery <= o.silenceFor)
                fail("--silence: the period must be longer than the silence");
        } else if (name == "--hangup") {
            const std::string text = value();
            const auto [t, d] = splitPair(text);
            o.hangupEvery = toSeconds(name, t);
            o.hangupFor = d.empty() ? 2.0 : toSeconds(name, d);
        } else if (name == "--seed") {
            o.seed = toCount(name, value(), 0, UINT64_MAX);
        } else if (name == "--replay") {
            o.replay = value();
            if (o.replay.empty())
                fail("--replay needs a capture file");
        } else if (name == "--speed") {
            o.speed = toNumber(name, value());
            if (o.speed < 0 || o.speed > 1000)
                fail("--speed: must lie within 0..1000 (0: as fast as the line takes it)");
            speedGiven = true;
        } else if (name == "--verbose" || name == "-v") {
            o.verbose = true;
        } else {
            fail("unknown option '" + line.argument() + "'");
        }
        static const char* const kSimulationOptions[] = {"--flood",  "--frames",  "--lat",    "--lon",
                                                         "--height", "--warmup",  "--state",  "--bad-crc",
                                                         "--noise",  "--silence", "--hangup", "--seed"};
        for (const char* option : kSimulationOptions)
            if (name == option && simulationOption.empty())
                simulationOption = name;
    }
    if (!o.replay.empty() && !simulationOption.empty())
        fail(simulationOption +
             " shapes the simulated radiosonde; a --replay sends only what the capture holds");
    if (speedGiven && o.replay.empty())
        fail("--speed goes with --replay");
    if (!o.device.empty() && !o.link.empty())
        fail("--link names the pseudo-terminal; it cannot go with --device");
    return o;
}

const char* helpText()
{
    return R"(Usage: kalvi7-sim [OPTION]...
Plays a KALVI-7 radiosonde on the far end of a serial line.

Without --device it opens a pseudo-terminal and prints the path the tool must
open as the first line of its output (and a new line each time --hangup makes
a new one). It keeps running when the tool closes the port and answers again
when the tool opens it again.

Line:
  --device PATH     drive a serial device instead (e.g. /dev/ttyUSB1 wired to
                    the tool's port by a null-modem cable), raw, 8N1, at --baud
  --link PATH       also make a symlink PATH to the pseudo-terminal; replaced
                    when the line is made anew, removed at exit. An existing
                    file that is not a symlink is left alone (error)
  --baud N          line speed for pacing, 10 bits per byte (default 38400)
  --flood           no pacing: bytes go as fast as the line takes them, and
                    cyclic telemetry goes back to back instead of once a second
  --frames N        stop after N telemetry frames; prints how many went out and
                    the time they took to standard error

Radiosonde:
  --lat DEG         launch site latitude, degrees north (default 55.7504)
  --lon DEG         launch site longitude, degrees east (default 37.62)
  --height M        launch site height above the ellipsoid (default 150)
  --warmup S        seconds from power-on to a 3D fix; satellites and the fix
                    build up over it: none, then 2D from half-way (default 30;
                    0 gives a 3D fix at once)
  --state BYTE      health flags of the state packet (default 0x00; bit 0 PLL,
                    bit 1 navigation module, bit 7 pressure sensor)
  --seed N          seed the noise of the readings, for repeatable runs

Faults for tests and training:
  --bad-crc N       every Nth frame sent carries a corrupted CRC
  --noise           random bytes on the line before every frame
  --silence S[,T]   answer nothing for S seconds at the end of every T seconds
                    (T defaults to S+10): requests then are lost, cyclic
                    telemetry pauses
  --hangup T[,D]    after every T seconds of service drop the line for D
                    seconds (default 2): the pseudo-terminal is closed and a
                    new one made (its path printed as a new line of output,
                    the --link moved to it); a device is closed and opened
                    again

Replay:
  --replay FILE     play a capture (as kalvi7-ctl capture writes it) into the
                    line instead of simulating: the recorded bytes with the
                    recorded timing, from the moment the tool opens the line.
                    If the tool closes the line the replay waits where it is
                    and goes on when the tool opens it again. What the tool
                    sends is read and ignored (logged with --verbose). At the
                    end of the capture, and 2 s for the tool to read the
                    last bytes, the simulator exits with 0. A capture that is
                    not well formed is refused, naming the line, before the
                    line is opened (exit 2); none of it is played. Goes with
                    --device, --link, --baud (a device's speed) and --verbose
  --speed X         replay X times as fast (default 1; 0.5 half as fast; 0:
                    as fast as the line takes the bytes)

Other:
  -v, --verbose     log requests received and packets sent to standard error
  -h, --help        show this text

Answers: each request frame is served in the order telemetry (0x81),
calibration (0x82), settings (0x83), state (0x84), one packet for each of the
mask bits 0x01, 0x02, 0x04, 0x08. Bit 0x80 starts cyclic telemetry, once a
second, until a request without it arrives; while it runs, the telemetry bit
of further requests adds no packet of its own. A settings command (selector
0x01 frequency, 0x02 gain, 0x10 navigation mode) is acknowledged with code 3,
a calibration write with the right key with code 2; both are stored and come
back in the next settings and calibration packets.

Exit status: 0 on SIGINT/SIGTERM, after --frames or at the end of a --replay,
1 when the line fails, 2 for a bad command line or a capture that is refused.
)";
}

}  // namespace sim
