#include "protocol/crc16.h"

#include <algorithm>
#include <array>

namespace protocol {
namespace {

// One step of the bitwise algorithm per table entry: the register's low
// byte, XORed with the data byte, shifted out through the reflected
// polynomial 0xA001 eight times.
constexpr std::array<std::uint16_t, 256> makeTable()
{
    std::array<std::uint16_t, 256> table{};
    for (unsigned i = 0; i < 256; ++i) {
        std::uint16_t reg = static_cast<std::uint16_t>(i);
        for (int bit = 0; bit < 8; ++bit)
            reg = (reg & 1u) ? static_cast<std::uint16_t>((reg >> 1) ^ 0xA001u)
                             : static_cast<std::uint16_t>(reg >> 1);
        table[i] = reg;
    }
    return table;
}

constexpr auto kTable = makeTable();

}  // namespace

std::uint16_t crc16calc(std::span<const std::uint8_t> indata, std::uint16_t dlen)
{
    const std::size_t count = std::min<std::size_t>(dlen, indata.size());
    std::uint16_t reg = 0xFFFF;
    for (std::size_t i = 0; i < count; ++i)
        reg = static_cast<std::uint16_t>((reg >> 8) ^ kTable[(reg ^ indata[i]) & 0xFFu]);
    return reg;
}

}  // namespace protocol
