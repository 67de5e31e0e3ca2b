// The framing codes as termios flags, and when a baud rate read back from
// the driver counts as the one asked for.
#include "PortUnit/line_settings_posix.h"
#include "PortUnit/termios2_baud.h"

#include <gtest/gtest.h>

namespace {

using PortUnit::detail::ApplyFraming;
using PortUnit::detail::BaudReadsBack;
using PortUnit::detail::MakeRawLine;
using PortUnit::detail::SameFraming;

struct FramingCase {
    std::uint8_t parity, dataBits, stopBits;
    tcflag_t expected;  // the framing bits wanted in c_cflag
};

class FramingCodes : public ::testing::TestWithParam<FramingCase> {};

TEST_P(FramingCodes, GiveTheirFlagsAndReplaceEarlierOnes)
{
    const FramingCase c = GetParam();
    termios line{};
    // A port left by another program with every framing flag set.
    line.c_cflag = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CREAD;
    ASSERT_TRUE(ApplyFraming(line, c.parity, c.dataBits, c.stopBits));
    EXPECT_EQ(line.c_cflag & (CSIZE | PARENB | PARODD | CMSPAR | CSTOPB), c.expected);
    EXPECT_TRUE(line.c_cflag & CREAD) << "flags outside the framing must stay";
}

INSTANTIATE_TEST_SUITE_P(, FramingCodes,
                         ::testing::Values(FramingCase{0, 8, 0, CS8},  // the radiosonde's line
                                           FramingCase{1, 8, 0, CS8 | PARENB | PARODD},           // odd
                                           FramingCase{2, 7, 0, CS7 | PARENB},                    // even
                                           FramingCase{3, 8, 0, CS8 | PARENB | CMSPAR | PARODD},  // mark
                                           FramingCase{4, 8, 0, CS8 | PARENB | CMSPAR},           // space
                                           FramingCase{0, 5, 2, CS5 | CSTOPB},
                                           FramingCase{0, 6, 1, CS6 | CSTOPB}));  // one and a half -> two

TEST(Framing, OutOfRangeCodesAreRefusedAndLeaveTheLineAlone)
{
    struct {
        std::uint8_t parity, dataBits, stopBits;
    } refused[] = {{5, 8, 0}, {0, 4, 0}, {0, 9, 0}, {0, 8, 3}, {255, 255, 255}};
    for (const auto& c : refused) {
        termios line{};
        line.c_cflag = CS8 | CREAD;
        EXPECT_FALSE(ApplyFraming(line, c.parity, c.dataBits, c.stopBits))
            << int(c.parity) << " " << int(c.dataBits) << " " << int(c.stopBits);
        EXPECT_EQ(line.c_cflag, tcflag_t(CS8 | CREAD));
    }
}

TEST(Framing, SameFramingLooksOnlyAtFramingBits)
{
    termios wanted{}, got{};
    ASSERT_TRUE(ApplyFraming(wanted, 2, 8, 0));
    got = wanted;
    got.c_cflag |= CLOCAL;
    EXPECT_TRUE(SameFraming(wanted, got));
    got.c_cflag |= PARODD;  // the driver turned even into odd
    EXPECT_FALSE(SameFraming(wanted, got));
}

TEST(RawLine, TurnsOffEveryTranslationThatEatsBytes)
{
    termios line{};
    line.c_iflag = ICRNL | IXON | IXOFF | INLCR | IGNCR | ISTRIP | INPCK | IGNPAR | PARMRK;
    line.c_oflag = OPOST | ONLCR;
    line.c_lflag = ICANON | ECHO | ISIG | IEXTEN;
    line.c_cflag = CRTSCTS;
    MakeRawLine(line);
    EXPECT_EQ(line.c_iflag & (ICRNL | IXON | INLCR | IGNCR | ISTRIP | INPCK | IGNPAR | PARMRK), 0u);
    EXPECT_EQ(line.c_oflag & OPOST, 0u);
    EXPECT_EQ(line.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
    EXPECT_EQ(line.c_cflag & (CREAD | CLOCAL), tcflag_t(CREAD | CLOCAL));
    EXPECT_TRUE(line.c_cflag & CRTSCTS) << "hardware flow control stays as the port had it";
}

TEST(BaudReadBack, AcceptsDivisorRoundingAndRejectsAnotherRate)
{
    struct {
        std::uint32_t requested, readBack;
        bool accepted;
    } cases[] = {
        {38400, 38400, true},
        {250000, 250000, true},
        {250000, 245000, true},  // 2 %: what a divisor can miss by
        {250000, 244999, false},
        {250000, 255000, true},
        {250000, 115200, false},  // clamped to the driver's highest rate
        {3000000, 4000000, false},
        {38400, 0, false},  // hung up
        {0, 0, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(BaudReadsBack(c.requested, c.readBack), c.accepted)
            << c.requested << " read back as " << c.readBack;
}

}  // namespace
