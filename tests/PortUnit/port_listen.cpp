// Opens a port with the driver, as the window does, and notes when each
// byte message arrives, for the reader's figures under Wine
// (wine_reader_figures.sh): how late a byte reaches the window, and what a
// silent line costs.
//
//   port_listen PORT SECONDS
//
// Prints "open" once the port is open, then, after SECONDS, one line per
// message, "<arrival> <byte>", the arrival in nanoseconds of the machine's
// monotonic clock (under Wine the Linux CLOCK_MONOTONIC_RAW, which a Linux
// program on the other end of the line can read too), then "closed".
// Exit 0; 1 with the error's text and reason when the port does not open;
// 2 for a bad command line.
#include "PortUnit/PortUnit.h"

#ifdef _WIN32
#include "common/windows_api.h"
#else
#include <time.h>
#endif

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace {

std::int64_t MonotonicNanoseconds()
{
#ifdef _WIN32
    LARGE_INTEGER count, frequency;
    QueryPerformanceCounter(&count);
    QueryPerformanceFrequency(&frequency);
    const std::int64_t seconds = count.QuadPart / frequency.QuadPart;
    const std::int64_t rest = count.QuadPart % frequency.QuadPart;
    return seconds * 1000000000 + rest * 1000000000 / frequency.QuadPart;
#else
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC_RAW, &now);
    return std::int64_t{now.tv_sec} * 1000000000 + now.tv_nsec;
#endif
}

std::mutex ArrivalsLock;
std::vector<std::pair<std::int64_t, std::uint32_t>> Arrivals;

// Taken as it is posted: the figures are of the reader, not of a window.
void Note(void*, std::uint32_t byte, std::intptr_t)
{
    const std::int64_t now = MonotonicNanoseconds();
    {
        const std::lock_guard<std::mutex> lock(ArrivalsLock);
        Arrivals.emplace_back(now, byte);
    }
    PortUnit::ByteMessageTaken();
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3)
        return 2;
    const int seconds = std::atoi(argv[2]);
    PortUnit::SetByteMessageTarget(Note, nullptr);
    try {
        PortUnit::OpenComPort(PortUnit::PortPathFor(argv[1]), 38400, 0, 8, 0);
    } catch (const PortUnit::PortError& error) {
        std::printf("%s\n%s\n", error.what(), error.reason());
        return 1;
    }
    std::printf("open\n");
    std::fflush(stdout);
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    PortUnit::CloseComPort(true);
    const std::lock_guard<std::mutex> lock(ArrivalsLock);
    for (const auto& [time, byte] : Arrivals)
        std::printf("%lld %u\n", static_cast<long long>(time), byte);
    std::printf("closed\n");
    return 0;
}
