// Fuzz target: the terminal key decoder, fed bytes in pieces with time
// passing in between, as a terminal delivers them.
//
// Input: steps. A step byte below 0x80 pushes the next (byte & 0x7F) + 1
// input bytes; from 0x80 it lets (byte & 0x7F) x 2 milliseconds pass. After
// every step all that is decided is taken out. At the end the input goes
// quiet, and then every byte must have been decoded. The whole input is
// also decoded at once, as one possibly longer buffer.
#include <cstddef>
#include <cstdint>

#include "fuzz/check.hpp"
#include "services/console/keydecode.hpp"

namespace {

using namespace console;
using namespace console::keydecode;

void check_item(const Item& item) {
  InputRecord records[3];
  const int n = make_records(item, records);
  switch (item.kind) {
    case Item::Kind::key:
      FUZZ_CHECK(item.key.kind == EventKind::key && item.key.key_down);
      FUZZ_CHECK(n == ((item.key.control_state & kAltPressed) != 0 ? 3 : 2));
      FUZZ_CHECK(records[0].key_down && !records[1].key_down);
      FUZZ_CHECK(records[1].virtual_key == item.key.virtual_key);
      if (n == 3) FUZZ_CHECK(!records[2].key_down && records[2].virtual_key == vk::kMenu);
      break;
    case Item::Kind::position:
      FUZZ_CHECK(item.row >= 0 && item.col >= 0);
      FUZZ_CHECK(n == 0);
      break;
    case Item::Kind::mouse:
    case Item::Kind::focus:
      FUZZ_CHECK(n == 1 && records[0].kind != EventKind::key);
      break;
    case Item::Kind::ignored:
      FUZZ_CHECK(n == 0);
      break;
    default:
      FUZZ_CHECK(!"unknown item kind");
  }
}

// Takes out everything decided at `now`: each item takes at least one byte,
// and input that can no longer grow is always taken.
void drain(Decoder& d, std::uint32_t now) {
  for (;;) {
    FUZZ_CHECK(d.size <= d.bytes.size());
    const std::size_t before = d.size;
    const bool decided = now - d.last_ms >= kQuietMs || room(d) == 0;
    Item item;
    if (!next(d, now, item)) {
      FUZZ_CHECK(before == 0 || !decided);
      return;
    }
    FUZZ_CHECK(d.size < before);
    check_item(item);
  }
}

void decode_at_once(const unsigned char* data, std::size_t size) {
  for (const bool complete : {false, true}) {
    Item item;
    const std::size_t taken = decode(data, size, complete, item);
    FUZZ_CHECK(taken <= size);
    if (complete && size > 0) FUZZ_CHECK(taken > 0);
    if (taken > 0) check_item(item);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  decode_at_once(data, size);

  Decoder d;
  // Close to the clock's wrap, so that time wraps in longer inputs.
  std::uint32_t now = 0xFFFFF000u;
  std::size_t i = 0;
  while (i < size) {
    const std::uint8_t step = data[i++];
    if (step >= 0x80) {
      now += (step & 0x7Fu) * 2u;
    } else {
      std::size_t left = step + 1u;
      if (left > size - i) left = size - i;
      while (left > 0) {
        const std::size_t pushed = push(d, data + i, left, now);
        i += pushed;
        left -= pushed;
        // A full buffer decides its front at once, so there is room again.
        if (pushed == 0) FUZZ_CHECK(room(d) == 0);
        drain(d, now);
        if (left > 0) FUZZ_CHECK(room(d) > 0);
      }
    }
    drain(d, now);
  }
  now += kQuietMs;
  drain(d, now);
  FUZZ_CHECK(d.size == 0);
  return 0;
}
