// The run-time error report: heading, the error address, the frame chain.
#include "services/runtime/report.hpp"

#include "services/runtime/platform.hpp"
#include "services/runtime/system.hpp"
#include "services/runtime/textfile.hpp"

namespace runtime {
namespace {

const void* outermost_frame = nullptr;

void write_address_line(std::uint32_t address) {
  WRITE_STR(STDOUT, "  0x");
  WRITE_STR(STDOUT, HEXSTR(address));
  WRITELN(STDOUT);
}

// Follows the saved frame links from `frame`: each frame holds the caller's
// frame link and, after it, the return address into the caller. Every frame
// is checked to lie on this thread's stack before it is read.
void DUMP_STACK(const void* frame) {
  const int limit = platform::is_char_device(STDOUT.handle) ? MAX_FRAME_DUMP : 256;
  int count = 0;
  while (frame != nullptr && frame != outermost_frame && platform::frame_on_stack(frame)) {
    auto words = static_cast<const void* const*>(frame);
    const void* return_address = words[1];
    if (return_address != nullptr) write_address_line(platform::report_address(return_address));
    ++count;
    const void* next = words[0];
    if (count > limit || next <= frame) break;
    frame = next;
  }
}

}  // namespace

std::string HEXSTR(std::uint32_t value) {
  static constexpr char digits[] = "0123456789ABCDEF";
  std::string s(8, '0');
  for (int i = 7; i >= 0; --i, value >>= 4) s[static_cast<std::size_t>(i)] = digits[value & 15];
  return s;
}

void SET_OUTERMOST_FRAME(const void* frame) { outermost_frame = frame; }

void WRITE_RUNTIME_ERROR_REPORT() {
  const std::uint32_t address = platform::report_address(ERRORADDR);
  WRITE_STR(STDOUT, "Runtime error ");
  WRITE_STR(STDOUT, std::to_string(ERRORCODE));
  WRITE_STR(STDOUT, " at 0x");
  WRITE_STR(STDOUT, HEXSTR(address));
  WRITELN(STDOUT);
  write_address_line(address);
  DUMP_STACK(ERRORBASE);
  WRITELN(STDOUT);
}

}  // namespace runtime
