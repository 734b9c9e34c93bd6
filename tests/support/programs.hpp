#pragma once
// Paths of the programs the tests run, as this build made them.
#include <string>

namespace testsupport {

// `name` is the program's target: "trigrain", "quintgrain", "console_probe",
// "error_probe", "fault_probe". GRAIN_PROGRAM_DIR in the environment puts
// trigrain and quintgrain there instead (an installed copy).
std::string program(const std::string& name);

}  // namespace testsupport
