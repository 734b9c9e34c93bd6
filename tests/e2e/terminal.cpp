#include "tests/e2e/terminal.hpp"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <thread>

namespace e2e {

using namespace std::chrono;

Screen::Screen(int rows, int cols)
    : rows_(rows), cols_(cols), cells_(static_cast<std::size_t>(rows), std::string(static_cast<std::size_t>(cols), ' ')) {}

std::string Screen::row(int r) const {
  std::string s = cells_[static_cast<std::size_t>(r)];
  s.erase(s.find_last_not_of(' ') + 1);
  return s;
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

int Screen::param(const std::string& params, std::size_t index, int fallback) const {
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

Terminal::Terminal(const std::string& program, testsupport::PtyOptions options)
    : pty_(program,
           [&] {
             options.rows = rows;
             options.cols = cols;
             return options;
           }()),
      reader_([this](std::stop_token stop) {
        while (!stop.stop_requested()) {
          {
            std::lock_guard<std::mutex> hold(lock_);
            pump();
          }
          std::this_thread::sleep_for(milliseconds(2));
        }
      }) {}

void Terminal::pump() {
  const std::string& out = pty_.output();
  if (out.size() > seen_) {
    const std::string replies = screen_.feed(out.substr(seen_));
    seen_ = out.size();
    if (!replies.empty()) pty_.type(replies);
  }
  if (!status_) status_ = pty_.wait_exit(milliseconds(0));
}

void Terminal::type(const std::string& keys) {
  std::lock_guard<std::mutex> hold(lock_);
  pump();
  pty_.type(keys);
}

std::string Terminal::row(int r) {
  std::lock_guard<std::mutex> hold(lock_);
  return screen_.row(r);
}

std::string Terminal::output() {
  std::lock_guard<std::mutex> hold(lock_);
  return pty_.output();
}

std::string Terminal::settings() {
  std::lock_guard<std::mutex> hold(lock_);
  return pty_.terminal_settings();
}

bool Terminal::wait_until(const std::function<bool()>& condition, milliseconds timeout) {
  const auto deadline = steady_clock::now() + timeout;
  for (;;) {
    if (condition()) return true;
    if (steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(milliseconds(10));
  }
}

std::optional<int> Terminal::wait_exit(milliseconds timeout) {
  std::optional<int> status;
  wait_until(
      [&] {
        std::lock_guard<std::mutex> hold(lock_);
        pump();
        status = status_;
        return status.has_value();
      },
      timeout);
  if (!status) return std::nullopt;
  if (WIFEXITED(*status)) return WEXITSTATUS(*status);
  return 128 + WTERMSIG(*status);
}

const std::string& fresh_terminal_settings() {
  static const std::string settings = [] {
    testsupport::PtyProcess idle("/bin/cat");
    return idle.terminal_settings();
  }();
  return settings;
}

namespace {

// Scripts and files live in one directory per test process, removed at its end.
struct ScratchDir {
  std::string path;
  std::vector<std::string> files;
  ScratchDir() {
    char dir[] = "/tmp/grain-e2e-XXXXXX";
    if (mkdtemp(dir) == nullptr) throw std::runtime_error("mkdtemp");
    path = dir;
  }
  ~ScratchDir() {
    for (const auto& f : files) unlink(f.c_str());
    rmdir(path.c_str());
  }
};

}  // namespace

std::string scratch_path() {
  static ScratchDir dir;
  dir.files.push_back(dir.path + "/f" + std::to_string(dir.files.size()));
  return dir.files.back();
}

std::string launcher(const std::string& program, const std::string& prompt,
                     const std::string& stderr_path) {
  const std::string path = scratch_path();
  std::ofstream script(path);
  script << "#!/bin/sh\n";
  if (!prompt.empty()) script << "printf '%s' '" << prompt << "'\n";
  script << "exec '" << program << "'";
  if (stderr_path == "&-")
    script << " 2>&-";
  else if (!stderr_path.empty())
    script << " 2>'" << stderr_path << "'";
  script << "\n";
  script.close();
  chmod(path.c_str(), 0755);
  return path;
}

}  // namespace e2e
