// The tool's end of the simulator's line, with the project's frame receiver
// on it, and the readers of the frames it collects. The simulator itself
// runs as a support::SimProcess.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "protocol/receiver.h"
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

// The tool's side of the line, bytes only: the pty slave (or a link to it)
// opened raw and non-blocking.
class RawPort {
public:
    explicit RawPort(const std::string& path);
    ~RawPort();
    RawPort(const RawPort&) = delete;
    RawPort& operator=(const RawPort&) = delete;

    // Writes all of bytes; throws with the system's reason when it cannot.
    void send(std::span<const std::uint8_t> bytes);
    // One read of what has come, waiting for it until `deadline` at the
    // most: the count of bytes put in `into`, 0 when none came in time, -1
    // once the far end has gone.
    std::ptrdiff_t readSome(std::span<std::uint8_t> into, Clock::time_point deadline);
    void close();

private:
    int fd_ = -1;
};

// The tool's side of the line with the project's frame receiver on it.
class Port : private protocol::ReceiverSink {
public:
    explicit Port(const std::string& path) : raw_(path) {}

    void send(std::span<const std::uint8_t> bytes) { raw_.send(bytes); }
    void request(std::uint8_t mask);
    // Frames until `count` have completed or `timeout` has passed.
    std::vector<Received> collect(std::size_t count, std::chrono::milliseconds timeout);
    // Everything that completes within `window`.
    std::vector<Received> collectFor(std::chrono::milliseconds window) { return collect(SIZE_MAX, window); }
    std::size_t bytesRead() const { return bytesRead_; }
    // True once a read reports that the far end has gone.
    bool hungUp() const { return hungUp_; }
    void close() { raw_.close(); }

private:
    void frameChecked(bool crcGood) override;
    void frameReceived(const protocol::RxBuffer&) override {}

    RawPort raw_;
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
