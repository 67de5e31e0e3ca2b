// Time-of-day texts with the regional time separator.
#include "common/formats.h"

#include <string>
#include <utility>
#include <vector>

#ifdef _WIN32
#include "common/windows_api.h"
#else
#include <langinfo.h>
#include <clocale>
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

// A strftime-style time format split into conversions and the literal
// text between them; "%T", "%R" and "%r" are spelled out, so "%R:%S" reads
// as hour, ":", minute, ":", second.
struct TimeFormatItem {
    char conversion = 0;  // the conversion letter; 0 for literal text
    std::string text;     // the literal text
    bool literal() const { return conversion == 0; }
};

void appendLiteral(std::vector<TimeFormatItem>& items, std::string_view text)
{
    if (items.empty() || !items.back().literal())
        items.push_back({});
    items.back().text.append(text);
}

void appendConversion(std::vector<TimeFormatItem>& items, char letter) { items.push_back({letter, {}}); }

// The conversion at letter, with the composite ones spelled out.
void appendConversionOrComposite(std::vector<TimeFormatItem>& items, char letter)
{
    if (letter != 'T' && letter != 'R' && letter != 'r') {
        appendConversion(items, letter);
        return;
    }
    appendConversion(items, letter == 'r' ? 'I' : 'H');
    appendLiteral(items, ":");
    appendConversion(items, 'M');
    if (letter == 'R')
        return;
    appendLiteral(items, ":");
    appendConversion(items, 'S');
    if (letter == 'r') {
        appendLiteral(items, " ");
        appendConversion(items, 'p');
    }
}

std::vector<TimeFormatItem> splitTimeFormat(std::string_view format)
{
    std::vector<TimeFormatItem> items;
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%') {
            appendLiteral(items, format.substr(i, 1));
            continue;
        }
        std::size_t letter = i + 1;
        // glibc flags, a field width and the E/O modifiers may sit between
        // "%" and the letter.
        while (letter < format.size() &&
               std::string_view("_-0^#EO123456789").find(format[letter]) != std::string_view::npos)
            ++letter;
        if (letter >= format.size())
            break;
        if (format[letter] == '%')
            appendLiteral(items, "%");
        else
            appendConversionOrComposite(items, format[letter]);
        i = letter;
    }
    return items;
}

bool isHourConversion(const TimeFormatItem& item)
{
    return item.conversion == 'H' || item.conversion == 'I' || item.conversion == 'k' ||
           item.conversion == 'l';
}

std::string regionalTimeSeparator()
{
#ifdef _WIN32
    // The time picture the user sees in the regional settings; the older
    // LOCALE_STIME need not follow a picture the user changed.
    wchar_t wide[80] = {};
    const int length = GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STIMEFORMAT, wide, 80);
    if (length <= 1)
        return ":";
    char utf8[320] = {};
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, wide, length - 1, utf8, sizeof utf8, nullptr, nullptr);
    if (bytes <= 0)
        return ":";
    const std::string_view picture(utf8, static_cast<std::size_t>(bytes));
    return timeSeparatorFromFormat(timeFormatFromWindowsPicture(picture));
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
    const std::vector<TimeFormatItem> items = splitTimeFormat(timeFormat);
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (!isHourConversion(items[i]))
            continue;
        // Only the first hour decides: hour, text, minute, the same text,
        // second.
        if (i + 4 < items.size() && items[i + 1].literal() && items[i + 2].conversion == 'M' &&
            items[i + 3].literal() && items[i + 4].conversion == 'S' &&
            items[i + 1].text == items[i + 3].text && isTimeSeparator(items[i + 1].text))
            return items[i + 1].text;
        break;
    }
    return ":";
}

bool isTimeSeparator(std::string_view text)
{
    // One ASCII punctuation character; spelled out, as std::ispunct would
    // ask the process's locale.
    return text.size() == 1 && std::string_view(R"(!"#$%&'()*+,-./:;<=>?@[\]^_`{|}~)").find(text.front()) !=
                                   std::string_view::npos;
}

std::string timeFormatFromWindowsPicture(std::string_view picture)
{
    std::string format;
    for (std::size_t i = 0; i < picture.size();) {
        const char c = picture[i];
        if (c == '\'') {
            // Quoted text stands for itself; "''" inside quotes is one quote.
            for (++i; i < picture.size(); ++i) {
                if (picture[i] == '\'') {
                    if (i + 1 >= picture.size() || picture[i + 1] != '\'')
                        break;
                    ++i;
                }
                format.append(picture[i] == '%' ? std::string_view("%%") : picture.substr(i, 1));
            }
            ++i;
            continue;
        }
        std::size_t run = i;
        while (run < picture.size() && picture[run] == c)
            ++run;
        switch (c) {
        case 'H': format.append("%H"); break;
        case 'h': format.append("%I"); break;
        case 'm': format.append("%M"); break;
        case 's': format.append("%S"); break;
        case 't': format.append("%p"); break;
        case '%': format.append(std::string(2 * (run - i), '%')); break;
        default: format.append(picture.substr(i, run - i));
        }
        i = run;
    }
    return format;
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
