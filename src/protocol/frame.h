// The envelope every frame travels in, both directions:
//   AA AA BF 35 | type | N | N - 2 payload bytes | CRC low | CRC high
// N (the length byte) counts the type and length bytes and the payload;
// the CRC-16/MODBUS covers exactly those N bytes, the "frame body".
// Inside the program frames are handled as bodies addressed by body
// offset: 0 the type, 1 the length, the payload from 2.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace protocol {

inline constexpr std::array<std::uint8_t, 4> kSyncWord{0xAA, 0xAA, 0xBF, 0x35};

// Frame types.
inline constexpr std::uint8_t PT_REQUEST = 0x01;         // host -> radiosonde
inline constexpr std::uint8_t PT_CALIB_WRITE = 0x02;     // host -> radiosonde
inline constexpr std::uint8_t PT_SETTINGS_WRITE = 0x03;  // host -> radiosonde
inline constexpr std::uint8_t PT_ACK = 0x80;             // radiosonde -> host
inline constexpr std::uint8_t PT_TELEMETRY = 0x81;
inline constexpr std::uint8_t PT_CALIBRATION = 0x82;
inline constexpr std::uint8_t PT_SETTINGS = 0x83;
inline constexpr std::uint8_t PT_STATE = 0x84;

// Bits of the request mask, the one payload byte of PT_REQUEST.
inline constexpr std::uint8_t RQ_TELEMETRY = 0x01;
inline constexpr std::uint8_t RQ_CALIBRATION = 0x02;
inline constexpr std::uint8_t RQ_SETTINGS = 0x04;
inline constexpr std::uint8_t RQ_STATE = 0x08;
inline constexpr std::uint8_t RQ_CYCLIC = 0x80;

// Selector byte (body offset 2) of PT_SETTINGS_WRITE.
inline constexpr std::uint8_t SET_FREQUENCY = 0x01;
inline constexpr std::uint8_t SET_GAIN = 0x02;
inline constexpr std::uint8_t SET_NAVMODE = 0x10;

// Key that the radiosonde demands in a calibration write.
inline constexpr std::uint16_t kCalibWriteKey = 0x55B1;

// Wire size of a frame whose length byte is n.
constexpr std::size_t wireSize(std::size_t n) { return n + 6; }

}  // namespace protocol
