#pragma once
// The measured pieces of the plotting loop, on the real services: the
// console unit started on a terminal, the graphics unit with a window open
// in the detected mode, and the six-point figure.
#include <cstdint>
#include <vector>

namespace bench {

// Benchmark names, in the order they run.
inline constexpr const char* CHAIN = "chain";
inline constexpr const char* FLOOR = "floor";
inline constexpr const char* KEYPRESSED_IDLE = "KEYPRESSED";
inline constexpr const char* PUTPIXEL_FIGURE = "PUTPIXEL";
inline constexpr const char* LOOP_STEP = "loop_step";
inline constexpr const char* PUTPIXEL_CHANGING = "PUTPIXEL_changing";

// Pixels of the figure, in the order the loop plots them; PUTPIXEL's
// benchmark cycles through them.
struct FigurePixels {
  std::vector<std::int16_t> x, y;
};
// Runs `count` steps of the figure (count a power of two) from the current
// point and keeps their pixels.
FigurePixels figure_pixels(unsigned count);

// Registers the benchmarks above; they plot into the window that is open.
void register_loop_benchmarks(const FigurePixels& pixels);

// Heap allocations made inside the measured loops so far.
std::uint64_t loop_allocations();

// One step of the loop, exactly as the plotter takes it; true when the
// console poll reported a key.
bool loop_step();

}  // namespace bench
