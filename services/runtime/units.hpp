#pragma once
// Service modules: initialised in a fixed order, finalised in reverse, and
// only those whose initialisation completed.
#include <span>

namespace runtime {

struct Unit {
  const char* name;
  void (*init)();  // may be null
  void (*fini)();  // may be null
};

// Initialises `units` in order, counting the completed ones. Called once by
// the main program before its first statement of its own.
void INITIALIZEUNITS(std::span<const Unit> units);
// Finalises the completed units in reverse order (part of the exit sequence).
void FINALIZEUNITS();

}  // namespace runtime
