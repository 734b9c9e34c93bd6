#include "tests/support/programs.hpp"

#include <cstdlib>
#include <fstream>
#include <stdexcept>

namespace testsupport {
namespace {

struct Built {
  const char* name;
  const char* path;  // empty where this platform's build has no such program
};

// The paths come from CMake ($<TARGET_FILE:...>).
constexpr Built kBuilt[] = {
    {"trigrain", GRAIN_PATH_trigrain},           {"quintgrain", GRAIN_PATH_quintgrain},
    {"console_probe", GRAIN_PATH_console_probe}, {"error_probe", GRAIN_PATH_error_probe},
    {"fault_probe", GRAIN_PATH_fault_probe},
};

std::string native(std::string path) {
#ifdef _WIN32
  // Under Wine the build's paths are the host's; its drive Z: is the host's root.
  if (!path.empty() && path[0] == '/') path = "Z:" + path;
  for (char& c : path)
    if (c == '/') c = '\\';
#endif
  return path;
}

// The ELF header's class, byte order and machine (bytes 4, 5, 18 and 19)
// of the file at `path`; empty for anything else (a script starts "#!").
std::string elf_kind(const char* path) {
  char header[20] = {};
  std::ifstream in(path, std::ios::binary);
  if (!in.read(header, sizeof header) || std::string(header, 4) != "\x7f" "ELF") return {};
  return {header[4], header[5], header[18], header[19]};
}

// An executable for this build's processor: this test program's kind (the
// emulator shows a program its own path as /proc/self/exe). Tools of the
// machine itself (a shell, the X server) run as they are.
bool of_this_build(const std::string& path) {
  static const std::string own = elf_kind("/proc/self/exe");
  return !own.empty() && elf_kind(path.c_str()) == own;
}

}  // namespace

std::string emulator() { return GRAIN_EMULATOR; }

std::vector<std::string> command(const std::string& path) {
  if (emulator().empty() || !of_this_build(path)) return {path};
  return {emulator(), path};
}

std::string program(const std::string& name) {
  const char* installed = std::getenv("GRAIN_PROGRAM_DIR");
  if (installed != nullptr && (name == "trigrain" || name == "quintgrain"))
    return std::string(installed) + "/" + name;
  for (const Built& b : kBuilt)
    if (name == b.name && *b.path != '\0') return native(b.path);
  throw std::invalid_argument("no program " + name + " in this build");
}

}  // namespace testsupport
