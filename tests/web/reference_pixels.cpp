// The native build's pixels for the browser build's end-to-end test:
// reference_pixels <trigrain|quintgrain> <seed> <count> <width> <height>
// prints, one "x y" a line, the first <count> distinct pixels inside a
// <width> x <height> canvas that the program's loop plots from RANDSEED
// <seed>, in the order they are first lit.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "plotter/five_point.hpp"
#include "plotter/six_point.hpp"
#include "services/console/console.hpp"
#include "services/graphics/graph.hpp"
#include "tests/plotter/recorder.hpp"

namespace {

int width = 0, height = 0;
long wanted = 0, found = 0;
std::vector<unsigned char> lit;
unsigned long long steps = 0;
constexpr unsigned long long kStepLimit = 2'000'000'000ull;

void sink(std::int16_t x, std::int16_t y, std::uint16_t) {
  if (++steps >= kStepLimit) console::SCANCODE = 13;
  if (x < 0 || y < 0 || x >= width || y >= height) return;
  unsigned char& on = lit[static_cast<std::size_t>(y) * width + x];
  if (on) return;
  on = 1;
  std::printf("%d %d\n", x, y);
  if (++found == wanted) console::SCANCODE = 13;  // Enter: the loop ends
}

template <class Figure>
void run(std::uint32_t seed) {
  plottertest::prepare(Figure::kSize, seed);
  graphics::PUTPIXEL = sink;
  plotter::plot<Figure>();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 6) {
    std::fprintf(stderr, "usage: %s trigrain|quintgrain seed count width height\n", argv[0]);
    return 2;
  }
  const auto seed = static_cast<std::uint32_t>(std::strtoul(argv[2], nullptr, 10));
  wanted = std::atol(argv[3]);
  width = std::atoi(argv[4]);
  height = std::atoi(argv[5]);
  lit.assign(static_cast<std::size_t>(width) * height, 0);
  if (wanted <= 0) return 0;
  if (std::strcmp(argv[1], "trigrain") == 0) run<plotter::SixPoint>(seed);
  else run<plotter::FivePoint>(seed);
  return found == wanted ? 0 : 1;
}
