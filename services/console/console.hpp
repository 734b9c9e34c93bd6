#pragma once
// Console service: keyboard polling, READKEY, and the line editor that
// serves INPUT. Main thread only. The state is defined in state.cpp.
#include <cstdint>

#include "services/runtime/textfile.hpp"
#include "services/runtime/units.hpp"

namespace console {

// unit.cpp. Start-up binds INPUT to the line editor and OUTPUT to direct
// console writes; finalisation gives the terminal back as it was.
extern const runtime::Unit kConsoleUnit;

// Key state.
extern std::uint8_t SCANCODE;    // one-key buffer, 0 = empty
extern bool SPECIALKEY;          // buffered key is extended: READKEY gives 0 first
extern bool DOINGNUMCHARS;       // Alt-number entry in progress
extern std::uint8_t DOINGNUMCODE;

// keyboard.cpp.
// True when a keystroke is waiting; never blocks.
bool KEYPRESSED();
// Waits for a keystroke and takes it; an extended key gives 0, then its code.
std::uint8_t READKEY();
// Takes the keystroke KEYPRESSED has buffered, as READKEY does once one is.
std::uint8_t take_key();
// Code of an extended key for its scan code, control-key state and virtual key.
std::uint8_t REMAPSCANCODE(std::uint16_t scan_code, std::uint32_t control_state,
                           std::uint16_t virtual_key);

// Console output state. Positions of the editor cursor and the text window
// are 1-based screen columns and rows; the remembered console cursor is
// 0-based, as the screen takes it.
struct TextWindow {
  int left = 1, top = 1, right = 80, bottom = 25;
};
extern TextWindow text_window;       // the whole screen
extern int cursor_x, cursor_y;       // the editor cursor
extern int console_x, console_y;     // where this service last put the console cursor
extern std::uint16_t TEXTATTR;       // attribute of echoed characters

// output.cpp.
// Echoes one character at the editor cursor: 7 nothing, 8 left (not past
// the left edge), 10 down, 13 to the left edge, anything else one cell;
// then wraps and scrolls the window.
void WRITECHAR(std::uint8_t c);
// Puts the console cursor at the editor cursor and remembers it there.
void place_cursor();
// Writes `c` as one cell at the editor cursor whatever its code, then wraps
// and scrolls as WRITECHAR does.
void write_cell_char(std::uint8_t c);
// Moves the editor cursor one cell back, to the end of the row above at
// the window's left edge (not past its top-left corner).
void cursor_back();
// Takes in a change of the screen made behind the service's back: the
// text window becomes the screen's new size and the remembered cursor is
// where the screen's cursor now is. True when there was one.
bool sync_screen();
// The write function of OUTPUT: the buffer goes through WRITECHAR.
void write_console(runtime::TEXTREC& f);

// lineedit.cpp. The read function of INPUT: edits one line on the console
// and leaves it in the buffer followed by 13 10.
void read_console_line(runtime::TEXTREC& f);

}  // namespace console
