#pragma once
// Console service: keyboard polling, READKEY, and the line editor that
// serves INPUT. Main thread only.
#include <cstdint>

#include "services/runtime/units.hpp"

namespace console {

// Start-up: binds INPUT to the line editor and OUTPUT to direct console
// writes; finalisation gives the terminal back as it was.
extern const runtime::Unit CONSOLE_UNIT;

// Key state.
extern std::uint8_t SCANCODE;    // one-key buffer, 0 = empty
extern bool SPECIALKEY;          // buffered key is extended: READKEY gives 0 first
extern bool DOINGNUMCHARS;       // Alt-number entry in progress
extern std::uint8_t DOINGNUMCODE;

// True when a keystroke is waiting; never blocks.
bool KEYPRESSED();
// Waits for a keystroke and takes it; an extended key gives 0, then its code.
std::uint8_t READKEY();
// Code of an extended key for its scan code, control-key state and virtual key.
std::uint8_t REMAPSCANCODE(std::uint16_t scan_code, std::uint32_t control_state,
                           std::uint16_t virtual_key);

}  // namespace console
