#include "capture/capture_format.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <climits>
#include <iterator>
#include <string_view>
#include <system_error>

namespace capture {

namespace {

constexpr std::int64_t kMicrosecondsPerSecond = 1'000'000;
// Twelve digits of seconds are some 30 000 years: far beyond any capture,
// and far inside what the microseconds' integer holds.
constexpr std::size_t kMaxSecondDigits = 12;

bool isDigit(char c) { return c >= '0' && c <= '9'; }

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// A piece of the line for a message: short, and only what a terminal shows.
std::string quoted(std::string_view text)
{
    constexpr std::size_t kShown = 24;
    std::string out = "\"";
    for (std::size_t i = 0; i < text.size() && i < kShown; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        out += (c >= 0x20 && c < 0x7F) ? static_cast<char>(c) : '?';
    }
    if (text.size() > kShown)
        out += "...";
    return out + "\"";
}

// "seconds.micros", exactly six decimals; false for anything else.
bool parseTime(std::string_view text, std::int64_t& microseconds)
{
    const std::size_t dot = text.find('.');
    if (dot == std::string_view::npos || dot == 0 || dot > kMaxSecondDigits || text.size() - dot - 1 != 6)
        return false;
    std::int64_t seconds = 0;
    for (std::size_t i = 0; i < dot; ++i) {
        if (!isDigit(text[i]))
            return false;
        seconds = seconds * 10 + (text[i] - '0');
    }
    std::int64_t fraction = 0;
    for (std::size_t i = dot + 1; i < text.size(); ++i) {
        if (!isDigit(text[i]))
            return false;
        fraction = fraction * 10 + (text[i] - '0');
    }
    microseconds = seconds * kMicrosecondsPerSecond + fraction;
    return true;
}

void readFirstLine(std::string_view line)
{
    if (line == kMagicLine)
        return;
    constexpr std::string_view magicWord = "kalvi7-capture ";
    if (line.substr(0, magicWord.size()) == magicWord) {
        const std::string_view version = line.substr(magicWord.size());
        bool number = !version.empty() && version.size() <= 9;
        for (char c : version)
            number = number && isDigit(c);
        if (number)
            throw CaptureError(1, "unsupported capture version " + std::string(version));
    }
    throw CaptureError(1, std::string("not a capture: the first line is not \"") + kMagicLine + "\"");
}

std::pair<std::string, std::string> readNote(std::string_view line)
{
    std::string_view text = line.substr(1);
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    const std::size_t space = text.find(' ');
    if (space == std::string_view::npos)
        return {std::string(text), std::string()};
    return {std::string(text.substr(0, space)), std::string(text.substr(space + 1))};
}

Record readRecord(std::string_view line, int number)
{
    Record record;
    const std::size_t space = line.find(' ');
    const std::string_view time = line.substr(0, space);
    if (!parseTime(time, record.microseconds))
        throw CaptureError(number, "bad time " + quoted(time));
    if (space == std::string_view::npos)
        throw CaptureError(number, "no bytes after the time");

    std::string_view rest = line.substr(space + 1);
    if (rest.empty())
        throw CaptureError(number, "no bytes after the time");
    while (true) {
        const std::size_t next = rest.find(' ');
        const std::string_view byte = rest.substr(0, next);
        if (byte.empty())
            throw CaptureError(number, "missing byte between two spaces");
        const int high = hexValue(byte[0]);
        const int low = byte.size() == 2 ? hexValue(byte[1]) : -1;
        if (high < 0 || low < 0)
            throw CaptureError(number, "bad byte " + quoted(byte));
        record.bytes.push_back(static_cast<std::uint8_t>(high * 16 + low));
        if (next == std::string_view::npos)
            break;
        rest.remove_prefix(next + 1);
        if (rest.empty())
            throw CaptureError(number, "missing byte after the last space");
    }
    return record;
}

}  // namespace

CaptureError::CaptureError(int line, const std::string& reason)
    : std::runtime_error("line " + std::to_string(line) + ": " + reason), line_(line), reason_(reason)
{}

namespace {

// The stream's text, refused once it grows past maxBytes; the error names
// the line the limit falls in.
std::string readAtMost(std::istream& in, std::size_t maxBytes)
{
    std::string text;
    char chunk[65536];
    while (in.read(chunk, sizeof chunk) || in.gcount() > 0) {
        text.append(chunk, static_cast<std::size_t>(in.gcount()));
        if (text.size() > maxBytes) {
            const auto lines =
                std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(maxBytes), '\n');
            throw CaptureError(
                static_cast<int>(std::min<std::ptrdiff_t>(lines + 1, INT_MAX)),
                "the file is larger than " + std::to_string(maxBytes) + " bytes, more than a capture holds");
        }
    }
    return text;
}

}  // namespace

Capture readCapture(std::istream& in, std::size_t maxBytes)
{
    const std::string text = readAtMost(in, maxBytes);
    if (text.empty())
        throw CaptureError(1, "empty file, not a capture");

    Capture capture;
    std::int64_t lastTime = 0;
    int number = 0;
    for (std::size_t start = 0; start < text.size();) {
        ++number;
        const std::size_t newline = text.find('\n', start);
        // A writer cut off in the middle of a line leaves it without its end;
        // the bytes before the cut are unknown, so the line is not a record.
        if (newline == std::string::npos)
            throw CaptureError(number, "the last line has no newline at its end (cut off?)");
        const std::string_view line(text.data() + start, newline - start);
        start = newline + 1;

        if (!line.empty() && line.back() == '\r')
            throw CaptureError(number, "line ends in a carriage return; lines end in a newline alone");
        if (number == 1) {
            readFirstLine(line);
            continue;
        }
        if (line.empty())
            throw CaptureError(number, "empty line");
        if (line.front() == '#') {
            capture.notes.push_back(readNote(line));
            continue;
        }
        Record record = readRecord(line, number);
        if (record.microseconds < lastTime)
            throw CaptureError(number, "time goes backwards");
        lastTime = record.microseconds;
        capture.records.push_back(std::move(record));
    }
    return capture;
}

std::string formatTime(std::int64_t microseconds)
{
    if (microseconds < 0)
        microseconds = 0;
    char buffer[32];
    const auto seconds = std::to_chars(buffer, buffer + sizeof buffer, microseconds / kMicrosecondsPerSecond);
    std::string out(buffer, seconds.ptr);
    const auto fraction =
        std::to_chars(buffer, buffer + sizeof buffer, microseconds % kMicrosecondsPerSecond);
    const std::string digits(buffer, fraction.ptr);
    out += '.';
    out.append(6 - digits.size(), '0');
    return out + digits;
}

CaptureWriter::CaptureWriter(std::FILE* file, const std::vector<std::pair<std::string, std::string>>& notes)
    : file_(file)
{
    // A line end inside a note would start a line that is no record, and
    // the reader would then refuse the whole capture.
    const auto oneLine = [](std::string text) {
        for (char& c : text)
            if (c == '\n' || c == '\r')
                c = ' ';
        return text;
    };
    std::string head = std::string(kMagicLine) + "\n";
    for (const auto& [key, value] : notes)
        head += "# " + oneLine(key) + " " + oneLine(value) + "\n";
    write(head);
}

void CaptureWriter::record(std::int64_t microseconds, const std::uint8_t* bytes, std::size_t count)
{
    if (ended_)
        throw std::logic_error("capture record after its end");
    if (count == 0)
        return;
    if (microseconds < lastMicroseconds_)
        microseconds = lastMicroseconds_;
    lastMicroseconds_ = microseconds;

    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string line = formatTime(microseconds);
    line.reserve(line.size() + count * 3 + 1);
    for (std::size_t i = 0; i < count; ++i) {
        line += ' ';
        line += kHex[bytes[i] >> 4];
        line += kHex[bytes[i] & 0x0F];
    }
    line += '\n';
    write(line);
    bytesWritten_ += count;
}

void CaptureWriter::end()
{
    if (ended_)
        return;
    ended_ = true;
    write("# end " + std::to_string(bytesWritten_) + " bytes\n");
}

void CaptureWriter::write(const std::string& line)
{
    // One write and a flush a line: a capture cut off between two lines
    // loses nothing it already had.
    if (std::fwrite(line.data(), 1, line.size(), file_) != line.size() || std::fflush(file_) != 0)
        throw std::system_error(errno, std::generic_category(), "cannot write the capture");
}

}  // namespace capture
