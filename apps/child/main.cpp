// The converter that front-end programs start as a child process with four
// arguments and a settings file beside the executable. The log goes to
// standard output, one line per entry; the exit status is always 0.
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "protocol.h"
#include "zumen/zumen.h"

int main(int argc, char** argv) {
  zumen::InstallSignalCleanup();
  // The first log line is the executable's own resolved path, not argv[0] as typed.
  std::error_code ec;
  std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec || exe.empty()) exe = std::filesystem::absolute(argc > 0 ? argv[0] : "", ec);
  std::vector<std::string> args{exe.string()};
  if (argc > 1) args.insert(args.end(), argv + 1, argv + argc);
  return zumen_child::RunChild(args, exe.parent_path().string(), std::cout, std::cerr);
}
