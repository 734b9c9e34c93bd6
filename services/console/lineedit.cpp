// The console line editor: the read function behind INPUT. It overwrites,
// never inserts. Every character of the line takes one cell, control
// characters included (they are not acted on), and moving back from the
// window's left edge goes up a row, so a line that wraps stays edited in
// place. When the screen changes under it (resized, or written by others
// while the process was stopped) the line is drawn again where the cursor
// now is.
#include "services/console/backend.hpp"
#include "services/console/console.hpp"
#include "services/console/keycodes.hpp"

namespace console {
namespace {

// Room for the line in the 256-byte buffer, less 2 for the line end.
constexpr int kMaxLine = 254;

struct Line {
  char* text;
  int pos = 0;  // edit position
  int len = 0;  // line length
};

void show(char c) { write_cell_char(static_cast<std::uint8_t>(c)); }

void BACKSPACE(Line& l) {
  if (l.len == 0 || l.pos != l.len) return;
  cursor_back();
  screen->write_cell(cursor_x - 1, cursor_y - 1, ' ', TEXTATTR);
  --l.len;
  --l.pos;
}

void to_end(Line& l) {
  for (; l.pos < l.len; ++l.pos) show(l.text[l.pos]);
}

void extended_key(Line& l, std::uint8_t code) {
  switch (code) {
    case ext::kHome:
      for (; l.pos > 0; --l.pos) cursor_back();
      break;
    case ext::kLeft:
      if (l.pos > 0) {
        --l.pos;
        cursor_back();
      }
      break;
    case ext::kRight:
      if (l.pos < l.len) show(l.text[l.pos++]);
      break;
    case ext::kEnd:
      to_end(l);
      break;
    default:
      break;
  }
}

// The line again from the cursor, on a row of its own unless the cursor
// is at the left edge, with the cursor back at the edit position.
void redraw(const Line& l) {
  if (l.len == 0) return;
  if (cursor_x != text_window.left) {
    WRITECHAR(13);
    WRITECHAR(10);
  }
  for (int i = 0; i < l.len; ++i) show(l.text[i]);
  for (int i = l.len; i > l.pos; --i) cursor_back();
}

// READKEY, taking in changes of the screen while it waits.
std::uint8_t read_key(const Line& l) {
  for (;;) {
    events->wait(1000);
    if (sync_screen()) {
      redraw(l);
      place_cursor();
    }
    if (KEYPRESSED()) return take_key();
  }
}

}  // namespace

void read_console_line(runtime::TEXTREC& f) {
  Line l{f.buffer.data()};
  sync_screen();
  cursor_x = console_x + 1;
  cursor_y = console_y + 1;
  for (;;) {
    if (l.pos > l.len) l.len = l.pos;
    place_cursor();
    const std::uint8_t c = read_key(l);
    switch (c) {
      case 13:
        WRITECHAR(13);
        WRITECHAR(10);
        l.text[l.len] = 13;
        l.text[l.len + 1] = 10;
        f.bufpos = 0;
        f.bufend = static_cast<std::size_t>(l.len) + 2;
        place_cursor();
        return;
      case 8:
      case 19:  // Ctrl+S
        BACKSPACE(l);
        break;
      case 25:  // Ctrl+Y
      case 27:  // Esc
        to_end(l);
        while (l.len > 0) BACKSPACE(l);
        break;
      case 26:  // Ctrl+Z: these programs never take it for the end of input
        break;
      case 0:
        extended_key(l, READKEY());
        break;
      default:
        if (l.pos < kMaxLine) {
          l.text[l.pos++] = static_cast<char>(c);
          show(static_cast<char>(c));
        }
        break;
    }
  }
}

}  // namespace console
