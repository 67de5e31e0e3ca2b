// The reason lines under a failed open step that do not come from an errno
// value: a Windows error code, a name that is no COM port, settings the
// port would not keep. The same fixed Russian texts as OpenFailureReason,
// whatever the system's language, and none of them needs the system it
// describes, so every one is checked on any machine.
#pragma once

#include <cstdint>
#include <string>

namespace PortUnit::detail {

// Why a Windows call on a port failed (CreateFileW, the comm calls), in the
// texts OpenFailureReason gives for the errno value of the same meaning,
// tagged with the code's Windows name: "Такого порта нет
// (ERROR_FILE_NOT_FOUND)." Access denied and a sharing violation are a port
// another program holds: Windows opens a COM port for one program at a
// time. A code the table does not know reads "Системная ошибка: N.". Empty
// for 0.
std::string WindowsErrorReason(std::uint32_t code);

// The name given for a Windows port is none of COM1 to COM255.
std::string NotAComPortNameReason();

// The port took the request but kept another rate, or the rate is 0.
std::string RefusedBaudReason(std::uint32_t baud);

// The port cannot take, or did not keep, this framing (the codes of
// OpenComPort: parity 0 to 4, 5 to 8 data bits, stop bits 0 to 2).
std::string RefusedFramingReason(std::uint8_t parity, std::uint8_t dataBits, std::uint8_t stopBits);

// The port took settings without complaint and then did not keep them.
std::string NotKeptReason();

// Why the reader thread did not start, from the errno the thread library
// gives; EAGAIN there is the system's limit of threads, not a busy port.
std::string ThreadStartReason(int systemError);

}  // namespace PortUnit::detail
