#include "tests/support/scratch.hpp"

#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <stdexcept>
#include <vector>

namespace testsupport {
namespace {

struct ScratchDir {
  std::string path;
  std::vector<std::string> files;
  ScratchDir() {
    char dir[] = "/tmp/grain-test-XXXXXX";
    if (mkdtemp(dir) == nullptr) throw std::runtime_error("mkdtemp");
    path = dir;
  }
  ~ScratchDir() {
    for (const auto& f : files) unlink(f.c_str());
    rmdir(path.c_str());
  }
};

}  // namespace

std::string scratch_path() {
  static ScratchDir dir;
  dir.files.push_back(dir.path + "/f" + std::to_string(dir.files.size()));
  return dir.files.back();
}

std::string scratch_file(const std::string& content) {
  const std::string path = scratch_path();
  std::ofstream(path, std::ios::binary) << content;
  return path;
}

}  // namespace testsupport
