#pragma once
// The run-time error report written to STDOUT by the exit sequence.
#include <cstdint>
#include <string>

namespace runtime {

// Writes "Runtime error N at 0xADDR", the address again, one line per frame
// from ERRORBASE, and an empty line.
void WRITE_RUNTIME_ERROR_REPORT();

// The frame at which every walk ends (the start-up routine's).
void SET_OUTERMOST_FRAME(const void* frame);

// Frames walked: at most 8 when STDOUT is a character device, else 256.
inline constexpr int MAX_FRAME_DUMP = 8;

// 8 upper-case hexadecimal digits.
std::string HEXSTR(std::uint32_t value);

}  // namespace runtime
