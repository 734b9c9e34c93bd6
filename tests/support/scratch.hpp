#pragma once
// Files a test writes for the programs it runs (scripts, standard input),
// in one directory per test process, removed at its end.
#include <string>

namespace testsupport {

// A fresh path there; nothing is created.
std::string scratch_path();

// A fresh file there holding `content`.
std::string scratch_file(const std::string& content);

}  // namespace testsupport
