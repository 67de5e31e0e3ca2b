// The program's window, unchanged, with a record of what reached its
// decoders: every good telemetry frame (its radiosonde, packet number, time
// and the byte message that completed it) and the byte message that
// completed each frame that failed its CRC. The count of byte messages
// taken, not the time, orders them: under a flood many frames share a
// millisecond, and it also places a port change exactly in the stream.
#pragma once

#include <QElapsedTimer>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "protocol/frame.h"
#include "support/counting_window.h"

namespace soak {

struct Decoded {
    qint64 atMs;
    bool northern;  // which radiosonde: the sign of its Z coordinate
    std::uint8_t number;
    std::uint64_t endByte = 0;  // byte messages taken, this frame's last included
};

class SoakWindow : public support::CountingWindow {
public:
    explicit SoakWindow(const QElapsedTimer& clock) : clock_(clock) {}

    std::vector<Decoded> telemetry;
    std::vector<std::uint64_t> badFrameEnds;
    std::uint64_t framesWithoutPosition = 0;  // Z of 0: cannot tell whose

    // Room for the records of a run of `seconds` at up to `framesPerSecond`,
    // taken at the start so that the records never move: the memory they
    // take is then just what they hold (the untouched rest is not resident),
    // and the memory check can take it off the process's.
    void reserveRecords(double seconds, double framesPerSecond)
    {
        const auto frames = static_cast<std::size_t>(seconds * framesPerSecond);
        telemetry.reserve(frames);
        badFrameEnds.reserve(frames / 4);
    }
    std::size_t recordBytes() const
    {
        return telemetry.size() * sizeof(Decoded) + badFrameEnds.size() * sizeof(std::uint64_t);
    }

protected:
    void telemetryCounted(const protocol::RxBuffer& RxBuf) override
    {
        const auto z = static_cast<std::int32_t>(
            static_cast<std::uint32_t>(RxBuf[16]) | static_cast<std::uint32_t>(RxBuf[17]) << 8 |
            static_cast<std::uint32_t>(RxBuf[18]) << 16 | static_cast<std::uint32_t>(RxBuf[19]) << 24);
        if (z == 0)
            ++framesWithoutPosition;
        else
            telemetry.push_back({clock_.elapsed(), z > 0, RxBuf[3], bytesTaken});
    }

    void badFrameCounted() override { badFrameEnds.push_back(bytesTaken); }

private:
    const QElapsedTimer& clock_;
};

}  // namespace soak
