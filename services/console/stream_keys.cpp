// Bytes of input that is no terminal or console, as console key records.
#include "services/console/stream_keys.hpp"

#include "services/console/char_key.hpp"

namespace console {
namespace {

struct StreamKeys {
  const ByteReader* reader = nullptr;
  bool end = false;
  InputRecord key[2];  // the key-down and key-up of the last byte
  int next = 2;        // key[next] is the next to take; 2: both taken
};

StreamKeys keys;

bool key_queued() { return keys.next < 2; }

void queue_key(std::uint8_t c) {
  keys.key[0] = key_for_char(c == 10 ? 13 : c);  // a line feed is Enter
  keys.key[1] = keys.key[0];
  keys.key[1].key_down = false;
  keys.next = 0;
}

// A byte is read only once the key before it has been taken.
bool has_pending() {
  if (key_queued() || keys.end) return true;
  std::uint8_t c = 0;
  switch (keys.reader->read(c)) {
    case ByteRead::byte:
      queue_key(c);
      return true;
    case ByteRead::end:
      keys.end = true;
      return true;
    case ByteRead::none:
      break;
  }
  return false;
}

bool read_record(InputRecord& r) {
  if (!has_pending()) return false;
  if (!key_queued()) queue_key(13);  // at the end
  r = keys.key[keys.next++];
  return true;
}

void wait_input(std::uint32_t ms) {
  if (!key_queued() && !keys.end) keys.reader->wait(ms);
}

constexpr EventSource kStreamEvents{has_pending, read_record, wait_input};

}  // namespace

const EventSource& open_stream_keys(const ByteReader& reader) {
  keys = StreamKeys{};
  keys.reader = &reader;
  return kStreamEvents;
}

}  // namespace console
