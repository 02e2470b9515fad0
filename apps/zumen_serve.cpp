// zumen-serve: the conversion service, started by `zumen serve` with its
// command line (it takes the same command line as zumen itself).
#include <iostream>

#include "command.h"

int main(int argc, char** argv) {
  return RunZumen(argc, argv, [](const zumen_serve::ServeArgs& args, char**) {
    return zumen_serve::RunServe(args, std::cerr);
  });
}
