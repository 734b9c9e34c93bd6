// The runtime in a browser (or node): standard output and error go to the
// page's terminal (to node's own streams when there is no page); there is no
// standard input but the console's keys. The JavaScript side is
// web/library.js.
#include <emscripten.h>
#include <emscripten/html5.h>

#include "services/runtime/browser_web.hpp"
#include "services/runtime/platform.hpp"

extern "C" {
void grain_write(int handle, const char* data, std::size_t size);
double grain_clock_start();
void grain_yield(std::uint32_t ms);
[[noreturn]] void grain_exit(int status);
}

namespace runtime::web {
namespace {
void (*before_yield)() = nullptr;
}  // namespace

void set_before_yield(void (*before)()) { before_yield = before; }

void yield_to_browser(std::uint32_t ms) {
  if (before_yield != nullptr) before_yield();
  grain_yield(ms);
}

}  // namespace runtime::web

namespace runtime::platform {

std::intptr_t std_handle(StdStream which) {
  switch (which) {
    case StdStream::input: return 0;
    case StdStream::output: return 1;
    case StdStream::error: return 2;
  }
  return -1;
}

std::uint16_t write(std::intptr_t handle, const char* data, std::size_t size) {
  if (handle != 1 && handle != 2) return 6;  // invalid file handle
  grain_write(static_cast<int>(handle), data, size);
  return 0;
}

// Nothing comes on standard input: the keys are the console's.
long read(std::intptr_t handle, char*, std::size_t, std::uint16_t& error) {
  if (handle != 0) {
    error = 6;
    return -1;
  }
  return 0;
}

// The three standard handles are the page's terminal.
bool is_char_device(std::intptr_t handle) { return handle >= 0 && handle <= 2; }

// The page may set where the clock starts (its first reading; the tests fix
// the seed so); otherwise it counts from the epoch.
std::uint32_t tick_count_ms() {
  static const double start = grain_clock_start();
  static const double first = emscripten_get_now();
  const double now = emscripten_get_now();
  const double base = start >= 0 ? start : emscripten_date_now();
  const double ms = start >= 0 ? base + (now - first) : base;
  return static_cast<std::uint32_t>(static_cast<std::uint64_t>(ms));
}

// A code address here is an offset into the .wasm file (where the error
// arose, from the offset converter or the trap's stack trace).
std::uint64_t report_address(const void* code) {
  return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(code));
}

int report_address_digits() { return 8; }

// WebAssembly keeps its call stack out of reach: nothing to walk.
bool frame_on_stack(const void*) { return false; }

[[noreturn]] void exit_process(std::uint16_t status) { grain_exit(status & 0xFF); }

}  // namespace runtime::platform
