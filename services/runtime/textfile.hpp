#pragma once
// Standard text files: a handle, a mode, a 256-byte buffer and the functions
// that move the buffer to and from the handle. Services rebind them (the
// console puts its line editor behind INPUT).
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace runtime {

enum class FileMode : std::uint8_t { closed, input, output, append };

struct TEXTREC;
using TextFunc = void (*)(TEXTREC&);

struct TEXTREC {
  std::intptr_t handle = -1;
  FileMode mode = FileMode::closed;
  std::size_t bufpos = 0;  // read/write position in buffer
  std::size_t bufend = 0;  // end of valid input in buffer
  std::array<char, 256> buffer{};
  TextFunc inout = nullptr;  // read (input) or write (output) the buffer
  TextFunc flush = nullptr;  // run at every line end on output; may be null
  TextFunc close = nullptr;  // may be null
};

extern TEXTREC INPUT, OUTPUT, STDOUT, STDERR;

// Plain handle files: the buffer goes to the handle at every line end.
void open_handle_input(TEXTREC& f, std::intptr_t handle);
void open_handle_output(TEXTREC& f, std::intptr_t handle);

// Writes; they do nothing while INOUTRES is set, and set it on failure.
void write_str(TEXTREC& f, std::string_view s);
void write_line(TEXTREC& f);  // line end (13 10 on Windows, 10 elsewhere), then flush
void flush(TEXTREC& f);

// Consumes input up to and including the next line end.
void READLN_END(TEXTREC& f);
// If INOUTRES is set: clear it and raise that run-time error at the caller.
void INT_IOCHECK();

}  // namespace runtime
