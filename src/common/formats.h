// Number and time texts of the whole program.
//
// Every number the window shows, and every number it reads back from a
// field or an editor, goes through this module, so the decimal separator
// (",") and the rounding rule live in one place:
//  - rounding is to nearest with halves away from zero, applied to the
//    value's decimal expansion taken to 18 significant digits;
//  - infinities and NaNs are written "INF", "-INF", "NAN", "-NAN";
//  - a value that rounds to zero is written without a minus sign.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace formats {

inline constexpr char kDecimalSeparator = ',';

// Integer in plain decimal, "-" before a negative value.
std::string decimal(std::int64_t value);

// "General": at most 15 significant digits, no trailing zeros and no
// trailing separator (2851234,56; 0,5; 100; -0,05). Values with more than
// 15 integer digits or below 0.0001 in magnitude take the exponent form
// (1,5E-5; 1E20).
std::string general(long double value);

// "Fixed (p, d)": rounded to at most p significant digits and at most d
// decimals, written with exactly d decimals (102,806 -> "102,80" in (4, 2)).
// With more than p integer digits it falls back to an exponent form without
// a "+" sign and with the exponent padded to d digits when d <= 4:
// 1234567 -> "1,23457E6" in (6, 5), "1,23457E06" in (6, 2).
std::string fixed(long double value, int precision, int digits);

// "Exponent (p, d)": first digit, separator, p - 1 further digits,
// "E", sign, exponent padded to d digits when d <= 4 (2 -> "2,0000000E+0"
// in (8, 7)).
std::string exponent(long double value, int precision, int digits);
// Both take p from 1 to 18 and fixed takes d from 0 to 18; arguments
// beyond are held to those limits.

// Reads a decimal number written with "," as separator: optional blanks
// around it, an optional sign, digits with at most one ",", an optional
// exponent ("E" or "e", optional sign, digits). Anything else, an empty text
// included, is "not a number" (std::nullopt); it never throws. Values beyond
// the range of long double are "not a number" too; values too small for it
// read as 0.
std::optional<long double> parseDecimal(std::string_view text);

// Whether the text is written as such a number, whatever its size: tells
// "not a number" apart from "too large" for readers with a narrower range.
bool isDecimalText(std::string_view text);

// The same rule read straight to the nearest IEEE single (one rounding, not
// two through long double). std::nullopt when the text is not a number or
// the value rounds beyond the single range; values too small for a single
// read as 0.
std::optional<float> parseDecimalSingle(std::string_view text);

// Reads a whole text as a signed decimal integer (optional blanks around
// it, optional sign); std::nullopt when it is not one or overflows.
std::optional<std::int64_t> parseInteger(std::string_view text);

// The time separator of the computer's regional settings, ":" unless the
// regional time format separates hours, minutes and seconds by one and the
// same punctuation character. Detected once by detectTimeSeparator() at
// start-up.
std::string timeSeparator();
void setTimeSeparator(std::string separator);
void detectTimeSeparator();
// The separator a strftime-style time format writes between hours and
// minutes and again between minutes and seconds, when both are the same
// single ASCII punctuation character ("%H.%M.%S" -> "."); ":" otherwise
// ("%H时%M分%S秒", "%H시 %M분 %S초", "%H.%M", "%H.%M:%S").
std::string timeSeparatorFromFormat(std::string_view timeFormat);
// One ASCII punctuation character, whatever the process's locale.
bool isTimeSeparator(std::string_view text);
// A Windows time picture ("HH.mm.ss", "tt h:mm:ss", "H'h'mm") in the
// strftime form that timeSeparatorFromFormat reads.
std::string timeFormatFromWindowsPicture(std::string_view picture);

// "h:nn:ss": hour without a leading zero, minute and second with two digits.
std::string timeHNNSS(int hour, int minute, int second);
// "hh:mm:ss": all three with two digits.
std::string timeHHMMSS(int hour, int minute, int second);

}  // namespace formats
