// The capture file: the bytes that arrived on a line, each arrival with its
// time since the capture started, as text.
//
//     kalvi7-capture 1
//     # port /dev/ttyUSB0
//     # baud 38400
//     # started 2026-12-10T20:01:02.345+03:00
//     0.000000 AA AA 81 3C 00
//     0.010417 3C 1F
//     # end 7 bytes
//
// The first line names the format and its version. Lines starting with '#'
// are notes, "# key value". Every other line is a record: seconds with "."
// and exactly six decimals, one space, the bytes as two-digit hex separated
// by single spaces. Times never decrease. Each line ends in "\n".
//
// The reader takes a file whole or not at all: a player must never play the
// first half of a damaged capture and then stop.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <istream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace capture {

inline constexpr const char* kMagicLine = "kalvi7-capture 1";

struct Record {
    std::int64_t microseconds = 0;    // since the capture started
    std::vector<std::uint8_t> bytes;  // never empty
};

struct Capture {
    std::vector<std::pair<std::string, std::string>> notes;  // in file order, unknown keys too
    std::vector<Record> records;
};

// Why a file is not a capture; what() is "line N: reason".
class CaptureError : public std::runtime_error {
public:
    CaptureError(int line, const std::string& reason);
    int line() const { return line_; }  // 1-based
    const std::string& reason() const { return reason_; }

private:
    int line_;
    std::string reason_;
};

// The largest file readCapture takes: about six hours of a 38 400-baud
// line written as text. A file beyond it (or /dev/zero given by mistake)
// is refused instead of filling the memory.
inline constexpr std::size_t kMaxCaptureBytes = std::size_t{256} << 20;

// Reads a whole capture; throws CaptureError at the first fault. Reads the
// characters as they are, whatever locale the stream carries.
Capture readCapture(std::istream& in, std::size_t maxBytes = kMaxCaptureBytes);

// Writes a capture to an open file as the bytes arrive, flushing each line,
// so that a capture cut short by a signal or a lost line is complete up to
// its last record. Times are written without the locale. Throws
// std::runtime_error when the file cannot be written (a full disk): what
// was flushed before that stays a readable capture.
class CaptureWriter {
public:
    // Writes the first line and the notes (a line end inside one becomes a
    // space).
    CaptureWriter(std::FILE* file, const std::vector<std::pair<std::string, std::string>>& notes);

    // One arrival. No bytes, no record. A time earlier than the one before
    // (a clock stepped back) is written as the one before, so that the file
    // stays readable.
    void record(std::int64_t microseconds, const std::uint8_t* bytes, std::size_t count);

    // "# end N bytes": the capture ended as planned. Once only; records
    // after it are refused with std::logic_error.
    void end();

    std::uint64_t bytesWritten() const { return bytesWritten_; }  // bytes recorded so far

private:
    void write(const std::string& line);

    std::FILE* file_;
    std::int64_t lastMicroseconds_ = 0;
    std::uint64_t bytesWritten_ = 0;
    bool ended_ = false;
};

// "12.000345": seconds with exactly six decimals, never the locale's separator.
std::string formatTime(std::int64_t microseconds);

}  // namespace capture
