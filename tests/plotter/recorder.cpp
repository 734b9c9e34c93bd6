#include "tests/plotter/recorder.hpp"

#include "services/console/backend.hpp"
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

// A console on which nothing is ever typed and nothing shows: the loop's
// polls find no event, so only the recorder's buffered key ends it.
const console::EventSource silent_keyboard{
    [] { return false; }, [](console::InputRecord&) { return false; }, [](std::uint32_t) {}};
const console::Screen no_screen{[](console::ScreenInfo&) { return true; }, [](int, int) {},
                                [](int, int, std::uint8_t, std::uint16_t) {},
                                [](int, int, int, int, std::uint16_t) {}, nullptr};

}  // namespace

void prepare(std::uint16_t meret, std::uint32_t seed) {
  runtime::reset_random();
  runtime::RANDSEED = seed;
  plotter::MERET = meret;
  console::attach(silent_keyboard, no_screen);
  console::SCANCODE = 0;
  console::SPECIALKEY = false;
  recorder() = Recorder{};
  graphics::PUTPIXEL = record;
}

}  // namespace plottertest
