// The far end of the line the driver opens, played by a test as the
// radiosonde, so that one table of cases runs on both systems: on Linux
// the master of a pseudo-terminal, on Windows the second COM port of a
// null-modem pair (under Wine, two pseudo-terminals joined by
// tests/wine/null_modem.cpp).
#pragma once

#include "byte_sink.h"

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>

namespace PortTest {

class LinePeer {
public:
    virtual ~LinePeer() = default;

    // The path OpenComPort is given for the driver's end of the line.
    virtual std::string driverPath() const = 0;

    // Writes all of bytes towards the driver.
    virtual void send(const Bytes& bytes) = 0;

    // Whatever the driver sent within the time, stopping early once
    // `expected` bytes have come.
    virtual Bytes receive(std::size_t expected, std::chrono::milliseconds within) = 0;

    // Opens the driver's end as another program holding the port would,
    // and keeps it until releaseDriverEnd. Empty when that keeps everyone
    // else out; otherwise why it does not on this system.
    virtual std::string holdDriverEnd() = 0;
    virtual void releaseDriverEnd() = 0;
};

// Why no peer can be had here (on Windows: no null-modem pair named);
// empty when one can. The cases that need a peer are skipped with it.
std::string LinePeerUnavailable();

// A fresh line with nothing in flight; throws when none can be had.
std::unique_ptr<LinePeer> MakeLinePeer();

// A path at which this system has no port.
std::string MissingPortPath();

// The threads this process has now.
std::size_t ThreadCount();

}  // namespace PortTest
