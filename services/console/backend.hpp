#pragma once
// What the console service needs from a platform: a source of console input
// event records and a character-cell screen. The keyboard logic, the line
// editor and WRITECHAR are written once over these two; each platform turns
// its own input and output into them (backend_<platform>.cpp).
#include <cstdint>

#include "services/console/keycodes.hpp"

namespace console {

// Kinds of console input events.
enum class EventKind : std::uint8_t { key, mouse, window_size, menu, focus };

// One console input event, with what a console key event carries.
struct InputRecord {
  EventKind kind = EventKind::key;
  bool key_down = false;
  std::uint16_t virtual_key = 0;
  std::uint16_t scan_code = 0;
  std::uint8_t character = 0;  // 0 when the key gives none
  std::uint32_t control_state = 0;
};

// The console's input event queue.
struct EventSource {
  // True when a record can be read at once. Never blocks; this is the query
  // KEYPRESSED makes on every call with an empty key buffer.
  bool (*has_pending)();
  // Takes the next record; false when none is pending.
  bool (*read)(InputRecord& record);
  // Returns when a record may be pending, or after `ms` milliseconds.
  void (*wait)(std::uint32_t ms);
};

// Screen geometry and state at start-up; positions 0-based.
struct ScreenInfo {
  int width = 0;   // 0 = unknown (the service then takes 80)
  int height = 0;  // 0 = unknown (25)
  int cursor_x = 0;
  int cursor_y = 0;
  std::uint16_t attribute = 0x07;
};

// The console screen as character cells; positions 0-based.
struct Screen {
  bool (*info)(ScreenInfo& info);
  void (*set_cursor)(int x, int y);
  void (*write_cell)(int x, int y, std::uint8_t ch, std::uint16_t attribute);
  // Moves the rectangle's rows up by one; its bottom row becomes spaces.
  void (*scroll_up)(int left, int top, int right, int bottom, std::uint16_t attribute);
  // When the screen changed behind the service's back (resized, or written
  // by others while the process was stopped): fills `info` with its size
  // and cursor as they are now and returns true. Null: it never does.
  bool (*changed)(ScreenInfo& info);
};

// The console the service works on, bound by attach (state.cpp).
extern const EventSource* events;
extern const Screen* screen;

// unit.cpp: binds the service to a console and sets its state from the
// screen: the remembered cursor, TEXTATTR and the text window; clears the
// Alt-number entry; binds INPUT to the line editor and OUTPUT to WRITECHAR.
void attach(const EventSource& source, const Screen& cells);

// The platform's console, opened by the console unit at start-up;
// backend_<platform>.cpp.
namespace backend {

enum class OpenResult { ok, no_handle, no_info };

struct Console {
  const EventSource* events = nullptr;
  const Screen* screen = nullptr;
};

// Finds the console and makes it ready for key-by-key input.
OpenResult open(Console& console);
// Gives the console back as it was found. Safe to call more than once.
void close();

}  // namespace backend
}  // namespace console
