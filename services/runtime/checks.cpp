// Cold paths of ROUND and INT_BOUNDCHECK. Both are inlined into the routine
// that uses them, so the call site here lies in that routine and our
// caller's frame is that routine's frame.
#include "services/runtime/checks.hpp"

#include "services/runtime/real/fpu.hpp"
#include "services/runtime/system.hpp"

namespace runtime {

[[gnu::noinline]] void round_failed() {
  // The invalid operation leaves the unit as a fault would: reset it.
  fpu::reset_and_load(FPUCW);
  HANDLEERRORADDRFRAME(207, RUNTIME_CALL_SITE(), RUNTIME_CALLER_FRAME());
}

[[gnu::noinline]] void boundcheck_failed() {
  HANDLEERRORADDRFRAME(201, RUNTIME_CALL_SITE(), RUNTIME_CALLER_FRAME());
}

}  // namespace runtime
