// Plain handle text files and the generic line operations on them.
#include "services/runtime/textfile.hpp"

#include "services/runtime/platform.hpp"
#include "services/runtime/system.hpp"

namespace runtime {
namespace {

#ifdef _WIN32
constexpr std::string_view kLineEnd = "\r\n";
#else
constexpr std::string_view kLineEnd = "\n";
#endif

void handle_write(TEXTREC& f) {
  if (f.bufpos == 0) return;
  std::uint16_t err = platform::write(f.handle, f.buffer.data(), f.bufpos);
  f.bufpos = 0;
  if (err != 0 && INOUTRES == 0) INOUTRES = err;
}

void handle_read(TEXTREC& f) {
  std::uint16_t err = 0;
  long n = platform::read(f.handle, f.buffer.data(), f.buffer.size(), err);
  f.bufpos = 0;
  f.bufend = n > 0 ? static_cast<std::size_t>(n) : 0;
  if (n < 0 && INOUTRES == 0) INOUTRES = err;
}

// Gets the next input character, refilling the buffer; false at end.
bool next_char(TEXTREC& f, char& c) {
  if (f.bufpos >= f.bufend) {
    f.inout(f);
    if (INOUTRES != 0 || f.bufpos >= f.bufend) return false;
  }
  c = f.buffer[f.bufpos++];
  return true;
}

bool writable(const TEXTREC& f) {
  if (INOUTRES != 0) return false;
  if (f.mode != FileMode::output && f.mode != FileMode::append) {
    INOUTRES = f.mode == FileMode::input ? 105 : 103;
    return false;
  }
  return true;
}

}  // namespace

void open_handle_input(TEXTREC& f, std::intptr_t handle) {
  f = TEXTREC{};
  f.handle = handle;
  f.mode = FileMode::input;
  f.inout = handle_read;
}

void open_handle_output(TEXTREC& f, std::intptr_t handle) {
  f = TEXTREC{};
  f.handle = handle;
  f.mode = FileMode::output;
  f.inout = handle_write;
  f.flush = handle_write;
}

void write_str(TEXTREC& f, std::string_view s) {
  if (!writable(f)) return;
  for (char c : s) {
    if (f.bufpos == f.buffer.size()) {
      f.inout(f);
      if (INOUTRES != 0) return;
    }
    f.buffer[f.bufpos++] = c;
  }
}

void write_line(TEXTREC& f) {
  write_str(f, kLineEnd);
  flush(f);
}

void flush(TEXTREC& f) {
  if (INOUTRES == 0 && f.flush != nullptr) f.flush(f);
}

void READLN_END(TEXTREC& f) {
  if (INOUTRES != 0) return;
  if (f.mode != FileMode::input) {
    INOUTRES = (f.mode == FileMode::output || f.mode == FileMode::append) ? 104 : 103;
    return;
  }
  char c;
  while (next_char(f, c)) {
    if (c == '\n') return;
    if (c == '\r') {
      // A 10 that follows directly belongs to this line end.
      if (f.bufpos >= f.bufend) {
        f.inout(f);
        if (INOUTRES != 0 || f.bufpos >= f.bufend) return;
      }
      if (f.buffer[f.bufpos] == '\n') ++f.bufpos;
      return;
    }
  }
  flush(f);
}

[[gnu::noinline]] void INT_IOCHECK() {
  if (INOUTRES == 0) return;
  std::uint16_t n = INOUTRES;
  INOUTRES = 0;
  HANDLEERRORADDRFRAME(n, RUNTIME_CALL_SITE(), RUNTIME_CALLER_FRAME());
}

}  // namespace runtime
