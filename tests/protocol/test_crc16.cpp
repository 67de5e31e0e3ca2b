#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "protocol/crc16.h"
#include "protocol/host_frames.h"

using protocol::crc16calc;

namespace {

// The bit-by-bit form of the checksum, kept here as the reference the
// table-driven routine must agree with.
std::uint16_t bitwiseModbus(const std::vector<std::uint8_t>& bytes)
{
    std::uint16_t reg = 0xFFFF;
    for (std::uint8_t b : bytes) {
        reg ^= b;
        for (int i = 0; i < 8; ++i)
            reg = (reg & 1) ? static_cast<std::uint16_t>((reg >> 1) ^ 0xA001)
                            : static_cast<std::uint16_t>(reg >> 1);
    }
    return reg;
}

}  // namespace

TEST(Crc16, CatalogueCheckValue)
{
    const std::array<std::uint8_t, 9> digits{'1', '2', '3', '4', '5', '6', '7', '8', '9'};
    EXPECT_EQ(crc16calc(digits, 9), 0x4B37);
}

TEST(Crc16, CountZeroReadsNothing)
{
    EXPECT_EQ(crc16calc(std::span<const std::uint8_t>{}, 0), 0xFFFF);
    const std::array<std::uint8_t, 3> junk{0x12, 0x34, 0x56};
    EXPECT_EQ(crc16calc(junk, 0), 0xFFFF);
}

TEST(Crc16, StaleBytesAfterCountDoNotMatter)
{
    std::array<std::uint8_t, 200> buf{};
    buf[0] = 0x01;
    buf[1] = 0x03;
    buf[2] = 0x01;
    const auto clean = crc16calc(buf, 3);
    for (std::size_t i = 3; i < buf.size(); ++i)
        buf[i] = static_cast<std::uint8_t>(i * 37 + 11);
    EXPECT_EQ(crc16calc(buf, 3), clean);
    EXPECT_EQ(clean, 0x30E1);  // goes on the wire as E1 30
}

TEST(Crc16, BodyFollowedByItsOwnCrcGivesZero)
{
    std::vector<std::uint8_t> body{0x81, 50};
    for (int i = 2; i < 50; ++i)
        body.push_back(static_cast<std::uint8_t>(i * 7));
    const auto crc = crc16calc(body, 50);
    body.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    body.push_back(static_cast<std::uint8_t>(crc >> 8));
    EXPECT_EQ(crc16calc(body, 52), 0x0000);
}

TEST(Crc16, TableAgreesWithBitwiseDefinition)
{
    std::vector<std::uint8_t> bytes;
    std::uint32_t seed = 12345;
    for (int n = 0; n < 300; ++n) {
        EXPECT_EQ(crc16calc(bytes, static_cast<std::uint16_t>(bytes.size())), bitwiseModbus(bytes)) << n;
        seed = seed * 1103515245u + 12345u;
        bytes.push_back(static_cast<std::uint8_t>(seed >> 16));
    }
}

TEST(Crc16, CountLargerThanArrayIsClampedNotOverread)
{
    const std::array<std::uint8_t, 2> two{0x01, 0x02};
    EXPECT_EQ(crc16calc(two, 200), crc16calc(two, 2));
}
