#pragma once

#include <cstdint>
#include <span>

namespace protocol {

// CRC-16/MODBUS (poly 0x8005 reflected, init 0xFFFF, no final XOR) over the
// first dlen bytes of indata. Bytes after dlen are never read, so stale
// bytes behind a short frame do not change the result; dlen 0 gives 0xFFFF.
// The caller keeps dlen <= indata.size(); a larger dlen is clamped rather
// than read past the end.
std::uint16_t crc16calc(std::span<const std::uint8_t> indata, std::uint16_t dlen);

}  // namespace protocol
