#pragma once
// A small model of a terminal's screen, fed with what a program writes:
// text with wrapping and scrolling, cursor movement, erasing, and the
// answers to cursor-position queries a real terminal would send.
#include <string>
#include <vector>

namespace testsupport {

class Screen {
 public:
  Screen(int rows, int cols);
  // Interprets terminal output; returns the cursor position reports a
  // terminal would send back.
  std::string feed(const std::string& bytes);
  // Text of a row (from 0), trailing blanks removed.
  std::string row(int r) const;
  // `n` cells from row `r`, column `c` (both from 1), blanks kept.
  std::string at(int r, int c, int n) const;
  int cursor_row() const { return row_; }  // from 0
  int cursor_col() const { return col_; }

 private:
  void put(char c);
  void line_feed();
  std::string control(char final_byte, const std::string& params);

  int rows_, cols_;
  std::vector<std::string> cells_;
  int row_ = 0, col_ = 0;
  int saved_row_ = 0, saved_col_ = 0;
  bool wrap_pending_ = false;
  enum class State { text, escape, csi, osc } state_ = State::text;
  std::string params_;
};

}  // namespace testsupport
