#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cfloat>
#include <cstdint>
#include <string>

#include "editors/editor_texts.h"

namespace {

using namespace std::string_literals;
using editors::CoefficientError;

std::array<std::uint8_t, 4> littleEndianBytes(float value)
{
    const auto bits = std::bit_cast<std::uint32_t>(value);
    return {static_cast<std::uint8_t>(bits), static_cast<std::uint8_t>(bits >> 8),
            static_cast<std::uint8_t>(bits >> 16), static_cast<std::uint8_t>(bits >> 24)};
}

TEST(EditorTexts, CoefficientToSingle)
{
    const editors::CoefficientResult oneAndAHalf = editors::parseCoefficient("1,5");
    ASSERT_TRUE(oneAndAHalf.ok());
    EXPECT_EQ(littleEndianBytes(oneAndAHalf.value), (std::array<std::uint8_t, 4>{0x00, 0x00, 0xC0, 0x3F}));

    const struct {
        const char* text;
        float value;
    } numbers[] = {
        {"0", 0.0f},     {"-0,25", -0.25f},         {"273,15", 273.15f}, {"123,45700", 123.457f},
        {" 2 ", 2.0f},   {"3,4028235E38", FLT_MAX},  // the largest single as the window shows it
        {"1e-50", 0.0f},                             // below the smallest single: zero, not an error
    };
    for (const auto& c : numbers) {
        const editors::CoefficientResult result = editors::parseCoefficient(c.text);
        EXPECT_TRUE(result.ok()) << c.text;
        EXPECT_EQ(result.value, c.value) << c.text;
    }
}

TEST(EditorTexts, CoefficientErrorsAreToldApartFromZero)
{
    const struct {
        std::string text;
        CoefficientError error;
    } failures[] = {
        {"", CoefficientError::NotANumber},
        {"-", CoefficientError::NotANumber},
        {"1.5", CoefficientError::NotANumber},
        {"1,2,3", CoefficientError::NotANumber},
        {"abc", CoefficientError::NotANumber},
        {"1,5\0"s, CoefficientError::NotANumber},
        {"\xff\xfe", CoefficientError::NotANumber},
        {"1e39", CoefficientError::OutOfSingleRange},
        {"-3,4028236E38", CoefficientError::OutOfSingleRange},
        {"1e5000", CoefficientError::OutOfSingleRange},
        {"1e99999999999999999999", CoefficientError::OutOfSingleRange},
        {"1" + std::string(10000, '0'), CoefficientError::OutOfSingleRange},
    };
    for (const auto& c : failures) {
        const editors::CoefficientResult result = editors::parseCoefficient(c.text);
        EXPECT_EQ(result.error, c.error) << c.text.substr(0, 30);
        EXPECT_EQ(result.value, 0.0f) << c.text.substr(0, 30);
    }
}

TEST(EditorTexts, SerialNumbersAreUnsigned32Bit)
{
    const struct {
        std::string text;
        std::optional<std::uint32_t> expected;
    } cases[] = {
        {"0", 0u},
        {"123456", 123456u},
        {"2147483648", 2147483648u},  // above the signed range: still a number of the radiosonde
        {"4294967295", 4294967295u},
        {"4294967296", std::nullopt},
        {"-1", std::nullopt},
        {"-", std::nullopt},
        {"", std::nullopt},
        {"12,5", std::nullopt},
        {"1" + std::string(10000, '0'), std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(editors::parseSerialNumber(c.text), c.expected) << c.text.substr(0, 30);
}

TEST(EditorTexts, DateTextTakesPositionsOneTwoFourFiveSevenEight)
{
    const struct {
        std::string text;
        std::optional<std::uint32_t> expected;
    } cases[] = {
        {"15.03.24", 150324u},
        {"01.02.03", 10203u},
        {"31.12.18", 311218u},
        {"15,03,24", 150324u},
        {"0", 0u},       // the start-up text
        {"15.0", 150u},  // a shorter text contributes what it has
        {"15.03.2", 15032u},
        {"15.03.2499", 150324u},  // characters after the eighth are not read
        // Positions count characters: two-byte Cyrillic separators and a
        // stray byte each take one place.
        {"15ю03ю24", 150324u},
        {"15\xff"
         "03\xff"
         "24",
         150324u},
        {"15\0"s + "03.24", 150324u},
        {"-", std::nullopt},
        {"", std::nullopt},
        {"-1.00.00", std::nullopt},
        {"1a.03.24", std::nullopt},
        {"1\xd0.03.24", std::nullopt},
        {"ю5.03.24", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(editors::parseDateText(c.text), c.expected) << c.text;
}

TEST(EditorTexts, StrictDateText)
{
    const struct {
        std::string text;
        bool strict;
    } cases[] = {
        {"15.03.24", true},
        {"15,03,24", true},
        {"01 02 03", true},
        {"15ю03/24", true},
        {"", false},
        {"0", false},
        {"15.03.2", false},
        {"15.03.241", false},
        {"1.03.245", false},
        {"15.0a.24", false},
        {"15003024", false},  // a digit where a separator belongs
        {"15\xff"
         "03.24",
         false},
        {"\xef\xbc\x91\xef\xbc\x95.03.24", false},  // full-width digits
        {"-5.03.24", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(editors::isStrictDateText(c.text), c.strict) << c.text;
}

TEST(EditorTexts, SpinValueFallsBackToTheMinimum)
{
    EXPECT_EQ(editors::spinValue("403020", 400000), 403020);
    EXPECT_EQ(editors::spinValue(" 30 ", 0), 30);
    EXPECT_EQ(editors::spinValue("-5", 0), -5);  // the range is the editor's business
    EXPECT_EQ(editors::spinValue("abc", 400000), 400000);
    EXPECT_EQ(editors::spinValue("", 0), 0);
    EXPECT_EQ(editors::spinValue("403,5", 400000), 400000);
    EXPECT_EQ(editors::spinValue(std::string(10000, '9'), 400000), 400000);
}

}  // namespace
