// What both serial drivers share: the error texts of the open steps, the
// message target and the count of byte messages in flight. The drivers
// differ only in how they read, write and wake their reader.
#pragma once

#include "PortUnit/PortUnit.h"
#include "PortUnit/byte_flow.h"

#include <cstddef>
#include <cstdint>

namespace PortUnit::detail {

// One text per failed open step, shown to the operator as it is, with the
// reason of open_failure.h on a line of its own. The mask and queue steps
// exist on Windows only.
inline constexpr const char* TextNotOpened = "Ошибка: порт стенда не открыт";
inline constexpr const char* TextMask = "Ошибка установки маски порта";
inline constexpr const char* TextQueues = "Ошибка установки буфера приема-передачи";
inline constexpr const char* TextNotPurged = "Ошибка: порт не сброшен";
inline constexpr const char* TextNoState = "Ошибка - DCB не получен";
inline constexpr const char* TextLineSettings = "Ошибка установки параметров порта";
inline constexpr const char* TextNoTimeouts = "Ошибка получения таймаутов порта";
inline constexpr const char* TextTimeouts = "Ошибка установки таймаутов порта";
// Past the steps: the port is set up, the thread that reads it did not
// start.
inline constexpr const char* TextReaderNotStarted = "Ошибка: чтение порта не запущено";

// Byte messages posted and not yet taken, whichever driver posts them.
extern ByteFlow Flow;

// Reader thread: posts each byte as a message of its own to the target,
// counting them first. With no target nothing is posted or counted.
void PostBytes(const std::uint8_t* bytes, std::size_t count);

// Wakes a reader held back at the bound; each driver defines it with its
// own wake-up (an eventfd, an event object).
void SignalRoom();

}  // namespace PortUnit::detail
