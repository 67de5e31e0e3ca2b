#include <gtest/gtest.h>

#include <cfloat>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string>

#include "common/formats.h"

#ifdef _WIN32
#include "common/windows_api.h"
#endif

namespace {

using namespace std::string_literals;

// Calibration coefficients arrive as singles and are widened before they
// are written; the tests widen them the same way.
long double single(float value) { return static_cast<long double>(value); }

// The gain figure of the settings packet, computed the way the decoder does.
long double gainDbm(int code) { return ((code - 1) * 29) / 62.0 - 16; }

enum class Kind { General, Fixed, Exponent };

struct FormatCase {
    Kind kind;
    long double value;
    int precision;
    int digits;
    const char* expected;
};

std::string format(const FormatCase& c)
{
    switch (c.kind) {
    case Kind::General: return formats::general(c.value);
    case Kind::Fixed: return formats::fixed(c.value, c.precision, c.digits);
    case Kind::Exponent: return formats::exponent(c.value, c.precision, c.digits);
    }
    return {};
}

TEST(Formats, ShownTexts)
{
    const long double inf = std::numeric_limits<long double>::infinity();
    const long double nan = std::numeric_limits<long double>::quiet_NaN();
    const FormatCase cases[] = {
        // Telemetry values: integers divided in floating point.
        {Kind::General, 285123456 / 100.0, 0, 0, "2851234,56"},
        {Kind::General, -5 / 100.0, 0, 0, "-0,05"},
        {Kind::General, 0 / 100.0, 0, 0, "0"},
        {Kind::General, 150 / 100.0, 0, 0, "1,5"},
        {Kind::General, 7 / 10.0, 0, 0, "0,7"},
        {Kind::General, 10000 / 100.0, 0, 0, "100"},
        {Kind::General, -14999 / 100.0, 0, 0, "-149,99"},
        {Kind::General, 64999 / 10.0, 0, 0, "6499,9"},
        {Kind::General, 10132 / 10.0, 0, 0, "1013,2"},
        {Kind::General, 0.5 * 3 + 0.5, 0, 0, "2"},
        {Kind::General, 0.5, 0, 0, "0,5"},
        {Kind::General, -0.0L, 0, 0, "0"},
        // 15 significant digits hide the binary noise of the sum.
        {Kind::General, 0.1 + 0.2, 0, 0, "0,3"},
        {Kind::General, 2 / 3.0, 0, 0, "0,666666666666667"},
        // The exponent form at both ends of the range.
        {Kind::General, 0.0001L, 0, 0, "0,0001"},
        {Kind::General, 0.00001L, 0, 0, "1E-5"},
        {Kind::General, 1.5e-5L, 0, 0, "1,5E-5"},
        {Kind::General, 999999999999999.0L, 0, 0, "999999999999999"},
        {Kind::General, 1e15L, 0, 0, "1E15"},
        {Kind::General, -1e20L, 0, 0, "-1E20"},

        // Calibration coefficients and the settings packet.
        {Kind::Fixed, single(1.5f), 6, 5, "1,50000"},
        {Kind::Fixed, single(123.456789f), 6, 5, "123,45700"},
        {Kind::Fixed, single(-40.0f), 6, 2, "-40,00"},
        {Kind::Fixed, single(273.15f), 6, 3, "273,150"},
        {Kind::Fixed, single(0.5f), 8, 7, "0,5000000"},
        {Kind::Fixed, single(123.5f), 8, 7, "123,5000000"},
        {Kind::Fixed, 102.806L, 4, 2, "102,80"},
        {Kind::Fixed, gainDbm(1), 4, 2, "-16,00"},
        {Kind::Fixed, gainDbm(30), 4, 2, "-2,44"},
        {Kind::Fixed, gainDbm(35), 4, 2, "-0,10"},
        {Kind::Fixed, gainDbm(63), 4, 2, "13,00"},
        {Kind::Fixed, gainDbm(255), 4, 2, "102,80"},
        {Kind::Fixed, 2048 * 6.6 / 4096, 3, 2, "3,30"},
        {Kind::Fixed, 1000 * 6.6 / 4096, 3, 2, "1,61"},
        {Kind::Fixed, 0 * 6.6 / 4096, 3, 2, "0,00"},
        // Geodetic fields.
        {Kind::Fixed, 90.0L, 10, 6, "90,000000"},
        {Kind::Fixed, -90.0L, 10, 6, "-90,000000"},
        {Kind::Fixed, 55.7504371234L, 10, 6, "55,750437"},
        {Kind::Fixed, 248.6401L, 10, 2, "248,64"},
        {Kind::Fixed, 36.869897645844L, 10, 2, "36,87"},
        // More integer digits than p: the exponent fall-back, padded only
        // up to four exponent digits.
        {Kind::Fixed, 1234567.0L, 6, 5, "1,23457E6"},
        {Kind::Fixed, 1234567.0L, 6, 2, "1,23457E06"},
        {Kind::Fixed, -1234567.0L, 6, 2, "-1,23457E06"},
        {Kind::Fixed, 1200000.0L, 6, 4, "1,2E0006"},
        // A carry that adds an integer digit can itself cause the fall-back.
        {Kind::Fixed, 999999.7L, 6, 5, "1E6"},
        {Kind::Fixed, 9.999L, 10, 2, "10,00"},
        // Halves go away from zero, judged on the 18-digit expansion:
        // 1.005L lies just below 1,005 in binary but its expansion is
        // 1,00500000000000000.
        {Kind::Fixed, 0.125L, 10, 2, "0,13"},
        {Kind::Fixed, -0.125L, 10, 2, "-0,13"},
        {Kind::Fixed, 2.5L, 10, 0, "3"},
        {Kind::Fixed, 1.005L, 10, 2, "1,01"},
        {Kind::Fixed, 2.675L, 10, 2, "2,68"},
        // Whatever rounds to zero has no minus sign.
        {Kind::Fixed, -0.001L, 10, 2, "0,00"},
        {Kind::Fixed, -0.0049L, 4, 2, "0,00"},
        {Kind::Fixed, -0.0L, 6, 5, "0,00000"},
        {Kind::Fixed, 0.005L, 10, 2, "0,01"},

        {Kind::Exponent, single(2.0f), 8, 7, "2,0000000E+0"},
        {Kind::Exponent, single(-0.25f), 8, 7, "-2,5000000E-1"},
        {Kind::Exponent, single(0.001953125f), 8, 7, "1,9531250E-3"},
        {Kind::Exponent, single(0.0f), 8, 7, "0,0000000E+0"},
        {Kind::Exponent, single(-0.0f), 8, 7, "0,0000000E+0"},
        {Kind::Exponent, 2.0L, 8, 2, "2,0000000E+00"},
        {Kind::Exponent, 9.99999999L, 8, 7, "1,0000000E+1"},
        {Kind::Exponent, 1e-300L, 8, 2, "1,0000000E-300"},
        {Kind::Exponent, single(FLT_MAX), 8, 7, "3,4028235E+38"},

        {Kind::General, inf, 0, 0, "INF"},
        {Kind::Fixed, -inf, 6, 5, "-INF"},
        {Kind::Exponent, nan, 8, 7, "NAN"},
        {Kind::Fixed, -nan, 6, 2, "-NAN"},
        {Kind::General, single(-std::numeric_limits<float>::quiet_NaN()), 0, 0, "-NAN"},
    };
    for (const FormatCase& c : cases)
        EXPECT_EQ(format(c), c.expected)
            << "value " << static_cast<double>(c.value) << " p " << c.precision << " d " << c.digits;
}

TEST(Formats, ExtremeArgumentsStayWellFormed)
{
    // Precision and digits outside the useful range are clamped, never
    // read past the 18 digits of the expansion.
    EXPECT_EQ(formats::fixed(1.5L, 0, 1), "2,0");
    EXPECT_EQ(formats::fixed(1.5L, 40, -3), "2");
    EXPECT_EQ(formats::fixed(0.1L, 40, 40), "0,100000000000000000");
    EXPECT_EQ(formats::exponent(1.5L, 1, 0), "2E+0");
    EXPECT_EQ(formats::general(DBL_MAX), "1,79769313486232E308");
    EXPECT_EQ(formats::general(std::numeric_limits<double>::denorm_min()), "4,94065645841247E-324");
    EXPECT_EQ(formats::fixed(-DBL_MAX, 18, 18), "-1,79769313486231571E308");
}

TEST(Formats, Decimal)
{
    EXPECT_EQ(formats::decimal(0), "0");
    EXPECT_EQ(formats::decimal(-5), "-5");
    EXPECT_EQ(formats::decimal(4294967295), "4294967295");
    EXPECT_EQ(formats::decimal(std::numeric_limits<std::int64_t>::min()), "-9223372036854775808");
}

TEST(Formats, ParseDecimalAcceptsCommaNumbers)
{
    const struct {
        const char* text;
        long double expected;
    } cases[] = {
        {"1,5", 1.5L},
        {"-0,05", -0.05L},
        {"2851234,56", 2851234.56L},  // read to full long double precision
        {"  12 ", 12},
        {"+3", 3},
        {"1e3", 1000},
        {"1,5E-2", 0.015L},
        {"1E+2", 100},
        {",5", 0.5L},
        {"5,", 5},
        {"00012", 12},
        {"0", 0},
    };
    for (const auto& c : cases) {
        const std::optional<long double> value = formats::parseDecimal(c.text);
        ASSERT_TRUE(value.has_value()) << c.text;
        EXPECT_EQ(*value, c.expected) << c.text;
        EXPECT_TRUE(formats::isDecimalText(c.text)) << c.text;
    }
    // The shown texts read back to the values they show.
    EXPECT_EQ(formats::parseDecimal(formats::general(285123456 / 100.0)), 2851234.56L);
}

TEST(Formats, ParseDecimalRejectsWhatIsNoNumber)
{
    // clang-format off
    const std::string cases[] = {
        "", " ", "-", "+", ",", "1.5", "1,2,3", "abc", "1e", "1e+", "e5", "E", "1 2", "--1", "+-1",
        "1,5x", "inf", "INF", "nan", "NAN", "0x10", "1\t", "\t1", "1,5\0"s, "\0"s + "1", "\xff",
        "1\xd0", "\xd9\xa1",  // an Arabic-Indic digit one
        "1e5,0", "1,e", "12-",
    };
    // clang-format on
    for (const std::string& text : cases) {
        EXPECT_FALSE(formats::parseDecimal(text).has_value()) << text;
        EXPECT_FALSE(formats::isDecimalText(text)) << text;
        EXPECT_FALSE(formats::parseDecimalSingle(text).has_value()) << text;
    }
}

TEST(Formats, ParseDecimalAtTheEdgesOfRange)
{
    // Too large: not a value, though written as a number.
    for (const std::string& text :
         {"1e5000"s, "-1e5000"s, "1e99999999999999999999"s, "1"s + std::string(10000, '0')}) {
        EXPECT_FALSE(formats::parseDecimal(text).has_value()) << text.substr(0, 30);
        EXPECT_TRUE(formats::isDecimalText(text)) << text.substr(0, 30);
    }
    // Too small: zero, keeping the sign.
    for (const std::string& text :
         {"1e-5000"s, "1e-99999999999999999999"s, "0,"s + std::string(10000, '0') + "1"}) {
        const auto value = formats::parseDecimal(text);
        ASSERT_TRUE(value.has_value()) << text.substr(0, 30);
        EXPECT_EQ(*value, 0) << text.substr(0, 30);
    }
    EXPECT_TRUE(std::signbit(*formats::parseDecimal("-1e-5000")));
    EXPECT_EQ(formats::parseDecimal("0e99999999999999999999"), 0);
    // Many digits and a large exponent that cancel out.
    EXPECT_EQ(formats::parseDecimal("0,"s + std::string(9999, '0') + "1e10000"), 1);
    EXPECT_EQ(formats::parseDecimal(std::string(10000, '0') + "7"), 7);
}

TEST(Formats, ParseDecimalSingleRoundsOnceToTheNearestSingle)
{
    EXPECT_EQ(formats::parseDecimalSingle("1,5"), 1.5f);
    EXPECT_EQ(formats::parseDecimalSingle("0,1"), 0.1f);
    EXPECT_EQ(formats::parseDecimalSingle("-273,15"), -273.15f);
    // What the window shows for the largest single reads back to it.
    EXPECT_EQ(formats::parseDecimalSingle("3,4028235E38"), FLT_MAX);
    EXPECT_FALSE(formats::parseDecimalSingle("3,4028236E38").has_value());
    EXPECT_FALSE(formats::parseDecimalSingle("-1e39").has_value());
    const auto tiny = formats::parseDecimalSingle("-1e-50");
    ASSERT_TRUE(tiny.has_value());
    EXPECT_EQ(*tiny, 0.0f);
    EXPECT_TRUE(std::signbit(*tiny));
}

TEST(Formats, ParseInteger)
{
    const struct {
        std::string text;
        std::optional<std::int64_t> expected;
    } cases[] = {
        {"42", 42},
        {" -7 ", -7},
        {"+5", 5},
        {"9223372036854775807", std::numeric_limits<std::int64_t>::max()},
        {"-9223372036854775808", std::numeric_limits<std::int64_t>::min()},
        {std::string(10000, '0') + "1", 1},
        {"9223372036854775808", std::nullopt},
        {"1" + std::string(10000, '0'), std::nullopt},
        {"", std::nullopt},
        {"-", std::nullopt},
        {"+", std::nullopt},
        {"+-5", std::nullopt},
        {"1,0", std::nullopt},
        {"1e3", std::nullopt},
        {"0x10", std::nullopt},
        {"12a", std::nullopt},
        {"1 2", std::nullopt},
        {"1\0"s + "2", std::nullopt},
        {"\xff", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(formats::parseInteger(c.text), c.expected) << c.text.substr(0, 30);
}

class TimeTexts : public ::testing::Test {
protected:
    void TearDown() override { formats::setTimeSeparator(":"); }
};

TEST_F(TimeTexts, HourMinuteSecond)
{
    formats::setTimeSeparator(":");
    EXPECT_EQ(formats::timeHNNSS(9, 5, 7), "9:05:07");
    EXPECT_EQ(formats::timeHNNSS(23, 59, 59), "23:59:59");
    EXPECT_EQ(formats::timeHNNSS(0, 0, 0), "0:00:00");
    EXPECT_EQ(formats::timeHHMMSS(9, 3, 7), "09:03:07");
    EXPECT_EQ(formats::timeHHMMSS(14, 5, 9), "14:05:09");
    formats::setTimeSeparator(".");
    EXPECT_EQ(formats::timeHNNSS(9, 5, 7), "9.05.07");
    EXPECT_EQ(formats::timeHHMMSS(9, 3, 7), "09.03.07");
}

TEST_F(TimeTexts, SeparatorFromTheRegionalTimeFormat)
{
    // The locale's separator only where one and the same punctuation
    // character stands between hours and minutes and between minutes and
    // seconds.
    const struct {
        const char* format;
        const char* separator;
    } cases[] = {
        {"%H:%M:%S", ":"},
        {"%H.%M.%S", "."},  // fi_FI
        {"%T", ":"},
        {"%r", ":"},
        {"%R:%S", ":"},
        {"%I:%M:%S %p", ":"},
        {"%p%I.%M.%S %Z", "."},
        {"%OH.%OM.%OS", "."},
        {"%-H/%_M/%S", "/"},
        {"%p %l_%M_%S", "_"},
        {"%H时%M分%S秒", ":"},    // zh_CN
        {"%H시 %M분 %S초", ":"},  // ko_KR
        {"%H·%M·%S", ":"},        // a non-ASCII middle dot
        {"kl. %H.%M %z", ":"},    // no seconds
        {"%OH.%OM", ":"},
        {"%H.%M:%S", ":"},    // two different separators
        {"%H::%M::%S", ":"},  // more than one character
        {"%k h %M h %S", ":"},
        {"%H %M %S", ":"},  // a blank is no punctuation
        {"%Hh%Mh%S", ":"},
        {"%H0%M0%S", ":"},
        {"%H%M%S", ":"},
        {"%%H-%M-%S", ":"},          // "%%H" is text, not an hour
        {"%H-%M-%S %H.%M.%S", "-"},  // the first hour decides
        {"%H", ":"},
        {"", ":"},
        {"%", ":"},
        {"%H.%", ":"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(formats::timeSeparatorFromFormat(c.format), c.separator) << c.format;
}

TEST_F(TimeTexts, WindowsTimePictures)
{
    const struct {
        const char* picture;
        const char* format;
        const char* separator;
    } cases[] = {
        {"HH:mm:ss", "%H:%M:%S", ":"},
        {"H:mm:ss", "%H:%M:%S", ":"},
        {"HH.mm.ss", "%H.%M.%S", "."},
        {"tt h:mm:ss", "%p %I:%M:%S", ":"},
        {"H'h'mm'm'ss's'", "%Hh%Mm%Ss", ":"},
        {"HH'.'mm'.'ss", "%H.%M.%S", "."},
        {"HH' o''clock'", "%H o'clock", ":"},
        {"HH%mm%ss", "%H%%%M%%%S", "%"},
        {"HH:mm", "%H:%M", ":"},
        {"", "", ":"},
    };
    for (const auto& c : cases) {
        const std::string format = formats::timeFormatFromWindowsPicture(c.picture);
        EXPECT_EQ(format, c.format) << c.picture;
        EXPECT_EQ(formats::timeSeparatorFromFormat(format), c.separator) << c.picture;
    }
}

#ifndef _WIN32
TEST_F(TimeTexts, DetectionLeavesTheProcessLocaleAsItWas)
{
    // The C locale's time format is "%H:%M:%S" on every POSIX system.
    ::setenv("LC_ALL", "C", 1);
    const std::string before = std::setlocale(LC_TIME, nullptr);
    formats::setTimeSeparator("?");
    formats::detectTimeSeparator();
    EXPECT_EQ(formats::timeSeparator(), ":");
    EXPECT_EQ(std::setlocale(LC_TIME, nullptr), before);
    ::unsetenv("LC_ALL");
}
#else
// The separator comes from the time picture of the user's regional
// settings. The test changes that picture for the user and puts the old one
// back, so it runs where the settings are a test's own: under Wine, whose
// prefix the test command makes (KALVI7_WINE_PREFIX_IS_SCRATCH).
TEST_F(TimeTexts, DetectionReadsTheUsersRegionalTimePicture)
{
    if (std::getenv("KALVI7_WINE_PREFIX_IS_SCRATCH") == nullptr)
        GTEST_SKIP() << "changes the user's regional settings; runs in the tests' own Wine prefix only";
    wchar_t previous[80] = {};
    ASSERT_GT(GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STIMEFORMAT, previous, 80), 0);
    const struct {
        const wchar_t* picture;
        const char* separator;
    } cases[] = {
        {L"HH.mm.ss", "."},
        {L"H:mm:ss", ":"},
        {L"tt hh-mm-ss", "-"},
        {L"HH' h 'mm", ":"},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STIMEFORMAT, c.picture));
        formats::setTimeSeparator("?");
        formats::detectTimeSeparator();
        EXPECT_EQ(formats::timeSeparator(), c.separator) << c.separator;
    }
    SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STIMEFORMAT, previous);
}
#endif

}  // namespace
