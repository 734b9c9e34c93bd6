#pragma once
// The run-time error report written to STDOUT by the exit sequence.
namespace runtime {

// Writes "Runtime error N at 0xADDR", the address again, one line per frame
// from ERRORBASE, and an empty line. Addresses are the object's own
// (link-time) addresses, as addr2line takes them; a return address is shown
// as the last byte of its call instruction.
void write_runtime_error_report();

// The frame at which every walk ends (the start-up routine's).
void set_outermost_frame(const void* frame);

// Frames walked when STDOUT is a character device (256 otherwise): the walk
// ends after the frame that takes the count above the limit.
inline constexpr int MAX_FRAME_DUMP = 8;

}  // namespace runtime
