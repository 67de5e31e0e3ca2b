#include "editors/editor_texts.h"

#include <limits>
#include <string>
#include <vector>

#include "common/formats.h"

namespace editors {
namespace {

bool isContinuation(unsigned char byte) { return (byte & 0xC0u) == 0x80u; }

// Length of the well-formed UTF-8 sequence at the start of `text`, or 0.
std::size_t sequenceLength(std::string_view text)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    std::size_t length = 0;
    unsigned char secondMin = 0x80, secondMax = 0xBF;  // excludes overlong forms and surrogates
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            secondMin = 0xA0;
        if (lead == 0xED)
            secondMax = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            secondMin = 0x90;
        if (lead == 0xF4)
            secondMax = 0x8F;
    } else {
        return 0;
    }
    if (text.size() < length || byte(1) < secondMin || byte(1) > secondMax)
        return 0;
    for (std::size_t i = 2; i < length; ++i) {
        if (!isContinuation(byte(i)))
            return 0;
    }
    return length;
}

// The text split into characters. A byte that starts no well-formed
// sequence counts as a character of its own, so positions stay defined for
// any input; such a character is never a digit.
std::vector<std::string_view> characters(std::string_view text)
{
    std::vector<std::string_view> result;
    while (!text.empty()) {
        const std::size_t length = sequenceLength(text);
        const std::size_t take = length == 0 ? 1 : length;
        result.push_back(text.substr(0, take));
        text.remove_prefix(take);
    }
    return result;
}

bool isDigit(std::string_view character)
{
    return character.size() == 1 && character[0] >= '0' && character[0] <= '9';
}

bool isWellFormed(std::string_view character) { return sequenceLength(character) == character.size(); }

}  // namespace

CoefficientResult parseCoefficient(std::string_view text)
{
    CoefficientResult result;
    if (!formats::isDecimalText(text)) {
        result.error = CoefficientError::NotANumber;
    } else if (const std::optional<float> value = formats::parseDecimalSingle(text)) {
        result.value = *value;
    } else {
        result.error = CoefficientError::OutOfSingleRange;
    }
    return result;
}

std::optional<std::uint32_t> parseSerialNumber(std::string_view text)
{
    const std::optional<std::int64_t> value = formats::parseInteger(text);
    if (!value || *value < 0 || *value > std::numeric_limits<std::uint32_t>::max())
        return std::nullopt;
    return static_cast<std::uint32_t>(*value);
}

std::optional<std::uint32_t> parseDateText(std::string_view text)
{
    // Day, month and year sit at positions 1-2, 4-5 and 7-8; whatever
    // stands at 3 and 6 is the separator and is skipped.
    const std::vector<std::string_view> chars = characters(text);
    std::string joined;
    for (std::size_t position : {0u, 1u, 3u, 4u, 6u, 7u}) {
        if (position < chars.size())
            joined.append(chars[position]);
    }
    // A sign would make a date of a negative number; no date has one.
    const std::optional<std::int64_t> value = formats::parseInteger(joined);
    if (!value || *value < 0 || *value > std::numeric_limits<std::uint32_t>::max())
        return std::nullopt;
    return static_cast<std::uint32_t>(*value);
}

bool isStrictDateText(std::string_view text)
{
    // dd?dd?dd: a digit at a separator's place would mean the groups are
    // shifted, so separators are any characters but digits.
    const std::vector<std::string_view> chars = characters(text);
    if (chars.size() != 8)
        return false;
    for (std::size_t i = 0; i < chars.size(); ++i) {
        const bool separatorPlace = i == 2 || i == 5;
        if (separatorPlace ? (isDigit(chars[i]) || !isWellFormed(chars[i])) : !isDigit(chars[i]))
            return false;
    }
    return true;
}

std::int64_t spinValue(std::string_view text, std::int64_t minimum)
{
    return formats::parseInteger(text).value_or(minimum);
}

}  // namespace editors
