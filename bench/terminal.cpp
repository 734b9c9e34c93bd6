#include "bench/terminal.hpp"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string_view>

namespace bench {
namespace {

using Clock = std::chrono::steady_clock;

constexpr std::string_view CURSOR_QUERY = "\x1b[6n";
constexpr std::string_view CURSOR_ANSWER = "\x1b[1;1R";

// Reads what the program wrote; answers its cursor query as a terminal
// would, so that its start-up does not wait for the answer.
void drain(int master, std::string& seen, int timeout_ms) {
  pollfd p{master, POLLIN, 0};
  if (poll(&p, 1, timeout_ms) <= 0) return;
  char buf[4096];
  const ssize_t n = read(master, buf, sizeof buf);
  if (n <= 0) return;
  seen.append(buf, static_cast<std::size_t>(n));
  for (std::size_t at; (at = seen.find(CURSOR_QUERY)) != std::string::npos;) {
    if (write(master, CURSOR_ANSWER.data(), CURSOR_ANSWER.size()) < 0) return;
    seen.erase(0, at + CURSOR_QUERY.size());
  }
  // Only the tail can still hold the start of a query.
  if (seen.size() > CURSOR_QUERY.size()) seen.erase(0, seen.size() - CURSOR_QUERY.size());
}

long status_kib(const std::string& status, const char* field) {
  const std::size_t at = status.find(field);
  if (at == std::string::npos) return -1;
  return std::strtol(status.c_str() + at + std::strlen(field), nullptr, 10);
}

double cpu_seconds(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const std::size_t close_paren = stat.rfind(')');
  if (close_paren == std::string::npos) return 0;
  std::istringstream fields(stat.substr(close_paren + 2));
  std::string field;
  unsigned long utime = 0, stime = 0;
  // After the name: state is field 3; utime and stime are fields 14 and 15.
  for (int i = 3; i <= 15 && fields >> field; ++i) {
    if (i == 14) utime = std::stoul(field);
    if (i == 15) stime = std::stoul(field);
  }
  return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

bool ended(pid_t pid, int& status) { return waitpid(pid, &status, WNOHANG) == pid; }

}  // namespace

bool take_own_terminal(OwnTerminal& t, std::string& error) {
  winsize ws{};
  ws.ws_row = 25;
  ws.ws_col = 80;
  int slave = -1;
  if (openpty(&t.master, &slave, nullptr, nullptr, &ws) != 0) {
    error = std::string("openpty: ") + std::strerror(errno);
    return false;
  }
  fcntl(t.master, F_SETFD, FD_CLOEXEC);
  t.report_fd = fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
  if (t.report_fd < 0 || dup2(slave, STDIN_FILENO) < 0 || dup2(slave, STDOUT_FILENO) < 0) {
    error = std::string("redirecting to the terminal: ") + std::strerror(errno);
    return false;
  }
  close(slave);
  return true;
}

ProgramMemory measure_program(const std::string& path, std::chrono::milliseconds run_time) {
  ProgramMemory m;
  winsize ws{};
  ws.ws_row = 25;
  ws.ws_col = 80;
  int master = -1;
  const pid_t pid = forkpty(&master, nullptr, nullptr, &ws);
  if (pid < 0) {
    m.error = std::string("forkpty: ") + std::strerror(errno);
    return m;
  }
  if (pid == 0) {
    execl(path.c_str(), path.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }

  std::string seen;
  int status = 0;
  bool gone = false;
  const auto measure_at = Clock::now() + run_time;
  while (!(gone = ended(pid, status)) && Clock::now() < measure_at) drain(master, seen, 20);
  if (gone) {
    m.error = path + " ended before it was measured (status " + std::to_string(status) + ")";
    close(master);
    return m;
  }
  {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    const std::string s((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    m.rss_kib = status_kib(s, "VmRSS:");
    m.hwm_kib = status_kib(s, "VmHWM:");
    m.threads = static_cast<int>(status_kib(s, "Threads:"));
  }
  m.cpu_seconds = cpu_seconds(pid);

  // Enter on the terminal ends the plot and completes the final line.
  if (write(master, "\r", 1) != 1) m.error = "could not press Enter";
  const auto give_up = Clock::now() + std::chrono::seconds(15);
  while (!(gone = ended(pid, status)) && Clock::now() < give_up) drain(master, seen, 20);
  if (!gone) {
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    m.error = path + " did not end after Enter";
  } else if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    m.error = path + " ended with status " + std::to_string(status);
  }
  close(master);
  m.ok = m.error.empty() && m.rss_kib > 0;
  if (m.ok && m.threads < 2) {
    m.ok = false;
    m.error = path + " had no window thread: it was not plotting";
  }
  return m;
}

}  // namespace bench
