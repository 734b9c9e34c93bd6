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

// An ELF executable: the emulator's kind of file (scripts start with "#!").
bool elf_file(const std::string& path) {
  char magic[4] = {};
  std::ifstream in(path, std::ios::binary);
  return in.read(magic, sizeof magic) && std::string(magic, 4) == "\x7f" "ELF";
}

}  // namespace

std::string emulator() { return GRAIN_EMULATOR; }

std::vector<std::string> command(const std::string& path) {
  if (emulator().empty() || !elf_file(path)) return {path};
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
