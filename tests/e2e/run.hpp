#pragma once
// Running one of the real programs on a terminal against a private X server.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <optional>
#include <ostream>
#include <string>

#include "tests/e2e/figures.hpp"
#include "tests/support/scratch.hpp"
#include "tests/support/terminal.hpp"
#include "tests/support/wait.hpp"
#include "tests/support/x_client.hpp"
#include "tests/support/xserver.hpp"

namespace e2e {

using namespace std::chrono_literals;
using testsupport::fresh_terminal_settings;
using testsupport::Image;
using testsupport::scratch_path;
using testsupport::Size;
using testsupport::Terminal;
using testsupport::wait_until;

// The test's X connection; windows may vanish between two of its requests.
struct XClient : testsupport::XClient {
  explicit XClient(const std::string& display) : testsupport::XClient(display, true) {}
};

inline const std::string kTitle = "Graph window application";
inline const std::string kNotInGraphicsMode =
    "Error: Not in graphics mode (use InitGraph and test GraphResult afterwards)";

// Generous: the machine may be busy.
inline constexpr auto kStartTimeout = 30s;
inline constexpr auto kExitTimeout = 15s;

std::string program_path(const Figure& figure);

struct Launch {
  testsupport::TerminalOptions pty;
  std::string prompt;       // printed on the terminal before the program starts
  std::string stderr_path;  // where standard error goes; empty: the terminal
};

// `options` for a program started on a fresh terminal, shown on `display`
// (empty: DISPLAY unset). The fresh terminal's settings are taken here.
testsupport::TerminalOptions with_display(testsupport::TerminalOptions options,
                                          const std::string& display);

// The program started on a fresh terminal. `display` empty: DISPLAY unset.
struct ProgramRun {
  ProgramRun(const Figure& figure, const std::string& display, Launch launch = {});
  Terminal terminal;
};

// Size of the mode that detection picks on this display, worked out by the
// graphics service's own detection in the test process.
Size detected_mode_size(const std::string& display);

// Waits for the program's window, checks that it is not gone at once.
unsigned long wait_for_window(XClient& x);

// Waits until the window shows plotted pixels: the plotting loop runs.
bool wait_for_plotting(XClient& x, unsigned long window);

// Waits for the program's end; expects `status` and the terminal settings
// as they were before the program started.
void expect_end(Terminal& terminal, int status);

// Types Enter and expects the normal end.
void end_with_enter(Terminal& terminal);

// True while the program runs `for_at_least` longer without ending.
bool keeps_running(Terminal& terminal, std::chrono::milliseconds for_at_least);

// A shell script that prints `prompt` and then runs `program` (so that the
// program starts with the cursor away from the terminal's corner), with its
// standard error sent to `stderr_path` unless that is empty ("&-": closed).
std::string launcher(const std::string& program, const std::string& prompt,
                     const std::string& stderr_path);

// What a window shows of a figure.
struct FigureCheck {
  std::size_t lit = 0;
  std::size_t not_white = 0;       // lit pixels of any other colour
  std::size_t outside = 0;         // lit pixels outside the figure's box
  std::size_t off_figure = 0;      // lit pixels not next to the reference figure
  std::size_t attractor_lit = 0;   // reference attractor pixels lit
  std::size_t attractor_size = 0;  // reference attractor pixels inside the window
  bool origin_lit = false;
  double share() const {
    return attractor_size == 0 ? 0.0 : static_cast<double>(attractor_lit) / static_cast<double>(attractor_size);
  }
};
FigureCheck check_figure(const Image& image, const Figure& figure);

// Captures the window until at least `share` of the attractor is lit (or
// the time-out passes) and returns the last check.
FigureCheck wait_for_dense_figure(XClient& x, unsigned long window, const Figure& figure,
                                  double share, std::chrono::milliseconds timeout);

// Shows a case's figure by its program.
void PrintTo(const Figure* figure, std::ostream* os);

// Names the parameterised cases after the program.
struct ProgramName {
  std::string operator()(const ::testing::TestParamInfo<const Figure*>& info) const;
};

#define GRAIN_FOR_BOTH_PROGRAMS(suite)                                                         \
  INSTANTIATE_TEST_SUITE_P(Programs, suite, ::testing::Values(&six_point(), &five_point()), \
                           ProgramName())

}  // namespace e2e
