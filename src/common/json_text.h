// JSON literals for what the program shows, for kalvi7-ctl's JSON lines:
// texts as strings, and shown numbers as numbers with the same digits.
#pragma once

#include <string>
#include <string_view>

namespace json_text {

// A JSON string: quotes, backslashes and control characters escaped; the
// UTF-8 of the rest passed through.
std::string jsonString(std::string_view text);

// A number as formats.h writes it ("2851234,56", "-1,5E-5", "NAN") as a
// JSON number with the same digits ("2851234.56", "-1.5E-5"); infinities
// and NaNs, which JSON has no number for, as null.
std::string jsonNumber(std::string_view shownNumber);

}  // namespace json_text
