// The serial port driver: lists the ports present, opens and configures one
// port, runs a reader thread that hands every received byte to the window as
// one byte message, writes single bytes, closes the port. One port at a
// time; module-level state; all calls but the reader's come from the
// user-interface thread.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace PortUnit {

// Raised by OpenComPort with the text of the step that failed, e.g.
// "Ошибка: порт стенда не открыт". Why the step failed (the system's
// reason, a name that is no port, settings the port would not keep) comes
// in reason(), a line of its own (OpenFailureReason); what() stays the
// step's text alone.
class PortError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
    PortError(const char* stepText, const std::string& reason) : std::runtime_error(stepText), reason_(reason)
    {}

    // Empty when the system gave no reason.
    const char* reason() const noexcept { return reason_.what(); }

private:
    // A runtime_error holds the text so that copying the exception cannot
    // throw.
    std::runtime_error reason_{""};
};

// Why the system refused to open a port, as one line for the operator, with
// the remedy for the usual causes: "permission denied" names the dialout
// group and the command that adds the user to it; "busy" says another
// program holds the port, naming it when holder is known. Fixed Russian
// texts, whatever the system's language; an errno value the table does not
// know reads "Системная ошибка: errno N.". Empty for 0. Takes errno values;
// the Windows driver's codes lead to the same texts through a table of
// their own (detail::WindowsErrorReason).
std::string OpenFailureReason(int systemError, const std::string& holder = {});

// Where the reader thread posts each received byte: called on the reader
// thread, once per byte, in arrival order, with (byte, 1). It must only
// queue the message for the user-interface thread (the window posts an
// event); it must not touch any other state.
using ByteMessagePoster = void (*)(void* context, std::uint32_t wparam, std::intptr_t lparam);
// A new target starts with no message counted in flight.
void SetByteMessageTarget(ByteMessagePoster poster, void* context);

// The target calls this once for every byte message it takes off its queue,
// on the thread that opens and closes the port (or inside the poster, on
// the reader's own thread, when a message is taken as it is posted). While
// ByteMessagesInFlightLimit posted messages are untaken the reader stops
// reading, leaving further bytes in the system's receive queue, and reads
// again once half of them have been taken; so a line faster than the window
// costs bounded memory instead of a queue that grows as long as the line
// keeps sending.
void ByteMessageTaken();
constexpr std::int64_t ByteMessagesInFlightLimit = 8192;
// Posted and not yet taken, for tests and measurements.
std::int64_t ByteMessagesInFlight();

// Serial ports present, in natural order, as the names the selector shows
// and OpenComPort takes (device paths on Linux, "COMn" on Windows).
std::vector<std::string> EnumComPorts();

// What the system knows of the adapter behind a port the selector shows,
// one fact a line (USB ids, maker, product, serial number, driver; on Linux
// the persistent /dev/serial/by-id name), read without opening the port;
// empty when nothing is known. Linux reads sysfs, Windows the device
// manager's records (SetupAPI).
std::string DescribeComPort(const std::string& name);

// The name the settings default to when they name no port
// ("/dev/ttyUSB0" on Linux, "COM1" on Windows).
std::string DefaultPortName();

// The path OpenComPort is given for a name the selector shows: the name as
// it stands on Linux; on Windows "\\.\" followed by the name, unless the
// name has that prefix already.
std::string PortPathFor(const std::string& selectorText);

// Opens path as it stands on Linux; on Windows the caller passes the
// "\\.\COMn" form (n from 1 to 255, any case; "COMn" alone is taken too),
// and any other name is refused before the system is asked. Parity 0 none,
// 1 odd, 2 even, 3 mark, 4 space; stop bits 0 one, 1 one and a half, 2 two.
// Throws PortError.
void OpenComPort(const std::string& path, std::uint32_t baudRate, std::uint8_t parity, std::uint8_t dataBits,
                 std::uint8_t stopBits);

// With true: stops and joins the reader, then closes the port. With false:
// nothing. No byte message is posted after it returns.
void CloseComPort(bool close);

// Writes one byte on channel 1; any other channel, or no open port: nothing.
void WriteComByte(std::int32_t channel, std::uint8_t byte);

// State queries for tests and the soak: is a port open, is a reader running.
bool IsPortOpen();
bool IsReaderRunning();

}  // namespace PortUnit
