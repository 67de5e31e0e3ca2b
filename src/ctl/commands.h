// The five commands, each over a Link and a way to send bytes. They print
// to `out`, say what went wrong on `err`, and return the exit status.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <ostream>

#include "ctl/link.h"
#include "ctl/options.h"

namespace ctl {

enum ExitStatus { kExitOk = 0, kExitUsage = 2, kExitNoAnswer = 3, kExitPort = 4, kExitOtherAck = 5 };

struct Timing {
    std::chrono::milliseconds quiet{5000};     // status, write-calibration: no new packet for this long
    std::chrono::milliseconds ack{3000};       // an acknowledgement
    std::chrono::milliseconds watchdog{3000};  // watch, capture: the window's Timer3
};

struct Context {
    Link& link;
    std::function<void(std::uint8_t)> send;  // one byte to the port
    std::function<bool()> stopRequested;     // a signal came
    std::ostream& out;
    std::ostream& err;
    Timing timing;
    bool continuedMode = false;  // cyclic telemetry, as settings.INI sets the window's switch
};

// json: one watch --json line a packet kind instead of the blocks.
int runStatus(Context& c, bool json = false);
int runWatch(Context& c, WatchFormat format);
int runSet(Context& c, Setting setting, std::int64_t value);
int runWriteCalibration(Context& c, const Options& options);
// `file` is open for writing; notes go into its header.
int runCapture(Context& c, std::FILE* file, const std::string& port, std::uint32_t baud,
               std::optional<double> seconds);

// "2026-12-10T20:01:02.345+03:00": local time with milliseconds and the
// offset from UTC, without the locale.
std::string isoLocalTime(std::chrono::system_clock::time_point time);

}  // namespace ctl
