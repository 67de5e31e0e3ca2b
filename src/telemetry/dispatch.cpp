#include "protocol/frame.h"
#include "telemetry/telemetry.h"

namespace telemetry {

void dispatchFrame(const protocol::RxBuffer& RxBuf, FormView& form)
{
    switch (RxBuf[0]) {
    case protocol::PT_ACK: decodeAck(RxBuf, form); break;
    case protocol::PT_TELEMETRY: decodeTelemetry(RxBuf, form); break;
    case protocol::PT_CALIBRATION: decodeCalibration(RxBuf, form); break;
    case protocol::PT_SETTINGS: decodeSettings(RxBuf, form); break;
    case protocol::PT_STATE: decodeState(RxBuf, form); break;
    default: break;  // host frames echoed back, unknown types: nothing to show
    }
}

}  // namespace telemetry
