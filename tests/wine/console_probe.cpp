// Test-only program: starts the core and console services as the programs
// do, and ends normally once they are up.
#include "services/console/console.hpp"
#include "services/runtime/startup.hpp"
#include "services/runtime/system.hpp"
#include "services/runtime/units.hpp"

namespace {

[[gnu::noinline]] void main_program() {
  const runtime::Unit units[] = {runtime::kSystemUnit, console::kConsoleUnit};
  runtime::INITIALIZEUNITS(units);
}

}  // namespace

int main() { runtime::run_program(main_program); }
