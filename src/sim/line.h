// The simulator's end of the serial line: a pseudo-terminal whose slave the
// tool opens, or a real serial device wired to the tool's port.
#pragma once

#include <memory>
#include <string>

namespace sim {

class Line {
public:
    virtual ~Line() { close(); }

    // Opens (or makes anew) the line; throws std::runtime_error naming the
    // failed step. After open(), fd() is non-blocking and raw.
    virtual void open() = 0;
    void close();
    bool isOpen() const { return fd_ >= 0; }
    int fd() const { return fd_; }

    // The path the tool opens: the pty's slave or the device itself.
    const std::string& path() const { return path_; }

    // Whether the far end is held open. A pty master whose slave has been
    // closed reports a hang-up on every poll and fails every read until the
    // tool opens the slave again; a device reports it only when it is gone
    // for good (a USB adapter pulled out).
    virtual bool peerPresent() const = 0;

protected:
    // Whether a poll of the line shows none of `gone`.
    bool pollShowsNone(short gone) const;

    int fd_ = -1;
    std::string path_;
};

std::unique_ptr<Line> makePtyLine(unsigned baud);
std::unique_ptr<Line> makeDeviceLine(const std::string& path, unsigned baud);

// Whether a device can be set to this baud rate.
bool isDeviceBaud(unsigned baud);

}  // namespace sim
