// Fuzz target: the line editor behind INPUT, fed the keys that a console
// would queue, through the scripted console of the console tests.
//
// Input: four bytes of screen (width 1..256, height 1..64, cursor column
// and row), then steps. A step byte below 0xC0 takes the next
// (byte & 0x3F) + 1 bytes as terminal input, decoded into key records; from
// 0xC0 the next 7 bytes are one console record as it is (kind, key down,
// virtual key, scan code, character, control state), as another platform's
// console hands them over.
//
// Lines are read until the records run out (an Enter stands by for each
// line, so that every line ends), first on the recording screen of the
// console tests, then once more on the terminal screen, written to
// /dev/null. After every line: the line and its end fit the buffer, the
// text file around it is intact, and the cursor is on the screen.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "fuzz/check.hpp"
#include "services/console/console.hpp"
#include "services/console/keycodes.hpp"
#include "services/console/keydecode.hpp"
#include "services/console/backend_posix.hpp"
#include "services/runtime/textfile.hpp"
#include "tests/console/fake_console.hpp"

namespace {

using console::InputRecord;
using runtime::INPUT;

constexpr std::size_t kMaxLine = 254;  // the buffer less the line end

struct Geometry {
  int width = 80, height = 25, x = 0, y = 0;
};

void decode_terminal_bytes(const std::uint8_t* p, std::size_t n, std::vector<InputRecord>& out) {
  console::keydecode::Decoder d;
  console::keydecode::Item item;
  InputRecord records[3];
  while (n > 0) {
    const std::size_t pushed = console::keydecode::push(d, p, n, 0);
    p += pushed;
    n -= pushed;
    // The input is quiet once these bytes are in: everything is decided.
    while (console::keydecode::next(d, console::keydecode::kQuietMs, item)) {
      const int k = console::keydecode::make_records(item, records);
      out.insert(out.end(), records, records + k);
    }
  }
}

InputRecord raw_record(const std::uint8_t* b) {
  InputRecord r;
  r.kind = static_cast<console::EventKind>(b[0] % 5);
  r.key_down = (b[1] & 1) != 0;
  r.virtual_key = b[2];
  r.scan_code = b[3];
  r.character = b[4];
  r.control_state = (b[5] | static_cast<std::uint32_t>(b[6]) << 8) & 0x1FF;
  return r;
}

void check_line(const Geometry& g) {
  FUZZ_CHECK(INPUT.bufpos == 0);
  FUZZ_CHECK(INPUT.bufend >= 2 && INPUT.bufend <= INPUT.buffer.size());
  FUZZ_CHECK(INPUT.bufend - 2 <= kMaxLine);
  FUZZ_CHECK(INPUT.buffer[INPUT.bufend - 2] == 13 && INPUT.buffer[INPUT.bufend - 1] == 10);
  // Nothing written past the buffer into the rest of the file record.
  FUZZ_CHECK(INPUT.mode == runtime::FileMode::input);
  FUZZ_CHECK(INPUT.inout == console::read_console_line);
  FUZZ_CHECK(INPUT.flush == nullptr && INPUT.close == nullptr);

  const console::TextWindow& w = console::text_window;
  FUZZ_CHECK(w.left == 1 && w.top == 1 && w.right == g.width && w.bottom == g.height);
  FUZZ_CHECK(console::cursor_x >= w.left && console::cursor_x <= w.right);
  FUZZ_CHECK(console::cursor_y >= w.top && console::cursor_y <= w.bottom);
  FUZZ_CHECK(console::console_x == console::cursor_x - 1 && console::console_y == console::cursor_y - 1);
}

void read_lines(const Geometry& g, const std::vector<InputRecord>& records, bool recording) {
  consoletest::script.pending.assign(records.begin(), records.end());
  const InputRecord enter = consoletest::key_down(console::vk::kReturn, console::scan::kEnter, 13);
  while (!consoletest::script.pending.empty() || console::SCANCODE != 0) {
    consoletest::script.waits.clear();
    // Key-down only: once taken, it leaves nothing behind for another line.
    if (consoletest::script.later.empty()) consoletest::script.later.push_back({enter});
    console::read_console_line(INPUT);
    check_line(g);
    if (recording) {
      FUZZ_CHECK(consoletest::screen.cursor_x == console::console_x);
      FUZZ_CHECK(consoletest::screen.cursor_y == console::console_y);
    }
  }
}

int dev_null() {
  static const int fd = open("/dev/null", O_WRONLY | O_CLOEXEC);
  return fd;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 4) return -1;
  Geometry g;
  g.width = data[0] + 1;
  g.height = data[1] % 64 + 1;
  g.x = data[2];
  g.y = data[3] % 64;

  std::vector<InputRecord> records;
  for (std::size_t i = 4; i < size;) {
    const std::uint8_t step = data[i++];
    if (step >= 0xC0) {
      if (size - i < 7) break;
      records.push_back(raw_record(data + i));
      i += 7;
    } else {
      const std::size_t n = std::min<std::size_t>((step & 0x3Fu) + 1u, size - i);
      decode_terminal_bytes(data + i, n, records);
      i += n;
    }
  }

  // On the recording screen, which refuses cells outside it.
  consoletest::attach(g.width, g.height, g.x, g.y);
  read_lines(g, records, true);

  // On the terminal screen.
  consoletest::attach(g.width, g.height, g.x, g.y);
  const console::ScreenInfo start{g.width, g.height, g.x, g.y, 0x07};
  console::attach(*console::events,
                  console::posix::open_terminal_screen(dev_null(), false, false, start));
  read_lines(g, records, false);
  console::posix::close_terminal_screen();
  return 0;
}
