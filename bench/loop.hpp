#pragma once
// The measured pieces of the plotting loop, on the real services: the
// console unit started on a terminal, the graphics unit with a window open
// in the detected mode, and the six-point figure.
#include <cstdint>

#include "bench/steps.hpp"

namespace bench {

// Benchmark names, in the order they run.
inline constexpr const char* CHAIN = "chain";
inline constexpr const char* FLOOR = "floor";
inline constexpr const char* KEYPRESSED_IDLE = "KEYPRESSED";
inline constexpr const char* PUTPIXEL_FIGURE = "PUTPIXEL";
inline constexpr const char* LOOP_STEP = "loop_step";
inline constexpr const char* PUTPIXEL_CHANGING = "PUTPIXEL_changing";

// Registers the benchmarks above; they plot into the window that is open.
// PUTPIXEL's benchmark cycles through the figure's pixels (their count a
// power of two).
void register_loop_benchmarks(const FigurePixels& pixels);

// Heap allocations made inside the measured loops so far.
std::uint64_t loop_allocations();

}  // namespace bench
