// zumen: converts CAD drawings to pictures from the command line.
#include <limits.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iostream>
#include <string>

#include "command.h"

namespace {

// `zumen serve` runs on in zumen-serve beside this executable, with the same
// command line.
int StartService(const zumen_serve::ServeArgs&, char** argv) {
  char self[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  std::string path = n > 0 ? std::string(self, static_cast<size_t>(n)) : std::string();
  const size_t slash = path.rfind('/');
  path = (slash == std::string::npos ? std::string(".") : path.substr(0, slash)) + "/zumen-serve";
  execv(path.c_str(), argv);
  const int e = errno;
  std::cerr << "zumen: cannot start the service " << path << ": " << std::strerror(e) << '\n';
  return 1;
}

}  // namespace

int main(int argc, char** argv) { return RunZumen(argc, argv, StartService); }
