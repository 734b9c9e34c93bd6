// The key that types a character on a US keyboard.
#include "services/console/char_key.hpp"

#include "services/console/keycodes.hpp"

namespace console {

InputRecord key_for_char(std::uint8_t c) {
  struct Plain {
    char lower, upper;
    std::uint16_t vk;
    std::uint8_t scan;
  };
  static constexpr Plain kKeys[] = {
      {'`', '~', vk::kGrave, scan::kGrave},     {'1', '!', '1', scan::k1},
      {'2', '@', '2', scan::k2},                {'3', '#', '3', scan::k3},
      {'4', '$', '4', scan::k4},                {'5', '%', '5', scan::k5},
      {'6', '^', '6', scan::k6},                {'7', '&', '7', scan::k7},
      {'8', '*', '8', scan::k8},                {'9', '(', '9', scan::k9},
      {'0', ')', '0', scan::k0},                {'-', '_', vk::kMinus, scan::kMinus},
      {'=', '+', vk::kEquals, scan::kEquals},   {'[', '{', vk::kLeftBracket, scan::kLeftBracket},
      {']', '}', vk::kRightBracket, scan::kRightBracket},
      {'\\', '|', vk::kBackslash, scan::kBackslash},
      {';', ':', vk::kSemicolon, scan::kSemicolon}, {'\'', '"', vk::kQuote, scan::kQuote},
      {',', '<', vk::kComma, scan::kComma},     {'.', '>', vk::kPeriod, scan::kPeriod},
      {'/', '?', vk::kSlash, scan::kSlash},     {' ', ' ', vk::kSpace, scan::kSpace},
  };

  static constexpr char kRows[] = "qwertyuiop\0asdfghjkl\0zxcvbnm";
  static constexpr std::uint8_t kRowScan[] = {scan::kQ, scan::kA, scan::kZ};

  InputRecord r;
  r.kind = EventKind::key;
  r.key_down = true;
  r.character = c;
  const auto set = [&r](std::uint16_t virtual_key, std::uint8_t scan_code, std::uint32_t state) {
    r.virtual_key = virtual_key;
    r.scan_code = scan_code;
    r.control_state = state;
  };
  const auto letter = [&r](char lower, std::uint32_t state) {
    int row = 0, col = 0;
    for (const char* q = kRows; *q != lower; ++q) {
      if (*q == '\0') {
        ++row;
        col = 0;
      } else {
        ++col;
      }
    }
    r.virtual_key = static_cast<std::uint16_t>(lower - 'a' + 'A');
    r.scan_code = static_cast<std::uint16_t>(kRowScan[row] + col);
    r.control_state = state;
  };

  switch (c) {
    case 8: case 127: r.character = 8; set(vk::kBack, scan::kBackspace, 0); return r;
    case 9: set(vk::kTab, scan::kTab, 0); return r;
    case 13: set(vk::kReturn, scan::kEnter, 0); return r;
    case 27: set(vk::kEscape, scan::kEscape, 0); return r;
    case 0: set('2', scan::k2, kLeftCtrlPressed); return r;
    case 28: set(vk::kBackslash, scan::kBackslash, kLeftCtrlPressed); return r;
    case 29: set(vk::kRightBracket, scan::kRightBracket, kLeftCtrlPressed); return r;
    case 30: set('6', scan::k6, kLeftCtrlPressed | kShiftPressed); return r;
    case 31: set(vk::kMinus, scan::kMinus, kLeftCtrlPressed | kShiftPressed); return r;
    default: break;
  }
  if (c < 27) {  // Ctrl+letter, Ctrl+J (10) included
    letter(static_cast<char>('a' + c - 1), kLeftCtrlPressed);
    return r;
  }
  if (c >= 'a' && c <= 'z') {
    letter(static_cast<char>(c), 0);
  } else if (c >= 'A' && c <= 'Z') {
    letter(static_cast<char>(c - 'A' + 'a'), kShiftPressed);
  } else {
    for (const Plain& k : kKeys) {
      if (c == static_cast<std::uint8_t>(k.lower) || c == static_cast<std::uint8_t>(k.upper)) {
        r.virtual_key = k.vk;
        r.scan_code = k.scan;
        r.control_state = (c == static_cast<std::uint8_t>(k.upper) && k.lower != k.upper) ? kShiftPressed : 0;
        break;
      }
    }
  }
  return r;  // characters above 127 have no key of their own
}

}  // namespace console
