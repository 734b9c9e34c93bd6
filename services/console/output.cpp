// Console output at the editor cursor: WRITECHAR and the OUTPUT file.
#include "services/console/backend.hpp"
#include "services/console/console.hpp"

namespace console {
namespace {

void wrap_and_scroll() {
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

}  // namespace

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
      write_cell_char(c);
      return;
  }
  wrap_and_scroll();
}

void write_cell_char(std::uint8_t c) {
  SCREEN->write_cell(CURSORX - 1, CURSORY - 1, c, TEXTATTR);
  ++CURSORX;
  wrap_and_scroll();
}

void cursor_back() {
  if (CURSORX > WINDOW.left) {
    --CURSORX;
  } else if (CURSORY > WINDOW.top) {
    CURSORX = WINDOW.right;
    --CURSORY;
  }
}

void PLACE_CURSOR() {
  CONSOLEX = CURSORX - 1;
  CONSOLEY = CURSORY - 1;
  SCREEN->set_cursor(CONSOLEX, CONSOLEY);
}

bool sync_screen() {
  ScreenInfo info;
  if (SCREEN == nullptr || SCREEN->changed == nullptr || !SCREEN->changed(info)) return false;
  if (info.width > 0) WINDOW.right = info.width;
  if (info.height > 0) WINDOW.bottom = info.height;
  const auto clamp = [](int v, int hi) { return v < 0 ? 0 : v > hi ? hi : v; };
  CONSOLEX = clamp(info.cursor_x, WINDOW.right - 1);
  CONSOLEY = clamp(info.cursor_y, WINDOW.bottom - 1);
  CURSORX = CONSOLEX + 1;
  CURSORY = CONSOLEY + 1;
  return true;
}

void WRITE_CONSOLE(runtime::TEXTREC& f) {
  if (f.bufpos == 0) return;
  sync_screen();
  CURSORX = CONSOLEX + 1;
  CURSORY = CONSOLEY + 1;
  for (std::size_t i = 0; i < f.bufpos; ++i) WRITECHAR(static_cast<std::uint8_t>(f.buffer[i]));
  f.bufpos = 0;
  PLACE_CURSOR();
}

}  // namespace console
