#include "tests/runtime/probe.hpp"

#include <fstream>

#include "tests/support/programs.hpp"

namespace probe {
namespace {

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

// addr2line -C -f -i: a routine's name and a "file:line" for the address, then
// the same for each routine it was inlined into; the last pair names the
// routine that holds the address.
std::vector<std::string> look_up(const std::string& object, const std::string& hex_address) {
  using testsupport::Redirect;
  return split_lines(
      testsupport::run({.argv = {"addr2line", "-C", "-f", "-i", "-e", object, "0x" + hex_address},
                        .out = {Redirect::pipe}})
          .out);
}

}  // namespace

std::string path() { return testsupport::program("fault_probe"); }

Result run(const std::vector<std::string>& args, Output output) {
  std::vector<std::string> argv = testsupport::command(path());
  argv.insert(argv.end(), args.begin(), args.end());
  // Standard error (where its routines lie) is not looked at here.
  using testsupport::Redirect;
  const testsupport::Finished f =
      testsupport::run({.argv = argv, .out = {output}, .err = {Redirect::pipe}}, std::chrono::seconds(60));
  return {f.status, split_lines(f.out)};
}

std::string source_line(const std::string& object, const std::string& hex_address) {
  const std::vector<std::string> lines = look_up(object, hex_address);
  if (lines.size() < 2) return {};
  std::string line = lines.back();
  line = line.substr(0, line.find(' '));  // drops " (discriminator N)"
  if (line.find("??") != std::string::npos) return {};
  return base_name(line);
}

std::string routine_of(const std::string& object, const std::string& hex_address) {
  const std::vector<std::string> lines = look_up(object, hex_address);
  return lines.size() < 2 ? std::string() : lines[lines.size() - 2];
}

std::string line_of(const std::string& source, std::string_view text) {
  std::ifstream in(source);
  std::string line;
  for (int number = 1; std::getline(in, line); ++number)
    if (line.find(text) != std::string::npos) return base_name(source) + ":" + std::to_string(number);
  return "(" + std::string(text) + " not found in " + source + ")";
}

}  // namespace probe
