#include <windows.h>

#include <algorithm>
#include <chrono>
#include <vector>

#include "bench/win32/probes.hpp"
#include "services/console/console.hpp"
#include "services/graphics/graph.hpp"
#include "services/graphics/state.hpp"

namespace {

using Clock = std::chrono::steady_clock;

double median_of(std::vector<double> v) {
  if (v.empty()) return -1;
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

double p95_of(std::vector<double> v) {
  if (v.empty()) return -1;
  std::sort(v.begin(), v.end());
  return v[(v.size() * 95 + 99) / 100 - 1];
}

double max_of(const std::vector<double>& v) {
  return v.empty() ? -1 : *std::max_element(v.begin(), v.end());
}

double us_since(Clock::time_point t) {
  return std::chrono::duration<double, std::micro>(Clock::now() - t).count();
}

// --- keys

INPUT_RECORD letter(char c, bool down) {
  INPUT_RECORD r{};
  r.EventType = KEY_EVENT;
  r.Event.KeyEvent.bKeyDown = down;
  r.Event.KeyEvent.wRepeatCount = 1;
  r.Event.KeyEvent.wVirtualKeyCode = static_cast<WORD>('A' + (c - 'a'));
  r.Event.KeyEvent.uChar.AsciiChar = c;
  return r;
}

bool write_letter(HANDLE in, char c) {
  const INPUT_RECORD records[2] = {letter(c, true), letter(c, false)};
  DWORD written = 0;
  return WriteConsoleInputA(in, records, 2, &written) && written == 2;
}

void take_key() {
  console::SCANCODE = 0;
  console::SPECIALKEY = false;
}

// Polls until the console's queue is empty, taking any key found; the
// last poll leaves the console service as an idle loop finds it.
void drain(HANDLE in) {
  const auto deadline = Clock::now() + std::chrono::seconds(5);
  while (Clock::now() < deadline) {
    if (console::KEYPRESSED()) {
      take_key();
      continue;
    }
    DWORD n = 0;
    GetNumberOfConsoleInputEvents(in, &n);
    if (n == 0) break;
    Sleep(0);
  }
  for (int i = 0; i < 1000; ++i)
    if (console::KEYPRESSED()) take_key();
}

// --- pixels

HDC window_dc(HWND& window) {
  window = FindWindowA(nullptr, "Graph window application");
  return window == nullptr ? nullptr : GetDC(window);
}

bool white_at(HDC dc, int x, int y) { return GetPixel(dc, x, y) == RGB(252, 252, 252); }

// The row of the markers: near the top, which the figure never reaches.
constexpr int MARKER_ROW = 2;

// Marker positions on that row, each black until plotted.
std::vector<int> marker_columns(int count) {
  std::vector<int> xs;
  const int y = MARKER_ROW;
  for (int x = 0; x <= graphics::GETMAXX() && static_cast<int>(xs.size()) < count; x += 3)
    if (graphics::get_pixel(static_cast<std::int16_t>(x), static_cast<std::int16_t>(y)) == 0)
      xs.push_back(x);
  return xs;
}

}  // namespace

namespace bench {

KeyFigures keys_seen(int trials) {
  KeyFigures f;
  HANDLE in = CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE,
                          FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (in == INVALID_HANDLE_VALUE) return f;
  drain(in);
  for (int settle : {20, 0}) {
    int& seen = settle > 0 ? f.first_poll : f.first_poll_at_once;
    for (int i = 0; i < trials; ++i) {
      const char c = static_cast<char>('a' + i % 26);
      if (!write_letter(in, c)) break;
      if (WaitForSingleObject(in, 5000) != WAIT_OBJECT_0) break;
      if (settle > 0) Sleep(static_cast<DWORD>(settle));
      if (console::KEYPRESSED() && console::SCANCODE == static_cast<std::uint8_t>(c)) ++seen;
      drain(in);
    }
  }
  std::vector<double> us;
  for (int i = 0; i < trials; ++i) {
    const char c = static_cast<char>('a' + i % 26);
    if (!write_letter(in, c)) break;
    const auto written = Clock::now();
    const auto deadline = written + std::chrono::seconds(5);
    while (!console::KEYPRESSED() && Clock::now() < deadline) {
    }
    if (console::SCANCODE == static_cast<std::uint8_t>(c)) us.push_back(us_since(written));
    drain(in);
  }
  f.notice_median_us = median_of(us);
  f.notice_max_us = max_of(us);
  CloseHandle(in);
  return f;
}

PixelFigures pixel_latency(int samples, void (*plot)()) {
  PixelFigures f;
  const std::vector<int> xs = marker_columns(2 * samples);
  if (static_cast<int>(xs.size()) < 2 * samples) {
    f.failure = "no room for the markers";
    return f;
  }
  const int y = MARKER_ROW;
  const auto row = static_cast<std::int16_t>(y);

  // After plotting stops: one pixel, then nothing.
  HWND window;
  HDC dc = window_dc(window);
  if (dc == nullptr) {
    f.failure = "the window was not found";
    return f;
  }
  std::vector<double> idle;
  for (int i = 0; i < samples; ++i) {
    Sleep(20);  // the window thread has sent everything and waits
    const auto plotted = Clock::now();
    graphics::PUTPIXEL(static_cast<std::int16_t>(xs[static_cast<std::size_t>(i)]), row, 15);
    while (!white_at(dc, xs[static_cast<std::size_t>(i)], y) &&
           Clock::now() - plotted < std::chrono::seconds(2))
      Sleep(1);
    if (white_at(dc, xs[static_cast<std::size_t>(i)], y)) idle.push_back(us_since(plotted) / 1000);
  }
  ReleaseDC(window, dc);

  // While the loop runs flat out: a marker among its pixels, looked for on
  // the window between runs of 4096 steps (about a millisecond).
  dc = window_dc(window);
  std::vector<double> busy;
  for (int i = samples; i < 2 * samples; ++i) {
    const int x = xs[static_cast<std::size_t>(i)];
    for (int k = 0; k < 20000; ++k) plot();
    const auto plotted = Clock::now();
    graphics::PUTPIXEL(static_cast<std::int16_t>(x), row, 15);
    bool seen = false;
    while (!seen && Clock::now() - plotted < std::chrono::seconds(2)) {
      for (int k = 0; k < 4096; ++k) plot();
      seen = white_at(dc, x, y);
    }
    if (seen) busy.push_back(us_since(plotted) / 1000);
  }
  ReleaseDC(window, dc);

  f.samples = samples;
  // A pixel never seen leaves its series without figures.
  if (static_cast<int>(idle.size()) == samples) {
    f.idle_median_ms = median_of(idle);
    f.idle_p95_ms = p95_of(idle);
    f.idle_max_ms = max_of(idle);
  }
  if (static_cast<int>(busy.size()) == samples) {
    f.busy_median_ms = median_of(busy);
    f.busy_p95_ms = p95_of(busy);
    f.busy_max_ms = max_of(busy);
  }
  return f;
}

}  // namespace bench
