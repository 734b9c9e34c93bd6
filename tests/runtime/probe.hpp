#pragma once
// Runs the fault probe as a child process and collects what it wrote to its
// standard output, and looks report addresses up in its debug information.
#include <string>
#include <string_view>
#include <vector>

#include "tests/support/process.hpp"

namespace probe {

// Where its standard output goes: pipe, terminal, closed or broken_pipe.
using Output = testsupport::Redirect::Kind;

struct Result {
  int status = -1;                 // wait status
  std::vector<std::string> lines;  // standard output by lines, without line ends
};

// Runs `fault_probe args...`; gives up (killing it) after a generous time-out.
Result run(const std::vector<std::string>& args, Output output = Output::pipe);

// Path of the fault probe.
std::string path();

// "file:line" of the routine holding a code address of `object` (after any
// inlined lines), as addr2line -C -f -i gives it, file without its directory;
// empty when it names nothing.
std::string source_line(const std::string& object, const std::string& hex_address);

// Name of the routine holding a code address of `object` (after any
// inlined routines), as addr2line -C -f -i gives it; empty when none.
std::string routine_of(const std::string& object, const std::string& hex_address);

// "<file name>:<number>" of the line of `source` that contains `text`.
std::string line_of(const std::string& source, std::string_view text);

}  // namespace probe
