// Terminal input bytes to console key records.
#include "services/console/keydecode.hpp"

#include <cstring>

#include "services/console/keycodes.hpp"

namespace console::keydecode {
namespace {

constexpr unsigned char kEsc = 0x1B;
// A CSI or SS3 with more parameter bytes than this is no key of ours.
constexpr std::size_t kMaxParams = 32;

struct KeyCode {
  std::uint16_t vk;
  std::uint8_t scan;
  bool enhanced;
};

// The grey cursor and editing keys, and keypad 5 without Num Lock.
constexpr KeyCode kUp{vk::kUp, scan::kUp, true}, kDown{vk::kDown, scan::kDown, true},
    kRight{vk::kRight, scan::kRight, true}, kLeft{vk::kLeft, scan::kLeft, true},
    kHome{vk::kHome, scan::kHome, true}, kEnd{vk::kEnd, scan::kEnd, true},
    kPageUp{vk::kPageUp, scan::kPageUp, true}, kPageDown{vk::kPageDown, scan::kPageDown, true},
    kInsert{vk::kInsert, scan::kInsert, true}, kDelete{vk::kDelete, scan::kDelete, true},
    kClear{vk::kClear, scan::kKeypad5, false};

KeyCode function_key(int n) {  // F1..F12
  const auto v = static_cast<std::uint16_t>(vk::kF1 + n - 1);
  if (n <= 10) return {v, static_cast<std::uint8_t>(scan::kF1 + n - 1), false};
  return {v, n == 11 ? scan::kF11 : scan::kF12, false};
}

InputRecord key(KeyCode k, std::uint32_t state = 0, std::uint8_t ch = 0) {
  InputRecord r;
  r.kind = EventKind::key;
  r.key_down = true;
  r.virtual_key = k.vk;
  r.scan_code = k.scan;
  r.character = ch;
  r.control_state = state | (k.enhanced ? kEnhancedKey : 0);
  return r;
}

// Modifier parameter of xterm-style sequences: 1 + (Shift 1, Alt 2, Ctrl 4, Meta 8).
std::uint32_t modifiers(long m) {
  if (m < 2) return 0;
  const long bits = m - 1;
  std::uint32_t s = 0;
  if (bits & 1) s |= kShiftPressed;
  if (bits & (2 | 8)) s |= kLeftAltPressed;
  if (bits & 4) s |= kLeftCtrlPressed;
  return s;
}

std::size_t set_key(Item& item, const InputRecord& r, std::size_t taken) {
  item = Item{};
  item.kind = Item::Kind::key;
  item.key = r;
  return taken;
}

std::size_t set_kind(Item& item, Item::Kind kind, std::size_t taken) {
  item = Item{};
  item.kind = kind;
  return taken;
}

std::size_t set_position(Item& item, long row, long col, std::size_t taken) {
  set_kind(item, Item::Kind::position, taken);
  item.row = static_cast<int>(row);
  item.col = static_cast<int>(col);
  return taken;
}

// Esc followed by a byte that starts no complete sequence: Alt and that byte.
std::size_t alt_char(Item& item, unsigned char c) {
  InputRecord r = key_for_char(c);
  r.control_state |= kLeftAltPressed;
  return set_key(item, r, 2);
}

// One character key (no Esc in front): ASCII, or a UTF-8 sequence.
std::size_t decode_char(const unsigned char* p, std::size_t n, bool complete, Item& item) {
  const unsigned char c = p[0];
  if (c < 0x80) return set_key(item, key_for_char(c), 1);
  std::size_t need = 0;
  if (c >= 0xC2 && c <= 0xDF) need = 1;
  else if (c >= 0xE0 && c <= 0xEF) need = 2;
  else if (c >= 0xF0 && c <= 0xF4) need = 3;
  else return set_key(item, key_for_char(c), 1);  // not a UTF-8 lead: the byte itself
  for (std::size_t i = 1; i <= need && i < n; ++i)
    if ((p[i] & 0xC0) != 0x80) return set_key(item, key_for_char(c), 1);
  if (n <= need) return complete ? set_key(item, key_for_char(c), 1) : 0;
  std::uint32_t cp = c & (0x3F >> need);
  for (std::size_t i = 1; i <= need; ++i) cp = (cp << 6) | (p[i] & 0x3F);
  const bool overlong = (need == 2 && cp < 0x800) || (need == 3 && cp < 0x10000);
  if (overlong || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
    return set_key(item, key_for_char(c), 1);
  // The console's characters are 8-bit (Latin-1); others become '?'.
  return set_key(item, key_for_char(cp <= 0xFF ? static_cast<std::uint8_t>(cp) : '?'), need + 1);
}

struct Params {
  unsigned char prefix = 0;  // private marker: < = > ?
  long value[4] = {0, 0, 0, 0};
  int count = 0;
  long at(int i, long dflt) const { return i < count && value[i] != 0 ? value[i] : dflt; }
};

Params parse_params(const unsigned char* p, std::size_t n) {
  Params out;
  std::size_t i = 0;
  if (n > 0 && p[0] >= '<' && p[0] <= '?') out.prefix = p[i++];
  if (i == n) return out;
  int index = 0;
  for (; i < n; ++i) {
    if (p[i] >= '0' && p[i] <= '9') {
      if (index < 4 && out.value[index] < 100000) out.value[index] = out.value[index] * 10 + (p[i] - '0');
    } else if (p[i] == ';') {
      ++index;
    }
  }
  out.count = index < 4 ? index + 1 : 4;
  return out;
}

// Key named by the number of a CSI ... ~ sequence.
bool tilde_key(long n, KeyCode& k) {
  switch (n) {
    case 1: case 7: k = kHome; return true;
    case 2: k = kInsert; return true;
    case 3: k = kDelete; return true;
    case 4: case 8: k = kEnd; return true;
    case 5: k = kPageUp; return true;
    case 6: k = kPageDown; return true;
    case 11: case 12: case 13: case 14: case 15: k = function_key(static_cast<int>(n - 10)); return true;
    case 17: case 18: case 19: case 20: case 21: k = function_key(static_cast<int>(n - 11)); return true;
    case 23: case 24: k = function_key(static_cast<int>(n - 12)); return true;
    default: return false;
  }
}

// Keys of a final letter shared by CSI and SS3 (cursor keys, F1..F4).
bool letter_key(unsigned char final, KeyCode& k) {
  switch (final) {
    case 'A': k = kUp; return true;
    case 'B': k = kDown; return true;
    case 'C': k = kRight; return true;
    case 'D': k = kLeft; return true;
    case 'H': k = kHome; return true;
    case 'F': k = kEnd; return true;
    case 'E': case 'G': k = kClear; return true;  // keypad 5 (G: Linux console)
    case 'P': k = function_key(1); return true;
    case 'Q': k = function_key(2); return true;
    case 'R': k = function_key(3); return true;
    case 'S': k = function_key(4); return true;
    default: return false;
  }
}

// rxvt: a b c d are the cursor keys with Shift after CSI, with Ctrl after SS3.
bool rxvt_arrow(unsigned char final, KeyCode& k) {
  switch (final) {
    case 'a': k = kUp; return true;
    case 'b': k = kDown; return true;
    case 'c': k = kRight; return true;
    case 'd': k = kLeft; return true;
    default: return false;
  }
}

std::size_t interpret_csi(const Params& ps, unsigned char final, std::size_t taken, Item& item) {
  KeyCode k{};
  if (ps.prefix == '<' && (final == 'M' || final == 'm')) return set_kind(item, Item::Kind::mouse, taken);
  if (ps.prefix != 0) return set_kind(item, Item::Kind::ignored, taken);
  if (final == 'R' && ps.count == 2 && !(ps.value[0] == 1 && ps.value[1] >= 2 && ps.value[1] <= 16)) {
    // A cursor-position report (F3 with modifiers is 1;2..16 R).
    return set_position(item, ps.value[0], ps.value[1], taken);
  }
  if (final == 'M' && ps.count == 3) return set_kind(item, Item::Kind::mouse, taken);
  if ((final == 'I' || final == 'O') && ps.count == 0) return set_kind(item, Item::Kind::focus, taken);
  if (final == 'Z') return set_key(item, key({vk::kTab, scan::kTab, false}, kShiftPressed | modifiers(ps.at(1, 1)), 9), taken);
  if (letter_key(final, k)) return set_key(item, key(k, modifiers(ps.count >= 2 ? ps.at(1, 1) : 1)), taken);
  if (rxvt_arrow(final, k)) return set_key(item, key(k, kShiftPressed), taken);
  if ((final == '~' || final == '^' || final == '$' || final == '@') && tilde_key(ps.at(0, 0), k)) {
    std::uint32_t s = 0;
    if (final == '~') s = modifiers(ps.at(1, 1));
    if (final == '^' || final == '@') s |= kLeftCtrlPressed;
    if (final == '$' || final == '@') s |= kShiftPressed;
    return set_key(item, key(k, s), taken);
  }
  return set_kind(item, Item::Kind::ignored, taken);  // bracketed paste marks and the like
}

std::size_t decode_csi(const unsigned char* p, std::size_t n, bool complete, Item& item) {
  // p[0] p[1] = ESC [
  if (n > 2 && p[2] == '[') {  // Linux console F1..F5: ESC [ [ A..E
    if (n == 3) return complete ? alt_char(item, '[') : 0;
    if (p[3] >= 'A' && p[3] <= 'E') return set_key(item, key(function_key(p[3] - 'A' + 1)), 4);
    return alt_char(item, '[');
  }
  if (n > 2 && p[2] == 'M') {  // X10 mouse: three raw bytes follow
    if (n >= 6) return set_kind(item, Item::Kind::mouse, 6);
    return complete ? set_kind(item, Item::Kind::ignored, n) : 0;
  }
  std::size_t i = 2;
  while (i < n && p[i] >= 0x30 && p[i] <= 0x3F) ++i;
  const std::size_t params_end = i;
  if (i < n && p[i] == '$' && i > 2 && p[2] >= '0' && p[2] <= '9') {
    // rxvt ends Shift+key with '$', which is otherwise an intermediate byte.
    return interpret_csi(parse_params(p + 2, i - 2), '$', i + 1, item);
  }
  while (i < n && p[i] >= 0x20 && p[i] <= 0x2F) ++i;
  if (i - 2 > kMaxParams) return alt_char(item, '[');
  if (i == n) return complete ? alt_char(item, '[') : 0;
  const unsigned char final = p[i];
  if (final < 0x40 || final > 0x7E) return alt_char(item, '[');
  return interpret_csi(parse_params(p + 2, params_end - 2), final, i + 1, item);
}

std::size_t decode_ss3(const unsigned char* p, std::size_t n, bool complete, Item& item) {
  // p[0] p[1] = ESC O; some terminals put a modifier parameter in between.
  std::size_t i = 2;
  while (i < n && ((p[i] >= '0' && p[i] <= '9') || p[i] == ';') && i - 2 < 8) ++i;
  if (i == n) return complete ? alt_char(item, 'O') : 0;
  const unsigned char final = p[i];
  if (final < 0x40 || final > 0x7E) return alt_char(item, 'O');
  const Params ps = parse_params(p + 2, i - 2);
  const std::uint32_t mods = ps.count > 0 ? modifiers(ps.value[ps.count - 1]) : 0;
  const std::size_t taken = i + 1;
  KeyCode k{};
  if (letter_key(final, k)) return set_key(item, key(k, mods), taken);
  if (rxvt_arrow(final, k)) return set_key(item, key(k, kLeftCtrlPressed), taken);
  if (final >= 'p' && final <= 'y') {  // application keypad digits
    static constexpr std::uint8_t kScans[] = {scan::kInsert, scan::kEnd,     scan::kDown,
                                              scan::kPageDown, scan::kLeft, scan::kKeypad5,
                                              scan::kRight,  scan::kHome,    scan::kUp,
                                              scan::kPageUp};
    const int d = final - 'p';
    return set_key(item, key({static_cast<std::uint16_t>(vk::kNumpad0 + d), kScans[d], false}, mods,
                             static_cast<std::uint8_t>('0' + d)), taken);
  }
  switch (final) {
    case 'M': return set_key(item, key({vk::kReturn, scan::kEnter, true}, mods, 13), taken);  // keypad Enter
    case 'j': return set_key(item, key({vk::kMultiply, scan::kKeypadStar, false}, mods, '*'), taken);
    case 'k': return set_key(item, key({vk::kAdd, scan::kKeypadPlus, false}, mods, '+'), taken);
    case 'm': return set_key(item, key({vk::kSubtract, scan::kKeypadMinus, false}, mods, '-'), taken);
    case 'n': return set_key(item, key({vk::kDecimal, scan::kDelete, false}, mods, '.'), taken);
    case 'o': return set_key(item, key({vk::kDivide, scan::kSlash, true}, mods, '/'), taken);
    default: return set_kind(item, Item::Kind::ignored, taken);
  }
}

// True when the `n` bytes are exactly ESC [ row ; col R.
bool position_report(const unsigned char* p, std::size_t n, int& row, int& col) {
  if (n < 6 || p[0] != kEsc || p[1] != '[' || p[n - 1] != 'R') return false;
  const Params ps = parse_params(p + 2, n - 3);
  for (std::size_t i = 2; i + 1 < n; ++i)
    if (!((p[i] >= '0' && p[i] <= '9') || p[i] == ';')) return false;
  if (ps.count != 2 || ps.value[0] == 0 || ps.value[1] == 0) return false;
  row = static_cast<int>(ps.value[0]);
  col = static_cast<int>(ps.value[1]);
  return true;
}

bool is_report(Item::Kind kind) {
  return kind == Item::Kind::position || kind == Item::Kind::mouse || kind == Item::Kind::focus;
}

// With a report owed, for the item decoded from the `n` bytes at `p`: a key
// whose bytes are exactly ESC [ row ; col R becomes that cursor-position
// report, and an Esc in front of such bytes (decoded with them as Alt and a
// modified F3) is a key of its own. Returns the bytes the item now takes.
std::size_t as_owed_report(const unsigned char* p, std::size_t n, Item& item) {
  int row = 0, col = 0;
  if (item.kind != Item::Kind::key) return n;
  if (position_report(p, n, row, col)) return set_position(item, row, col, n);
  if (n > 1 && p[0] == kEsc && position_report(p + 1, n - 1, row, col))
    return set_key(item, key_for_char(kEsc), 1);
  return n;
}

std::size_t add_alt(std::size_t taken, Item& item) {
  if (taken != 0 && item.kind == Item::Kind::key) item.key.control_state |= kLeftAltPressed;
  return taken;
}

}  // namespace

std::size_t decode(const unsigned char* p, std::size_t n, bool complete, Item& item) {
  if (n == 0) return 0;
  if (p[0] != kEsc) return decode_char(p, n, complete, item);
  if (n == 1) return complete ? set_key(item, key_for_char(kEsc), 1) : 0;
  switch (p[1]) {
    case '[':
      return decode_csi(p, n, complete, item);
    case 'O':
      return decode_ss3(p, n, complete, item);
    case kEsc:
      // Esc Esc [ ... : Alt with a cursor or function key (rxvt, PuTTY).
      if (n == 2 && !complete) return 0;
      if (n > 2 && (p[2] == '[' || p[2] == 'O')) {
        const std::size_t k = decode(p + 1, n - 1, complete, item);
        if (k == 0) return 0;
        // A report is never typed with Alt: the first Esc is a key of its own.
        if (is_report(item.kind)) return set_key(item, key_for_char(kEsc), 1);
        return add_alt(k + 1, item);
      }
      return alt_char(item, kEsc);
    default: {
      const std::size_t k = decode_char(p + 1, n - 1, complete, item);
      return k == 0 ? 0 : add_alt(k + 1, item);
    }
  }
}

int make_records(const Item& item, InputRecord out[3]) {
  switch (item.kind) {
    case Item::Kind::key: {
      out[0] = item.key;
      out[1] = item.key;
      out[1].key_down = false;
      if ((item.key.control_state & kAltPressed) == 0) return 2;
      // A terminal tells no key releases; Alt goes up with its key.
      InputRecord alt;
      alt.kind = EventKind::key;
      alt.key_down = false;
      alt.virtual_key = vk::kMenu;
      alt.scan_code = scan::kAlt;
      alt.control_state = item.key.control_state & ~(kAltPressed | kEnhancedKey);
      out[2] = alt;
      return 3;
    }
    case Item::Kind::mouse:
      out[0] = InputRecord{};
      out[0].kind = EventKind::mouse;
      return 1;
    case Item::Kind::focus:
      out[0] = InputRecord{};
      out[0].kind = EventKind::focus;
      return 1;
    default:
      return 0;
  }
}

std::size_t push(Decoder& d, const unsigned char* data, std::size_t size, std::uint32_t now_ms) {
  const std::size_t n = size < room(d) ? size : room(d);
  if (n == 0) return 0;
  std::memcpy(d.bytes.data() + d.size, data, n);
  d.size += n;
  d.last_ms = now_ms;
  return n;
}

namespace {

void cut(Decoder& d, std::size_t at, std::size_t n) {
  std::memmove(d.bytes.data() + at, d.bytes.data() + at + n, d.size - at - n);
  d.size -= n;
}

}  // namespace

bool next(Decoder& d, std::uint32_t now_ms, Item& item) {
  if (d.size == 0) return false;
  // A full buffer cannot wait for the rest of a sequence.
  const bool complete = now_ms - d.last_ms >= kQuietMs || room(d) == 0;
  std::size_t k = decode(d.bytes.data(), d.size, complete, item);
  if (k == 0) return false;
  if (d.reports_owed > 0) {
    // A report the terminal owes us may look like F3 with modifiers.
    k = as_owed_report(d.bytes.data(), k, item);
    if (item.kind == Item::Kind::position) --d.reports_owed;
  }
  cut(d, 0, k);
  return true;
}

bool take_position_report(Decoder& d, int& row, int& col) {
  for (std::size_t at = 0; at < d.size;) {
    Item item;
    std::size_t k = decode(d.bytes.data() + at, d.size - at, false, item);
    if (k == 0) return false;  // what follows may still grow
    k = as_owed_report(d.bytes.data() + at, k, item);
    if (item.kind == Item::Kind::position) {
      row = item.row;
      col = item.col;
      cut(d, at, k);
      return true;
    }
    at += k;
  }
  return false;
}

}  // namespace console::keydecode
