// Key polling over the console's input event records.
#include "services/console/backend.hpp"
#include "services/console/console.hpp"

namespace console {
namespace {

bool is_lock_or_modifier(std::uint16_t key) {
  return key == vk::SHIFT || key == vk::CONTROL || key == vk::MENU || key == vk::CAPITAL ||
         key == vk::NUMLOCK || key == vk::SCROLL;
}

bool is_keypad_digit(std::uint16_t key) { return key >= vk::NUMPAD0 && key <= vk::NUMPAD9; }

// Buffers a key-down event; true when it is a keystroke.
bool buffer_key(const InputRecord& r) {
  if (r.character != 0 && (r.control_state & (CS_ENHANCED | CS_LEFT_ALT)) == 0) {
    SCANCODE = r.character;
    SPECIALKEY = false;
  } else if (r.character == 13 && r.virtual_key == vk::RETURN) {
    // Enter on the keypad, and Enter with the left Alt key held.
    SCANCODE = 13;
    SPECIALKEY = false;
  } else {
    SPECIALKEY = true;
    SCANCODE = REMAPSCANCODE(r.scan_code, r.control_state, r.virtual_key);
  }
  if (is_keypad_digit(r.virtual_key) && (r.control_state & CS_ALT) != 0) {
    // The digit belongs to an Alt-number entry.
    SCANCODE = 0;
    SPECIALKEY = false;
    return false;
  }
  if (SCANCODE == 0) {
    // A key without a code (no character, no scan code the table knows):
    // counting it would hand READKEY's caller the next key as its code.
    SPECIALKEY = false;
    return false;
  }
  return true;
}

}  // namespace

bool KEYPRESSED() {
  if (SCANCODE != 0) return true;
  InputRecord r;
  while (EVENTS->has_pending()) {
    if (!EVENTS->read(r)) break;
    if (r.kind != EventKind::key) continue;
    if (r.key_down) {
      if (is_lock_or_modifier(r.virtual_key)) continue;
      if (buffer_key(r)) return true;
    } else if (r.virtual_key == vk::MENU && DOINGNUMCHARS && DOINGNUMCODE > 0) {
      // Alt released after an Alt-number entry; SPECIALKEY was cleared by
      // the entry's digits.
      SCANCODE = DOINGNUMCODE;
      DOINGNUMCHARS = false;
      DOINGNUMCODE = 0;
      return true;
    }
  }
  return false;
}

std::uint8_t READKEY() {
  // The wait comes before every poll, also with a key already buffered.
  do {
    EVENTS->wait(1000);
  } while (!KEYPRESSED());
  return take_key();
}

std::uint8_t take_key() {
  if (SPECIALKEY) {
    SPECIALKEY = false;
    return 0;
  }
  std::uint8_t c = SCANCODE;
  SCANCODE = 0;
  return c;
}

std::uint8_t REMAPSCANCODE(std::uint16_t scan_code, std::uint32_t control_state,
                           std::uint16_t virtual_key) {
  const auto scan = static_cast<std::uint8_t>(scan_code);
  const auto plus = [scan](int n) { return static_cast<std::uint8_t>(scan + n); };
  const bool f1_to_f10 = scan >= 0x3B && scan <= 0x44;
  const bool f11_f12 = scan == 0x57 || scan == 0x58;

  if ((control_state & CS_ALT) != 0) {
    if (is_keypad_digit(virtual_key)) {
      DOINGNUMCHARS = true;
      DOINGNUMCODE = static_cast<std::uint8_t>(DOINGNUMCODE * 10 + (virtual_key - vk::NUMPAD0));
    }
    if (scan >= 0x02 && scan <= 0x0D) return plus(0x76);
    if (scan == 0x1C) return 0xA6;
    if (scan == 0x35) return 0xA4;
    if (f1_to_f10) return plus(0x2D);
    if ((scan >= 0x47 && scan <= 0x49) || scan == 0x4B || scan == 0x4D ||
        (scan >= 0x4F && scan <= 0x53))
      return plus(0x50);
    if (f11_f12) return plus(0x34);
    return scan;
  }
  if ((control_state & CS_CTRL) != 0) {
    static constexpr std::uint8_t CTRL_EDIT[] = {0x77, 0x8D, 0x84, 0x8E, 0x73, 0x8F, 0x74,
                                                 0x4E, 0x75, 0x91, 0x76, 0x92, 0x93};
    if (scan == 0x0F) return 0x94;
    if (scan == 0x35) return 0x95;
    if (scan == 0x37) return 0x96;
    if (f1_to_f10) return plus(0x23);
    if (scan >= 0x47 && scan <= 0x53) return CTRL_EDIT[scan - 0x47];
    if (f11_f12) return plus(0x32);
    return scan;
  }
  if ((control_state & CS_SHIFT) != 0) {
    if (f1_to_f10) return plus(0x19);
    if (f11_f12) return plus(0x30);
    return scan;
  }
  if (f11_f12) return plus(0x2E);
  return scan;
}

}  // namespace console
