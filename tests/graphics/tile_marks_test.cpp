// The tile marks shared by the plotting thread and the window thread: runs
// of marked tiles, when the window thread is to be woken, how long it may
// wait, and no mark lost while both threads run.
#include "services/graphics/tile_marks.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <utility>
#include <vector>

namespace {

using graphics::window::kFlushPeriod;
using graphics::window::kSettlePeriod;
using graphics::window::kTile;
using graphics::window::TileMarks;
using Clock = TileMarks::Clock;
using TileRun = std::pair<int, int>;

std::vector<TileRun> take(TileMarks& marks, int row) {
  std::vector<TileRun> runs;
  marks.take_row(row, [&](int first, int end) { runs.emplace_back(first, end); });
  return runs;
}

TEST(TileMarks, RunsCoverTheMarkedTilesOnceAndThePartTilesAtTheEdges) {
  TileMarks marks;
  marks.size_for(100, 40);  // 7 x 3 tiles, the last column and row partly
  EXPECT_EQ(marks.columns(), 7);
  EXPECT_EQ(marks.rows(), 3);
  for (int x : {0, 15, 16, 40, 99}) marks.mark(x, 33);
  marks.mark(50, 0);
  marks.begin_look();
  EXPECT_EQ(take(marks, 2), (std::vector<TileRun>{{0, 3}, {6, 7}}));
  EXPECT_EQ(take(marks, 0), (std::vector<TileRun>{{3, 4}}));
  EXPECT_TRUE(take(marks, 1).empty());
  EXPECT_TRUE(take(marks, 2).empty());  // taken once
}

TEST(TileMarks, OnlyTheFirstMarkWhileIdleWakesTheWindowThread) {
  TileMarks marks;
  marks.size_for(64, 64);
  const auto now = Clock::now();
  // Nothing marked, nothing found for long: no time limit, and idle.
  EXPECT_EQ(marks.idle_wait(now, now, now - kSettlePeriod).ms, -1);
  EXPECT_TRUE(marks.mark(1, 1));
  EXPECT_FALSE(marks.mark(20, 20));  // `dirty` is up: the thread is awake
  // Marks waiting: wait until the next send only.
  const TileMarks::Wait w = marks.idle_wait(now, now + kFlushPeriod, now);
  EXPECT_TRUE(w.dirty);
  EXPECT_LE(w.ms, kFlushPeriod.count());
  marks.begin_look();
  EXPECT_FALSE(marks.mark(30, 30));  // looked again, but not idle any more
  marks.begin_look();
  take(marks, 0);
  take(marks, 1);
  // Just after a find: look again within the settle period, without waking.
  const auto t = Clock::now();
  const TileMarks::Wait settle = marks.idle_wait(t, now, t);
  EXPECT_FALSE(settle.dirty);
  EXPECT_GE(settle.ms, 0);
  EXPECT_LE(settle.ms, kSettlePeriod.count());
  EXPECT_TRUE(marks.mark(40, 40));  // idle again: the first mark wakes it
}

// A plotting thread marks tiles while the window thread looks, sends and
// waits as the backends do (a flag stands for the wake-up event). When the
// window thread may wait without a limit and nothing wakes it, every tile's
// last mark must have been taken: otherwise that pixel would never be sent.
TEST(TileMarks, NoMarkIsLeftWhenTheWindowThreadWaitsWithoutALimit) {
  constexpr int kSide = 32;
  TileMarks marks;
  marks.size_for(kSide * kTile, kSide * kTile);
  std::atomic<bool> woken{false}, done{false};
  std::vector<std::atomic<int>> marked(kSide * kSide), taken(kSide * kSide);
  std::thread plotter([&] {
    for (int i = 0; i < 200'000; ++i) {
      const int tile = (i * 7919) % (kSide * kSide);
      marked[tile].store(i + 1);
      if (marks.mark(tile % kSide * kTile, tile / kSide * kTile)) woken.store(true);
      // Pauses let the window thread go idle now and then.
      if (i % 20'000 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(80));
    }
    done.store(true);
  });
  auto next_send = Clock::now(), last_found = next_send - kSettlePeriod;
  for (;;) {
    marks.begin_look();
    bool found = false;
    for (int row = 0; row < marks.rows(); ++row)
      marks.take_row(row, [&](int first, int end) {
        for (int t = row * kSide + first; t < row * kSide + end; ++t) taken[t].store(marked[t].load());
        found = true;
      });
    const auto now = Clock::now();
    if (found) next_send = now + kFlushPeriod, last_found = now;
    const TileMarks::Wait w = marks.idle_wait(now, next_send, last_found);
    if (w.ms >= 0) {
      std::this_thread::sleep_for(std::chrono::milliseconds(w.ms));
      continue;
    }
    // Without a limit: only a wake-up ends the wait. Once the plotter is
    // done and has not woken it, the thread would wait for good.
    while (!woken.exchange(false)) {
      if (done.load() && !woken.load()) {
        plotter.join();
        for (int t = 0; t < kSide * kSide; ++t)
          ASSERT_EQ(taken[t].load(), marked[t].load()) << "tile " << t;
        return;
      }
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
  }
}

}  // namespace
