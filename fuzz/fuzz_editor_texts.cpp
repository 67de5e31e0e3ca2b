// Arbitrary editor texts through the converters that turn them into frame
// values. Nothing may crash, the converters must agree with one another,
// and a number shown in the general format must read back as itself.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "common/formats.h"
#include "editors/editor_texts.h"

namespace {

[[noreturn]] void fail(const char* what)
{
    std::fprintf(stderr, "fuzz_editor_texts: %s\n", what);
    std::abort();
}

void checkDecimal(std::string_view text)
{
    const bool written = formats::isDecimalText(text);
    const auto value = formats::parseDecimal(text);
    if (value && !written)
        fail("parseDecimal read a text that is not a number");
    if (formats::parseDecimalSingle(text) && !written)
        fail("parseDecimalSingle read a text that is not a number");
    if (!value)
        return;
    if (!std::isfinite(*value))
        fail("parseDecimal gave an infinity or NaN");

    const std::string shown = formats::general(*value);
    const auto again = formats::parseDecimal(shown);
    if (!again)
        fail("the general form of a read value does not read back");
    if (formats::general(*again) != shown)
        fail("the general form changes on a second round trip");
}

void checkCoefficient(std::string_view text)
{
    const auto result = editors::parseCoefficient(text);
    if (result.ok()) {
        if (!std::isfinite(result.value))
            fail("coefficient is not finite");
        if (!formats::isDecimalText(text))
            fail("coefficient read from a text that is not a number");
    } else {
        if (result.value != 0)
            fail("refused coefficient has a value");
        const bool notANumber = *result.error == editors::CoefficientError::NotANumber;
        if (notANumber == formats::isDecimalText(text))
            fail("coefficient error does not match the text");
    }
}

void checkIntegers(std::string_view text)
{
    const auto integer = formats::parseInteger(text);
    if (const auto serial = editors::parseSerialNumber(text); serial && (!integer || *integer != *serial))
        fail("serial number disagrees with the integer reading");
    (void)editors::spinValue(text, -7);
}

void checkDate(std::string_view text)
{
    const auto date = editors::parseDateText(text);
    if (date && *date > 999999)
        fail("a date of more than six digits");
    if (editors::isStrictDateText(text) && !date)
        fail("a strict date that does not read");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    checkDecimal(text);
    checkCoefficient(text);
    checkIntegers(text);
    checkDate(text);
    return 0;
}
