#pragma once
// Process entry: installs the fault filter, loads the floating-point control
// word and runs the main program with no calling frame; when it returns, the
// normal end (DO_EXIT) follows.

namespace runtime {

using MainProgram = void (*)();

[[noreturn]] void run_program(MainProgram main_program);

}  // namespace runtime
