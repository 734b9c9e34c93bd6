#pragma once
// Key input from standard input that is no terminal or console (a file, a
// pipe, /dev/null), over a platform's byte reader. Each byte is the key
// that types it, taken one at a time so that nothing beyond the line is
// consumed. A line feed or a carriage return is Enter. At the end of the
// input (or on a read error) every further key is Enter, so the line read
// ends and nothing waits for input that cannot come.
#include <cstdint>

#include "services/console/backend.hpp"

namespace console {

enum class ByteRead { byte, none, end };

struct ByteReader {
  // Takes the next byte if one is there without waiting: `byte` (stored in
  // the argument), `none` yet, or the `end` of the input (a read error too).
  ByteRead (*read)(std::uint8_t& byte);
  // Returns when a byte (or the end) may be there, or after `ms` milliseconds.
  void (*wait)(std::uint32_t ms);
};

// The keys of the bytes `reader` gives, from its first byte on.
const EventSource& open_stream_keys(const ByteReader& reader);

}  // namespace console
