// Real pseudo-terminals and a byte-message sink for the driver tests.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace PortTest {

using Bytes = std::vector<std::uint8_t>;
using namespace std::chrono_literals;

// A pseudo-terminal pair: the driver opens the slave path, the test plays
// the radiosonde on the master. The master is non-blocking.
class Pty {
public:
    Pty();
    ~Pty();
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    const std::string& slavePath() const { return slavePath_; }
    int master() const { return master_; }
    void closeMaster();

    void send(const Bytes& bytes);
    // Whatever the master receives within the time, stopping early once
    // `expected` bytes have come.
    Bytes receive(std::size_t expected, std::chrono::milliseconds within);

private:
    int master_ = -1;
    std::string slavePath_;
};

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

// Open descriptors and threads of this process, from /proc/self.
std::size_t OpenDescriptorCount();
std::size_t ThreadCount();

// Times the threads other than the calling one have been woken after a
// wait (their voluntary context switches), from /proc/self/task.
std::uint64_t OtherThreadsWakeUps();

// Processor time this process has used so far.
std::chrono::microseconds ProcessCpuTime();

// Runs the probe program on path; its exit code and what it printed.
std::pair<int, std::string> RunOpenProbe(const std::string& path);

}  // namespace PortTest
