#include "bench/terminal.hpp"

#include <fcntl.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#include "tests/support/terminal.hpp"

namespace bench {
namespace {

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
  // The terminal answers the program's cursor query, so that its start-up
  // does not wait for the answer.
  testsupport::Terminal terminal(path, {.rows = 25});
  if (const auto status = terminal.wait_exit(run_time)) {
    m.error = path + " ended before it was measured (status " + std::to_string(*status) + ")";
    return m;
  }
  {
    std::ifstream in("/proc/" + std::to_string(terminal.pid()) + "/status");
    const std::string s((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    m.rss_kib = status_kib(s, "VmRSS:");
    m.hwm_kib = status_kib(s, "VmHWM:");
    m.threads = static_cast<int>(status_kib(s, "Threads:"));
  }
  m.cpu_seconds = cpu_seconds(terminal.pid());

  // Enter on the terminal ends the plot and completes the final line.
  terminal.type("\r");
  const auto status = terminal.wait_exit(std::chrono::seconds(15));
  if (!status)
    m.error = path + " did not end after Enter";
  else if (!WIFEXITED(*status) || WEXITSTATUS(*status) != 0)
    m.error = path + " ended with status " + std::to_string(*status);
  m.ok = m.error.empty() && m.rss_kib > 0;
  if (m.ok && m.threads < 2) {
    m.ok = false;
    m.error = path + " had no window thread: it was not plotting";
  }
  return m;
}

}  // namespace bench
