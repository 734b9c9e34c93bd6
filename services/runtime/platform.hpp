#pragma once
// What the runtime needs from the operating system. One implementation per
// platform: platform_posix.cpp, platform_win32.cpp; the fault filter is
// faults/faults.hpp's.
#include <cstddef>
#include <cstdint>

namespace runtime::platform {

enum class StdStream { input, output, error };
std::intptr_t std_handle(StdStream which);

// Writes all of `data`; returns 0 or the I/O error number for INOUTRES.
std::uint16_t write(std::intptr_t handle, const char* data, std::size_t size);
// Reads at most `size` bytes; returns the count (0 at end of input), or a
// negative value with the I/O error number in `error`.
long read(std::intptr_t handle, char* data, std::size_t size, std::uint16_t& error);
bool is_char_device(std::intptr_t handle);

// Milliseconds since the system started, wrapping at 2^32.
std::uint32_t tick_count_ms();

// Number printed for a code address in the report, and the count of
// hexadecimal digits it is printed with.
std::uint64_t report_address(const void* code);
int report_address_digits();
// True when the words a frame walk reads at `frame` (frame_layout.hpp) lie
// on the current thread's stack, aligned.
bool frame_on_stack(const void* frame);

[[noreturn]] void exit_process(std::uint16_t status);

}  // namespace runtime::platform
