// Every saved crash input of the fuzz targets still opens and draws without
// a fault (the sanitizer build turns any into a failure).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "one_drawing.h"

namespace zumen {
namespace {

TEST(Crashers, EverySavedInputRunsThroughTheDoor) {
  const std::filesystem::path dir = std::filesystem::path(ZUMEN_SOURCE_DIR) / "fuzz" / "crashers";
  size_t replayed = 0;
  for (const auto& e : std::filesystem::directory_iterator(dir)) {
    if (!e.is_regular_file() || e.path().extension() == ".md") continue;
    std::ifstream in(e.path(), std::ios::binary);
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    SCOPED_TRACE(e.path().filename().string());
    fuzz::OneDrawing(bytes.data(), bytes.size());
    ++replayed;
  }
  if (replayed == 0) GTEST_SKIP() << "no saved inputs in " << dir;
}

}  // namespace
}  // namespace zumen
