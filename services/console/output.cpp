// Console output at the editor cursor: WRITECHAR and the OUTPUT file.
#include "services/console/backend.hpp"
#include "services/console/console.hpp"

namespace console {

void WRITECHAR(std::uint8_t c) {
  switch (c) {
    case 7:
      return;
    case 8:
      if (CURSORX > WINDOW.left) --CURSORX;
      break;
    case 10:
      ++CURSORY;
      break;
    case 13:
      CURSORX = WINDOW.left;
      break;
    default:
      SCREEN->write_cell(CURSORX - 1, CURSORY - 1, c, TEXTATTR);
      ++CURSORX;
      break;
  }
  if (CURSORX > WINDOW.right) {
    CURSORX = WINDOW.left;
    ++CURSORY;
  }
  while (CURSORY > WINDOW.bottom) {
    SCREEN->scroll_up(WINDOW.left - 1, WINDOW.top - 1, WINDOW.right - 1, WINDOW.bottom - 1,
                      TEXTATTR);
    --CURSORY;
  }
}

void PLACE_CURSOR() {
  CONSOLEX = CURSORX - 1;
  CONSOLEY = CURSORY - 1;
  SCREEN->set_cursor(CONSOLEX, CONSOLEY);
}

void WRITE_CONSOLE(runtime::TEXTREC& f) {
  if (f.bufpos == 0) return;
  CURSORX = CONSOLEX + 1;
  CURSORY = CONSOLEY + 1;
  for (std::size_t i = 0; i < f.bufpos; ++i) WRITECHAR(static_cast<std::uint8_t>(f.buffer[i]));
  f.bufpos = 0;
  PLACE_CURSOR();
}

}  // namespace console
