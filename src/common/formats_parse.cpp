// Reading numbers back from the texts of fields and editors.
//
// The grammar is checked here, character by character, before any library
// reader sees the text: std::from_chars is locale-independent but takes "."
// and accepts forms ("inf", "nan", hexadecimal) that are no numbers here.
#include "common/formats.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <system_error>
#include <type_traits>

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

// The largest k for which 10^k, and so every whole number below
// 2^digits times it, is exact in a floating type of that many mantissa
// digits: 10^k = 2^k * 5^k needs 5^k < 2^digits.
constexpr int exactPowersOfTen(int digits)
{
    int k = 0;
    long double five = 5;  // powers of 5 are exact well past what is asked
    long double limit = 1;
    for (int i = 0; i < digits; ++i)
        limit *= 2;
    while (five < limit) {
        ++k;
        five *= 5;
    }
    return k;
}

// A text of at most as many digits as the type's mantissa holds, scaled by
// a power of ten the type holds exactly, is its whole number times or over
// that power: one correctly rounded operation. Not every C library reads a
// long double to its full precision (MinGW's goes through double), and the
// same shown text must read back to the same value on every system, since
// the geodetic conversion computes from it. Empty when the text is beyond
// this path; the library reads it then.
std::optional<long double> readExactly(const std::string& normalized)
{
    constexpr int kDigits = std::numeric_limits<long double>::digits;
    constexpr int kExactPower = exactPowersOfTen(kDigits);
    std::size_t i = 0;
    const bool negative = i < normalized.size() && normalized[i] == '-';
    if (negative)
        ++i;
    std::uint64_t whole = 0;
    long long scale = 0;  // the value is whole * 10^scale
    bool afterPoint = false;
    for (; i < normalized.size() && normalized[i] != 'e'; ++i) {
        const char c = normalized[i];
        if (c == '.') {
            afterPoint = true;
            continue;
        }
        constexpr std::uint64_t kLimit = std::uint64_t{1} << std::min(kDigits, 63);
        if (whole > (kLimit - 10) / 10)
            return std::nullopt;  // more digits than the mantissa holds
        whole = whole * 10 + static_cast<std::uint64_t>(c - '0');
        if (afterPoint)
            --scale;
    }
    if (i < normalized.size())
        scale += std::stoll(normalized.substr(i + 1));
    if (scale < -kExactPower || scale > kExactPower)
        return std::nullopt;
    long double power = 1;
    for (long long k = 0; k < (scale < 0 ? -scale : scale); ++k)
        power *= 10;
    const auto exact = static_cast<long double>(whole);
    const long double value = scale < 0 ? exact / power : exact * power;
    return negative ? -value : value;
}

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

    if constexpr (std::is_same_v<T, long double>) {
        if (const std::optional<long double> exact = readExactly(text.normalized))
            return {Range::inside, *exact};
    }
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
