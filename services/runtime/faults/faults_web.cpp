// Faults in the browser build. A WebAssembly trap unwinds the whole call
// stack into the page's script (web/library.js), which calls grain_trap
// with the engine's message and the trapping instruction's offset in the
// .wasm file: the run-time error is raised from there, on a fresh stack.
#include <emscripten.h>

#include <cstring>

#include "services/runtime/browser_web.hpp"
#include "services/runtime/faults/faults.hpp"
#include "services/runtime/system.hpp"

namespace runtime::web {

std::uint16_t trap_error(const char* message) {
  struct Entry {
    const char* text;
    std::uint16_t error;
  };
  // The engines' wordings differ: each entry is a part all of them share.
  static constexpr Entry kTable[] = {
      {"divide by zero", 200}, {"division by zero", 200}, {"remainder by zero", 200},
      {"integer overflow", 215}, {"call stack", 202},      {"too much recursion", 202},
      {"stack overflow", 202},  {"unreachable", 217},
  };
  for (const Entry& e : kTable)
    if (std::strstr(message, e.text) != nullptr) return e.error;
  return 216;
}

}  // namespace runtime::web

extern "C" EMSCRIPTEN_KEEPALIVE void grain_trap(const char* message, std::uint32_t offset) {
  runtime::HANDLEERRORADDRFRAME(runtime::web::trap_error(message),
                                reinterpret_cast<const void*>(static_cast<std::uintptr_t>(offset)),
                                nullptr);
}

namespace runtime::platform {

// The page's script catches every trap; nothing to install.
void install_fault_filter() {}
void remove_fault_filter() {}

}  // namespace runtime::platform


namespace runtime {

// There is no other thread.
void prepare_thread() {}

}  // namespace runtime
