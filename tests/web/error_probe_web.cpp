// Test-only program of the browser build: the plotter's start-up and canvas,
// then, once a key is pressed, the run-time error its one argument names:
//   range:  a pixel coordinate out of range (XKOORD's check, 201)
//   divide: an integer division by zero (a WebAssembly trap, 200)
//   memory: a load far outside memory (a trap, 216)
#include <cstdint>
#include <cstring>

#include "plotter/coords.hpp"
#include "plotter/plotter.hpp"
#include "services/console/console.hpp"
#include "services/graphics/graph.hpp"
#include "services/runtime/startup.hpp"

namespace {

const char* mode = "";
volatile std::int32_t zero = 0;
volatile std::uintptr_t far_away = 0xFFFFFFF0u;

void main_program() {
  plotter::initialize_units();
  plotter::GRAFIKA();
  while (!console::KEYPRESSED()) {
  }
  if (std::strcmp(mode, "range") == 0) {
    volatile auto x = plotter::XKOORD(runtime::Extended(100000.0));
    (void)x;
  } else if (std::strcmp(mode, "divide") == 0) {
    volatile std::int32_t q = 7 / zero;
    (void)q;
  } else if (std::strcmp(mode, "memory") == 0) {
    volatile std::uint32_t v = *reinterpret_cast<volatile std::uint32_t*>(far_away);
    (void)v;
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1) mode = argv[1];
  runtime::run_program(main_program);
}
