#pragma once
// What the loop timing checks besides time on Windows: heap allocations,
// keys written into the console's input queue, and how soon a plotted pixel
// is on the window.
#include <cstdint>

namespace bench {

// Heap allocations (operator new) made by the process so far.
std::uint64_t heap_allocations();

// Writes `trials` letters into the console's input queue, one at a time,
// and waits until the console signals input. Then, in one series, it gives
// the console service's watcher 20 ms to notice and polls KEYPRESSED once;
// in another it polls once at once. Each figure is the number of letters
// that first poll reported (each is taken afterwards, as READKEY would).
// A third series times, polling flat out, each letter's writing to the
// first poll that reported it: the median and the largest.
struct KeyFigures {
  int first_poll = 0;           // of `trials`, the watcher given its moment
  int first_poll_at_once = 0;   // of `trials`
  double notice_median_us = -1, notice_max_us = -1;
};
KeyFigures keys_seen(int trials);

// Time from PUTPIXEL of a fresh pixel to that pixel read back from the
// window's drawing surface (GetPixel on a window DC), in milliseconds:
// after plotting stops (read every millisecond), and while the plotting
// loop runs flat out (read between runs of 4096 steps).
struct PixelFigures {
  int samples = 0;
  double idle_median_ms = -1, idle_p95_ms = -1, idle_max_ms = -1;
  double busy_median_ms = -1, busy_p95_ms = -1, busy_max_ms = -1;
  const char* failure = nullptr;  // why there are no figures
};
// `plot` is one step of the plotting loop; markers go to a row near the
// top, which the figure never reaches.
PixelFigures pixel_latency(int samples, void (*plot)());

}  // namespace bench
