#pragma once
// The browser build's one road back to the page: the program runs on the
// page's own thread, so it hands control to the browser now and then
// (platform_web.cpp), and the services put their output on the page then.
#include <cstdint>

namespace runtime::web {

// Runs `before` (the graphics service's picture update), then lets the
// browser run until its next frame, or, with `ms` > 0, until input comes or
// `ms` milliseconds have passed. Hidden, the page is resumed without frames.
void yield_to_browser(std::uint32_t ms);
// The one routine run before each yield; nullptr for none.
void set_before_yield(void (*before)());

}  // namespace runtime::web

namespace runtime::web {

// The run-time error number of a WebAssembly trap or of the engine's own
// error, from its message (faults_web.cpp): integer division by zero 200,
// integer overflow 215, a call stack exhausted 202, an unreachable (invalid)
// instruction 217, any other (memory out of bounds among them) 216.
std::uint16_t trap_error(const char* message);

}  // namespace runtime::web
