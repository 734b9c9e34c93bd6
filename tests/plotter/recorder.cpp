#include "tests/plotter/recorder.hpp"

#include "services/console/console.hpp"
#include "services/graphics/graph.hpp"
#include "services/runtime/random.hpp"

namespace plottertest {

Recorder& recorder() {
  static Recorder r;
  return r;
}

namespace {

void record(std::int16_t x, std::int16_t y, std::uint16_t color) {
  Recorder& r = recorder();
  r.pixels.emplace_back(x, y);
  r.colors.push_back(color);
  if (r.pixels.size() == r.stop_after) console::SCANCODE = 13;  // Enter
}

}  // namespace

void prepare(std::uint16_t meret, std::uint32_t seed) {
  runtime::RESET_RANDOM();
  runtime::RANDSEED = seed;
  plotter::MERET = meret;
  console::SCANCODE = 0;
  console::SPECIALKEY = false;
  recorder() = Recorder{};
  graphics::PUTPIXEL = record;
}

}  // namespace plottertest
