#pragma once
// The plotter's own steps, shared by the Linux benchmark and the loop
// timing of the Windows builds: its start-up up to the loop, one step of
// the loop, and the figure's pixels.
#include <cstdint>
#include <vector>

#include "plotter/plotter.hpp"
#include "plotter/six_point.hpp"

namespace bench {

// The start of the plotter's main program, up to its loop: the units in
// their order, the seed, the graphics mode, the start point. False when
// the graphics mode could not be opened (_GRAPHRESULT says why); the
// caller reports it.
bool start_services();

// One step of the plotter's loop; true when the poll reported a key.
// Inline, so that the timed loops run it as the plotter's loop does.
[[gnu::always_inline]] inline bool loop_step() { return plotter::step<plotter::SixPoint>(); }

// Pixels of the figure, in the order the loop plots them.
struct FigurePixels {
  std::vector<std::int16_t> x, y;
};
// Runs `count` steps of the figure from the current point and keeps their
// pixels.
FigurePixels figure_pixels(unsigned count);

}  // namespace bench
