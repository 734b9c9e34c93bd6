// The terminal decoder on the byte sequences of common terminals, checked
// through KEYPRESSED/READKEY: what a program finally reads.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "services/console/console.hpp"
#include "services/console/keydecode.hpp"
#include "tests/console/fake_console.hpp"

namespace {

using namespace console::keydecode;
using console::InputRecord;
using Kind = Item::Kind;
using Codes = std::vector<int>;

const unsigned char* bytes(const std::string& s) { return reinterpret_cast<const unsigned char*>(s.data()); }

// Queues the records of everything in `d` that is decided at `now`.
void queue_records(Decoder& d, std::uint32_t now) {
  Item item;
  InputRecord records[3];
  while (next(d, now, item)) {
    const int n = make_records(item, records);
    for (int i = 0; i < n; ++i) consoletest::script.pending.push_back(records[i]);
  }
}

// What READKEY gives for the keys in `input`, typed at once.
Codes codes(const std::string& input) {
  consoletest::attach(80, 25);
  Decoder d;
  push(d, bytes(input), input.size(), 0);
  queue_records(d, 1000);
  EXPECT_EQ(d.size, 0u) << "bytes left undecoded";
  Codes out;
  while (console::KEYPRESSED()) out.push_back(console::READKEY());
  EXPECT_TRUE(consoletest::script.pending.empty());
  return out;
}

struct Case {
  const char* input;
  Codes expected;
};

void check(std::initializer_list<Case> cases) {
  for (const Case& c : cases) {
    std::string escaped;
    for (char ch : std::string(c.input)) escaped += ch == '\x1b' ? std::string("\\e") : std::string(1, ch);
    EXPECT_EQ(codes(c.input), c.expected) << escaped;
  }
}

TEST(KeyDecode, XtermAndVteKeys) {
  check({{"\x1b[A", {0, 0x48}}, {"\x1b[B", {0, 0x50}}, {"\x1b[C", {0, 0x4D}}, {"\x1b[D", {0, 0x4B}},
         {"\x1bOA", {0, 0x48}}, {"\x1bOD", {0, 0x4B}},  // application cursor mode
         {"\x1b[H", {0, 0x47}}, {"\x1b[F", {0, 0x4F}}, {"\x1bOH", {0, 0x47}}, {"\x1bOF", {0, 0x4F}},
         {"\x1b[2~", {0, 0x52}}, {"\x1b[3~", {0, 0x53}}, {"\x1b[5~", {0, 0x49}}, {"\x1b[6~", {0, 0x51}},
         {"\x1bOP", {0, 0x3B}}, {"\x1bOQ", {0, 0x3C}}, {"\x1bOR", {0, 0x3D}}, {"\x1bOS", {0, 0x3E}},
         {"\x1b[15~", {0, 0x3F}}, {"\x1b[17~", {0, 0x40}}, {"\x1b[21~", {0, 0x44}},
         {"\x1b[23~", {0, 0x85}}, {"\x1b[24~", {0, 0x86}}, {"\x1b[E", {0, 0x4C}}});
}

TEST(KeyDecode, XtermModifierParameters) {
  check({{"\x1b[1;2P", {0, 0x54}},    // Shift+F1
         {"\x1b[1;5P", {0, 0x5E}},    // Ctrl+F1
         {"\x1b[1;3P", {0, 0x68}},    // Alt+F1
         {"\x1b[1;5R", {0, 0x60}},    // Ctrl+F3, not a cursor report
         {"\x1b[15;2~", {0, 0x58}},   // Shift+F5
         {"\x1b[24;5~", {0, 0x8A}},   // Ctrl+F12
         {"\x1b[24;3~", {0, 0x8C}},   // Alt+F12
         {"\x1b[1;5D", {0, 0x73}},    // Ctrl+Left
         {"\x1b[1;5C", {0, 0x74}},    // Ctrl+Right
         {"\x1b[1;5H", {0, 0x77}},    // Ctrl+Home
         {"\x1b[1;2D", {0, 0x4B}},    // Shift+Left keeps its code
         {"\x1b[1;3A", {0, 0x98}},    // Alt+Up
         {"\x1b[1;9A", {0, 0x98}},    // Meta+Up counts as Alt
         {"\x1b[3;5~", {0, 0x93}},    // Ctrl+Del
         {"\x1b[5;5~", {0, 0x84}},    // Ctrl+PgUp
         {"\x1b[Z", {9}}});           // Shift+Tab
}

TEST(KeyDecode, TmuxScreenLinuxConsoleAndRxvtKeys) {
  check({{"\x1b[1~", {0, 0x47}}, {"\x1b[4~", {0, 0x4F}},                         // tmux, screen, Linux
         {"\x1b[[A", {0, 0x3B}}, {"\x1b[[C", {0, 0x3D}}, {"\x1b[[E", {0, 0x3F}},  // Linux F1 F3 F5
         {"\x1b[G", {0, 0x4C}},                                                  // Linux keypad 5
         {"\x1b[7~", {0, 0x47}}, {"\x1b[8~", {0, 0x4F}}, {"\x1b[11~", {0, 0x3B}}, // rxvt
         {"\x1b[7^", {0, 0x77}}, {"\x1b[11^", {0, 0x5E}}, {"\x1b[2$", {0, 0x52}},
         {"\x1b[a", {0, 0x48}}, {"\x1bOd", {0, 0x73}},                           // Shift+Up, Ctrl+Left
         {"\x1b\x1b[A", {0, 0x98}}, {"\x1b\x1bOP", {0, 0x68}},                   // Esc-prefixed: Alt
         {"\x1bOM", {13}}, {"\x1bOq\x1bOj", {'1', '*'}}});                       // application keypad
}

TEST(KeyDecode, ControlCharacters) {
  check({{"\r", {13}}, {"\x7f", {8}}, {"\b", {8}}, {"\t", {9}}, {"\n", {10}},
         {"\x13\x11", {19, 17}}, {"\x01\x1a", {1, 26}}, {"\x19", {25}}});
  EXPECT_EQ(codes(std::string(1, '\0')), (Codes{0, 0x03}));  // Ctrl+2 / Ctrl+Space
}

TEST(KeyDecode, EscPrefixIsAlt) {
  check({{"\x1bx", {0, 0x2D}},           // Alt+X
         {"\x1b" "1", {0, 0x78}},        // Alt+1
         {"\x1b\x7f", {0, 0x0E}},        // Alt+Backspace
         {"\x1b\r", {13}},               // Alt+Enter is Enter
         {"\x1b\x1b", {0, 0x01}},        // Alt+Esc
         {"ab\x1b", {'a', 'b', 27}}});   // a lone Esc at the end
}

TEST(KeyDecode, Utf8BecomesLatin1) {
  check({{"\xc3\xa9", {0xE9}},           // é
         {"\xe2\x82\xac", {'?'}},        // € has no 8-bit code
         {"\xf0\x9f\x98\x80x", {'?', 'x'}},
         {"\xff\xc3(", {0xFF, 0xC3, '('}},  // invalid bytes stand for themselves
         {"\xe0\x80\x80", {0xE0, 0x80, 0x80}}});  // overlong
}

TEST(KeyDecode, ReportsAndUnknownSequencesAreNoKeys) {
  check({{"\x1b[M abq", {'q'}},               // X10 mouse
         {"\x1b[<0;3;4M\x1b[<0;3;4mq", {'q'}},  // SGR mouse
         {"\x1b[I\x1b[Oq", {'q'}},             // focus
         {"\x1b[200~q\x1b[201~", {'q'}},       // paste marks
         {"\x1b[12;40Rq", {'q'}},              // cursor report
         {"\x1b[?1;2cq", {'q'}},               // device attributes
         {"\x1b[99~\x1bOzq", {'q'}}});         // unknown keys
  Item item;
  const std::string report = "\x1b[12;40R";
  ASSERT_EQ(decode(bytes(report), report.size(), false, item), report.size());
  EXPECT_EQ(item.kind, Kind::position);
  EXPECT_EQ(item.row, 12);
  EXPECT_EQ(item.col, 40);
}

// A report asked for and not answered in time may come later; while it is
// owed, ESC [ 1 ; 2..16 R is that report. Once it has come, the same bytes
// are F3 with modifiers again.
TEST(KeyDecode, LateCursorReportIsNotAModifiedF3) {
  consoletest::attach(80, 25);
  Decoder d;
  expect_position_report(d);
  const std::string late = "\x1b[1;5R", f3 = "\x1b[1;5R";
  push(d, bytes(late), late.size(), 0);
  Item item;
  ASSERT_TRUE(next(d, 0, item));
  EXPECT_EQ(item.kind, Kind::position);
  EXPECT_EQ(item.col, 5);
  EXPECT_EQ(d.reports_owed, 0u);
  push(d, bytes(f3), f3.size(), 0);
  queue_records(d, 1000);
  ASSERT_TRUE(console::KEYPRESSED());
  EXPECT_EQ(console::READKEY(), 0);
  EXPECT_EQ(console::READKEY(), 0x60);  // Ctrl+F3
}

// An Esc typed just before a late answer stays a key of its own; the answer
// is still that report, not Alt with a modified F3.
TEST(KeyDecode, LateCursorReportAfterAnEscLeavesTheEscAKey) {
  consoletest::attach(80, 25);
  Decoder d;
  expect_position_report(d);
  const std::string typed = "\x1b\x1b[1;5R";
  push(d, bytes(typed), typed.size(), 0);
  Item item;
  ASSERT_TRUE(next(d, 1000, item));
  ASSERT_EQ(item.kind, Kind::key);
  EXPECT_EQ(item.key.character, 27);
  EXPECT_EQ(item.key.control_state & console::kAltPressed, 0u);
  ASSERT_TRUE(next(d, 1000, item));
  EXPECT_EQ(item.kind, Kind::position);
  EXPECT_EQ(item.row, 1);
  EXPECT_EQ(item.col, 5);
  EXPECT_EQ(d.reports_owed, 0u);
  EXPECT_EQ(d.size, 0u);
}

// The answer to the cursor question is found among the keys typed before
// it, which stay in their order; an Esc typed just before it stays a key.
TEST(KeyDecode, PositionReportIsTakenFromAmongTheKeys) {
  consoletest::attach(80, 25);
  Decoder d;
  int row = 0, col = 0;
  const std::string typed = "a\x1b[D\x1b";
  push(d, bytes(typed), typed.size(), 0);
  EXPECT_FALSE(take_position_report(d, row, col));
  EXPECT_EQ(d.size, typed.size());
  const std::string answer = "\x1b[1;5R";  // row 1 column 5: the bytes of Ctrl+F3
  push(d, bytes(answer), answer.size(), 0);
  ASSERT_TRUE(take_position_report(d, row, col));
  EXPECT_EQ(row, 1);
  EXPECT_EQ(col, 5);
  EXPECT_FALSE(take_position_report(d, row, col));
  queue_records(d, 1000);
  Codes keys;
  while (console::KEYPRESSED()) keys.push_back(console::READKEY());
  EXPECT_EQ(keys, (Codes{'a', 0, 0x4B, 27}));
}

TEST(KeyDecode, ReportsAfterAnEscLeaveTheEscAKey) {
  check({{"\x1b\x1b[12;40Rq", {27, 'q'}},
         {"\x1b\x1b[<0;3;4Mq", {27, 'q'}},
         {"\x1b\x1b[Iq", {27, 'q'}},
         {"\x1b\x1b[200~q", {'q'}}});  // a paste mark with Alt is no key either
}

TEST(KeyDecode, LoneEscIsDecidedAfterAQuietTime) {
  Decoder d;
  Item item;
  push(d, bytes("\x1b"), 1, 1000);
  EXPECT_FALSE(next(d, 1000, item));
  EXPECT_FALSE(next(d, 1000 + kQuietMs - 1, item));
  EXPECT_EQ(ms_until_decided(d, 1000 + 10), kQuietMs - 10);
  EXPECT_EQ(ms_until_decided(d, 1000 + kQuietMs + 5), 0u);
  ASSERT_TRUE(next(d, 1000 + kQuietMs, item));
  EXPECT_EQ(item.key.character, 27);
  EXPECT_EQ(item.key.control_state & console::kAltPressed, 0u);
  EXPECT_EQ(d.size, 0u);
}

// The millisecond clock wraps at 2^32 (after 49.7 days): the quiet time is
// the same across the wrap.
TEST(KeyDecode, QuietTimeCountsAcrossTheClocksWrap) {
  Decoder d;
  Item item;
  const std::uint32_t before_wrap = 0xFFFFFFF0u;
  push(d, bytes("\x1b"), 1, before_wrap);
  EXPECT_FALSE(next(d, before_wrap + 20, item));
  const std::uint32_t after_wrap = before_wrap + kQuietMs - 1;  // 33
  EXPECT_FALSE(next(d, after_wrap, item));
  EXPECT_EQ(ms_until_decided(d, after_wrap), 1u);
  ASSERT_TRUE(next(d, after_wrap + 1, item));
  EXPECT_EQ(item.key.character, 27);
}

TEST(KeyDecode, SequencesSplitAcrossReadsJoin) {
  Decoder d;
  Item item;
  push(d, bytes("\x1b"), 1, 0);
  EXPECT_FALSE(next(d, 10, item));
  push(d, bytes("[1;"), 3, 20);
  EXPECT_FALSE(next(d, 60, item));  // quiet time counts from the last byte
  push(d, bytes("5D"), 2, 65);
  ASSERT_TRUE(next(d, 65, item));
  EXPECT_EQ(item.key.virtual_key, 0x25);
  EXPECT_EQ(item.key.control_state, console::kLeftCtrlPressed | console::kEnhancedKey);

  push(d, bytes("\xc3"), 1, 100);
  EXPECT_FALSE(next(d, 120, item));
  push(d, bytes("\xa9"), 1, 130);
  ASSERT_TRUE(next(d, 130, item));
  EXPECT_EQ(item.key.character, 0xE9);
}

TEST(KeyDecode, CutOffSequenceAfterQuietTimeIsAltAndItsCharacters) {
  EXPECT_EQ(codes("\x1b[1;"), (Codes{0, 0x1A, '1', ';'}));  // Alt+[ then the rest
  EXPECT_EQ(codes("\x1bO"), (Codes{0, 0x18}));               // Alt+O
  EXPECT_EQ(codes("\x1b[\r"), (Codes{0, 0x1A, 13}));         // broken by a control
}

TEST(KeyDecode, RecordsAreKeyDownKeyUpAndAltUp) {
  Item item;
  InputRecord r[3];
  ASSERT_EQ(decode(bytes("\x1bQ"), 2, false, item), 2u);
  ASSERT_EQ(make_records(item, r), 3);
  EXPECT_TRUE(r[0].key_down);
  EXPECT_EQ(r[0].virtual_key, 'Q');
  EXPECT_EQ(r[0].scan_code, 0x10);
  EXPECT_EQ(r[0].character, 'Q');
  EXPECT_EQ(r[0].control_state, console::kShiftPressed | console::kLeftAltPressed);
  EXPECT_FALSE(r[1].key_down);
  EXPECT_EQ(r[1].virtual_key, 'Q');
  EXPECT_FALSE(r[2].key_down);
  EXPECT_EQ(r[2].virtual_key, 0x12);  // Alt

  ASSERT_EQ(decode(bytes("\x1b[3~"), 4, false, item), 4u);
  EXPECT_EQ(make_records(item, r), 2);
  EXPECT_EQ(r[0].virtual_key, 0x2E);  // Del
  EXPECT_EQ(r[0].control_state, console::kEnhancedKey);
}

// Random input, heavy in sequence bytes: the decoder always makes progress
// once the input is quiet, never takes more than it has, and takes nothing
// it could still need while more may come.
TEST(KeyDecode, RandomInputAlwaysDecodes) {
  static constexpr char kAlphabet[] = "\x1b\x1b\x1b[[OO0123456789;;<?~^$@ABCDHFPQRSMmIZapqx\r\x7f\xc3\xa9\xe2\x82\xf0";
  std::mt19937 rng(12345);
  std::uniform_int_distribution<std::size_t> pick(0, sizeof kAlphabet - 2), length(1, 40);
  for (int round = 0; round < 20000; ++round) {
    std::string s;
    for (std::size_t n = length(rng); n > 0; --n) s += kAlphabet[pick(rng)];
    std::size_t at = 0;
    while (at < s.size()) {
      Item item;
      const std::size_t partial = decode(bytes(s) + at, s.size() - at, false, item);
      const std::size_t k = decode(bytes(s) + at, s.size() - at, true, item);
      ASSERT_GE(k, 1u);
      ASSERT_LE(k, s.size() - at);
      if (partial != 0) {
        ASSERT_EQ(partial, k);
      }
      at += k;
    }
  }
}

}  // namespace
