// The program's window, unchanged, counting what reaches it: the byte
// messages it takes, the telemetry frames that reach its decoders, the gaps
// in their packet numbers, and the frames that fail their CRC. A window
// that keeps more than counts (the soak's records) adds to the two hooks.
#pragma once

#include <QEvent>

#include <cstdint>

#include "Unit1/TForm1.h"
#include "protocol/frame.h"

namespace support {

class CountingWindow : public Unit1::TForm1 {
public:
    std::uint64_t bytesTaken = 0;
    std::uint64_t telemetryFrames = 0;
    std::uint64_t numberGaps = 0;
    std::uint64_t badFrames = 0;

    // A new line numbers its frames afresh.
    void newLine() { numbered_ = false; }

    void frameReceived(const protocol::RxBuffer& RxBuf) override;
    void frameChecked(bool crcGood) override;

protected:
    // Called once each is counted, before the window itself takes the frame.
    virtual void telemetryCounted(const protocol::RxBuffer& /*RxBuf*/) {}
    virtual void badFrameCounted() {}

    bool event(QEvent* e) override;

private:
    std::uint8_t lastNumber_ = 0;
    bool numbered_ = false;
};

}  // namespace support
