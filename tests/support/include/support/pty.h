// A pseudo-terminal pair that plays the radiosonde: the program under test
// opens the slave path as its port, the test writes the radiosonde's bytes
// on the master and reads back what the program sent.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "support/bytes.h"

namespace support {

class Pty {
public:
    // Throws, with the system's reason, when no pseudo-terminal is to be had.
    Pty();
    ~Pty();
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    const std::string& slavePath() const { return slavePath_; }
    // The master descriptor, non-blocking; -1 once closed.
    int master() const { return master_; }
    // The radiosonde hangs up: the slave side sees the line go.
    void closeMaster();

    // Writes all of bytes, waiting while the terminal is full; throws with
    // the system's reason when a write fails.
    void send(const Bytes& bytes);
    // Whatever the master receives within the time, stopping early once
    // `expected` bytes have come.
    Bytes receive(std::size_t expected, std::chrono::milliseconds within);
    // Whatever the program has written so far, without waiting.
    Bytes drain();

private:
    int master_ = -1;
    std::string slavePath_;
};

}  // namespace support
