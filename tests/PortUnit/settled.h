// Waiting for a reading to settle, for the driver tests on both systems.
#pragma once

#include <chrono>
#include <thread>

namespace PortTest {

// Polls read() until it gives expected or `within` has passed, and returns
// its last reading. What the kernel does after a call has returned, such as
// taking a joined thread off /proc/self/task, takes a moment, and longer on
// a loaded machine; something really left behind never settles.
template <typename Read, typename T>
auto Settled(Read read, const T& expected, std::chrono::milliseconds within = std::chrono::seconds(5))
{
    const auto deadline = std::chrono::steady_clock::now() + within;
    auto reading = read();
    while (!(reading == expected) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        reading = read();
    }
    return reading;
}

}  // namespace PortTest
