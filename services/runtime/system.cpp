// Run-time errors and the exit sequence: the one road out of the process.
#include <atomic>
#include <chrono>
#include <thread>

#include "services/runtime/faults/faults.hpp"
#include "services/runtime/platform.hpp"
#include "services/runtime/report.hpp"
#include "services/runtime/system.hpp"
#include "services/runtime/textfile.hpp"
#include "services/runtime/units.hpp"

namespace runtime {
namespace {

std::uint16_t EXITCODE = 0;  // the process's exit status

// The exit sequence belongs to the first thread that enters it. That thread
// may enter it again (an error in an exit procedure goes on with the rest of
// the chain); another thread that fails meanwhile must not touch the error
// state or run exit procedures a second time, and waits for the end.
std::atomic<std::thread::id> exiting_thread{};

// An owner that is still not done after this long is taken to be waiting for
// the thread that waits here (an exit procedure joining it): end the process.
constexpr auto kOwnerGrace = std::chrono::seconds(30);

[[noreturn]] void SYSTEM_EXIT();

void enter_exit_sequence() {
  const std::thread::id self = std::this_thread::get_id();
  std::thread::id none{};
  if (exiting_thread.compare_exchange_strong(none, self) || none == self) return;
  std::this_thread::sleep_for(kOwnerGrace);
  SYSTEM_EXIT();
}

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
  if (ERRORADDR != nullptr) {
    // A failure left over from before must not swallow the report; one
    // while writing it skips the rest.
    INOUTRES = 0;
    write_runtime_error_report();
  }
}

}  // namespace

void DO_EXIT() {
  enter_exit_sequence();
  INTERNALEXIT();
  SYSTEM_EXIT();
}

void INTERNAL_BREAK_ERROR(std::uint16_t n, const void* addr, const void* frame) {
  enter_exit_sequence();
  EXITCODE = n;
  ERRORADDR = addr;
  ERRORBASE = frame;
  DO_EXIT();
}

void HANDLEERRORADDRFRAME(std::uint16_t n, const void* addr, const void* frame) {
  enter_exit_sequence();
  ERRORCODE = n;
  INTERNAL_BREAK_ERROR(n, addr, frame);
}

[[gnu::noinline]] void RUNERROR(std::uint16_t n) {
  enter_exit_sequence();
  ERRORCODE = n;
  INTERNAL_BREAK_ERROR(n, RUNTIME_CALL_SITE(), RUNTIME_CALLER_FRAME());
}

void HALT(std::uint8_t status) { INTERNAL_BREAK_ERROR(status, ERRORADDR, ERRORBASE); }

void fail_start(std::string_view message) {
  write_str(STDERR, message);
  write_line(STDERR);
  INOUTRES = 0;
  HALT(1);
}

}  // namespace runtime
