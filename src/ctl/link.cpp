#include "ctl/link.h"

#include <algorithm>

#include "protocol/frame.h"
#include "telemetry/field_legend.h"
#include "telemetry/telemetry.h"

namespace ctl {

const char* packetTypeName(PacketType type)
{
    switch (type) {
    case PacketType::Telemetry: return "telemetry";
    case PacketType::Calibration: return "calibration";
    case PacketType::Settings: return "settings";
    case PacketType::State: return "state";
    case PacketType::Ack: return "ack";
    }
    return "?";
}

namespace {

std::optional<PacketType> packetTypeOf(std::uint8_t type)
{
    switch (type) {
    case protocol::PT_ACK: return PacketType::Ack;
    case protocol::PT_TELEMETRY: return PacketType::Telemetry;
    case protocol::PT_CALIBRATION: return PacketType::Calibration;
    case protocol::PT_SETTINGS: return PacketType::Settings;
    case protocol::PT_STATE: return PacketType::State;
    default: return std::nullopt;
    }
}

}  // namespace

Link::Link(ByteSource& source, MemoryForm::Writer writer)
    : source_(source), form_(std::move(writer)), sink_(*this), receiver_(sink_)
{}

bool Link::step(Clock::time_point until)
{
    const std::optional<Arrival> arrival = source_.next(until);
    if (!arrival)
        return false;
    if (onByte)
        onByte(*arrival);
    receiver_.Calc(arrival->byte, 1);
    return true;
}

void Link::Sink::frameChecked(bool crcGood)
{
    if (!link_.onRawFrame)
        return;
    // The body sits at body offsets; its length byte counts the body
    // without the two CRC bytes.
    const protocol::RxBuffer& RxBuf = link_.receiver_.rxBuf();
    const std::size_t size = std::min<std::size_t>(std::size_t{RxBuf[1]} + 2, RxBuf.size());
    RawFrame frame;
    frame.good = crcGood;
    frame.wire.reserve(protocol::kSyncWord.size() + size);
    for (const std::uint8_t byte : protocol::kSyncWord)
        frame.wire.push_back(byte);
    for (std::size_t i = 0; i < size; ++i)
        frame.wire.push_back(RxBuf[i]);
    link_.onRawFrame(frame);
}

void Link::Sink::frameReceived(const protocol::RxBuffer& RxBuf)
{
    MemoryForm& form = link_.form_;
    form.takeWritten();
    // The status bar holds only what this frame puts there.
    form.setStatusText({});
    const std::optional<PacketType> type = packetTypeOf(RxBuf[0]);

    // A decoder that stops part-way still showed what it wrote before.
    try {
        telemetry::dispatchFrame(RxBuf, form);
    } catch (...) {
    }
    if (!type || !link_.onPacket)
        return;

    Packet packet;
    packet.type = *type;
    packet.body = RxBuf;
    if (*type == PacketType::Ack) {
        packet.ackCode = RxBuf[2];
        // The window shows the codes it knows and leaves the status bar
        // alone for any other.
        packet.ackText = form.statusText();
    }
    for (const telemetry::Field field : form.takeWritten()) {
        if (telemetry::legendOf(field).page == telemetry::Page::Service)
            packet.fields.emplace_back(field, form.text(field));
    }
    link_.onPacket(packet);
}

}  // namespace ctl
