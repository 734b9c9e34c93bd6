// The failed start-up, in a child process under the real process entry:
// the message on standard error, the exit sequence, status 1, no report,
// whether or not standard error takes the message.
#include <gtest/gtest.h>

#include <string>

#include "services/runtime/startup.hpp"
#include "services/runtime/system.hpp"
#include "services/runtime/textfile.hpp"
#include "services/runtime/units.hpp"
#include "tests/support/process.hpp"

namespace {

using testsupport::Redirect;

runtime::ExitProc displaced = nullptr;

// Shows on standard output that the exit sequence ran.
void exit_procedure() {
  runtime::EXITPROC = displaced;
  runtime::write_str(runtime::STDOUT, "exit procedure");
  runtime::write_line(runtime::STDOUT);
}

void failing_program() {
  const runtime::Unit units[] = {runtime::kSystemUnit};
  runtime::INITIALIZEUNITS(units);
  displaced = runtime::EXITPROC;
  runtime::EXITPROC = exit_procedure;
  runtime::fail_start("No way to start");
}

testsupport::Finished run_failing(const Redirect& err) {
  return testsupport::run(
      {.out = {Redirect::pipe}, .err = err, .child = [] { runtime::run_program(failing_program); }});
}

TEST(FailStart, WritesTheLineAndEndsWithStatusOneThroughTheExitSequence) {
  const testsupport::Finished f = run_failing({Redirect::pipe});
  ASSERT_TRUE(f.ended);
  EXPECT_EQ(testsupport::exit_code(f.status), 1);
  EXPECT_EQ(f.err, "No way to start\n");
  EXPECT_EQ(f.out, "exit procedure\n");  // and no report after it
}

TEST(FailStart, AnUnwritableStandardErrorChangesNothingElse) {
  for (const Redirect& err : {Redirect{Redirect::file, "/dev/full"}, Redirect{Redirect::closed},
                              Redirect{Redirect::broken_pipe}}) {
    SCOPED_TRACE(err.kind);
    const testsupport::Finished f = run_failing(err);
    ASSERT_TRUE(f.ended);
    EXPECT_EQ(testsupport::exit_code(f.status), 1);
    EXPECT_EQ(f.out, "exit procedure\n");
  }
}

}  // namespace
