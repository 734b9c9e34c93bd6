#include "tests/console/fake_console.hpp"

#include <stdexcept>

#include "services/console/console.hpp"
#include "services/console/keycodes.hpp"

namespace consoletest {

using console::InputRecord;

Script script;
ScreenRecord screen;

namespace {

bool has_pending() {
  ++script.queries;
  return !script.pending.empty();
}

bool read(InputRecord& r) {
  if (script.pending.empty()) return false;
  r = script.pending.front();
  script.pending.pop_front();
  return true;
}

// Time passes: the next batch of the script arrives.
void wait(std::uint32_t ms) {
  script.waits.push_back(ms);
  if (script.waits.size() > 10000) throw std::runtime_error("script exhausted");
  if (!script.pending.empty() || script.later.empty()) return;
  if (screen.change_later) {
    screen.change_now = screen.change_later;
    screen.change_later.reset();
  }
  for (const InputRecord& r : script.later.front()) script.pending.push_back(r);
  script.later.pop_front();
}

bool info(console::ScreenInfo& i) {
  i.width = screen.width;
  i.height = screen.height;
  i.cursor_x = screen.cursor_x;
  i.cursor_y = screen.cursor_y;
  i.attribute = 0x1E;
  return true;
}

void set_cursor(int x, int y) {
  screen.cursor_x = x;
  screen.cursor_y = y;
}

void write_cell(int x, int y, std::uint8_t ch, std::uint16_t attribute) {
  if (x < 0 || y < 0 || x >= screen.width || y >= screen.height || attribute != 0x1E)
    throw std::runtime_error("cell written outside the screen or in another attribute");
  screen.rows[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)] = static_cast<char>(ch);
  ++screen.cells_written;
}

void scroll_up(int left, int top, int right, int bottom, std::uint16_t) {
  if (left != 0 || top != 0 || right != screen.width - 1 || bottom != screen.height - 1)
    throw std::runtime_error("scrolled another rectangle than the screen");
  screen.rows.erase(screen.rows.begin());
  screen.rows.emplace_back(static_cast<std::size_t>(screen.width), ' ');
  ++screen.scrolls;
}

bool changed(console::ScreenInfo& i) {
  if (!screen.change_now) return false;
  const console::ScreenInfo c = *screen.change_now;
  screen.change_now.reset();
  if (c.width != screen.width || c.height != screen.height) {
    screen.width = c.width;
    screen.height = c.height;
    screen.rows.assign(static_cast<std::size_t>(c.height), std::string(static_cast<std::size_t>(c.width), ' '));
  }
  i = c;
  i.attribute = 0x1E;
  return true;
}

constexpr console::EventSource kEvents{has_pending, read, wait};
constexpr console::Screen kScreen{info, set_cursor, write_cell, scroll_up, changed};

}  // namespace

void attach(int width, int height, int x, int y) {
  script = Script{};
  screen = ScreenRecord{};
  screen.width = width;
  screen.height = height;
  screen.rows.assign(static_cast<std::size_t>(height), std::string(static_cast<std::size_t>(width), ' '));
  screen.cursor_x = x;
  screen.cursor_y = y;
  console::SCANCODE = 0;
  console::SPECIALKEY = false;
  console::attach(kEvents, kScreen);
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
  script.pending.push_back(down);
  script.pending.push_back(key_up(down));
}

void type(const std::string& text) {
  for (char c : text) {
    const auto ch = static_cast<std::uint8_t>(c);
    if (ch == 13) {
      press(key_down(console::vk::kReturn, console::scan::kEnter, 13));
    } else if (ch >= 'a' && ch <= 'z') {
      // The scan code does not matter for a character key.
      press(key_down(static_cast<std::uint16_t>(ch - 'a' + 'A'), console::scan::kA, ch));
    } else {
      press(key_down(0, 0, ch));
    }
  }
}

void press(Key k, std::uint32_t state) {
  namespace vk = console::vk;
  namespace scan = console::scan;
  const std::uint32_t grey = state | console::kEnhancedKey;
  switch (k) {
    case Key::home: press(key_down(vk::kHome, scan::kHome, 0, grey)); break;
    case Key::left: press(key_down(vk::kLeft, scan::kLeft, 0, grey)); break;
    case Key::right: press(key_down(vk::kRight, scan::kRight, 0, grey)); break;
    case Key::end: press(key_down(vk::kEnd, scan::kEnd, 0, grey)); break;
    case Key::up: press(key_down(vk::kUp, scan::kUp, 0, grey)); break;
    case Key::f1: press(key_down(vk::kF1, scan::kF1, 0, state)); break;
  }
}

}  // namespace consoletest
