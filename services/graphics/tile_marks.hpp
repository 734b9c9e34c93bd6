#pragma once
// The changed 16 x 16 tiles of a window's off-screen image, shared without a
// lock by the plotting thread, which marks them, and the window thread, which
// takes the marks and sends those tiles. A locked instruction per point would
// wait for the point's own divisions to finish and so cost more than the rest
// of the step; here the plotting thread makes plain stores, and a fence only
// on the first mark after the window thread has looked.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>

namespace graphics::window {

inline constexpr int kTileShift = 4;
inline constexpr int kTile = 1 << kTileShift;

// Longest time a changed tile waits before it is sent.
inline constexpr auto kFlushPeriod = std::chrono::milliseconds(6);
// How long the window thread keeps looking after its last find before it
// waits without a time limit. A mark made just as the thread lowered `dirty`
// can miss being seen with it (mark() then finds `dirty` still up and does
// not raise it): the next look, this long after, finds it.
inline constexpr auto kSettlePeriod = std::chrono::milliseconds(50);

class TileMarks {
 public:
  // Window thread, before the image is shared.
  void size_for(int width, int height) {
    columns_ = (width + kTile - 1) >> kTileShift;
    rows_ = (height + kTile - 1) >> kTileShift;
    marks_ = std::make_unique<std::atomic<std::uint8_t>[]>(static_cast<std::size_t>(columns_) *
                                                            rows_);
  }
  // After the window thread has ended.
  void clear() {
    marks_.reset();
    columns_ = rows_ = 0;
  }
  int columns() const { return columns_; }
  int rows() const { return rows_; }

  // Plotting thread, after it changed pixel (x, y): marks its tile with a
  // release store (read by the exchange in take_row). True when the window
  // thread must be woken: the first mark since it last looked, while it may
  // wait without a time limit.
  bool mark(int x, int y) {
    marks_[static_cast<std::size_t>(y >> kTileShift) * columns_ + (x >> kTileShift)].store(
        1, std::memory_order_release);
    if (dirty_.load(std::memory_order_relaxed)) return false;
    dirty_.store(true);  // ordered before the load of idle, as idle_wait needs
    if (!idle_.load()) return false;
    idle_.store(false, std::memory_order_relaxed);
    return true;
  }

  // Window thread, before it takes the marks: a tile marked from now on
  // raises `dirty` again.
  void begin_look() { dirty_.store(false); }

  // Window thread: calls send(first, end) for each run of marked tiles
  // [first, end) of tile row `row`, once their marks are taken. Taking a
  // mark makes the pixels written before it visible here.
  template <class Send>
  void take_row(int row, Send&& send) {
    std::atomic<std::uint8_t>* m = &marks_[static_cast<std::size_t>(row) * columns_];
    for (int tx = 0; tx < columns_;) {
      if (m[tx].load(std::memory_order_relaxed) == 0) {
        ++tx;
        continue;
      }
      // Only this thread clears marks, so the first is still there. A mark
      // not seen here is found by a later look, as one at the row's start.
      const int first = tx;
      do m[tx].exchange(0, std::memory_order_acquire);
      while (++tx < columns_ && m[tx].load(std::memory_order_relaxed) != 0);
      send(first, tx);
    }
  }

  // Window thread, about to wait after a look at `now`: how long it may
  // wait. It announces idle before it reads `dirty`, and mark() raises
  // `dirty` before it reads idle: one of the two sees the other.
  struct Wait {
    bool dirty;  // marks are waiting: wait until the next send, then look
    long ms;     // -1: no time limit
  };
  using Clock = std::chrono::steady_clock;
  Wait idle_wait(Clock::time_point now, Clock::time_point next_send,
                 Clock::time_point last_found) {
    idle_.store(true);
    if (dirty_.load()) {
      idle_.store(false, std::memory_order_relaxed);
      return {true, ms_until(next_send)};
    }
    if (now - last_found < kSettlePeriod) return {false, ms_until(last_found + kSettlePeriod)};
    return {false, -1};
  }

 private:
  static long ms_until(Clock::time_point when) {
    return std::max<long>(
        0, static_cast<long>(
               std::chrono::ceil<std::chrono::milliseconds>(when - Clock::now()).count()));
  }

  std::unique_ptr<std::atomic<std::uint8_t>[]> marks_;  // 1: changed since last sent
  int columns_ = 0, rows_ = 0;
  std::atomic<bool> dirty_{false};  // some tile may be marked
  std::atomic<bool> idle_{false};   // the window thread may wait without a time limit
};

}  // namespace graphics::window
