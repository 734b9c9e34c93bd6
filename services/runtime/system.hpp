#pragma once
// Error and exit state, run-time errors and the exit sequence.
//
// Every orderly end of the process goes through DO_EXIT: the normal end,
// HALT and every run-time error (failed checks and processor faults).
#include <cstdint>
#include <string_view>

#include "services/runtime/frame_layout.hpp"

namespace runtime {

using ExitProc = void (*)();

extern std::uint16_t ERRORCODE;  // run-time error number shown in the report
extern const void* ERRORADDR;    // where the error was raised; set = report due
extern const void* ERRORBASE;    // frame at which the report's stack walk starts
extern ExitProc EXITPROC;        // head of the exit-procedure chain
extern std::uint16_t INOUTRES;   // first pending input/output error, 0 = none

// Control word loaded at start-up: extended precision, round to nearest,
// invalid, zero-divide and overflow faults enabled.
inline constexpr std::uint16_t FPUCW = 0x1332;

// Raises run-time error n at the routine that called RUNERROR.
[[noreturn]] void RUNERROR(std::uint16_t n);
// Ends the process with the given status; no report unless an error
// address was already set.
[[noreturn]] void HALT(std::uint8_t status);
// The exit sequence: exit procedures, module finalisation, report, exit.
[[noreturn]] void DO_EXIT();

// A failed start-up: writes `message` and a line end to STDERR and ends the
// process with HALT(1). The end is the same, status 1 and no report, also
// when standard error cannot take the line (full, closed): that failure is
// dropped.
[[noreturn]] void fail_start(std::string_view message);

// Raise run-time error n as if at code address `addr` inside the routine
// whose frame is `frame` (used by checks and by the fault filter). For an
// error raised by a call, `addr` is RUNTIME_CALL_SITE(), for a fault the
// faulting instruction.
[[noreturn]] void HANDLEERRORADDRFRAME(std::uint16_t n, const void* addr, const void* frame);
[[noreturn]] void INTERNAL_BREAK_ERROR(std::uint16_t n, const void* addr, const void* frame);

// Frame of the routine that called the current one, found through the
// saved frame link (every routine keeps a frame pointer).
#define RUNTIME_CALLER_FRAME() (::runtime::frame::caller(__builtin_frame_address(0)))

// Where the current routine was called from: the last byte of the call
// instruction in the caller (return address - 1). The return address itself
// may already lie in the next line or, after a call that never returns, in
// the next routine; the call's own byte names the calling line.
#define RUNTIME_CALL_SITE() (static_cast<const char*>(__builtin_return_address(0)) - 1)

}  // namespace runtime
