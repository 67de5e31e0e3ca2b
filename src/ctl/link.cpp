#include "ctl/link.h"

#include <algorithm>

#include "protocol/frame.h"
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

PacketType packetTypeOf(const protocol::DevicePacket& packet)
{
    // The variant's alternatives, in order: telemetry, calibration,
    // settings, state, acknowledgement.
    static_assert(
        std::is_same_v<std::variant_alternative_t<0, protocol::DevicePacket>, protocol::TelemetryPacket>);
    static_assert(std::is_same_v<std::variant_alternative_t<4, protocol::DevicePacket>, protocol::AckPacket>);
    return static_cast<PacketType>(packet.index());
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
    const std::optional<protocol::DevicePacket> value = protocol::readDevicePacket(RxBuf);
    if (!value)
        return;  // host frames echoed back, unknown types: nothing shown

    // The packet moves the request chain exactly as in the window. A
    // packet that stops part-way still showed what it had before.
    try {
        telemetry::presentPacket(*value, form);
    } catch (...) {
    }
    if (!link_.onPacket)
        return;

    Packet packet;
    packet.type = packetTypeOf(*value);
    packet.value = *value;
    packet.shown = telemetry::describePacket(*value, form.localTime());
    std::erase_if(packet.shown.fields, [](const telemetry::Shown& shown) { return shown.keep; });
    if (const auto* ack = std::get_if<protocol::AckPacket>(&*value)) {
        packet.ackCode = ack->code;
        // The window shows the codes it knows and leaves the status bar
        // alone for any other.
        packet.ackText = packet.shown.status.value_or("");
    }
    link_.onPacket(packet);
}

}  // namespace ctl
