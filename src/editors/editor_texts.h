// How the texts of the window's editors become the values of the host
// frames. Every converter says distinctly when a text does not convert, so
// that nothing the operator did not mean is ever written into the
// radiosonde; the check before a calibration write refuses such texts.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace editors {

enum class CoefficientError { NotANumber, OutOfSingleRange };

struct CoefficientResult {
    float value = 0;  // the nearest single; 0 when there is an error
    std::optional<CoefficientError> error;
    bool ok() const { return !error; }
};

// A coefficient editor (A, B, C): a decimal number with "," as separator,
// rounded to the nearest IEEE single. Too large in magnitude for a single
// is OutOfSingleRange.
CoefficientResult parseCoefficient(std::string_view text);

// The "№ р/з:" and "№ б/д:" editors: a decimal integer 0 to 4294967295
// (the radiosonde keeps these numbers unsigned).
std::optional<std::uint32_t> parseSerialNumber(std::string_view text);

// The "Дата:" editor: the characters at positions 1-2, 4-5 and 7-8
// (counted from 1, UTF-8 code points) joined and read as a decimal integer
// ("15.03.24" -> 150324; a shorter text contributes what it has: "0" -> 0).
// std::nullopt when the joined text is not an unsigned integer ("-").
std::optional<std::uint32_t> parseDateText(std::string_view text);

// Strict form of the date for the check before a write: two digits, one
// separator character, two digits, one separator character, two digits.
// A separator may be any character but a digit ("15.03.24", "15,03,24").
bool isStrictDateText(std::string_view text);

// Spin editors: the text as a decimal integer, or the editor's minimum when
// it is not one.
std::int64_t spinValue(std::string_view text, std::int64_t minimum);

}  // namespace editors
