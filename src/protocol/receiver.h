// The frame receiver: turns the received byte stream, one byte message at a
// time, into frames with a checked CRC.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace protocol {

inline constexpr std::size_t kRxBufSize = 200;
using RxBuffer = std::array<std::uint8_t, kRxBufSize>;

// What the receiver needs of the window: restart the link watchdog, show
// the CRC verdict in the packet-number field, and decode a good frame.
class ReceiverSink {
public:
    virtual ~ReceiverSink() = default;
    // Stop and start Timer3, so its 3000 ms count afresh from this byte.
    virtual void restartTimer3() = 0;
    // Font colour of Label5: black for a good CRC, red for a bad one.
    virtual void setPacketNumberColour(bool crcGood) = 0;
    // A good frame of any type; RxBuf holds its body at body offsets, CRC
    // bytes included. Anything thrown in here is swallowed by the receiver.
    virtual void dispatchFrame(const RxBuffer& RxBuf) = 0;
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
    RxBuffer RxBuf{};            // zero-filled, lives as long as the receiver
    std::uint8_t RxPos = 0;      // next free index; never above 198 between bytes
    std::uint8_t RxSynced = 0;   // 1 while a frame body is being collected
};

}  // namespace protocol
