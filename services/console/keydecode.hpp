#pragma once
// Terminal input bytes to console key records: a pure function over bytes
// (and, for a lone Esc or a cut-off sequence, the time since the last byte).
//
// Understood: printable characters (UTF-8; code points above 0xFF become
// '?', an invalid byte stands for itself), control characters, Esc-prefixed
// keys (Alt), CSI and SS3 sequences of xterm, VTE, tmux/screen and rxvt
// with their modifier parameters, the Linux console's F1..F5, mouse
// reports, focus reports and cursor-position reports. Other sequences are
// swallowed whole.
#include <array>
#include <cstddef>
#include <cstdint>

#include "services/console/backend.hpp"
#include "services/console/char_key.hpp"

namespace console::keydecode {

// How long a lone Esc, or the start of a sequence, waits for more bytes.
inline constexpr std::uint32_t kQuietMs = 50;

struct Item {
  enum class Kind : std::uint8_t { key, position, mouse, focus, ignored };
  Kind kind = Kind::ignored;
  InputRecord key;       // Kind::key: its key-down record
  int row = 0, col = 0;  // Kind::position: 1-based
};

// Decodes the item at the front of `bytes` and returns how many bytes it
// takes; 0 when they may be the start of a longer sequence still arriving.
// With `complete` (no more bytes will come soon) it always takes some.
std::size_t decode(const unsigned char* bytes, std::size_t size, bool complete, Item& item);

// The records a console would queue for `item`: a key gives its key-down,
// its key-up and, when Alt was held, Alt's key-up; mouse and focus reports
// give one record; the rest none. Returns the count (at most 3).
int make_records(const Item& item, InputRecord out[3]);

// Bytes waiting to be decoded, with the time the last of them came. Times
// are milliseconds of a clock that wraps at 2^32.
struct Decoder {
  std::array<unsigned char, 256> bytes{};
  std::size_t size = 0;
  std::uint32_t last_ms = 0;
  // Cursor-position reports asked for and not yet seen. While one is owed,
  // ESC [ 1 ; 2..16 R is that report, not a modified F3.
  unsigned reports_owed = 0;
};

inline std::size_t room(const Decoder& d) { return d.bytes.size() - d.size; }
// Appends as many of `data` as fit; returns the count.
std::size_t push(Decoder& d, const unsigned char* data, std::size_t size, std::uint32_t now_ms);
// Takes the next item; false when there is none yet (no bytes, or the front
// may still grow and the input has been quiet for less than kQuietMs).
bool next(Decoder& d, std::uint32_t now_ms, Item& item);
// Takes the first cursor-position report out of the bytes, wherever it
// stands among the keys decided before it, which stay; false when there is
// none yet. Asked for just now, ESC [ 1 ; 2..16 R is that report.
bool take_position_report(Decoder& d, int& row, int& col);
// Notes a cursor-position report asked for and not (yet) answered.
inline void expect_position_report(Decoder& d) {
  if (d.reports_owed < 8) ++d.reports_owed;
}
// Milliseconds until undecided bytes are decided without more input.
inline std::uint32_t ms_until_decided(const Decoder& d, std::uint32_t now_ms) {
  const std::uint32_t quiet = now_ms - d.last_ms;
  return quiet >= kQuietMs ? 0 : kQuietMs - quiet;
}

}  // namespace console::keydecode
