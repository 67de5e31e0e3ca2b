// The receiving side of a command: bytes from a source through the frame
// receiver; each good frame read once into its typed packet, which moves
// the request chain on a MemoryForm as it does in the window, and is
// reported with what it shows (telemetry/presentation.h); raw frames too.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "ctl/arrival_queue.h"
#include "ctl/memory_form.h"
#include "protocol/device_packets.h"
#include "protocol/receiver.h"
#include "telemetry/presentation.h"

namespace ctl {

enum class PacketType { Telemetry, Calibration, Settings, State, Ack };
const char* packetTypeName(PacketType type);  // "telemetry", ..., "ack"

struct Packet {
    PacketType type = PacketType::Telemetry;
    // What the packet showed on the service page, texts and values, in the
    // window's order; the operator page's copies and the fields it left as
    // they were are not in it.
    telemetry::Presentation shown;
    std::uint8_t ackCode = 0;      // Ack only
    std::string ackText;           // Ack only: the status bar's text, "" for a code the window ignores
    protocol::DevicePacket value;  // the packet as read, once, from the frame
};

struct RawFrame {
    std::vector<std::uint8_t> wire;  // sync word, body, CRC as they came
    bool good = false;
};

class Link {
public:
    Link(ByteSource& source, MemoryForm::Writer writer);

    MemoryForm& form() { return form_; }

    std::function<void(const Packet&)> onPacket;
    std::function<void(const RawFrame&)> onRawFrame;
    std::function<void(const Arrival&)> onByte;

    // Takes and handles the next byte; false when none came before `until`.
    bool step(Clock::time_point until);

private:
    class Sink : public protocol::ReceiverSink {
    public:
        explicit Sink(Link& link) : link_(link) {}
        void frameChecked(bool crcGood) override;
        void frameReceived(const protocol::RxBuffer& RxBuf) override;

    private:
        Link& link_;
    };

    ByteSource& source_;
    MemoryForm form_;
    Sink sink_;
    protocol::FrameReceiver receiver_;
};

}  // namespace ctl
