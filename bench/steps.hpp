#pragma once
// The plotter's own steps, shared by the Linux benchmark and the loop
// timing of the Windows builds: its start-up up to the loop, one step of
// the loop, and the figure's pixels.
#include <cstdint>
#include <vector>

#include "plotter/plotter.hpp"
#include "plotter/six_point.hpp"
#include "services/console/console.hpp"

namespace bench {

// The start of the plotter's main program, up to its loop: the units in
// their order, the seed, the graphics mode, the start point. False when
// the graphics mode could not be opened (_GRAPHRESULT says why); the
// caller reports it.
bool start_services();

// One step of the loop, exactly as the plotter takes it: SORSOL;
// PUTPIXEL(XKOORD(X), YKOORD(Y), 15) with the row first; then the console
// poll. True when the poll reported a key. Inline, so that the timed loops
// call it as the plotter's loop runs it.
inline bool loop_step() {
  plotter::SixPoint::SORSOL();
  plotter::plot_point();
  return console::KEYPRESSED();
}

// Pixels of the figure, in the order the loop plots them.
struct FigurePixels {
  std::vector<std::int16_t> x, y;
};
// Runs `count` steps of the figure from the current point and keeps their
// pixels.
FigurePixels figure_pixels(unsigned count);

}  // namespace bench
