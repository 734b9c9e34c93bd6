#pragma once
// A pixel sink for running the plotting loop without a window or a console:
// graphics::PUTPIXEL is bound to a recorder, and the loop is ended by
// buffering a key (console::SCANCODE) once enough pixels have come in.
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "plotter/plotter.hpp"

namespace plottertest {

using Pixel = std::pair<int, int>;  // column, row

struct Recorder {
  std::vector<Pixel> pixels;
  std::vector<std::uint16_t> colors;
  std::size_t stop_after = 0;  // buffer a key after this many pixels
};

Recorder& recorder();

// Seeds the generator as at start-up without RANDOMIZE (RANDSEED `seed`),
// sets MERET to the figure's size, empties the key buffer and binds
// PUTPIXEL to the recorder.
void prepare(std::uint16_t meret, std::uint32_t seed = 0);

// Runs the plotter's loop (start point, then steps until a key is waiting)
// and returns every pixel plotted; a key is buffered after `pixels` pixels.
template <class Figure>
std::vector<Pixel> run_loop(std::size_t pixels, std::uint32_t seed = 0) {
  prepare(Figure::kSize, seed);
  recorder().stop_after = pixels;
  plotter::plot<Figure>();
  return recorder().pixels;
}

}  // namespace plottertest
