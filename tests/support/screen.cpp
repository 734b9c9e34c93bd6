#include "tests/support/screen.hpp"

#include <algorithm>
#include <cstdlib>

namespace testsupport {
namespace {

int param(const std::string& params, std::size_t index, int fallback) {
  std::size_t start = 0;
  for (std::size_t i = 0; i < index; ++i) {
    start = params.find(';', start);
    if (start == std::string::npos) return fallback;
    ++start;
  }
  const std::size_t end = params.find(';', start);
  const std::string p = params.substr(start, end == std::string::npos ? std::string::npos : end - start);
  if (p.empty() || p.find_first_not_of("0123456789") != std::string::npos) return fallback;
  return std::atoi(p.c_str());
}

}  // namespace

Screen::Screen(int rows, int cols)
    : rows_(rows), cols_(cols), cells_(static_cast<std::size_t>(rows), std::string(static_cast<std::size_t>(cols), ' ')) {}

std::string Screen::row(int r) const {
  std::string s = cells_[static_cast<std::size_t>(r)];
  s.erase(s.find_last_not_of(' ') + 1);
  return s;
}

std::string Screen::at(int r, int c, int n) const {
  return cells_[static_cast<std::size_t>(r - 1)].substr(static_cast<std::size_t>(c - 1),
                                                        static_cast<std::size_t>(n));
}

void Screen::line_feed() {
  if (row_ + 1 < rows_) {
    ++row_;
  } else {
    cells_.erase(cells_.begin());
    cells_.emplace_back(static_cast<std::size_t>(cols_), ' ');
  }
}

void Screen::put(char c) {
  if (wrap_pending_) {
    col_ = 0;
    line_feed();
    wrap_pending_ = false;
  }
  cells_[static_cast<std::size_t>(row_)][static_cast<std::size_t>(col_)] = c;
  if (col_ + 1 < cols_) ++col_;
  else wrap_pending_ = true;
}

std::string Screen::control(char f, const std::string& p) {
  auto& line = cells_[static_cast<std::size_t>(row_)];
  const auto clamp = [this] {
    row_ = std::clamp(row_, 0, rows_ - 1);
    col_ = std::clamp(col_, 0, cols_ - 1);
  };
  if (f != 'm') wrap_pending_ = false;
  switch (f) {
    case 'H': case 'f': row_ = param(p, 0, 1) - 1; col_ = param(p, 1, 1) - 1; clamp(); break;
    case 'A': row_ -= std::max(1, param(p, 0, 1)); clamp(); break;
    case 'B': row_ += std::max(1, param(p, 0, 1)); clamp(); break;
    case 'C': col_ += std::max(1, param(p, 0, 1)); clamp(); break;
    case 'D': col_ -= std::max(1, param(p, 0, 1)); clamp(); break;
    case 'G': col_ = param(p, 0, 1) - 1; clamp(); break;
    case 'd': row_ = param(p, 0, 1) - 1; clamp(); break;
    case 'K': {
      const int mode = param(p, 0, 0);
      const auto from = static_cast<std::size_t>(mode == 0 ? col_ : 0);
      const auto to = static_cast<std::size_t>(mode == 1 ? col_ + 1 : cols_);
      std::fill(line.begin() + static_cast<long>(from), line.begin() + static_cast<long>(to), ' ');
      break;
    }
    case 'J':
      if (param(p, 0, 0) == 2) {
        for (auto& l : cells_) std::fill(l.begin(), l.end(), ' ');
      } else if (param(p, 0, 0) == 0) {
        std::fill(line.begin() + col_, line.end(), ' ');
        for (int r = row_ + 1; r < rows_; ++r)
          std::fill(cells_[static_cast<std::size_t>(r)].begin(), cells_[static_cast<std::size_t>(r)].end(), ' ');
      }
      break;
    case 'X':
      for (int i = 0; i < std::max(1, param(p, 0, 1)) && col_ + i < cols_; ++i)
        line[static_cast<std::size_t>(col_ + i)] = ' ';
      break;
    case 'P': {
      const int n = std::min(std::max(1, param(p, 0, 1)), cols_ - col_);
      line.erase(static_cast<std::size_t>(col_), static_cast<std::size_t>(n));
      line.append(static_cast<std::size_t>(n), ' ');
      break;
    }
    case 's': saved_row_ = row_; saved_col_ = col_; break;
    case 'u': row_ = saved_row_; col_ = saved_col_; break;
    case 'n':
      if (p == "6") return "\x1b[" + std::to_string(row_ + 1) + ";" + std::to_string(col_ + 1) + "R";
      break;
    default: break;  // colours, modes, scroll regions: no effect on the text
  }
  return {};
}

std::string Screen::feed(const std::string& bytes) {
  std::string replies;
  for (char c : bytes) {
    switch (state_) {
      case State::text:
        if (c == '\x1b') {
          state_ = State::escape;
        } else if (c == '\r') {
          col_ = 0;
          wrap_pending_ = false;
        } else if (c == '\n') {
          line_feed();
          wrap_pending_ = false;
        } else if (c == '\b') {
          if (col_ > 0) --col_;
          wrap_pending_ = false;
        } else if (c == '\t') {
          col_ = std::min(cols_ - 1, (col_ / 8 + 1) * 8);
        } else if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7f) {
          put(static_cast<unsigned char>(c) < 0x80 ? c : '?');
        }
        break;
      case State::escape:
        if (c == '[') {
          state_ = State::csi;
          params_.clear();
        } else if (c == ']') {
          state_ = State::osc;
        } else {
          if (c == '7') { saved_row_ = row_; saved_col_ = col_; }
          if (c == '8') { row_ = saved_row_; col_ = saved_col_; }
          state_ = State::text;
        }
        break;
      case State::csi:
        if (c >= 0x40 && c <= 0x7e) {
          replies += control(c, params_);
          state_ = State::text;
        } else {
          params_ += c;
        }
        break;
      case State::osc:
        if (c == '\a' || c == '\x1b') state_ = State::text;
        break;
    }
  }
  return replies;
}

}  // namespace testsupport
