// Console output at the editor cursor: WRITECHAR and the OUTPUT file.
#include "services/console/backend.hpp"
#include "services/console/console.hpp"

namespace console {
namespace {

void wrap_and_scroll() {
  if (cursor_x > text_window.right) {
    cursor_x = text_window.left;
    ++cursor_y;
  }
  while (cursor_y > text_window.bottom) {
    const TextWindow& w = text_window;
    screen->scroll_up(w.left - 1, w.top - 1, w.right - 1, w.bottom - 1, TEXTATTR);
    --cursor_y;
  }
}

}  // namespace

void WRITECHAR(std::uint8_t c) {
  switch (c) {
    case 7:
      return;
    case 8:
      if (cursor_x > text_window.left) --cursor_x;
      break;
    case 10:
      ++cursor_y;
      break;
    case 13:
      cursor_x = text_window.left;
      break;
    default:
      write_cell_char(c);
      return;
  }
  wrap_and_scroll();
}

void write_cell_char(std::uint8_t c) {
  screen->write_cell(cursor_x - 1, cursor_y - 1, c, TEXTATTR);
  ++cursor_x;
  wrap_and_scroll();
}

void cursor_back() {
  if (cursor_x > text_window.left) {
    --cursor_x;
  } else if (cursor_y > text_window.top) {
    cursor_x = text_window.right;
    --cursor_y;
  }
}

void place_cursor() {
  console_x = cursor_x - 1;
  console_y = cursor_y - 1;
  screen->set_cursor(console_x, console_y);
}

bool sync_screen() {
  ScreenInfo info;
  if (screen == nullptr || screen->changed == nullptr || !screen->changed(info)) return false;
  if (info.width > 0) text_window.right = info.width;
  if (info.height > 0) text_window.bottom = info.height;
  const auto clamp = [](int v, int hi) { return v < 0 ? 0 : v > hi ? hi : v; };
  console_x = clamp(info.cursor_x, text_window.right - 1);
  console_y = clamp(info.cursor_y, text_window.bottom - 1);
  cursor_x = console_x + 1;
  cursor_y = console_y + 1;
  return true;
}

void write_console(runtime::TEXTREC& f) {
  if (f.bufpos == 0) return;
  sync_screen();
  cursor_x = console_x + 1;
  cursor_y = console_y + 1;
  for (std::size_t i = 0; i < f.bufpos; ++i) WRITECHAR(static_cast<std::uint8_t>(f.buffer[i]));
  f.bufpos = 0;
  place_cursor();
}

}  // namespace console
