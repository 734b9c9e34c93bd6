// The run-time error report: heading, the error address, the frame chain.
// Written without allocating: the report may follow a fault anywhere,
// the memory allocator included.
#include "services/runtime/report.hpp"

#include <string_view>

#include "services/runtime/frame_layout.hpp"
#include "services/runtime/platform.hpp"
#include "services/runtime/system.hpp"
#include "services/runtime/textfile.hpp"

namespace runtime {
namespace {

const void* outermost_frame = nullptr;

// `count` upper-case hexadecimal digits into out[0..count-1].
void put_hex(char* out, std::uint64_t value, int count) {
  static constexpr char digits[] = "0123456789ABCDEF";
  for (int i = count - 1; i >= 0; --i, value >>= 4) out[i] = digits[value & 15];
}

// A code address as the report prints it; returns the digits written.
std::size_t put_address(char* out, const void* code) {
  const int count = platform::report_address_digits();
  put_hex(out, platform::report_address(code), count);
  return static_cast<std::size_t>(count);
}

// The line made for a code address: "  0x" and its digits.
void SYSBACKTRACESTR(const void* code) {
  char line[4 + 16] = {' ', ' ', '0', 'x'};
  const std::size_t size = 4 + put_address(line + 4, code);
  write_str(STDOUT, std::string_view(line, size));
  write_line(STDOUT);
}

// Follows the saved frame links from `frame`: each frame holds the caller's
// frame link and the return address into the caller (where, frame_layout.hpp
// says). Every frame is checked to lie on this thread's stack before it is
// read, and the links must lead upwards, so the walk ends and never faults.
void DUMP_STACK(const void* frame) {
  const int limit = platform::is_char_device(STDOUT.handle) ? MAX_FRAME_DUMP : 256;
  int count = 0;
  while (frame != nullptr && frame != outermost_frame && INOUTRES == 0 &&
         platform::frame_on_stack(frame)) {
    const void* next = frame::caller(frame);
    const bool next_readable = next > frame && platform::frame_on_stack(next);
    // Shown as the call instruction's last byte, like the error address of
    // a failed check: that names the calling line.
    if (!frame::kReturnInCaller || next_readable)
      if (const void* return_address = frame::return_address(frame, next); return_address != nullptr)
        SYSBACKTRACESTR(static_cast<const char*>(return_address) - 1);
    ++count;
    if (count > limit || next <= frame) break;
    frame = next;
  }
}

}  // namespace

void set_outermost_frame(const void* frame) { outermost_frame = frame; }

void write_runtime_error_report() {
  // An error before the core services were initialised still gets its report.
  if (STDOUT.mode == FileMode::closed)
    open_handle_output(STDOUT, platform::std_handle(platform::StdStream::output));

  char number[5];
  std::size_t digits = 0;
  for (std::uint16_t n = ERRORCODE; digits == 0 || n != 0; n = static_cast<std::uint16_t>(n / 10))
    number[digits++] = static_cast<char>('0' + n % 10);
  char heading[5 + 6 + 16];
  std::size_t size = 0;
  while (digits > 0) heading[size++] = number[--digits];
  for (char c : std::string_view(" at 0x")) heading[size++] = c;
  size += put_address(heading + size, ERRORADDR);

  write_str(STDOUT, "Runtime error ");
  write_str(STDOUT, std::string_view(heading, size));
  write_line(STDOUT);
  SYSBACKTRACESTR(ERRORADDR);
  DUMP_STACK(ERRORBASE);
  write_line(STDOUT);
}

}  // namespace runtime
