// The frame receiver wired to the decoders: each good frame goes to the
// decoder of its type and writes into a FormView. What a taken byte and a
// CRC verdict mean on a screen (the watchdog, the colour of the packet
// number) is the window's; a window derives and overrides byteTaken and
// frameChecked.
#pragma once

#include "protocol/receiver.h"
#include "telemetry/form_view.h"
#include "telemetry/telemetry.h"

namespace telemetry {

class DecodingSink : public protocol::ReceiverSink {
public:
    explicit DecodingSink(FormView& form) : form_(form) {}

    void frameReceived(const protocol::RxBuffer& RxBuf) override { dispatchFrame(RxBuf, form_); }

private:
    FormView& form_;
};

}  // namespace telemetry
