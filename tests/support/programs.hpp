#pragma once
// Paths of the programs the tests run, as this build made them.
#include <string>
#include <vector>

namespace testsupport {

// `name` is the program's target: "trigrain", "quintgrain", "console_probe",
// "error_probe", "fault_probe". GRAIN_PROGRAM_DIR in the environment puts
// trigrain and quintgrain there instead (an installed copy).
std::string program(const std::string& name);

// The command that runs the program at `path`: in a cross build, the
// emulator this build's programs run under (the kernel is never assumed to
// know it), then the path; natively the path alone. Only programs of this
// build's processor take the emulator: any other path (a shell script, a
// program of the machine itself) is returned alone.
std::vector<std::string> command(const std::string& path);

// The emulator the cross build runs its programs under; empty natively.
std::string emulator();

}  // namespace testsupport
