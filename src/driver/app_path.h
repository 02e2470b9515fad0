#pragma once
#include <string>

namespace zumen {

// The resolved absolute path of the running executable; argv0 made absolute
// when the executable's own path cannot be read.
std::string ExecutablePath(const char* argv0);

// The folder of the running executable, with a trailing '/'; the folder of
// argv0 when the executable's own path cannot be read.
std::string ExecutableFolder(const char* argv0);

}  // namespace zumen
