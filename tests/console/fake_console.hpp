#pragma once
// A console for tests: input event records handed out as scripted, and a
// screen that records its cells and calls.
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "services/console/backend.hpp"

namespace consoletest {

struct Script {
  std::deque<console::InputRecord> pending;                 // readable now
  std::deque<std::vector<console::InputRecord>> later;      // one batch per wait
  std::vector<std::uint32_t> waits;                         // time-outs of the waits
  int queries = 0;                                          // has_pending calls
};
extern Script script;

struct ScreenRecord {
  int width = 80, height = 25;
  std::vector<std::string> rows;  // cell characters
  int cursor_x = -1, cursor_y = -1;
  int cells_written = 0;
  int scrolls = 0;
  // A change behind the service's back (a resized screen starts blank):
  // seen at once, or after the next wait that brings a batch of the script.
  std::optional<console::ScreenInfo> change_now, change_later;
};
extern ScreenRecord screen;

// Resets both, puts the screen's cursor at (x, y) and attaches the service.
void attach(int width, int height, int x = 0, int y = 0);

// Records.
console::InputRecord key_down(std::uint16_t vk, std::uint16_t scan, std::uint8_t ch = 0,
                              std::uint32_t state = 0);
console::InputRecord key_up(console::InputRecord down);
console::InputRecord event(console::EventKind kind);

// Queues a key as a console does: its key-down, then its key-up.
void press(const console::InputRecord& down);
// Queues each character as a key press (13 is Enter).
void type(const std::string& text);
// Cursor and editing keys.
enum class Key { home, left, right, end, up, f1 };
void press(Key k, std::uint32_t state = 0);

}  // namespace consoletest
