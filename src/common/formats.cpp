// Number texts for display: decimal, general, fixed and exponent.
//
// Every real value is first taken to its 18-significant-digit decimal
// expansion; all rounding afterwards works on that digit string, half away
// from zero, so the texts do not depend on the C library's printf rounding.
#include "common/formats.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string>
#include <string_view>

namespace formats {
namespace {

constexpr int kExpansionDigits = 18;

// value = 0.d1 d2 d3 ... x 10^pointPosition, i.e. pointPosition digits
// stand before the decimal point. An empty digit string is zero.
struct DecimalDigits {
    bool negative = false;
    std::string digits;
    int pointPosition = 0;

    bool isZero() const { return digits.empty(); }
};

DecimalDigits expand(long double value)
{
    DecimalDigits result;
    result.negative = std::signbit(value);
    if (value == 0)
        return result;

    // "d.ddddddddddddddddde+XXXX": 18 digits and a decimal exponent.
    char text[64];
    const auto written = std::to_chars(text, text + sizeof text, std::fabs(value),
                                       std::chars_format::scientific, kExpansionDigits - 1);
    const std::string_view scientific(text, static_cast<std::size_t>(written.ptr - text));
    const std::size_t e = scientific.find('e');
    result.digits.push_back(scientific[0]);
    result.digits.append(scientific.substr(2, e - 2));
    // from_chars takes no "+"; the exponent always carries a sign here.
    const std::string_view exponentText = scientific.substr(e + 1);
    int exponent = 0;
    std::from_chars(exponentText.data() + (exponentText.front() == '+' ? 1 : 0),
                    exponentText.data() + exponentText.size(), exponent);
    result.pointPosition = exponent + 1;
    return result;
}

void dropTrailingZeros(DecimalDigits& number)
{
    const std::size_t last = number.digits.find_last_not_of('0');
    number.digits.erase(last == std::string::npos ? 0 : last + 1);
}

// Keeps the first `keep` significant digits, rounding half away from zero
// on the digit that follows; a carry out of the first digit moves the point.
void roundTo(DecimalDigits& number, int keep)
{
    if (number.isZero() || keep >= static_cast<int>(number.digits.size())) {
        dropTrailingZeros(number);
        return;
    }
    if (keep < 0) {
        number.digits.clear();
        return;
    }
    const bool up = number.digits[static_cast<std::size_t>(keep)] >= '5';
    number.digits.erase(static_cast<std::size_t>(keep));
    if (up) {
        int i = keep - 1;
        for (; i >= 0 && number.digits[static_cast<std::size_t>(i)] == '9'; --i)
            number.digits[static_cast<std::size_t>(i)] = '0';
        if (i >= 0) {
            ++number.digits[static_cast<std::size_t>(i)];
        } else {
            number.digits.insert(number.digits.begin(), '1');
            ++number.pointPosition;
        }
    }
    dropTrailingZeros(number);
}

std::string special(long double value)
{
    if (std::isnan(value))
        return std::signbit(value) ? "-NAN" : "NAN";
    return value < 0 ? "-INF" : "INF";
}

std::string sign(const DecimalDigits& number) { return number.negative && !number.isZero() ? "-" : ""; }

char digitAt(const DecimalDigits& number, int index)
{
    if (index < 0 || index >= static_cast<int>(number.digits.size()))
        return '0';
    return number.digits[static_cast<std::size_t>(index)];
}

std::string exponentDigits(int exponent, int padTo)
{
    std::string text = std::to_string(std::abs(exponent));
    if (padTo <= 4 && static_cast<int>(text.size()) < padTo)
        text.insert(0, static_cast<std::size_t>(padTo) - text.size(), '0');
    return text;
}

// d,ddd with the given number of digits after the separator (zero-filled),
// or all remaining digits when `fraction` is negative.
std::string mantissa(const DecimalDigits& number, int fraction)
{
    std::string text(1, digitAt(number, 0));
    const int count = fraction < 0 ? static_cast<int>(number.digits.size()) - 1 : fraction;
    if (count > 0) {
        text.push_back(kDecimalSeparator);
        for (int i = 1; i <= count; ++i)
            text.push_back(digitAt(number, i));
    }
    return text;
}

// The exponent form of general and of fixed's fall-back: no "+" sign, no
// trailing zeros.
std::string compactExponentForm(const DecimalDigits& number, int padTo)
{
    const int exponent = number.pointPosition - 1;
    return sign(number) + mantissa(number, -1) + "E" + (exponent < 0 ? "-" : "") +
           exponentDigits(exponent, padTo);
}

// Integer part, then `fraction` decimals (zero-filled), or all remaining
// digits when `fraction` is negative.
std::string positional(const DecimalDigits& number, int fraction)
{
    std::string text = sign(number);
    if (number.pointPosition <= 0) {
        text.push_back('0');
    } else {
        for (int i = 0; i < number.pointPosition; ++i)
            text.push_back(digitAt(number, i));
    }
    const int count =
        fraction >= 0 ? fraction : static_cast<int>(number.digits.size()) - number.pointPosition;
    if (count > 0) {
        text.push_back(kDecimalSeparator);
        for (int i = 0; i < count; ++i)
            text.push_back(digitAt(number, number.pointPosition + i));
    }
    return text;
}

int clampPrecision(int precision) { return std::clamp(precision, 1, kExpansionDigits); }
int clampDigits(int digits) { return std::clamp(digits, 0, kExpansionDigits); }

}  // namespace

std::string decimal(std::int64_t value) { return std::to_string(value); }

std::string general(long double value)
{
    if (!std::isfinite(value))
        return special(value);
    constexpr int kPrecision = 15;
    DecimalDigits number = expand(value);
    roundTo(number, kPrecision);
    if (number.isZero())
        return "0";
    // Fixed notation from 0,0001 up to 15 integer digits.
    if (number.pointPosition > kPrecision || number.pointPosition < -3)
        return compactExponentForm(number, 0);
    return positional(number, -1);
}

std::string fixed(long double value, int precision, int digits)
{
    if (!std::isfinite(value))
        return special(value);
    precision = clampPrecision(precision);
    digits = clampDigits(digits);
    DecimalDigits number = expand(value);
    // One rounding, at whichever limit comes first: p significant digits or
    // d decimals.
    roundTo(number, std::min(precision, number.pointPosition + digits));
    if (!number.isZero() && number.pointPosition > precision)
        return compactExponentForm(number, digits);
    return positional(number, digits);
}

std::string exponent(long double value, int precision, int digits)
{
    if (!std::isfinite(value))
        return special(value);
    precision = clampPrecision(precision);
    DecimalDigits number = expand(value);
    roundTo(number, precision);
    const int power = number.isZero() ? 0 : number.pointPosition - 1;
    return sign(number) + mantissa(number, precision - 1) + "E" + (power < 0 ? "-" : "+") +
           exponentDigits(power, digits);
}

}  // namespace formats
