// The converter that front-end programs start as a child process with four
// arguments and a settings file beside the executable. The log goes to
// standard output, one line per entry; the exit status is always 0.
#include <iostream>
#include <string>
#include <vector>

#include "driver/app_path.h"
#include "driver/run.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv, argv + argc);
  return zumen::RunChild(args, zumen::ExecutableFolder(argc > 0 ? argv[0] : nullptr), std::cout, std::cerr);
}
