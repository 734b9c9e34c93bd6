#pragma once
// Runs a program to its end with standard output and standard error caught.
#include <cstdint>
#include <string>

namespace winetest {

struct ChildResult {
  std::uint32_t exit_code = 0;
  std::string out;
  std::string err;
  bool finished = false;  // false: still running after the time-out (then killed)
};

// `program` is a path; `arguments` is appended to the command line as is;
// `creation_flags` go to CreateProcess (DETACHED_PROCESS: no console).
ChildResult run_child(const std::string& program, const std::string& arguments,
                      unsigned timeout_ms = 120000, std::uint32_t creation_flags = 0);

// Directory of the running program, with a trailing backslash.
std::string own_directory();

}  // namespace winetest
