// The frame receiver: turns the received byte stream, one byte message at a
// time, into frames with a checked CRC.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace protocol {

inline constexpr std::size_t kRxBufSize = 200;
using RxBuffer = std::array<std::uint8_t, kRxBufSize>;

// What the receiver tells its owner, in the order it happens. A window
// shows these; a program that only answers frames overrides frameReceived.
class ReceiverSink {
public:
    virtual ~ReceiverSink() = default;
    // A byte message was taken, before the byte is buffered: the line is alive.
    virtual void byteTaken() {}
    // A frame is complete and its CRC was checked: good or bad.
    virtual void frameChecked([[maybe_unused]] bool crcGood) {}
    // A good frame of any type, right after frameChecked(true); RxBuf holds
    // its body at body offsets, CRC bytes included. Anything thrown in here
    // is swallowed by the receiver.
    virtual void frameReceived(const RxBuffer& RxBuf) = 0;
};

class FrameReceiver {
public:
    explicit FrameReceiver(ReceiverSink& sink) : sink_(sink) {}

    // Handler of one byte message: wparam carries the byte in its low eight
    // bits, lparam must be 1 (anything else is ignored entirely).
    void Calc(std::uint32_t wparam, std::intptr_t lparam);

    const RxBuffer& rxBuf() const { return RxBuf; }
    std::uint8_t rxPos() const { return RxPos; }
    std::uint8_t rxSynced() const { return RxSynced; }

private:
    ReceiverSink& sink_;
    RxBuffer RxBuf{};           // zero-filled, lives as long as the receiver
    std::uint8_t RxPos = 0;     // next free index; never above 198 between bytes
    std::uint8_t RxSynced = 0;  // 1 while a frame body is being collected
};

}  // namespace protocol
