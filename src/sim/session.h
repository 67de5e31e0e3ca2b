// One run of the simulator: the event loop that joins the line, the device
// model, the pacing of the bytes and the faults asked for.
#pragma once

#include <chrono>
#include <cstdint>
#include <random>
#include <span>
#include <vector>

#include "protocol/receiver.h"
#include "sim/line_loop.h"
#include "sim/model/radiosonde.h"
#include "sim/options.h"

namespace sim {

class Session : private protocol::ReceiverSink {
public:
    // stopFd: read end of a pipe that becomes readable when the run must end.
    Session(const Options& options, int stopFd);
    ~Session() override;

    // Runs until a stop request or --frames is reached; returns the exit code.
    int run();

private:
    // protocol::ReceiverSink
    void frameChecked(bool crcGood) override;
    void frameReceived(const protocol::RxBuffer& RxBuf) override;

    void followHangupSchedule(Clock::time_point now);
    void followSilenceSchedule(Clock::time_point now);
    bool checkPeer();  // whether the far end is there to hear
    // Sleeps until something is due and reads what came; false on a stop.
    bool waitAndRead(bool peer);
    void heard(std::span<const std::uint8_t> bytes);
    void openLine();
    void dropLine();
    bool silentAt(Clock::time_point now) const;
    void enqueue(WireFrame frame);
    void sendCyclicTelemetry(Clock::time_point now);
    void writeLine(Clock::time_point now);
    bool telemetryWanted() const;
    bool framesDone() const;
    void reportFrames() const;
    Instant instant() const;

    Options options_;
    LineLoop loop_;
    Line& line_;
    Radiosonde radiosonde_;
    protocol::FrameReceiver receiver_{*this};
    std::mt19937_64 faultRng_;

    Clock::time_point nextTelemetry_;
    Clock::time_point nextHangup_;
    Clock::time_point lineBackAt_;
    Clock::time_point lineFreeAt_;  // when the bytes written so far have left at --baud
    bool wasSilent_ = false;
    bool peerWasPresent_ = false;

    std::vector<std::uint8_t> tx_;
    std::size_t txHead_ = 0;
    std::uint64_t framesQueued_ = 0;
    std::uint64_t telemetryQueued_ = 0;
    Clock::time_point firstTelemetryAt_;
};

}  // namespace sim
