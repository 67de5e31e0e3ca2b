#include "support/counting_window.h"

#include "Unit1/byte_event.h"

using Unit1::ByteEvent;
using Unit1::TForm1;

namespace support {

void CountingWindow::frameReceived(const protocol::RxBuffer& RxBuf)
{
    if (RxBuf[0] == protocol::PT_TELEMETRY) {
        const std::uint8_t number = RxBuf[3];
        if (numbered_ && number != static_cast<std::uint8_t>(lastNumber_ + 1))
            ++numberGaps;
        lastNumber_ = number;
        numbered_ = true;
        ++telemetryFrames;
        telemetryCounted(RxBuf);
    }
    TForm1::frameReceived(RxBuf);
}

void CountingWindow::frameChecked(bool crcGood)
{
    if (!crcGood) {
        ++badFrames;
        badFrameCounted();
    }
    TForm1::frameChecked(crcGood);
}

bool CountingWindow::event(QEvent* e)
{
    if (e->type() == ByteEvent::eventType())
        ++bytesTaken;
    return TForm1::event(e);
}

}  // namespace support
