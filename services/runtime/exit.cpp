// Run-time errors and the exit sequence: the one road out of the process.
#include "services/runtime/platform.hpp"
#include "services/runtime/report.hpp"
#include "services/runtime/system.hpp"
#include "services/runtime/units.hpp"

namespace runtime {
namespace {

[[noreturn]] void SYSTEM_EXIT() {
  platform::remove_fault_filter();
  platform::exit_process(EXITCODE);
}

void INTERNALEXIT() {
  // Each exit procedure puts back the one it displaced, so the chain runs
  // last-installed first.
  while (EXITPROC != nullptr) {
    INOUTRES = 0;
    ExitProc p = EXITPROC;
    EXITPROC = nullptr;
    p();
  }
  FINALIZEUNITS();
  if (ERRORADDR != nullptr) WRITE_RUNTIME_ERROR_REPORT();
}

}  // namespace

void DO_EXIT() {
  INTERNALEXIT();
  SYSTEM_EXIT();
}

void INTERNAL_BREAK_ERROR(std::uint16_t n, const void* addr, const void* frame) {
  EXITCODE = n;
  ERRORADDR = addr;
  ERRORBASE = frame;
  DO_EXIT();
}

void HANDLEERRORADDRFRAME(std::uint16_t n, const void* addr, const void* frame) {
  ERRORCODE = n;
  INTERNAL_BREAK_ERROR(n, addr, frame);
}

__attribute__((noinline)) void RUNERROR(std::uint16_t n) {
  ERRORCODE = n;
  INTERNAL_BREAK_ERROR(n, __builtin_return_address(0), RUNTIME_CALLER_FRAME());
}

void HALT(std::uint8_t status) { INTERNAL_BREAK_ERROR(status, ERRORADDR, ERRORBASE); }

}  // namespace runtime
