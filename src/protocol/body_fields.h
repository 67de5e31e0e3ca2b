// Typed reads of a frame body in RxBuf at fixed body offsets.
//
// Multi-byte fields are little-endian and may sit at odd offsets, so they
// are assembled byte by byte (and singles bit-cast from the assembled
// word) rather than read through a pointer cast. The offset is a template
// argument so that a read past the end of RxBuf cannot compile.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

#include "protocol/receiver.h"

namespace protocol::body {

template <std::size_t Offset>
std::uint8_t u8(const RxBuffer& RxBuf)
{
    static_assert(Offset < kRxBufSize);
    return RxBuf[Offset];
}

template <std::size_t Offset>
std::uint16_t u16(const RxBuffer& RxBuf)
{
    static_assert(Offset + 2 <= kRxBufSize);
    return static_cast<std::uint16_t>(RxBuf[Offset] | RxBuf[Offset + 1] << 8);
}

template <std::size_t Offset>
std::int16_t i16(const RxBuffer& RxBuf)
{
    return static_cast<std::int16_t>(u16<Offset>(RxBuf));
}

template <std::size_t Offset>
std::uint32_t u32(const RxBuffer& RxBuf)
{
    static_assert(Offset + 4 <= kRxBufSize);
    return static_cast<std::uint32_t>(RxBuf[Offset]) | static_cast<std::uint32_t>(RxBuf[Offset + 1]) << 8 |
           static_cast<std::uint32_t>(RxBuf[Offset + 2]) << 16 |
           static_cast<std::uint32_t>(RxBuf[Offset + 3]) << 24;
}

template <std::size_t Offset>
std::int32_t i32(const RxBuffer& RxBuf)
{
    return static_cast<std::int32_t>(u32<Offset>(RxBuf));
}

// IEEE 754 single.
template <std::size_t Offset>
float single(const RxBuffer& RxBuf)
{
    return std::bit_cast<float>(u32<Offset>(RxBuf));
}

}  // namespace protocol::body
