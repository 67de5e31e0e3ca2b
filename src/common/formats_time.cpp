// Time-of-day texts with the regional time separator.
#include "formats.h"

#include <string>
#include <utility>

#ifdef _WIN32
#  ifndef NOMINMAX
#    define NOMINMAX
#  endif
#  include <windows.h>
#else
#  include <clocale>
#  include <langinfo.h>
#endif

namespace formats {
namespace {

std::string& separatorInUse()
{
    static std::string separator = ":";
    return separator;
}

std::string twoDigits(int value)
{
    std::string text = std::to_string(value);
    if (value >= 0 && value < 10)
        text.insert(text.begin(), '0');
    return text;
}

std::string regionalTimeSeparator()
{
#ifdef _WIN32
    wchar_t wide[8] = {};
    const int length = GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STIME, wide, 8);
    if (length <= 1)
        return ":";
    char utf8[32] = {};
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, wide, length - 1, utf8, sizeof utf8, nullptr, nullptr);
    return bytes > 0 ? std::string(utf8, static_cast<std::size_t>(bytes)) : std::string(":");
#else
    // Only LC_TIME is switched, and only for this one look-up: the rest of
    // the program keeps the locale it had.
    const char* previous = std::setlocale(LC_TIME, nullptr);
    const std::string saved = previous ? previous : "C";
    if (!std::setlocale(LC_TIME, ""))
        return ":";
    std::string separator = timeSeparatorFromFormat(nl_langinfo(T_FMT));
    std::setlocale(LC_TIME, saved.c_str());
    return separator;
#endif
}

}  // namespace

std::string timeSeparator() { return separatorInUse(); }

void setTimeSeparator(std::string separator) { separatorInUse() = std::move(separator); }

void detectTimeSeparator() { setTimeSeparator(regionalTimeSeparator()); }

std::string timeSeparatorFromFormat(std::string_view timeFormat)
{
    // The text between the hour conversion and the next one is the
    // separator; "%T", "%R" and "%r" stand for the usual ":" forms.
    for (std::size_t i = 0; i + 1 < timeFormat.size(); ++i) {
        if (timeFormat[i] != '%')
            continue;
        std::size_t conversion = i + 1;
        // glibc flags and the E/O modifiers may sit between "%" and the letter.
        while (conversion < timeFormat.size() &&
               std::string_view("_-0^#EO").find(timeFormat[conversion]) != std::string_view::npos)
            ++conversion;
        if (conversion >= timeFormat.size())
            break;
        const char letter = timeFormat[conversion];
        if (letter == 'H' || letter == 'I' || letter == 'k' || letter == 'l') {
            const std::size_t from = conversion + 1;
            const std::size_t to = timeFormat.find('%', from);
            const std::string_view separator = timeFormat.substr(from, to == std::string_view::npos ? to : to - from);
            return separator.empty() ? ":" : std::string(separator);
        }
        if (letter == 'T' || letter == 'R' || letter == 'r')
            return ":";
        i = conversion;
    }
    return ":";
}

std::string timeHNNSS(int hour, int minute, int second)
{
    const std::string separator = timeSeparator();
    return std::to_string(hour) + separator + twoDigits(minute) + separator + twoDigits(second);
}

std::string timeHHMMSS(int hour, int minute, int second)
{
    const std::string separator = timeSeparator();
    return twoDigits(hour) + separator + twoDigits(minute) + separator + twoDigits(second);
}

}  // namespace formats
