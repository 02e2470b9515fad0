#pragma once
#include <string>

namespace zumen {

// The folder of the running executable, with a trailing '/'; the folder of
// argv0 when the executable's own path cannot be read.
std::string ExecutableFolder(const char* argv0);

}  // namespace zumen
