#pragma once
// A fresh folder under the system's temporary directory, removed with its
// content when the object goes.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace zumen::testing {

class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "zumen-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  ~TempDir() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // The folder, with a trailing '/'.
  std::string dir() const { return path_ + "/"; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

  std::string Write(const std::string& name, const std::string& content) const {
    const std::string p = *this / name;
    std::ofstream(p, std::ios::binary) << content;
    return p;
  }
  std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) const {
    return Write(name, std::string(bytes.begin(), bytes.end()));
  }

 private:
  std::string path_;
};

inline std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace zumen::testing
