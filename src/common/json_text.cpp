#include "common/json_text.h"

#include <cstdio>

namespace json_text {

std::string jsonString(std::string_view text)
{
    std::string quoted = "\"";
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '"' || c == '\\') {
            quoted += '\\';
            quoted += ch;
        } else if (c < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", c);
            quoted += escape;
        } else {
            quoted += ch;
        }
    }
    return quoted + "\"";
}

std::string jsonNumber(std::string_view shownNumber)
{
    if (shownNumber.find("INF") != std::string_view::npos ||
        shownNumber.find("NAN") != std::string_view::npos)
        return "null";
    std::string number(shownNumber);
    for (char& ch : number)
        if (ch == ',')
            ch = '.';
    return number;
}

}  // namespace json_text
