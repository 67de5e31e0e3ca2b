#include "settings/ini_lines.h"

#include <algorithm>
#include <charconv>
#include <system_error>

namespace settings {
namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

#ifdef _WIN32
constexpr std::string_view kNativeNewline = "\r\n";
#else
constexpr std::string_view kNativeNewline = "\n";
#endif

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f'; }

std::string_view trim(std::string_view s)
{
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

char asciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool sameName(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return asciiLower(x) == asciiLower(y); });
}

// What a line means to the profile functions: a section header "[name]",
// a "key=value" line, or anything else (comments, blanks, junk), which is
// carried along untouched.
struct LineMeaning {
    enum Kind { Other, Section, Key } kind = Other;
    std::string_view name;       // trimmed section or key name
    std::size_t valueStart = 0;  // Key: where the value begins, past the blanks after '='
};

LineMeaning meaningOf(std::string_view text)
{
    const std::string_view body = trim(text);
    if (!body.empty() && body.front() == '[') {
        const auto close = body.find(']');
        if (close == std::string_view::npos)
            return {};
        return {LineMeaning::Section, trim(body.substr(1, close - 1)), 0};
    }
    const auto eq = text.find('=');
    if (eq == std::string_view::npos)
        return {};
    std::size_t valueStart = eq + 1;
    while (valueStart < text.size() && isBlank(text[valueStart]))
        ++valueStart;
    return {LineMeaning::Key, trim(text.substr(0, eq)), valueStart};
}

}  // namespace

std::string firstChars(std::string_view text, std::size_t maxChars)
{
    std::size_t chars = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool startsChar = (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80;
        if (startsChar && ++chars > maxChars)
            return std::string(text.substr(0, i));
    }
    return std::string(text);
}

std::optional<std::int32_t> parseInteger(std::string_view text)
{
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        base = 16;
        if (text.front() == '-' || text.front() == '+')
            return std::nullopt;
    } else if (text.size() > 1 && text[0] == '+' && text[1] != '-') {
        text.remove_prefix(1);
    }
    std::int32_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (ec != std::errc{} || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

std::string_view asOneLine(std::string_view text)
{
    return trim(text.substr(0, text.find_first_of(std::string_view("\r\n\0", 3))));
}

IniLines::IniLines(std::string_view bytes)
{
    if (bytes.starts_with(kUtf8Bom)) {
        bom_ = true;
        bytes.remove_prefix(kUtf8Bom.size());
    }
    // A line ends at CR LF, LF or a lone CR, so no value read can hold
    // a line break that writing it back would turn into a new line.
    while (!bytes.empty()) {
        const auto brk = bytes.find_first_of("\r\n");
        if (brk == std::string_view::npos) {
            lines_.push_back({std::string(bytes), ""});
            break;
        }
        const std::size_t endSize = bytes.substr(brk).starts_with("\r\n") ? 2 : 1;
        lines_.push_back({std::string(bytes.substr(0, brk)), std::string(bytes.substr(brk, endSize))});
        bytes.remove_prefix(brk + endSize);
    }
    // New lines follow the file's own convention.
    newline_ = lines_.empty() || lines_.front().end.empty() ? kNativeNewline : lines_.front().end;
}

std::optional<std::string> IniLines::value(std::string_view section, std::string_view key) const
{
    const auto at = findKey(section, key);
    if (!at)
        return std::nullopt;
    const std::string& text = lines_[*at].text;
    std::string_view value(text);
    value.remove_prefix(meaningOf(text).valueStart);
    value = value.substr(0, value.find('\0'));
    return std::string(trim(value));
}

void IniLines::set(std::string_view section, std::string_view key, std::string_view value)
{
    if (const auto at = findKey(section, key)) {
        std::string& text = lines_[*at].text;
        text.resize(meaningOf(text).valueStart);
        text += value;
        return;
    }
    const std::string keyLine = std::string(key) + "=" + std::string(value);
    if (const auto header = findSection(section)) {
        std::size_t after = *header;
        for (std::size_t i = *header + 1; i < lines_.size(); ++i) {
            const auto meaning = meaningOf(lines_[i].text);
            if (meaning.kind == LineMeaning::Section)
                break;
            if (meaning.kind == LineMeaning::Key)
                after = i;
        }
        insertAfter(after, keyLine);
        return;
    }
    const std::size_t last = lines_.size();
    // Built by appending: GCC 12 at -O3 warns falsely (-Wrestrict) on
    // "[" + std::string(section).
    std::string sectionLine(1, '[');
    sectionLine.append(section).push_back(']');
    insertAfter(last - 1, sectionLine);
    insertAfter(last, keyLine);
}

std::string IniLines::bytes() const
{
    std::string out(bom_ ? kUtf8Bom : "");
    for (const Line& line : lines_)
        out += line.text + line.end;
    return out;
}

std::optional<std::size_t> IniLines::findSection(std::string_view section) const
{
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        const auto meaning = meaningOf(lines_[i].text);
        if (meaning.kind == LineMeaning::Section && sameName(meaning.name, section))
            return i;
    }
    return std::nullopt;
}

std::optional<std::size_t> IniLines::findKey(std::string_view section, std::string_view key) const
{
    bool inSection = false;  // lines before the first header belong to none
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        const auto meaning = meaningOf(lines_[i].text);
        if (meaning.kind == LineMeaning::Section)
            inSection = sameName(meaning.name, section);
        else if (inSection && meaning.kind == LineMeaning::Key && sameName(meaning.name, key))
            return i;
    }
    return std::nullopt;
}

void IniLines::insertAfter(std::size_t index, std::string text)
{
    if (index != static_cast<std::size_t>(-1) && lines_[index].end.empty())
        lines_[index].end = newline_;
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(index + 1), {std::move(text), newline_});
}

}  // namespace settings
