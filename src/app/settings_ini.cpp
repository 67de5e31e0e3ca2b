// settings.INI is edited line by line rather than parsed into a tree and
// regenerated: a file the operator or a Windows installation has touched
// may carry comments, other sections, odd spacing, a byte-order mark and
// CRLF line ends, and all of that is written back byte for byte. Only the
// lines of our four keys change, or are added when missing.
#include "settings_ini.h"

#include "file_rewrite.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string_view>
#include <system_error>
#include <vector>

namespace app {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kPortSection = "Port1 setting";
constexpr std::string_view kFormSection = "Form setting";
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
// The profile reader of the platform hands back at most this many characters.
constexpr std::size_t kMaxTextChars = 2047;

#ifdef _WIN32
constexpr std::string_view kNativeNewline = "\r\n";
#else
constexpr std::string_view kNativeNewline = "\n";
#endif

// Paths travel as UTF-8 strings; on Windows a plain std::string would be
// taken in the ANSI code page instead.
fs::path fsPath(const std::string& utf8) { return fs::path(std::u8string(utf8.begin(), utf8.end())); }

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f'; }

std::string_view trim(std::string_view s) {
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
    return s;
}

char asciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool sameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return asciiLower(x) == asciiLower(y); });
}

// The first maxChars UTF-8 characters of text, never splitting one.
std::string firstChars(std::string_view text, std::size_t maxChars) {
    std::size_t chars = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool startsChar = (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80;
        if (startsChar && ++chars > maxChars) return std::string(text.substr(0, i));
    }
    return std::string(text);
}

// "0x"/"0X" followed by hex digits when longer than two characters, else
// decimal with an optional sign; anything else, or a value outside 32 bits,
// is not a number.
std::optional<std::int32_t> parseInteger(std::string_view text) {
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        base = 16;
        if (text.front() == '-' || text.front() == '+') return std::nullopt;
    } else if (text.size() > 1 && text[0] == '+' && text[1] != '-') {
        text.remove_prefix(1);
    }
    std::int32_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (ec != std::errc{} || end != text.data() + text.size()) return std::nullopt;
    return value;
}

// One line of the file with its own line end ("\r\n", "\n", "\r", or
// nothing on a last line without one).
struct Line {
    std::string text;
    std::string end;
};

// What a line means to the profile functions: a section header "[name]",
// a "key=value" line, or anything else (comments, blanks, junk), which is
// carried along untouched.
struct LineMeaning {
    enum Kind { Other, Section, Key } kind = Other;
    std::string_view name;       // trimmed section or key name
    std::size_t valueStart = 0;  // Key: where the value begins, past the blanks after '='
};

LineMeaning meaningOf(std::string_view text) {
    const std::string_view body = trim(text);
    if (!body.empty() && body.front() == '[') {
        const auto close = body.find(']');
        if (close == std::string_view::npos) return {};
        return {LineMeaning::Section, trim(body.substr(1, close - 1)), 0};
    }
    const auto eq = text.find('=');
    if (eq == std::string_view::npos) return {};
    std::size_t valueStart = eq + 1;
    while (valueStart < text.size() && isBlank(text[valueStart])) ++valueStart;
    return {LineMeaning::Key, trim(text.substr(0, eq)), valueStart};
}

class IniLines {
public:
    explicit IniLines(std::string_view bytes) {
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

    // The value of the first key of that name in a section of that name:
    // blanks around it dropped, cut at an embedded NUL as a C string would be.
    std::optional<std::string> value(std::string_view section, std::string_view key) const {
        const auto at = findKey(section, key);
        if (!at) return std::nullopt;
        const std::string& text = lines_[*at].text;
        std::string_view value(text);
        value.remove_prefix(meaningOf(text).valueStart);
        value = value.substr(0, value.find('\0'));
        return std::string(trim(value));
    }

    // Replaces the value of the key that value() reads, keeping the key's
    // spelling and spacing; a missing key goes after the last key of the
    // section, a missing section to the end of the file.
    void set(std::string_view section, std::string_view key, std::string_view value) {
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
                if (meaning.kind == LineMeaning::Section) break;
                if (meaning.kind == LineMeaning::Key) after = i;
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

    std::string bytes() const {
        std::string out(bom_ ? kUtf8Bom : "");
        for (const Line& line : lines_) out += line.text + line.end;
        return out;
    }

private:
    std::optional<std::size_t> findSection(std::string_view section) const {
        for (std::size_t i = 0; i < lines_.size(); ++i) {
            const auto meaning = meaningOf(lines_[i].text);
            if (meaning.kind == LineMeaning::Section && sameName(meaning.name, section)) return i;
        }
        return std::nullopt;
    }

    std::optional<std::size_t> findKey(std::string_view section, std::string_view key) const {
        bool inSection = false;  // lines before the first header belong to none
        for (std::size_t i = 0; i < lines_.size(); ++i) {
            const auto meaning = meaningOf(lines_[i].text);
            if (meaning.kind == LineMeaning::Section) inSection = sameName(meaning.name, section);
            else if (inSection && meaning.kind == LineMeaning::Key && sameName(meaning.name, key)) return i;
        }
        return std::nullopt;
    }

    // index may be size_t(-1) for "before the first line".
    void insertAfter(std::size_t index, std::string text) {
        if (index != static_cast<std::size_t>(-1) && lines_[index].end.empty()) lines_[index].end = newline_;
        lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(index + 1), {std::move(text), newline_});
    }

    bool bom_ = false;
    std::vector<Line> lines_;
    std::string newline_;
};

bool readFile(const std::string& path, std::string& bytes) {
    std::ifstream in(fsPath(path), std::ios::binary);
    if (!in.is_open()) return false;
    try {
        bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    } catch (const std::ios_base::failure&) {
        return false;  // e.g. a directory of that name
    }
    return !in.bad();
}

// A port name is one line of text: nothing from a line break or NUL on
// could be stored, and blanks around it would not be read back.
std::string_view asOneLine(std::string_view text) { return trim(text.substr(0, text.find_first_of(std::string_view("\r\n\0", 3)))); }

}  // namespace

std::string settingsPath() {
    std::error_code ec;
    const fs::path dir = fs::current_path(ec);
    const std::u8string utf8 = ec ? std::u8string(u8".") : dir.u8string();
    return std::string(utf8.begin(), utf8.end()) + "/settings.INI";
}

Settings loadSettings(const std::string& path, const std::string& defaultPort) {
    Settings settings;
    settings.port = defaultPort;
    try {
        std::string bytes;
        if (!readFile(path, bytes)) return settings;
        const IniLines ini(bytes);
        // An empty name can name no port; it is treated as missing.
        if (const auto port = ini.value(kPortSection, "Port"); port && !port->empty())
            settings.port = firstChars(*port, kMaxTextChars);
        const auto integer = [&](std::string_view section, std::string_view key) -> std::optional<std::int32_t> {
            const auto text = ini.value(section, key);
            return text ? parseInteger(*text) : std::nullopt;
        };
        settings.baudRate = integer(kPortSection, "BaudRate").value_or(settings.baudRate);
        settings.continuedMode = integer(kFormSection, "ContinuedMode").value_or(0) != 0;
        settings.amplSetEnable = integer(kFormSection, "AmplSetEnable").value_or(0) != 0;
    } catch (const std::exception&) {
        // Out of memory on an absurd file: start from the defaults.
        Settings defaults;
        defaults.port = defaultPort;
        return defaults;
    }
    return settings;
}

void saveSettings(const std::string& path, const std::optional<std::string>& port, std::int32_t baudRate,
                  bool continuedMode, bool amplSetEnable) {
    const std::string failure = "Unable to write to " + path;
    std::string bytes;
    std::error_code ec;
    // A file that is there but cannot be read would lose its other contents.
    if (fs::exists(fsPath(path), ec) && !readFile(path, bytes)) throw std::runtime_error(failure);

    IniLines ini(bytes);
    if (port && !asOneLine(*port).empty()) ini.set(kPortSection, "Port", asOneLine(*port));
    ini.set(kPortSection, "BaudRate", std::to_string(baudRate));
    ini.set(kFormSection, "ContinuedMode", continuedMode ? "1" : "0");
    ini.set(kFormSection, "AmplSetEnable", amplSetEnable ? "1" : "0");

    if (!rewriteFile(fsPath(path), ini.bytes())) throw std::runtime_error(failure);
}

}  // namespace app
