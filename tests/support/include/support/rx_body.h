// Builds a frame body in an RxBuf image, field by field at body offsets,
// little-endian, the way the radiosonde lays its packets out.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

#include "protocol/receiver.h"

namespace telemetry::testing {

class RxBody {
public:
    // A fresh body over a zero-filled buffer, as before the first frame.
    RxBody(std::uint8_t type, std::uint8_t length)
    {
        buf_[0] = type;
        buf_[1] = length;
    }
    // A body written over what earlier frames left in the buffer.
    RxBody(const protocol::RxBuffer& stale, std::uint8_t type, std::uint8_t length) : buf_(stale)
    {
        buf_[0] = type;
        buf_[1] = length;
    }

    RxBody& u8(std::size_t offset, std::uint8_t value) { return put(offset, value, 1); }
    RxBody& u16(std::size_t offset, std::uint16_t value) { return put(offset, value, 2); }
    RxBody& i16(std::size_t offset, std::int16_t value)
    {
        return put(offset, static_cast<std::uint16_t>(value), 2);
    }
    RxBody& u32(std::size_t offset, std::uint32_t value) { return put(offset, value, 4); }
    RxBody& i32(std::size_t offset, std::int32_t value)
    {
        return put(offset, static_cast<std::uint32_t>(value), 4);
    }
    RxBody& single(std::size_t offset, float value)
    {
        return put(offset, std::bit_cast<std::uint32_t>(value), 4);
    }

    const protocol::RxBuffer& buf() const { return buf_; }
    operator const protocol::RxBuffer&() const { return buf_; }

private:
    RxBody& put(std::size_t offset, std::uint32_t value, int size)
    {
        for (int i = 0; i < size; ++i)
            buf_.at(offset + static_cast<std::size_t>(i)) = static_cast<std::uint8_t>(value >> (8 * i));
        return *this;
    }

    protocol::RxBuffer buf_{};
};

}  // namespace telemetry::testing
