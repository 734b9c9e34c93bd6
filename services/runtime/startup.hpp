#pragma once
// Process entry: installs the fault filter, loads the floating-point control
// word and runs the main program with no calling frame; when it returns, the
// normal end (DO_EXIT) follows. And the core services unit.
#include "services/runtime/units.hpp"

namespace runtime {

using MainProgram = void (*)();

[[noreturn]] void run_program(MainProgram main_program);

// The core services: standard handles and the standard text files.
extern const Unit kSystemUnit;

}  // namespace runtime
