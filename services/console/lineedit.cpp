// The console line editor: the read function behind INPUT. It overwrites,
// never inserts, and echoes through WRITECHAR.
#include "services/console/console.hpp"

namespace console {
namespace {

// Room for the line in the 256-byte buffer, less 2 for the line end.
constexpr int MAX_LINE = 254;

struct Line {
  char* text;
  int pos = 0;  // edit position
  int len = 0;  // line length
};

void echo(char c) { WRITECHAR(static_cast<std::uint8_t>(c)); }

void backspace(Line& l) {
  if (l.len == 0 || l.pos != l.len) return;
  echo(8);
  echo(' ');
  echo(8);
  --l.len;
  --l.pos;
}

void to_end(Line& l) {
  for (; l.pos < l.len; ++l.pos) echo(l.text[l.pos]);
}

void extended_key(Line& l, std::uint8_t code) {
  switch (code) {
    case 0x47:  // Home
      for (; l.pos > 0; --l.pos) echo(8);
      break;
    case 0x4B:  // Left
      if (l.pos > 0) {
        --l.pos;
        echo(8);
      }
      break;
    case 0x4D:  // Right
      if (l.pos < l.len) echo(l.text[l.pos++]);
      break;
    case 0x4F:  // End
      to_end(l);
      break;
    default:
      break;
  }
}

}  // namespace

void READ_CONSOLE_LINE(runtime::TEXTREC& f) {
  Line l{f.buffer.data()};
  CURSORX = CONSOLEX + 1;
  CURSORY = CONSOLEY + 1;
  for (;;) {
    if (l.pos > l.len) l.len = l.pos;
    PLACE_CURSOR();
    const std::uint8_t c = READKEY();
    switch (c) {
      case 13:
        echo(13);
        echo(10);
        l.text[l.len] = 13;
        l.text[l.len + 1] = 10;
        f.bufpos = 0;
        f.bufend = static_cast<std::size_t>(l.len) + 2;
        PLACE_CURSOR();
        return;
      case 8:
      case 19:  // Ctrl+S
        backspace(l);
        break;
      case 25:  // Ctrl+Y
      case 27:  // Esc
        to_end(l);
        while (l.len > 0) backspace(l);
        break;
      case 26:  // Ctrl+Z: end of input only when CHECKEOF is set
        break;
      case 0:
        extended_key(l, READKEY());
        break;
      default:
        if (l.pos < MAX_LINE) {
          l.text[l.pos++] = static_cast<char>(c);
          echo(static_cast<char>(c));
        }
        break;
    }
  }
}

}  // namespace console
