// Reading numbers back from the texts of fields and editors.
//
// The grammar is checked here, character by character, before any library
// reader sees the text: std::from_chars is locale-independent but takes "."
// and accepts forms ("inf", "nan", hexadecimal) that are no numbers here.
#include "formats.h"

#include <charconv>
#include <climits>
#include <string>
#include <system_error>

namespace formats {
namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

std::string_view trimBlanks(std::string_view text)
{
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// A text that passed the grammar, rewritten for std::from_chars.
struct DecimalText {
    std::string normalized;  // "-123.45e6": "." separator, no "+" signs
    bool negative = false;
    bool allZero = true;  // every mantissa digit is 0
    // Where the first non-zero digit sits: value lies in
    // [10^(magnitude-1), 10^magnitude). Saturated, only its sign and size
    // matter when the reader reports the value out of range.
    long long magnitude = 0;
};

std::optional<DecimalText> scanDecimal(std::string_view text)
{
    text = trimBlanks(text);
    DecimalText result;
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        result.negative = text[i] == '-';
        if (result.negative)
            result.normalized.push_back('-');
        ++i;
    }

    bool sawSeparator = false;
    int mantissaDigits = 0;
    long long integerDigits = 0;    // significant digits before the separator
    long long leadingFraction = 0;  // zeros after the separator before the first non-zero digit
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (isDigit(c)) {
            ++mantissaDigits;
            if (c != '0')
                result.allZero = false;
            if (!sawSeparator && !result.allZero)
                ++integerDigits;
            else if (sawSeparator && result.allZero)
                ++leadingFraction;
            result.normalized.push_back(c);
        } else if (c == kDecimalSeparator && !sawSeparator) {
            sawSeparator = true;
            result.normalized.push_back('.');
        } else {
            break;
        }
    }
    if (mantissaDigits == 0)
        return std::nullopt;

    long long exponent = 0;
    if (i < text.size() && (text[i] == 'E' || text[i] == 'e')) {
        ++i;
        bool negativeExponent = false;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
            negativeExponent = text[i] == '-';
            ++i;
        }
        const std::size_t firstDigit = i;
        for (; i < text.size() && isDigit(text[i]); ++i) {
            if (exponent < 1'000'000'000)
                exponent = exponent * 10 + (text[i] - '0');
        }
        if (i == firstDigit)
            return std::nullopt;
        if (negativeExponent)
            exponent = -exponent;
        result.normalized.append("e").append(std::to_string(exponent));
    }
    if (i != text.size())
        return std::nullopt;

    result.magnitude = (integerDigits > 0 ? integerDigits : -leadingFraction) + exponent;
    return result;
}

enum class Range { inside, tooLarge };

// Reads a checked text into T. Values too small for T read as a zero of the
// text's sign; values too large for it are reported.
template <typename T>
std::pair<Range, T> read(const DecimalText& text)
{
    const T zero = text.negative ? -T(0) : T(0);
    if (text.allZero)
        return {Range::inside, zero};
    // Far outside every floating type: decided here, so the reader never
    // sees exponents it would have to saturate itself.
    constexpr long long kBeyondAnyRange = 100'000;
    if (text.magnitude > kBeyondAnyRange)
        return {Range::tooLarge, zero};
    if (text.magnitude < -kBeyondAnyRange)
        return {Range::inside, zero};

    T value{};
    const char* first = text.normalized.data();
    const char* last = first + text.normalized.size();
    const auto [end, error] = std::from_chars(first, last, value);
    if (error == std::errc::result_out_of_range)
        return text.magnitude > 0 ? std::pair{Range::tooLarge, zero} : std::pair{Range::inside, zero};
    if (error != std::errc() || end != last)
        return {Range::tooLarge, zero};  // not reached for a checked text
    return {Range::inside, value};
}

template <typename T>
std::optional<T> parseAs(std::string_view text)
{
    const std::optional<DecimalText> scanned = scanDecimal(text);
    if (!scanned)
        return std::nullopt;
    const auto [range, value] = read<T>(*scanned);
    if (range == Range::tooLarge)
        return std::nullopt;
    return value;
}

}  // namespace

bool isDecimalText(std::string_view text) { return scanDecimal(text).has_value(); }

std::optional<long double> parseDecimal(std::string_view text) { return parseAs<long double>(text); }

std::optional<float> parseDecimalSingle(std::string_view text) { return parseAs<float>(text); }

std::optional<std::int64_t> parseInteger(std::string_view text)
{
    text = trimBlanks(text);
    // from_chars takes a "-" but no "+".
    if (!text.empty() && text.front() == '+' && text.substr(1, 1) != "-")
        text.remove_prefix(1);
    const std::size_t digitsFrom = !text.empty() && text.front() == '-' ? 1 : 0;
    if (text.size() == digitsFrom)
        return std::nullopt;
    for (std::size_t i = digitsFrom; i < text.size(); ++i) {
        if (!isDigit(text[i]))
            return std::nullopt;
    }
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

}  // namespace formats
