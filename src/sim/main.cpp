// kalvi7-sim: a radiosonde on the far end of a serial line, for trainees,
// tests and benchmarks that have no real one at hand.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <exception>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "sim/line.h"
#include "sim/options.h"
#include "sim/replay.h"
#include "sim/session.h"

namespace {

int stopPipe[2] = {-1, -1};

void requestStop(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = write(stopPipe[1], &byte, 1);
}

void installStopHandlers()
{
    if (pipe2(stopPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        throw std::runtime_error("cannot make the stop pipe");
    struct sigaction action {};
    action.sa_handler = requestStop;
    sigemptyset(&action.sa_mask);
    for (const int sig : {SIGINT, SIGTERM, SIGHUP})
        sigaction(sig, &action, nullptr);
    signal(SIGPIPE, SIG_IGN);
}

}  // namespace

int main(int argc, char** argv)
{
    sim::Options options;
    try {
        options = sim::parseOptions(std::vector<std::string>(argv + 1, argv + argc));
        if (!options.device.empty() && !sim::isDeviceBaud(options.baud))
            throw std::invalid_argument("--baud: a serial device cannot be set to " +
                                        std::to_string(options.baud) + " baud");
    } catch (const std::invalid_argument& e) {
        std::fprintf(stderr, "kalvi7-sim: %s\nTry 'kalvi7-sim --help'.\n", e.what());
        return 2;
    }
    if (options.help) {
        std::fputs(sim::helpText(), stdout);
        return 0;
    }

    // A capture is read whole before the line is opened: a damaged one is
    // refused with its line number and nothing of it is ever played.
    std::optional<capture::Capture> replay;
    if (!options.replay.empty()) {
        try {
            replay = sim::loadReplay(options.replay);
        } catch (const std::invalid_argument& e) {
            std::fprintf(stderr, "kalvi7-sim: %s\n", e.what());
            return 2;
        }
    }

    try {
        installStopHandlers();
        if (replay)
            return sim::Replay(options, std::move(*replay), stopPipe[0]).run();
        sim::Session session(options, stopPipe[0]);
        return session.run();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kalvi7-sim: %s\n", e.what());
        return 1;
    }
}
