// Real pseudo-terminals, a byte-message sink and the process's threads and
// descriptors for the driver tests.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "byte_sink.h"
#include "settled.h"
#include "support/pty.h"

namespace PortTest {

// A pseudo-terminal pair: the driver opens the slave path, the test plays
// the radiosonde on the master.
using support::Pty;

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
