// kalvi7-sim --replay: a capture played back into the line with its
// recorded timing, in place of the simulated radiosonde.
#pragma once

#include <chrono>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "capture/capture_format.h"
#include "protocol/receiver.h"
#include "sim/line_loop.h"
#include "sim/options.h"

namespace sim {

// Reads the whole capture named by --replay. Throws std::invalid_argument
// with the message for the user ("FILE: line 7: time goes backwards") when
// the file cannot be read or is not a well-formed capture, so that nothing
// of a damaged capture is ever played.
capture::Capture loadReplay(const std::string& path);

class Replay {
public:
    // stopFd: read end of a pipe that becomes readable when the run must end.
    Replay(const Options& options, capture::Capture capture, int stopFd);
    ~Replay();

    // Plays the capture; returns the exit code (0 at its end or on a stop).
    int run();

private:
    // Logs what crosses the line, as the simulator does, with --verbose.
    class Logger : public protocol::ReceiverSink {
    public:
        Logger(const Replay& replay, const char* direction) : replay_(replay), direction_(direction) {}
        void frameChecked(bool crcGood) override;
        void frameReceived(const protocol::RxBuffer& RxBuf) override;

    private:
        const Replay& replay_;
        const char* direction_;
    };

    void openLine();
    bool followPeer(Clock::time_point now);  // whether the far end listens
    Clock::time_point dueAt(std::size_t record) const;
    void stageDue(Clock::time_point now);
    void writeLine();
    bool waitAndRead(bool peer);  // false on a stop
    bool finished() const { return next_ == capture_.records.size() && staged_.empty(); }

    Options options_;
    capture::Capture capture_;
    LineLoop loop_;

    // Capture time zero on this clock, while playing; it moves on by the
    // length of every pause.
    Clock::time_point origin_;
    bool playing_ = false;
    bool everPlayed_ = false;
    std::chrono::duration<double> pausedAt_{0};  // of capture time, scaled by the speed

    std::size_t next_ = 0;              // first record not yet staged
    std::vector<std::uint8_t> staged_;  // due bytes the line has not taken yet
    std::size_t stagedHead_ = 0;
    std::uint64_t bytesPlayed_ = 0;
    Clock::time_point firstByteAt_;

    Logger sentLog_{*this, "->"};
    Logger heardLog_{*this, "<-"};
    protocol::FrameReceiver sent_{sentLog_};
    protocol::FrameReceiver heard_{heardLog_};
};

}  // namespace sim
