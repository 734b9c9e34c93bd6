// WRITECHAR and the OUTPUT file on a small recording screen.
#include <gtest/gtest.h>

#include <string>

#include "services/console/console.hpp"
#include "services/runtime/system.hpp"
#include "services/runtime/textfile.hpp"
#include "tests/console/fake_console.hpp"

namespace {

using namespace consoletest;
using console::cursor_x;
using console::cursor_y;
using console::WRITECHAR;

void write(const std::string& s) {
  for (char c : s) WRITECHAR(static_cast<std::uint8_t>(c));
}

TEST(WriteChar, WrapsAtTheRightEdgeAndScrollsBelowTheBottom) {
  attach(3, 2);
  write("abcd");
  EXPECT_EQ(screen.rows[0], "abc");
  EXPECT_EQ(screen.rows[1], "d  ");
  EXPECT_EQ(cursor_x, 2);
  EXPECT_EQ(cursor_y, 2);
  write("ef");  // fills the bottom row: the cursor wraps below it
  EXPECT_EQ(screen.scrolls, 1);
  EXPECT_EQ(screen.rows[0], "def");
  EXPECT_EQ(screen.rows[1], "   ");
  EXPECT_EQ(cursor_x, 1);
  EXPECT_EQ(cursor_y, 2);
}

TEST(WriteChar, ControlCharacters) {
  attach(5, 2);
  write("ab\a");  // 7 writes nothing
  EXPECT_EQ(cursor_x, 3);
  write("\bX");  // 8 moves left
  EXPECT_EQ(screen.rows[0], "aX   ");
  write("\r\b\b");  // 13 to the left edge; 8 stops there
  EXPECT_EQ(cursor_x, 1);
  write("\n");  // 10 down, column kept
  EXPECT_EQ(cursor_y, 2);
  write("\t\v\f");  // written as cells
  EXPECT_EQ(screen.rows[1], "\t\v\f  ");
  EXPECT_EQ(screen.scrolls, 0);
  write("\n");  // below the bottom: scroll
  EXPECT_EQ(screen.scrolls, 1);
  EXPECT_EQ(cursor_y, 2);
  EXPECT_EQ(screen.rows[0], "\t\v\f  ");
}

TEST(WriteChar, OutputFileWritesAtTheConsoleCursorAndPlacesIt) {
  attach(10, 3, 4, 1);
  runtime::INOUTRES = 0;
  runtime::write_str(runtime::OUTPUT, "hi");
  runtime::flush(runtime::OUTPUT);
  EXPECT_EQ(runtime::INOUTRES, 0);
  EXPECT_EQ(screen.rows[1], "    hi    ");
  EXPECT_EQ(screen.cursor_x, 6);
  EXPECT_EQ(screen.cursor_y, 1);
}

}  // namespace
