// Key polling over the console's input event records.
#include "services/console/backend.hpp"
#include "services/console/console.hpp"
#include "services/console/keycodes.hpp"

namespace console {
namespace {

bool is_lock_or_modifier(std::uint16_t key) {
  return key == vk::kShift || key == vk::kControl || key == vk::kMenu || key == vk::kCapital ||
         key == vk::kNumLock || key == vk::kScroll;
}

bool is_keypad_digit(std::uint16_t key) { return key >= vk::kNumpad0 && key <= vk::kNumpad9; }

// Buffers a key-down event; true when it is a keystroke.
bool buffer_key(const InputRecord& r) {
  if (r.character != 0 && (r.control_state & (kEnhancedKey | kLeftAltPressed)) == 0) {
    SCANCODE = r.character;
    SPECIALKEY = false;
  } else if (r.character == 13 && r.virtual_key == vk::kReturn) {
    // Enter on the keypad, and Enter with the left Alt key held.
    SCANCODE = 13;
    SPECIALKEY = false;
  } else {
    SPECIALKEY = true;
    SCANCODE = REMAPSCANCODE(r.scan_code, r.control_state, r.virtual_key);
  }
  if (is_keypad_digit(r.virtual_key) && (r.control_state & kAltPressed) != 0) {
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
  while (events->has_pending()) {
    if (!events->read(r)) break;
    if (r.kind != EventKind::key) continue;
    if (r.key_down) {
      if (is_lock_or_modifier(r.virtual_key)) continue;
      if (buffer_key(r)) return true;
    } else if (r.virtual_key == vk::kMenu && DOINGNUMCHARS && DOINGNUMCODE > 0) {
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
    events->wait(1000);
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
  const auto code = static_cast<std::uint8_t>(scan_code);
  // The code of the key `code` in a range of keys whose first key is
  // `first_key` and whose first code is `first`.
  const auto in_range = [code](std::uint8_t first_key, std::uint8_t first) {
    return static_cast<std::uint8_t>(first + (code - first_key));
  };
  const bool f1_to_f10 = code >= scan::kF1 && code <= scan::kF10;
  const bool f11_f12 = code == scan::kF11 || code == scan::kF12;

  if ((control_state & kAltPressed) != 0) {
    if (is_keypad_digit(virtual_key)) {
      DOINGNUMCHARS = true;
      DOINGNUMCODE = static_cast<std::uint8_t>(DOINGNUMCODE * 10 + (virtual_key - vk::kNumpad0));
    }
    if (code >= scan::k1 && code <= scan::kEquals) return in_range(scan::k1, ext::kAlt1);
    if (code == scan::kEnter) return ext::kAltEnter;
    if (code == scan::kSlash) return ext::kAltKeypadSlash;
    if (f1_to_f10) return in_range(scan::kF1, ext::kAltF1);
    // The cursor and editing keys; keypad 5, - and + keep their codes.
    if ((code >= scan::kHome && code <= scan::kPageUp) || code == scan::kLeft ||
        code == scan::kRight || (code >= scan::kEnd && code <= scan::kDelete))
      return in_range(scan::kHome, ext::kAltHome);
    if (f11_f12) return in_range(scan::kF11, ext::kAltF11);
    return code;
  }
  if ((control_state & kCtrlPressed) != 0) {
    // From Home to Delete in scan-code order.
    static constexpr std::uint8_t kCtrlKeypad[] = {
        ext::kCtrlHome,  ext::kCtrlUp,       ext::kCtrlPageUp,   ext::kCtrlKeypadMinus,
        ext::kCtrlLeft,  ext::kCtrlKeypad5,  ext::kCtrlRight,    ext::kCtrlKeypadPlus,
        ext::kCtrlEnd,   ext::kCtrlDown,     ext::kCtrlPageDown, ext::kCtrlInsert,
        ext::kCtrlDelete};
    if (code == scan::kTab) return ext::kCtrlTab;
    if (code == scan::kSlash) return ext::kCtrlKeypadSlash;
    if (code == scan::kKeypadStar) return ext::kCtrlKeypadStar;
    if (f1_to_f10) return in_range(scan::kF1, ext::kCtrlF1);
    if (code >= scan::kHome && code <= scan::kDelete) return kCtrlKeypad[code - scan::kHome];
    if (f11_f12) return in_range(scan::kF11, ext::kCtrlF11);
    return code;
  }
  if ((control_state & kShiftPressed) != 0) {
    if (f1_to_f10) return in_range(scan::kF1, ext::kShiftF1);
    if (f11_f12) return in_range(scan::kF11, ext::kShiftF11);
    return code;
  }
  if (f11_f12) return in_range(scan::kF11, ext::kF11);
  return code;
}

}  // namespace console
