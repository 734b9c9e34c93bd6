#include "tests/runtime/probe.hpp"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <stdexcept>
#include <thread>

namespace probe {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto TIME_OUT = std::chrono::seconds(60);

std::vector<std::string> split_lines(const std::string& text) {
  std::vector<std::string> lines;
  std::string line;
  for (char c : text) {
    if (c == '\r') continue;  // the terminal turns 10 into 13 10
    if (c == '\n') {
      lines.push_back(line);
      line.clear();
    } else {
      line += c;
    }
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

std::string base_name(const std::string& path) { return path.substr(path.rfind('/') + 1); }

}  // namespace

Result run(const std::vector<std::string>& args, Output output) {
  int read_end = -1, child_end = -1;
  if (output == Output::pipe || output == Output::broken_pipe) {
    int p[2];
    if (pipe2(p, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
    read_end = p[0];
    child_end = p[1];
    if (output == Output::broken_pipe) {
      close(read_end);
      read_end = -1;
    }
  } else if (output == Output::terminal) {
    if (openpty(&read_end, &child_end, nullptr, nullptr, nullptr) != 0)
      throw std::runtime_error("openpty");
    fcntl(read_end, F_SETFD, FD_CLOEXEC);
  }

  std::vector<char*> argv{const_cast<char*>(FAULT_PROBE)};
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);

  const pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork");
  if (pid == 0) {
    if (child_end >= 0) {
      dup2(child_end, STDOUT_FILENO);
    } else {
      close(STDOUT_FILENO);
    }
    execv(FAULT_PROBE, argv.data());
    _exit(127);
  }
  if (child_end >= 0) close(child_end);

  const auto deadline = Clock::now() + TIME_OUT;
  std::string text;
  while (read_end >= 0 && Clock::now() < deadline) {
    pollfd p{read_end, POLLIN, 0};
    if (poll(&p, 1, 100) <= 0) continue;
    char buffer[4096];
    const ssize_t n = read(read_end, buffer, sizeof buffer);
    if (n <= 0) break;  // end of the pipe, or EIO once the terminal is gone
    text.append(buffer, static_cast<std::size_t>(n));
  }
  if (read_end >= 0) close(read_end);

  Result r;
  while (waitpid(pid, &r.status, WNOHANG) == 0) {
    if (Clock::now() >= deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, &r.status, 0);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  r.lines = split_lines(text);
  return r;
}

std::string source_line(const std::string& object, const std::string& hex_address) {
  // With -i, inlined code is followed by the lines it was inlined into; the
  // last names the routine that holds the address.
  const std::string command = "addr2line -i -e '" + object + "' 0x" + hex_address;
  FILE* f = popen(command.c_str(), "r");
  if (f == nullptr) return {};
  char buffer[1024] = {};
  std::string line;
  while (fgets(buffer, sizeof buffer, f) != nullptr) line = buffer;
  pclose(f);
  line = line.substr(0, line.find_first_of(" \n"));  // drops " (discriminator N)"
  if (line.find("??") != std::string::npos) return {};
  return base_name(line);
}

std::string line_of(const std::string& source, std::string_view text) {
  std::ifstream in(source);
  std::string line;
  for (int number = 1; std::getline(in, line); ++number)
    if (line.find(text) != std::string::npos) return base_name(source) + ":" + std::to_string(number);
  return "(" + std::string(text) + " not found in " + source + ")";
}

}  // namespace probe
