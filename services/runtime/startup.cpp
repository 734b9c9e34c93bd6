// Process entry and the core services unit.
#include "services/runtime/startup.hpp"

#include "services/runtime/fpu.hpp"
#include "services/runtime/platform.hpp"
#include "services/runtime/report.hpp"
#include "services/runtime/system.hpp"
#include "services/runtime/textfile.hpp"
#include "services/runtime/units.hpp"

namespace runtime {
namespace {

void init_system() {
  using platform::StdStream;
  OPEN_HANDLE_INPUT(INPUT, platform::std_handle(StdStream::input));
  OPEN_HANDLE_OUTPUT(OUTPUT, platform::std_handle(StdStream::output));
  OPEN_HANDLE_OUTPUT(STDOUT, platform::std_handle(StdStream::output));
  OPEN_HANDLE_OUTPUT(STDERR, platform::std_handle(StdStream::error));
  INOUTRES = 0;
}

}  // namespace

const Unit SYSTEM_UNIT{"system", init_system, nullptr};

__attribute__((noinline)) void RUN_PROGRAM(MainProgram main_program) {
  ISCONSOLE = true;
  platform::install_fault_filter();
  fpu::reset_and_load(FPUCW);
  // The report's stack walk stops at this frame: the main program's frame
  // links to it, as to "no calling frame".
  SET_OUTERMOST_FRAME(__builtin_frame_address(0));
  main_program();
  DO_EXIT();
}

}  // namespace runtime
