// Every real drawing of the corpus reads to its end.
#include <gtest/gtest.h>

#include <filesystem>

#include "formats/jww/jww_data.h"

namespace zumen {
namespace {

namespace fs = std::filesystem;

TEST(JwwCorpus, EveryDrawingReadsToItsEnd) {
  const fs::path root = fs::path(ZUMEN_CORPUS_DIR) / "jww";
  if (!fs::is_directory(root)) GTEST_SKIP() << "no corpus at " << root;
  int files = 0;
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    if (!e.is_regular_file() || e.path().extension() != ".jww") continue;
    ++files;
    const std::string path = e.path().string();
    ASSERT_TRUE(TJwwData::FileCheck(path)) << path;
    auto d = std::make_unique<TJwwData>();
    ASSERT_TRUE(d->FileIn(path)) << path << ": " << d->LastError();
    EXPECT_EQ(d->Body.ObjectsRead, d->Enthd.n1) << path;
    EXPECT_EQ(d->Body.ObjectsDropped, 0) << path;
    EXPECT_EQ(static_cast<int64_t>(d->Body.EntBlockDefN()), d->Enthd.n2) << path;
    EXPECT_EQ(d->BytesRead, fs::file_size(e.path())) << path;
    EXPECT_GT(d->Body.EntNo.size(), 0u) << path;
    for (const auto& def : d->Body.EntBlockDef) EXPECT_EQ(def.mNo.size(), def.N) << path;
  }
  EXPECT_GT(files, 0);
}

}  // namespace
}  // namespace zumen
