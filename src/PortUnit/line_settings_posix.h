// The termios side of the line settings: raw binary mode and the framing
// codes that OpenComPort receives (parity 0 none, 1 odd, 2 even, 3 mark,
// 4 space; stop bits 0 one, 1 one and a half, 2 two; 5 to 8 data bits).
#pragma once

#include <termios.h>
#include <cstdint>

namespace PortUnit::detail {

// Raw binary mode: no echo, no line editing, no CR/LF translation and no
// XON/XOFF, so every byte value passes both ways unchanged; receiver on,
// modem-control lines ignored. Hardware flow control is left as the port
// had it.
void MakeRawLine(termios& line);

// Puts the framing codes into line; false for a code the line cannot take.
// Linux has no one-and-a-half stop bits: code 1 gives two, which a receiver
// expecting one and a half accepts.
bool ApplyFraming(termios& line, std::uint8_t parity, std::uint8_t dataBits, std::uint8_t stopBits);

// Whether the driver kept the framing that ApplyFraming put into wanted.
bool SameFraming(const termios& wanted, const termios& got);

}  // namespace PortUnit::detail
