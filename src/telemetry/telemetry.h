// Decoders of the device packets, the geodetic conversion, the request
// chain and the link watchdog: all of it toolkit-free, working on a
// FormView.
#pragma once

#include <stdexcept>

#include "protocol/device_packets.h"
#include "protocol/receiver.h"
#include "telemetry/form_view.h"

namespace telemetry {

// A frame whose content ends its decoding part-way (a navigation time that
// is no time of day). The receiver swallows it; the fields written before
// keep their new texts.
class DecodeError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Reads the packet RxBuf holds (protocol::readDevicePacket) and presents
// it; host frames echoed back and unknown types present nothing.
// May throw: the receiver swallows whatever a decoder throws.
void dispatchFrame(const protocol::RxBuffer& RxBuf, FormView& form);

// Each device packet presented on the form: its texts written in the
// window's order, the request chain moved on. A presenter that throws has
// left the fields it had not reached as they were.
void presentPacket(const protocol::DevicePacket& packet, FormView& form);
void presentAck(const protocol::AckPacket& packet, FormView& form);                  // 0x80
void presentTelemetry(const protocol::TelemetryPacket& packet, FormView& form);      // 0x81
void presentCalibration(const protocol::CalibrationPacket& packet, FormView& form);  // 0x82
void presentSettings(const protocol::SettingsPacket& packet, FormView& form);        // 0x83
void presentState(const protocol::StatePacket& packet, FormView& form);              // 0x84

// A frame of one type read and presented.
void decodeAck(const protocol::RxBuffer& RxBuf, FormView& form);
void decodeTelemetry(const protocol::RxBuffer& RxBuf, FormView& form);
void decodeCalibration(const protocol::RxBuffer& RxBuf, FormView& form);
void decodeSettings(const protocol::RxBuffer& RxBuf, FormView& form);
void decodeState(const protocol::RxBuffer& RxBuf, FormView& form);

// Geodetic conversion of the navigation fields Label7..Label18 into the
// fourteen geodetic fields. Handles its own failures: writes nothing when
// an input is not a number or the point has no defined result.
void XYZ_to_LBH(FormView& form);

// Shared click handler of the four packet boxes: sends one request frame
// with the mask the five boxes give now.
void CheckBox26Click(FormView& form);
std::uint8_t requestMask(const FormView& form);

// Watchdog expiry: blanks every display field (and the editors while not
// editing), requests telemetry and restarts Timer3.
void Timer3Timer(FormView& form);

// The 64 fields blanked by the watchdog, in its order.
extern const Field kWatchdogFields[kFieldCount];

}  // namespace telemetry
