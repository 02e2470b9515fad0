#include "driver/app_path.h"

#include <filesystem>

namespace zumen {

std::string ExecutablePath(const char* argv0) {
  std::error_code ec;
  std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec || exe.empty()) exe = std::filesystem::absolute(argv0 ? argv0 : "", ec);
  return exe.string();
}

std::string ExecutableFolder(const char* argv0) {
  std::string folder = std::filesystem::path(ExecutablePath(argv0)).parent_path().string();
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder;
}

}  // namespace zumen
