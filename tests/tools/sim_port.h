// The tool's end of the simulator's line, with the project's frame receiver
// on it, and the readers of the frames it collects. The simulator itself
// runs as a support::SimProcess.
#pragma once

#include <chrono>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "receiver.h"
#include "support/sim_process.h"

namespace simtest {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;
using support::Finished;
using support::runToEnd;
using support::SimProcess;

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
    std::vector<Received> collectFor(std::chrono::milliseconds window) { return collect(SIZE_MAX, window); }
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
