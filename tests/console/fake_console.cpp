#include "tests/console/fake_console.hpp"

#include <stdexcept>

#include "services/console/console.hpp"

namespace consoletest {

using console::InputRecord;

Script SCRIPT;
ScreenRecord SCREEN;

namespace {

bool has_pending() {
  ++SCRIPT.queries;
  return !SCRIPT.pending.empty();
}

bool read(InputRecord& r) {
  if (SCRIPT.pending.empty()) return false;
  r = SCRIPT.pending.front();
  SCRIPT.pending.pop_front();
  return true;
}

// Time passes: the next batch of the script arrives.
void wait(std::uint32_t ms) {
  SCRIPT.waits.push_back(ms);
  if (SCRIPT.waits.size() > 10000) throw std::runtime_error("script exhausted");
  if (!SCRIPT.pending.empty() || SCRIPT.later.empty()) return;
  if (SCREEN.change_later) {
    SCREEN.change_now = SCREEN.change_later;
    SCREEN.change_later.reset();
  }
  for (const InputRecord& r : SCRIPT.later.front()) SCRIPT.pending.push_back(r);
  SCRIPT.later.pop_front();
}

bool info(console::ScreenInfo& i) {
  i.width = SCREEN.width;
  i.height = SCREEN.height;
  i.cursor_x = SCREEN.cursor_x;
  i.cursor_y = SCREEN.cursor_y;
  i.attribute = 0x1E;
  return true;
}

void set_cursor(int x, int y) {
  SCREEN.cursor_x = x;
  SCREEN.cursor_y = y;
}

void write_cell(int x, int y, std::uint8_t ch, std::uint16_t attribute) {
  if (x < 0 || y < 0 || x >= SCREEN.width || y >= SCREEN.height || attribute != 0x1E)
    throw std::runtime_error("cell written outside the screen or in another attribute");
  SCREEN.rows[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)] = static_cast<char>(ch);
  ++SCREEN.cells_written;
}

void scroll_up(int left, int top, int right, int bottom, std::uint16_t) {
  if (left != 0 || top != 0 || right != SCREEN.width - 1 || bottom != SCREEN.height - 1)
    throw std::runtime_error("scrolled another rectangle than the screen");
  SCREEN.rows.erase(SCREEN.rows.begin());
  SCREEN.rows.emplace_back(static_cast<std::size_t>(SCREEN.width), ' ');
  ++SCREEN.scrolls;
}

bool changed(console::ScreenInfo& i) {
  if (!SCREEN.change_now) return false;
  const console::ScreenInfo c = *SCREEN.change_now;
  SCREEN.change_now.reset();
  if (c.width != SCREEN.width || c.height != SCREEN.height) {
    SCREEN.width = c.width;
    SCREEN.height = c.height;
    SCREEN.rows.assign(static_cast<std::size_t>(c.height), std::string(static_cast<std::size_t>(c.width), ' '));
  }
  i = c;
  i.attribute = 0x1E;
  return true;
}

constexpr console::EventSource EVENTS{has_pending, read, wait};
constexpr console::Screen SCREEN_IF{info, set_cursor, write_cell, scroll_up, changed};

}  // namespace

void attach(int width, int height, int x, int y) {
  SCRIPT = Script{};
  SCREEN = ScreenRecord{};
  SCREEN.width = width;
  SCREEN.height = height;
  SCREEN.rows.assign(static_cast<std::size_t>(height), std::string(static_cast<std::size_t>(width), ' '));
  SCREEN.cursor_x = x;
  SCREEN.cursor_y = y;
  console::SCANCODE = 0;
  console::SPECIALKEY = false;
  console::ATTACH(EVENTS, SCREEN_IF);
}

InputRecord key_down(std::uint16_t vk, std::uint16_t scan, std::uint8_t ch, std::uint32_t state) {
  InputRecord r;
  r.kind = console::EventKind::key;
  r.key_down = true;
  r.virtual_key = vk;
  r.scan_code = scan;
  r.character = ch;
  r.control_state = state;
  return r;
}

InputRecord key_up(InputRecord down) {
  down.key_down = false;
  return down;
}

InputRecord event(console::EventKind kind) {
  InputRecord r;
  r.kind = kind;
  return r;
}

void press(const InputRecord& down) {
  SCRIPT.pending.push_back(down);
  SCRIPT.pending.push_back(key_up(down));
}

void type(const std::string& text) {
  for (char c : text) {
    const auto ch = static_cast<std::uint8_t>(c);
    if (ch == 13) {
      press(key_down(0x0D, 0x1C, 13));
    } else if (ch >= 'a' && ch <= 'z') {
      press(key_down(static_cast<std::uint16_t>(ch - 'a' + 'A'), 0x1E, ch));
    } else {
      press(key_down(0, 0, ch));
    }
  }
}

void press(Key k, std::uint32_t state) {
  using console::CS_ENHANCED;
  switch (k) {
    case Key::home: press(key_down(0x24, 0x47, 0, state | CS_ENHANCED)); break;
    case Key::left: press(key_down(0x25, 0x4B, 0, state | CS_ENHANCED)); break;
    case Key::right: press(key_down(0x27, 0x4D, 0, state | CS_ENHANCED)); break;
    case Key::end: press(key_down(0x23, 0x4F, 0, state | CS_ENHANCED)); break;
    case Key::up: press(key_down(0x26, 0x48, 0, state | CS_ENHANCED)); break;
    case Key::f1: press(key_down(0x70, 0x3B, 0, state)); break;
  }
}

}  // namespace consoletest
