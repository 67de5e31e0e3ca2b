// Real pseudo-terminals, a byte-message sink and the process's threads and
// descriptors for the driver tests.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "support/pty.h"

namespace PortTest {

using support::Bytes;
using namespace std::chrono_literals;

// A pseudo-terminal pair: the driver opens the slave path, the test plays
// the radiosonde on the master.
using support::Pty;

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

// Polls read() until it gives expected or `within` has passed, and returns
// its last reading. What the kernel does after a call has returned, such as
// taking a joined thread off /proc/self/task, takes a moment, and longer on
// a loaded machine; something really left behind never settles.
template <typename Read, typename T>
auto Settled(Read read, const T& expected, std::chrono::milliseconds within = 5s)
{
    const auto deadline = std::chrono::steady_clock::now() + within;
    auto reading = read();
    while (!(reading == expected) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(1ms);
        reading = read();
    }
    return reading;
}

// The threads this process has started since the watch began, from
// /proc/self/task. Before the baseline is taken one thread is started and
// joined, so that a helper thread a runtime starts along with a process's
// first thread (ThreadSanitizer's own) is part of it rather than counted.
class ThreadWatch {
public:
    ThreadWatch();

    // Threads present now that were not at the baseline.
    std::size_t started() const;
    // Processor time of those threads so far.
    std::chrono::nanoseconds startedCpuTime() const;
    // Times those threads have been woken after a wait (their voluntary
    // context switches) so far.
    std::uint64_t startedWakeUps() const;

private:
    std::vector<int> newTasks() const;
    std::vector<int> baseline_;
};

// The descriptors this process holds now and did not hold when the watch
// began, as what they lead to ("anon_inode:[eventfd]", "/dev/pts/3"),
// sorted.
class DescriptorWatch {
public:
    DescriptorWatch();
    std::vector<std::string> opened() const;

private:
    std::vector<std::pair<int, std::string>> baseline_;
};

// The calling thread's time so far on a processor and waiting for one
// (runnable, but the machine busy elsewhere). Whatever else has gone by it
// spent blocked: in a wait, a sleep, a call that had to wait.
struct ThreadTimes {
    std::chrono::nanoseconds running{0};
    std::chrono::nanoseconds waitingForProcessor{0};
};
ThreadTimes CallingThreadTimes();

// What the driver holds for an open port on Linux: the port and the
// reader's two wake-up descriptors (stop, room).
std::vector<std::string> PortDescriptors(const std::string& path);

// Runs the probe program on path; its exit code and what it printed.
// unprivileged: a root test's probe runs as the user nobody.
std::pair<int, std::string> RunOpenProbe(const std::string& path, bool unprivileged = false);

}  // namespace PortTest
