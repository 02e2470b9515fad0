// The converter that front-end programs start as a child process with four
// arguments and a settings file beside the executable. The log goes to
// standard output, one line per entry; the exit status is always 0.
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "child_protocol.h"
#include "zumen/zumen.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv, argv + argc);
  std::error_code ec;
  const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  std::string folder = ec ? std::string() : exe.parent_path().string();
  return zumen_child::RunChild(args, folder, std::cout, std::cerr);
}
