#pragma once
// Pseudo-terminals for the benchmark: one that becomes the process's own
// standard input and output, so that the console service works on a real
// terminal, and one for a program started to have its memory measured.
#include <chrono>
#include <string>

namespace bench {

struct OwnTerminal {
  int master = -1;     // keys written here arrive on standard input
  int report_fd = -1;  // the standard output the process was started with
};

// Puts a new 80 x 25 pseudo-terminal on standard input and output; the
// original standard output stays reachable through report_fd.
bool take_own_terminal(OwnTerminal& t, std::string& error);

struct ProgramMemory {
  bool ok = false;
  std::string error;
  long rss_kib = 0;  // VmRSS after the plotting time
  long hwm_kib = 0;  // VmHWM: the peak until then
  double cpu_seconds = 0;
  int threads = 0;
};

// Starts `path` on a pseudo-terminal of its own, lets it run for
// `run_time`, reads its memory figures, then presses Enter and waits for
// its normal end (exit status 0).
ProgramMemory measure_program(const std::string& path, std::chrono::milliseconds run_time);

}  // namespace bench
