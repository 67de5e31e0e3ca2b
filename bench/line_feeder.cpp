// A radiosonde line kept full: telemetry frames back to back, paced at the
// line's speed, on a pseudo-terminal. The simulator sends cyclic telemetry
// once a second, as the radiosonde does; this is the busiest a line of the
// given speed can be, for measuring what the program costs at that load.
// Prints the path to open as its first line; runs until killed.
//
// Each frame is the next second of a radiosonde in flight: the time, the
// position, the velocities and the readings all change from frame to
// frame, so the window has every telemetry field to redraw each time, as
// in service. --still sends one packet of a radiosonde standing still
// over and over, only its packet number counting up: the window then
// redraws little more than that number. --still-after N sends N frames of
// the flight, then the standing one's: the fields then settle on texts
// that do not depend on when the window was looked at, for comparing
// pictures of it.
//
//   line_feeder [--baud N] [--slice-ms MS] [--still] [--still-after N]
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "moving_radiosonde.h"
#include "protocol/host_frames.h"
#include "support/telemetry_frames.h"

namespace {

using Clock = std::chrono::steady_clock;

// Bytes are handed over in slices, as a serial adapter delivers them: a
// UART's receive FIFO every few milliseconds, a USB adapter once per its
// latency timer (often 16 ms) or per full packet.
constexpr int kDefaultSliceMs = 5;

[[noreturn]] void die(const char* what)
{
    std::fprintf(stderr, "line_feeder: %s: %s\n", what, std::strerror(errno));
    std::exit(1);
}

int openPty()
{
    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0)
        die("cannot open a pseudo-terminal");
    const char* name = ptsname(master);
    const int slave = name ? open(name, O_RDWR | O_NOCTTY) : -1;
    termios tio{};
    if (slave < 0 || tcgetattr(slave, &tio) != 0)
        die("cannot open the slave side");
    cfmakeraw(&tio);
    if (tcsetattr(slave, TCSANOW, &tio) != 0)
        die("cannot make the line raw");
    close(slave);
    std::printf("%s\n", name);
    std::fflush(stdout);
    return master;
}

bool peerPresent(int master)
{
    pollfd p{master, POLLIN, 0};
    return poll(&p, 1, 0) >= 0 && !(p.revents & (POLLHUP | POLLERR));
}

std::vector<std::uint8_t> stillFrame(std::uint8_t number)
{
    auto body = telemetry::testing::telemetryBody();
    body.u8(3, number);
    const protocol::RxBuffer& RxBuf = body;
    return protocol::wrapBody(std::vector<std::uint8_t>(RxBuf.begin(), RxBuf.begin() + RxBuf[1]));
}

}  // namespace

int main(int argc, char* argv[])
{
    double baud = 38400;
    int sliceMs = kDefaultSliceMs;
    bool still = false;
    long stillAfter = -1;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--still") == 0)
            still = true;
        else if (std::strcmp(argv[i], "--still-after") == 0 && i + 1 < argc)
            stillAfter = std::atol(argv[++i]);
        else if (std::strcmp(argv[i], "--baud") == 0 && i + 1 < argc)
            baud = std::atof(argv[++i]);
        else if (std::strcmp(argv[i], "--slice-ms") == 0 && i + 1 < argc)
            sliceMs = std::max(1, std::atoi(argv[++i]));
    }
    const double bytesPerSecond = baud / 10.0;  // start, eight data bits, stop

    const int master = openPty();
    std::vector<std::uint8_t> pending;
    std::uint8_t number = 0;
    bench::MovingRadiosonde flight;
    double owed = 0;  // bytes the line could have carried and has not yet
    auto last = Clock::now();

    for (;;) {
        usleep(static_cast<useconds_t>(sliceMs) * 1000);
        std::uint8_t sink[256];
        while (read(master, sink, sizeof sink) > 0) {
            // What the program sends (its requests) is read and dropped.
        }
        const auto now = Clock::now();
        const double elapsed = std::chrono::duration<double>(now - last).count();
        last = now;
        if (!peerPresent(master)) {
            owed = 0;
            continue;
        }
        // When the reader falls behind, the line does not bank more than a
        // second of bytes to send in one burst later; a line cannot
        // carry more than its rate.
        owed = std::min(owed + elapsed * bytesPerSecond, bytesPerSecond);
        while (static_cast<double>(pending.size()) < owed) {
            if (stillAfter >= 0 && stillAfter-- == 0)
                still = true;
            const auto frame = still ? stillFrame(number++) : protocol::wrapBody(flight.next());
            pending.insert(pending.end(), frame.begin(), frame.end());
        }
        const auto due = static_cast<std::size_t>(owed);
        const ssize_t written = write(master, pending.data(), due);
        if (written > 0) {
            pending.erase(pending.begin(), pending.begin() + written);
            owed -= static_cast<double>(written);
        }
    }
}
