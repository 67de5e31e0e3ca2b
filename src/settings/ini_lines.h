// settings.INI as text. The file is edited line by line rather than parsed
// into a tree and regenerated: a file the operator or a Windows installation
// has touched may carry comments, other sections, odd spacing, a byte-order
// mark and CRLF line ends, and all of that is written back byte for byte.
// Only the lines of the keys set change, or are added when missing.
// Sections and keys are matched whatever their letter case (ASCII only).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace settings {

// The profile reader of the platform hands back at most this many characters.
inline constexpr std::size_t kMaxTextChars = 2047;

// "0x"/"0X" followed by hex digits when longer than two characters, else
// decimal with an optional sign; anything else, or a value outside 32 bits,
// is not a number.
std::optional<std::int32_t> parseInteger(std::string_view text);

// The first maxChars UTF-8 characters of text, never splitting one.
std::string firstChars(std::string_view text, std::size_t maxChars);

// A port name is one line of text: nothing from a line break or NUL on
// could be stored, and blanks around it would not be read back.
std::string_view asOneLine(std::string_view text);

class IniLines {
public:
    explicit IniLines(std::string_view bytes);

    // The value of the first key of that name in a section of that name:
    // blanks around it dropped, cut at an embedded NUL as a C string would be.
    std::optional<std::string> value(std::string_view section, std::string_view key) const;

    // Replaces the value of the key that value() reads, keeping the key's
    // spelling and spacing; a missing key goes after the last key of the
    // section, a missing section to the end of the file.
    void set(std::string_view section, std::string_view key, std::string_view value);

    std::string bytes() const;

private:
    // One line of the file with its own line end ("\r\n", "\n", "\r", or
    // nothing on a last line without one).
    struct Line {
        std::string text;
        std::string end;
    };

    std::optional<std::size_t> findSection(std::string_view section) const;
    std::optional<std::size_t> findKey(std::string_view section, std::string_view key) const;
    // index may be size_t(-1) for "before the first line".
    void insertAfter(std::size_t index, std::string text);

    bool bom_ = false;
    std::vector<Line> lines_;
    std::string newline_;
};

}  // namespace settings
