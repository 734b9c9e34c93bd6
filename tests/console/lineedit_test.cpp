// Line editor sessions: keys in, the line in INPUT's buffer and the echo on
// a recording screen out.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "services/console/console.hpp"
#include "services/console/keycodes.hpp"
#include "services/runtime/system.hpp"
#include "services/runtime/textfile.hpp"
#include "tests/console/fake_console.hpp"

namespace {

using namespace consoletest;
using runtime::INPUT;

class LineEditor : public ::testing::Test {
 protected:
  void SetUp() override {
    runtime::INOUTRES = 0;
    attach(40, 10, 5, 3);
  }
  // Runs the final line read; returns the line as left in INPUT's buffer.
  std::string read_line() {
    runtime::READLN_END(INPUT);
    EXPECT_EQ(runtime::INOUTRES, 0);
    EXPECT_EQ(INPUT.bufpos, INPUT.bufend);  // consumed through its line end
    return std::string(INPUT.buffer.data(), INPUT.bufend);
  }
  static std::string row(int y) { return screen.rows[static_cast<std::size_t>(y)]; }
  static std::string cells(int x, int y, int n) { return row(y).substr(static_cast<std::size_t>(x), static_cast<std::size_t>(n)); }
};

TEST_F(LineEditor, EchoesAtTheRememberedCursorAndEndsOnTheNextRow) {
  type("hello\r");
  EXPECT_EQ(read_line(), "hello\r\n");
  EXPECT_EQ(cells(5, 3, 6), "hello ");
  EXPECT_EQ(screen.cursor_x, 0);
  EXPECT_EQ(screen.cursor_y, 4);
  EXPECT_EQ(console::console_x, 0);
  EXPECT_EQ(console::console_y, 4);
}

TEST_F(LineEditor, EnterCompletesAtOnce) {
  console::SCANCODE = 13;  // the key that ended plotting
  EXPECT_EQ(read_line(), "\r\n");
  EXPECT_EQ(screen.cells_written, 0);
  EXPECT_EQ(screen.cursor_y, 4);
}

TEST_F(LineEditor, FirstKeyIsTheOneKeypressedBuffered) {
  press(key_down('Q', console::scan::kQ, 'q'));
  ASSERT_TRUE(console::KEYPRESSED());
  type("r\r");
  EXPECT_EQ(read_line(), "qr\r\n");
  EXPECT_EQ(cells(5, 3, 2), "qr");
}

TEST_F(LineEditor, LeftThenALetterOverwrites) {
  type("abc");
  press(Key::left);
  type("X\r");
  EXPECT_EQ(read_line(), "abX\r\n");
  EXPECT_EQ(cells(5, 3, 4), "abX ");
}

TEST_F(LineEditor, BackspaceOnlyAtTheEnd) {
  type("abc");
  press(Key::left);
  type("\b\r");  // away from the end: nothing
  EXPECT_EQ(read_line(), "abc\r\n");
  EXPECT_EQ(cells(5, 3, 3), "abc");

  attach(40, 10, 5, 3);
  type("abc\b\x13" "d\r");  // Backspace and Ctrl+S at the end
  EXPECT_EQ(read_line(), "ad\r\n");
  EXPECT_EQ(cells(5, 3, 4), "ad  ");
}

TEST_F(LineEditor, EscAfterMovingLeftErasesTheWholeLine) {
  type("abcd");
  press(Key::left);
  press(Key::left);
  type("\x1bz\r");
  EXPECT_EQ(read_line(), "z\r\n");
  EXPECT_EQ(cells(5, 3, 5), "z    ");

  attach(40, 10, 5, 3);
  type("abc\x19\r");  // Ctrl+Y
  EXPECT_EQ(read_line(), "\r\n");
  EXPECT_EQ(cells(5, 3, 3), "   ");
}

TEST_F(LineEditor, HomeEndRightMoveOverTheLine) {
  type("abcd");
  press(Key::home);
  type("X");
  press(Key::right);
  type("Y");
  press(Key::end);
  type("Z");
  press(Key::right);  // at the end: nothing
  type("\r");
  EXPECT_EQ(read_line(), "XbYdZ\r\n");
  EXPECT_EQ(cells(5, 3, 6), "XbYdZ ");
}

TEST_F(LineEditor, OtherKeysAreIgnored) {
  type("a\x1a");  // Ctrl+Z
  press(Key::up);
  press(Key::f1);
  press(Key::left, console::kLeftCtrlPressed);  // Ctrl+Left has another code
  type("b\r");
  EXPECT_EQ(read_line(), "ab\r\n");
}

TEST_F(LineEditor, EnterEndsTheLineWhereverTheEditPositionStands) {
  type("abc");
  press(Key::home);
  type("\r");
  EXPECT_EQ(read_line(), "abc\r\n");
  EXPECT_EQ(screen.cursor_y, 4);
}

TEST_F(LineEditor, The255thCharacterIsNeitherStoredNorEchoed) {
  attach(80, 10, 0, 0);
  type(std::string(254, 'a') + "bc\r");
  const std::string line = read_line();
  EXPECT_EQ(line, std::string(254, 'a') + "\r\n");
  EXPECT_EQ(screen.cells_written, 254);
  // Backspace then works at the end again.
  attach(80, 10, 0, 0);
  type(std::string(254, 'a') + "b\bc\r");
  EXPECT_EQ(read_line(), std::string(253, 'a') + "c\r\n");
}

TEST_F(LineEditor, EchoWrapsAndScrollsOnTheBottomRow) {
  attach(4, 4, 2, 2);
  type("abcdef\r");
  EXPECT_EQ(read_line(), "abcdef\r\n");
  // Scrolled up once by the wrap after "cdef" and once by the line end.
  EXPECT_EQ(screen.scrolls, 2);
  EXPECT_EQ(row(0), "  ab");
  EXPECT_EQ(row(1), "cdef");
  EXPECT_EQ(row(2), "    ");
  EXPECT_EQ(screen.cursor_x, 0);
  EXPECT_EQ(screen.cursor_y, 3);
}

TEST_F(LineEditor, ReadingTwoLinesStartsTheSecondWhereTheFirstLeftTheCursor) {
  type("one\rtwo\r");
  EXPECT_EQ(read_line(), "one\r\n");
  EXPECT_EQ(read_line(), "two\r\n");
  EXPECT_EQ(cells(0, 4, 3), "two");
}

// The records `text` types, kept for a later batch of the script.
std::vector<console::InputRecord> keys_of(const std::string& text) {
  const auto saved = script.pending;
  script.pending.clear();
  type(text);
  std::vector<console::InputRecord> keys(script.pending.begin(), script.pending.end());
  script.pending = saved;
  return keys;
}

// 40 columns, 45 characters: moving back from the left edge goes up a row,
// so the screen keeps showing the line as it is.
TEST_F(LineEditor, AWrappedLineIsEditedInPlace) {
  const std::string typed = std::string("0123456789") + "0123456789" + "0123456789" + "0123456789" + "abcde";
  attach(40, 10, 0, 3);
  type(typed + "\b\b\b\b\b\b\b\bZY");
  press(Key::home);
  type("Q\r");
  EXPECT_EQ(read_line(), "Q" + typed.substr(1, 36) + "ZY\r\n");
  EXPECT_EQ(row(3), "Q" + typed.substr(1, 36) + "ZY ");
  EXPECT_EQ(row(4), std::string(40, ' '));
  EXPECT_EQ(screen.cursor_y, 4);  // the line end is below the line's last row

  attach(40, 10, 0, 3);
  type(typed + "\x1b");
  press(Key::left);  // nothing left of an empty line
  type("z\r");
  EXPECT_EQ(read_line(), "z\r\n");
  EXPECT_EQ(row(3), "z" + std::string(39, ' '));
  EXPECT_EQ(row(4), std::string(40, ' '));

  attach(40, 10, 0, 3);
  type(typed);
  for (int i = 0; i < 7; ++i) press(Key::left);
  type("X\r");
  EXPECT_EQ(read_line(), typed.substr(0, 38) + "X" + typed.substr(39) + "\r\n");
  EXPECT_EQ(cells(38, 3, 2), "X9");
}

// Every character of the line takes one cell, control characters included.
TEST_F(LineEditor, ControlCharactersTakeOneCellEach) {
  type("a\n\x07\tb\r");
  runtime::READLN_END(INPUT);  // takes the line up to its first 10
  EXPECT_EQ(std::string(INPUT.buffer.data(), INPUT.bufend), "a\n\x07\tb\r\n");
  EXPECT_EQ(cells(5, 3, 5), "a\n\x07\tb");
  EXPECT_EQ(screen.cursor_y, 4);
}

// The screen changes while the line is typed: the line is drawn again on a
// row of its own below the cursor, and editing goes on there, in the new
// width. A change before the line moves where it starts.
TEST_F(LineEditor, AScreenChangeDrawsTheLineAgainWhereTheCursorIs) {
  type("abc");
  press(Key::left);
  script.later = {keys_of("X\r")};
  screen.change_later = console::ScreenInfo{30, 8, 7, 5, 0x1E};
  EXPECT_EQ(read_line(), "abX\r\n");
  EXPECT_EQ(console::text_window.right, 30);
  EXPECT_EQ(console::text_window.bottom, 8);
  EXPECT_EQ(cells(0, 6, 4), "abX ");
  EXPECT_EQ(screen.cursor_y, 7);

  attach(40, 10, 5, 3);
  screen.change_now = console::ScreenInfo{20, 5, 3, 2, 0x1E};
  type("hi\r");
  EXPECT_EQ(read_line(), "hi\r\n");
  EXPECT_EQ(cells(3, 2, 3), "hi ");
}

}  // namespace
