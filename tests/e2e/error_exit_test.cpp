// A run-time error ends the process with its report and status, and the
// terminal restored, whatever the window thread is doing.
#include <gtest/gtest.h>

#include "tests/e2e/run.hpp"
#include "tests/support/programs.hpp"

namespace e2e {
namespace {

// The probe on a fresh terminal, with its window shown on `server`.
Terminal start_probe(const testsupport::XServer& server, const std::string& mode) {
  return Terminal(testsupport::program("error_probe"),
                  with_display({.env = {"ERROR_PROBE_MODE=" + mode}}, server.display()));
}

void expect_report(Terminal& terminal) {
  expect_end(terminal, 123);
  EXPECT_NE(terminal.output().find("Runtime error 123 at 0x"), std::string::npos)
      << terminal.output();
}

TEST(RunTimeErrorWithAWindow, EndsWhileTheMainThreadHoldsTheDrawingLock) {
  testsupport::XServer server;
  Terminal terminal = start_probe(server, "locked");
  {
    XClient x(server.display());
    ASSERT_NE(wait_for_window(x), 0u) << terminal.output();
  }
  terminal.type("q");
  expect_report(terminal);
}

TEST(RunTimeErrorWithAWindow, EndsWhileTheXServerIsStopped) {
  testsupport::XServer server;
  Terminal terminal = start_probe(server, "plain");
  {
    // Paused only once the probe plots: its window is named before the
    // window thread's last requests that wait for the server's answer.
    XClient x(server.display());
    const unsigned long window = wait_for_window(x);
    ASSERT_NE(window, 0u) << terminal.output();
    ASSERT_TRUE(wait_for_plotting(x, window)) << terminal.output();
  }
  server.pause();
  terminal.type("q");
  expect_report(terminal);
  server.resume();
}

}  // namespace
}  // namespace e2e
