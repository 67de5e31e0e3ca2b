// Test harness for kalvi7-sim: the simulator as a child process, and the
// tool's end of its line with the project's frame receiver on it.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "receiver.h"

namespace simtest {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

struct Finished {
    int code = -1;
    std::string out, err;
};

// Runs the simulator to its end (for command lines it must refuse).
Finished runToEnd(const std::vector<std::string>& args, std::chrono::milliseconds timeout = 5s);

class SimProcess {
public:
    // Starts the simulator and waits for the first line of its output.
    explicit SimProcess(const std::vector<std::string>& args);
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    pid_t pid() const { return pid_; }
    const std::string& firstLine() const { return firstLine_; }
    // The next line of output, if one comes within the timeout.
    std::optional<std::string> nextLine(std::chrono::milliseconds timeout);
    // Sends SIGTERM and returns the exit status (-1 if it did not exit).
    int terminate();
    // Waits for the simulator to end by itself; -1 on timeout.
    int waitExit(std::chrono::milliseconds timeout);
    std::string errText() const;
    // CPU time the simulator has used so far, in seconds.
    double cpuSeconds() const;

private:
    pid_t pid_ = -1;
    int outFd_ = -1;
    std::string errPath_;
    std::string pending_;
    std::string firstLine_;
    int status_ = -1;
    bool exited_ = false;
};

struct Received {
    std::vector<std::uint8_t> body;  // type, length, payload (no CRC)
    bool crcGood = false;
    Clock::time_point at;
    std::uint8_t type() const { return body.at(0); }
};

// The tool's side of the line: the pty slave (or a link to it) opened raw.
class Port : private protocol::ReceiverSink {
public:
    explicit Port(const std::string& path);
    ~Port() override;
    Port(const Port&) = delete;
    Port& operator=(const Port&) = delete;

    void send(std::span<const std::uint8_t> bytes);
    void request(std::uint8_t mask);
    // Frames until `count` have completed or `timeout` has passed.
    std::vector<Received> collect(std::size_t count, std::chrono::milliseconds timeout);
    // Everything that completes within `window`.
    std::vector<Received> collectFor(std::chrono::milliseconds window)
    {
        return collect(SIZE_MAX, window);
    }
    std::size_t bytesRead() const { return bytesRead_; }
    // True once a read reports that the far end has gone.
    bool hungUp() const { return hungUp_; }
    void close();

private:
    void frameChecked(bool crcGood) override;
    void frameReceived(const protocol::RxBuffer&) override {}

    int fd_ = -1;
    protocol::FrameReceiver receiver_{*this};
    std::vector<Received>* sink_ = nullptr;
    std::size_t bytesRead_ = 0;
    bool hungUp_ = false;
};

// Little-endian field readers at body offsets.
std::uint16_t u16(const std::vector<std::uint8_t>& body, std::size_t offset);
std::uint32_t u32(const std::vector<std::uint8_t>& body, std::size_t offset);
std::int32_t i32(const std::vector<std::uint8_t>& body, std::size_t offset);
float f32(const std::vector<std::uint8_t>& body, std::size_t offset);

std::vector<std::uint8_t> typesOf(const std::vector<Received>& frames);

}  // namespace simtest
