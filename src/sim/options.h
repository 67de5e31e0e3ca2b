// Command line of kalvi7-sim.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace sim {

struct Options {
    std::string device;        // drive this serial device instead of a pty
    std::string link;          // symlink to the pty slave, removed at exit
    unsigned baud = 38400;     // pacing of the line, 10 bits per byte
    bool flood = false;        // no pacing; cyclic telemetry back to back
    std::uint64_t frames = 0;  // stop after this many telemetry frames (0: never)

    double lat = 55.7504;  // launch site, degrees and metres
    double lon = 37.6200;
    double height = 150.0;
    double warmup = 30.0;       // seconds from power-on to a 3D fix
    std::uint8_t state = 0x00;  // health flags of the state packet

    unsigned badCrc = 0;      // every Nth frame goes out with a broken CRC
    bool noise = false;       // random bytes between frames
    double silenceFor = 0;    // radio silence of this many seconds ...
    double silenceEvery = 0;  // ... at the end of every such period
    double hangupEvery = 0;   // drop the line this often ...
    double hangupFor = 2.0;   // ... for this long

    std::optional<std::uint64_t> seed;  // noise of the readings, repeatable

    std::string replay;  // play this capture instead of simulating
    double speed = 1.0;  // of the replay: 2 twice as fast, 0 as fast as the line takes it
    bool verbose = false;
    bool help = false;
};

// Parses argv. Throws std::invalid_argument with a message for the user on
// anything it cannot accept.
Options parseOptions(const std::vector<std::string>& args);

const char* helpText();

}  // namespace sim
