// The window as the driver tests see it: a target that takes the reader's
// byte messages, or holds them untaken as a window that has stopped. The
// same on both systems.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <utility>
#include <vector>

namespace PortTest {

using Bytes = std::vector<std::uint8_t>;
using namespace std::chrono_literals;

// Collects the byte messages the reader posts, as (wparam, lparam) pairs.
class ByteSink {
public:
    ByteSink();   // becomes the driver's message target
    ~ByteSink();  // and stops being it

    // True once at least count messages have arrived.
    bool waitFor(std::size_t count, std::chrono::milliseconds within);
    std::vector<std::pair<std::uint32_t, std::intptr_t>> messages() const;
    Bytes bytes() const;
    std::size_t count() const;

    // The sink takes every message as it arrives, as a window that keeps up
    // does. While held, it leaves them untaken, as a window that has stopped;
    // takeHeld() then takes those and every later one at once.
    void hold();
    void takeHeld();

private:
    static void post(void* context, std::uint32_t wparam, std::intptr_t lparam);

    mutable std::mutex mutex_;
    std::condition_variable arrived_;
    std::vector<std::pair<std::uint32_t, std::intptr_t>> messages_;
    bool holding_ = false;
    std::size_t held_ = 0;
};

}  // namespace PortTest
