// Test-only program: the plotter's start-up and window, a few pixels, then
// a run-time error once a key is pressed in the terminal.
// ERROR_PROBE_MODE in the environment says which:
//   plain:  the error is raised on the main thread
//   locked: the error is raised while the main thread holds the drawing lock
#include <stdlib.h>

#include <chrono>
#include <string_view>
#include <thread>

#include "plotter/plotter.hpp"
#include "services/console/console.hpp"
#include "services/graphics/graph.hpp"
#include "services/graphics/window.hpp"
#include "services/runtime/startup.hpp"
#include "services/runtime/system.hpp"

namespace {

std::string_view mode;

void main_program() {
  plotter::initialize_units();
  plotter::GRAFIKA();
  for (std::int16_t i = 0; i < 100; ++i) graphics::PUTPIXEL(i, i, 15);
  while (!console::KEYPRESSED()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  if (mode == "locked") graphics::window::lock();
  runtime::RUNERROR(123);
}

}  // namespace

int main() {
  const char* m = getenv("ERROR_PROBE_MODE");
  if (m == nullptr) return 2;
  mode = m;
  runtime::run_program(main_program);
}
