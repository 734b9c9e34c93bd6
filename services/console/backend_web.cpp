// The console in a browser: the page's terminal emulator (web/page.js).
//
// Its key bytes, the terminal's own sequences, come in whenever the program
// yields to the browser and are decoded as a terminal's are (keydecode.hpp).
// The program runs on the page's thread, so has_pending, which the plotting
// loop calls after every point, yields about once a frame: the page stays
// responsive and the figure shows as it grows. The echo goes out as cursor
// positioning sequences; the cursor's place and the terminal's size are
// asked of the terminal itself.
#include <emscripten.h>

#include <cstdio>

#include "services/console/backend.hpp"
#include "services/console/keydecode.hpp"
#include "services/runtime/browser_web.hpp"
#include "services/runtime/platform.hpp"

extern "C" {
int grain_take_input(unsigned char* buffer, int room);
// Columns, rows, cursor column and row (0-based), and 1 when the size
// changed since last asked.
void grain_terminal_info(int* info);
}

namespace console::backend {
namespace {

// Calls of has_pending between looks at the clock, and how long the program
// runs between yields (a frame, less the browser's own work).
constexpr unsigned kCallsPerLook = 1024;
constexpr double kSliceMs = 12.0;

struct Keys {
  keydecode::Decoder decoder;
  static constexpr unsigned kCapacity = 16;
  InputRecord records[kCapacity];
  unsigned head = 0, count = 0;
  unsigned calls = 0;
  double slice_start = 0;
};

Keys K;

void decode_input() {
  const std::uint32_t now = runtime::platform::tick_count_ms();
  unsigned char bytes[256];
  const int room = static_cast<int>(keydecode::room(K.decoder));
  if (room > 0) {
    const int n = grain_take_input(bytes, room < 256 ? room : 256);
    if (n > 0) keydecode::push(K.decoder, bytes, static_cast<std::size_t>(n), now);
  }
  keydecode::Item item;
  while (K.count + 3 <= Keys::kCapacity && keydecode::next(K.decoder, now, item)) {
    InputRecord out[3];
    const int n = keydecode::make_records(item, out);
    for (int i = 0; i < n; ++i) K.records[(K.head + K.count++) % Keys::kCapacity] = out[i];
  }
}

void yield(std::uint32_t ms) {
  runtime::web::yield_to_browser(ms);
  K.slice_start = emscripten_get_now();
  decode_input();
}

bool has_pending() {
  if (K.count > 0) return true;
  if (++K.calls < kCallsPerLook) return false;
  K.calls = 0;
  if (emscripten_get_now() - K.slice_start >= kSliceMs) yield(0);
  else if (K.decoder.size > 0) decode_input();  // a lone Esc decided by time
  return K.count > 0;
}

bool read(InputRecord& record) {
  if (K.count == 0) return false;
  record = K.records[K.head];
  K.head = (K.head + 1) % Keys::kCapacity;
  --K.count;
  return true;
}

void wait(std::uint32_t ms) {
  if (K.count > 0) return;
  const std::uint32_t now = runtime::platform::tick_count_ms();
  if (K.decoder.size > 0) {
    const std::uint32_t decided = keydecode::ms_until_decided(K.decoder, now);
    if (decided < ms) ms = decided;
  }
  yield(ms);
}

constexpr EventSource kKeys{has_pending, read, wait};

struct TerminalScreen {
  bool cursor_known = false;
  int width = 80, height = 25;
  int cursor_x = 0, cursor_y = 0;
  int at_x = -1, at_y = -1;  // the terminal's cursor as far as known
  char out[512];
  unsigned out_len = 0;
};

TerminalScreen S;

void flush_screen() {
  if (S.out_len > 0) runtime::platform::write(1, S.out, S.out_len);
  S.out_len = 0;
}

void append(const char* data, unsigned n) {
  if (S.out_len + n > sizeof S.out) flush_screen();
  for (unsigned i = 0; i < n; ++i) S.out[S.out_len++] = data[i];
}

void move_to(int x, int y) {
  if (S.at_x == x && S.at_y == y) return;
  char seq[32];
  const int n = std::snprintf(seq, sizeof seq, "\x1b[%d;%dH", y + 1, x + 1);
  append(seq, static_cast<unsigned>(n));
  S.at_x = x;
  S.at_y = y;
}

bool info(ScreenInfo& i) {
  i.width = S.width;
  i.height = S.height;
  i.cursor_x = S.cursor_x;
  i.cursor_y = S.cursor_y;
  i.attribute = 0x07;
  return true;
}

void set_cursor(int x, int y) {
  move_to(x, y);
  flush_screen();
}

// Latin-1 cells go out as UTF-8; control characters show as '?', so that
// echoed input never acts as a terminal command.
void write_cell(int x, int y, std::uint8_t ch, std::uint16_t) {
  move_to(x, y);
  if (ch < 0x20 || ch == 0x7F || (ch >= 0x80 && ch < 0xA0)) {
    append("?", 1);
  } else if (ch < 0x80) {
    const char c = static_cast<char>(ch);
    append(&c, 1);
  } else {
    const char utf8[2] = {static_cast<char>(0xC0 | (ch >> 6)), static_cast<char>(0x80 | (ch & 0x3F))};
    append(utf8, 2);
  }
  // In the last column the terminal waits to wrap: its cursor is unknown.
  S.at_x = x + 1 < S.width ? x + 1 : -1;
}

void scroll_up(int, int, int, int bottom, std::uint16_t) {
  move_to(0, bottom);
  append("\n", 1);
  S.at_x = S.at_y = -1;
  flush_screen();
}

// Before the first echo, and after the terminal was resized: its size and
// cursor as they are now (standard output may have written there).
bool changed(ScreenInfo& i) {
  flush_screen();
  int t[5];
  grain_terminal_info(t);
  if (S.cursor_known && t[4] == 0) return false;
  S.cursor_known = true;
  S.width = t[0] > 0 ? t[0] : 80;
  S.height = t[1] > 0 ? t[1] : 25;
  S.cursor_x = t[2];
  S.cursor_y = t[3];
  S.at_x = S.at_y = -1;
  return info(i);
}

constexpr Screen kScreen{info, set_cursor, write_cell, scroll_up, changed};

}  // namespace

OpenResult open(Console& console) {
  K = Keys{};
  K.slice_start = emscripten_get_now();
  S = TerminalScreen{};
  int t[5];
  grain_terminal_info(t);
  S.width = t[0] > 0 ? t[0] : 80;
  S.height = t[1] > 0 ? t[1] : 25;
  S.cursor_y = S.height - 1;
  console.events = &kKeys;
  console.screen = &kScreen;
  return OpenResult::ok;
}

void close() { flush_screen(); }

}  // namespace console::backend
