// A small program over the console unit, for the pseudo-terminal tests: it
// starts the console, polls KEYPRESSED until a key, reads the final line
// and ends like the plotters do.
//
// Set-up hooks, from the environment (test use only):
//   PROBE_WAIT_GO=1      read one line before starting the console, so a
//                        test can take the terminal settings first;
//   PROBE_STDOUT_NULL=1  standard output goes to /dev/null;
//   PROBE_STDOUT_PTY=1   standard output goes to another pseudo-terminal;
//   PROBE_CLOSE_STD=1    standard input and output are closed;
//   PROBE_JOBS=1         run as a job under a minimal job-control shell,
//                        which writes "[job <pid>]" first; when the job
//                        stops it takes the terminal back, writes
//                        "[stopped]" and waits for a line ("fg");
//   PROBE_JOBS=quiet     the same, but the shell does nothing on a stop;
//   PROBE_JOBS=back      the job starts in the background: the shell keeps
//                        the terminal until it reads a line, then sets its
//                        line-kill character to Ctrl+K and hands it over
//                        with no SIGCONT, as a shell's fg of a running job;
//   PROBE_THREAD=1       a second thread runs (as the window thread does),
//                        so signals may be handled on either;
//   PROBE_REST=1         once the job has ended, the shell reads a line
//                        and writes "[rest <line>]";
//   PROBE_SETSID=1       run in a session of its own, as `setsid -w` runs
//                        a program: the parent, which the terminal's
//                        signals reach, ignores them, waits and ends as the
//                        program did;
//   PROBE_HALT=1         ends with status 1 once the console has started,
//                        without reading a key (as a failed start-up of the
//                        graphics does);
//   PROBE_HALT=poll      the same after one poll of the keys (as a run-time
//                        error in the plot's first moments).
#include <fcntl.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "services/console/console.hpp"
#include "services/runtime/startup.hpp"
#include "services/runtime/system.hpp"
#include "services/runtime/textfile.hpp"
#include "services/runtime/units.hpp"

namespace {

std::string read_line_raw() {
  std::string line;
  char c;
  while (read(STDIN_FILENO, &c, 1) == 1 && c != '\n') line += c;
  return line;
}

void say(const char* s) {
  std::size_t n = 0;
  while (s[n] != '\0') ++n;
  if (write(STDOUT_FILENO, s, n) < 0) _exit(98);
}

// The job-control shell's side; returns only in the job.
void run_as_job() {
  signal(SIGTTOU, SIG_IGN);
  const std::string how = std::getenv("PROBE_JOBS");
  const bool back = how == "back";
  const pid_t job = fork();
  if (job < 0) _exit(97);
  if (job == 0) {
    setpgid(0, 0);
    if (!back) tcsetpgrp(STDIN_FILENO, getpid());
    signal(SIGTTOU, SIG_DFL);
    return;
  }
  setpgid(job, job);
  if (!back) tcsetpgrp(STDIN_FILENO, job);
  say(("[job " + std::to_string(job) + "]\r\n").c_str());
  if (back) {
    read_line_raw();
    termios t{};
    tcgetattr(STDIN_FILENO, &t);
    t.c_cc[VKILL] = 'K' & 0x1F;
    tcsetattr(STDIN_FILENO, TCSANOW, &t);
    tcsetpgrp(STDIN_FILENO, job);
  }
  const bool quiet = how == "quiet";
  for (;;) {
    int st = 0;
    if (waitpid(job, &st, WUNTRACED) < 0) _exit(96);
    if (WIFSTOPPED(st) && quiet) continue;
    if (WIFSTOPPED(st)) {
      tcsetpgrp(STDIN_FILENO, getpgrp());
      say("[stopped]\r\n");
      read_line_raw();
      tcsetpgrp(STDIN_FILENO, job);
      kill(-job, SIGCONT);
    } else if (WIFEXITED(st)) {
      tcsetpgrp(STDIN_FILENO, getpgrp());
      if (std::getenv("PROBE_REST") != nullptr) say(("[rest " + read_line_raw() + "]\r\n").c_str());
      _exit(WEXITSTATUS(st));
    } else if (WIFSIGNALED(st)) {
      signal(WTERMSIG(st), SIG_DFL);
      raise(WTERMSIG(st));
      _exit(95);
    }
  }
}

// The waiting parent's side; returns only in the program.
void run_in_own_session() {
  const int keys[] = {SIGINT, SIGQUIT, SIGTSTP};
  for (int sig : keys) signal(sig, SIG_IGN);
  const pid_t child = fork();
  if (child < 0) _exit(93);
  if (child == 0) {
    for (int sig : keys) signal(sig, SIG_DFL);
    if (setsid() < 0) _exit(92);
    return;
  }
  int st = 0;
  if (waitpid(child, &st, 0) < 0) _exit(91);
  if (WIFSIGNALED(st)) {
    signal(WTERMSIG(st), SIG_DFL);
    raise(WTERMSIG(st));
  }
  _exit(WEXITSTATUS(st));
}

void main_program() {
  const runtime::Unit units[] = {runtime::kSystemUnit, console::kConsoleUnit};
  runtime::INITIALIZEUNITS(units);
  if (const char* halt = std::getenv("PROBE_HALT")) {
    if (std::string(halt) == "poll") console::KEYPRESSED();
    runtime::HALT(1);
  }
  if (std::getenv("PROBE_THREAD") != nullptr) {
    std::thread([] {
      for (;;) std::this_thread::sleep_for(std::chrono::seconds(1));
    }).detach();
  }
  while (!console::KEYPRESSED()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  runtime::READLN_END(runtime::INPUT);
  runtime::INT_IOCHECK();
}

}  // namespace

int main() {
  if (std::getenv("PROBE_JOBS") != nullptr) run_as_job();
  if (std::getenv("PROBE_SETSID") != nullptr) run_in_own_session();
  if (std::getenv("PROBE_WAIT_GO") != nullptr) read_line_raw();
  if (std::getenv("PROBE_STDOUT_NULL") != nullptr) {
    const int fd = open("/dev/null", O_WRONLY);
    dup2(fd, STDOUT_FILENO);
    close(fd);
  }
  if (std::getenv("PROBE_STDOUT_PTY") != nullptr) {
    int master = -1, slave = -1;  // the master stays open, unread
    if (openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) _exit(94);
    dup2(slave, STDOUT_FILENO);
    close(slave);
  }
  if (std::getenv("PROBE_CLOSE_STD") != nullptr) {
    close(STDIN_FILENO);
    close(STDOUT_FILENO);
  }
  runtime::run_program(main_program);
}
