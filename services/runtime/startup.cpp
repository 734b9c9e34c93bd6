// Process entry and the core services unit.
#include "services/runtime/startup.hpp"

#include "services/runtime/faults/faults.hpp"
#include "services/runtime/platform.hpp"
#include "services/runtime/real/fpu.hpp"
#include "services/runtime/report.hpp"
#include "services/runtime/system.hpp"
#include "services/runtime/textfile.hpp"
#include "services/runtime/units.hpp"

namespace runtime {
namespace {

void init_system() {
  using platform::StdStream;
  open_handle_input(INPUT, platform::std_handle(StdStream::input));
  open_handle_output(OUTPUT, platform::std_handle(StdStream::output));
  open_handle_output(STDOUT, platform::std_handle(StdStream::output));
  open_handle_output(STDERR, platform::std_handle(StdStream::error));
  INOUTRES = 0;
}

}  // namespace

const Unit kSystemUnit{"system", init_system, nullptr};

[[gnu::noinline]] void run_program(MainProgram main_program) {
  platform::install_fault_filter();
  fpu::reset_and_load(FPUCW);
  // The report's stack walk stops at this frame: the main program's frame
  // links to it, as to "no calling frame".
  set_outermost_frame(__builtin_frame_address(0));
  main_program();
  DO_EXIT();
}

}  // namespace runtime
