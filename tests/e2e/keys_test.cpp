// Keys: the terminal's end the plot and edit the final line; the graphics
// window's do nothing.
#include <gtest/gtest.h>

#include <cstdlib>
#include <thread>

#include "tests/e2e/run.hpp"

namespace e2e {
namespace {

const std::string kPrompt = "ready> ";
// How the prompt's row reads with `text` after it (rows lose trailing blanks).
std::string shown(const std::string& text = {}) {
  std::string row = kPrompt + text;
  row.erase(row.find_last_not_of(' ') + 1);
  return row;
}

class Keys : public ::testing::TestWithParam<const Figure*> {
 protected:
  // The program, started after a prompt, with its window open.
  void start() {
    Launch launch;
    launch.prompt = kPrompt;
    run_.emplace(*GetParam(), server_.display(), launch);
    x_.emplace(server_.display());
    window_ = wait_for_window(*x_);
    ASSERT_NE(window_, 0u) << terminal().output();
    ASSERT_TRUE(wait_until([&] { return terminal().row(0) == shown(); }, kStartTimeout))
        << "screen row: " << terminal().row(0) << "\noutput: " << ::testing::PrintToString(terminal().output());
  }
  Terminal& terminal() { return run_->terminal; }
  bool line_is(const std::string& text) {
    return wait_until([&] { return terminal().row(0) == shown(text); }, 10s);
  }

  testsupport::XServer server_;
  std::optional<ProgramRun> run_;
  std::optional<XClient> x_;
  unsigned long window_ = 0;
};

TEST_P(Keys, EnterEndsTheProgramAtOnce) {
  ASSERT_NO_FATAL_FAILURE(start());
  end_with_enter(terminal());
  EXPECT_EQ(terminal().row(0), shown());
}

TEST_P(Keys, LetterIsEchoedWhereTheCursorStoodAndEnterEnds) {
  ASSERT_NO_FATAL_FAILURE(start());
  terminal().type("g");
  EXPECT_TRUE(line_is("g")) << terminal().row(0);
  EXPECT_TRUE(keeps_running(terminal(), 300ms));
  terminal().type("o");
  EXPECT_TRUE(line_is("go")) << terminal().row(0);
  end_with_enter(terminal());
  EXPECT_EQ(terminal().row(0), shown("go"));
}

TEST_P(Keys, BackspaceRubsTheLetterOut) {
  ASSERT_NO_FATAL_FAILURE(start());
  terminal().type("g");
  ASSERT_TRUE(line_is("g")) << terminal().row(0);
  terminal().type("\x7f");
  EXPECT_TRUE(line_is("")) << terminal().row(0);
  EXPECT_TRUE(keeps_running(terminal(), 300ms));
  end_with_enter(terminal());
}

// Esc alone cannot be told from the start of a key's sequence at once, so
// the next key waits a little.
TEST_P(Keys, EscAndArrowKeysEchoNothing) {
  ASSERT_NO_FATAL_FAILURE(start());
  terminal().type("\x1b");
  std::this_thread::sleep_for(500ms);
  terminal().type("\x1b[A\x1b[D\x1b[C\x1b[B");
  EXPECT_TRUE(keeps_running(terminal(), 500ms));
  end_with_enter(terminal());
  EXPECT_EQ(terminal().row(0), shown());
}

TEST_P(Keys, ArrowKeyEndsThePlotAndEchoesNothing) {
  ASSERT_NO_FATAL_FAILURE(start());
  terminal().type("\x1b[A");
  EXPECT_TRUE(keeps_running(terminal(), 500ms));
  EXPECT_EQ(terminal().row(0), shown());
  end_with_enter(terminal());
  EXPECT_EQ(terminal().row(0), shown());
}

TEST_P(Keys, KeysTypedIntoTheGraphicsWindowDoNotStopThePlot) {
  ASSERT_NO_FATAL_FAILURE(start());
  // Sent to the window directly, then through the keyboard with the
  // window focused.
  for (const char* key : {"Return", "a", "Escape"}) x_->send_key(window_, key);
  x_->focus(window_);
  const std::string xdotool = "DISPLAY=" + server_.display() + " xdotool key Return a Escape";
  ASSERT_EQ(std::system(xdotool.c_str()), 0);
  EXPECT_TRUE(keeps_running(terminal(), 1000ms));
  EXPECT_EQ(terminal().row(0), shown());
  // The plot still goes on: a terminal key ends it and starts the line.
  terminal().type("z");
  EXPECT_TRUE(line_is("z")) << terminal().row(0);
  end_with_enter(terminal());
}

GRAIN_FOR_BOTH_PROGRAMS(Keys);

}  // namespace
}  // namespace e2e
