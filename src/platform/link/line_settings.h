#pragma once

#include <termios.h>

#include <cstdint>

namespace qv {

// Sets speed, data bits (5 to 8), parity code (0 none, 1 odd, 2 even, 3 mark, 4 space) and
// one stop bit in a termios block. False, with the block partly changed, when a value is not
// supported. Parity is generated but not checked on input.
bool setLineSettings(termios& t, std::uint32_t baudRate, std::uint8_t dataBits,
                     std::uint8_t parity);

// Applies the block and reads it back (tcsetattr succeeds when any one change took). A
// pseudo-terminal always carries eight data bits without parity, so only speed and stop bits
// are compared there.
bool applyLineSettings(int fd, const termios& wanted);

}  // namespace qv
