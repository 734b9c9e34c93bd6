// A small program over the console unit, for the pseudo-terminal tests: it
// starts the console, polls KEYPRESSED until a key, reads the final line
// and ends like the plotters do.
//
// Set-up hooks, from the environment (test use only):
//   PROBE_WAIT_GO=1      read one line before starting the console, so a
//                        test can take the terminal settings first;
//   PROBE_STDOUT_NULL=1  standard output goes to /dev/null;
//   PROBE_JOBS=1         run as a job under a minimal job-control shell:
//                        when the job stops it takes the terminal back,
//                        writes "[stopped]" and waits for a line ("fg").
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "services/console/console.hpp"
#include "services/runtime/startup.hpp"
#include "services/runtime/system.hpp"
#include "services/runtime/textfile.hpp"
#include "services/runtime/units.hpp"

namespace {

void read_line_raw() {
  char c;
  while (read(STDIN_FILENO, &c, 1) == 1 && c != '\n') {
  }
}

void say(const char* s) {
  std::size_t n = 0;
  while (s[n] != '\0') ++n;
  if (write(STDOUT_FILENO, s, n) < 0) _exit(98);
}

// The job-control shell's side; returns only in the job.
void run_as_job() {
  signal(SIGTTOU, SIG_IGN);
  const pid_t job = fork();
  if (job < 0) _exit(97);
  if (job == 0) {
    setpgid(0, 0);
    tcsetpgrp(STDIN_FILENO, getpid());
    signal(SIGTTOU, SIG_DFL);
    return;
  }
  setpgid(job, job);
  tcsetpgrp(STDIN_FILENO, job);
  for (;;) {
    int st = 0;
    if (waitpid(job, &st, WUNTRACED) < 0) _exit(96);
    if (WIFSTOPPED(st)) {
      tcsetpgrp(STDIN_FILENO, getpgrp());
      say("[stopped]\r\n");
      read_line_raw();
      tcsetpgrp(STDIN_FILENO, job);
      kill(-job, SIGCONT);
    } else if (WIFEXITED(st)) {
      _exit(WEXITSTATUS(st));
    } else if (WIFSIGNALED(st)) {
      signal(WTERMSIG(st), SIG_DFL);
      raise(WTERMSIG(st));
      _exit(95);
    }
  }
}

void main_program() {
  const runtime::Unit units[] = {runtime::SYSTEM_UNIT, console::CONSOLE_UNIT};
  runtime::INITIALIZEUNITS(units);
  while (!console::KEYPRESSED()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  runtime::READLN_END(runtime::INPUT);
  runtime::INT_IOCHECK();
}

}  // namespace

int main() {
  if (std::getenv("PROBE_JOBS") != nullptr) run_as_job();
  if (std::getenv("PROBE_WAIT_GO") != nullptr) read_line_raw();
  if (std::getenv("PROBE_STDOUT_NULL") != nullptr) {
    const int fd = open("/dev/null", O_WRONLY);
    dup2(fd, STDOUT_FILENO);
    close(fd);
  }
  runtime::RUN_PROGRAM(main_program);
}
