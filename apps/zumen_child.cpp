// The converter that front-end programs start as a child process with four
// arguments and a settings file beside the executable. The log goes to
// standard output, one line per entry; the exit status is always 0.
#include <iostream>
#include <string>
#include <vector>

#include "common/cleanup.h"
#include "driver/app_path.h"
#include "driver/run.h"

int main(int argc, char** argv) {
  zumen::RemoveCreatedFilesOnSignals();
  // The first log line is the executable's own path, not argv[0] as typed.
  const char* argv0 = argc > 0 ? argv[0] : nullptr;
  std::vector<std::string> args{zumen::ExecutablePath(argv0)};
  if (argc > 1) args.insert(args.end(), argv + 1, argv + argc);
  return zumen::RunChild(args, zumen::ExecutableFolder(argv0), std::cout, std::cerr);
}
