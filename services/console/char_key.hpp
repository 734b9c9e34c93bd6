#pragma once
// The key that types a character on a US keyboard: what the terminal
// decoder makes of a plain character and what a byte of input that is no
// terminal stands for.
#include <cstdint>

#include "services/console/backend.hpp"

namespace console {

// The key-down record of character `c`: virtual key, scan code and control
// state (Shift for capitals, Ctrl for control characters); 127 is
// Backspace like 8. Characters above 127 have no key of their own.
InputRecord key_for_char(std::uint8_t c);

}  // namespace console
