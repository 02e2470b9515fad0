// Images stored in JWW drawings: written while reading, inflated, deleted.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include "common/files.h"
#include "formats/jww/jww_data.h"
#include "support/jww_writer.h"

namespace zumen {
namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> Slurp(const fs::path& p) {
  std::ifstream f(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), {}};
}

class EmbeddedImages : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string tmpl = (fs::temp_directory_path() / "zumen-jww-XXXXXX").string();
    ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
    folder_ = tmpl + "/";
    outside_ = fs::path(tmpl).parent_path() / (fs::path(tmpl).filename().string() + "-outside.png");
  }
  void TearDown() override {
    fs::remove_all(folder_);
    fs::remove(outside_);
  }
  std::vector<std::string> Files() const {
    std::vector<std::string> v;
    for (const auto& e : fs::directory_iterator(folder_)) v.push_back(e.path().filename().string());
    std::sort(v.begin(), v.end());
    return v;
  }
  std::string folder_;
  fs::path outside_;
};

TEST_F(EmbeddedImages, LifeCycleExtractInflateDeleteRemoveFolder) {
  std::vector<uint8_t> photo(5000);
  for (size_t i = 0; i < photo.size(); ++i) photo[i] = static_cast<uint8_t>(i * 7);
  const std::vector<uint8_t> logo = {'B', 'M', 1, 2, 3};
  JwwWriter w(700);
  w.Text(0, 0, u"^@BM%temp%photo.JPG,0,0,10,10");
  w.Image(u"photo.JPG.GZ", photo);
  w.Image(u"logo.bmp", logo, false);
  // A name that tries to leave the folder is reduced to its file name.
  w.Image(u"../" + fs::path(outside_).filename().u16string() + u".gz", logo);
  w.Image(u"..", logo, false);          // nothing usable: skipped
  w.Image(u"broken.png.gz", logo, false);  // not a gzip stream
  TJwwData d;
  d.BindImageFolder = folder_;
  d.BindImageExp = true;
  ASSERT_TRUE(d.FileInBytes(w.Finish())) << d.LastError();
  ASSERT_EQ(d.BindImageN(), 5u);
  EXPECT_EQ(d.BindImage[0].Fname, u"photo.JPG.GZ");
  const std::string escaped = outside_.filename().string() + ".gz";
  EXPECT_EQ(Files(), (std::vector<std::string>{"broken.png.gz", "logo.bmp", "photo.JPG.GZ", escaped}));
  EXPECT_EQ(Slurp(folder_ + "logo.bmp"), logo);

  d.BindImageExplode();
  EXPECT_EQ(Slurp(folder_ + "photo.JPG"), photo);
  EXPECT_EQ(Slurp(folder_ + outside_.filename().string()), logo);
  EXPECT_TRUE(fs::exists(folder_ + "broken.png"));  // a corrupt stream leaves its (empty) copy
  EXPECT_FALSE(fs::exists(outside_));

  d.BindImageDeleteGzFile();
  EXPECT_EQ(Files(), (std::vector<std::string>{"broken.png", "logo.bmp", "photo.JPG", outside_.filename().string()}));
  d.BindImageDeleteNonGzFile();
  EXPECT_TRUE(Files().empty());
  EXPECT_TRUE(DelDir(folder_));
  EXPECT_FALSE(fs::exists(folder_));
}

TEST_F(EmbeddedImages, ReadingOnlyListsTheImages) {
  JwwWriter w(700);
  const uint8_t data[] = {1, 2, 3};
  w.Image(u"a.bmp", data, false);
  w.Image(u"a.bmp", data);  // the same name twice: the later copy wins
  TJwwData d;
  d.BindImageFolder = folder_;
  ASSERT_TRUE(d.FileInBytes(w.Finish()));
  EXPECT_EQ(d.BindImageN(), 2u);
  EXPECT_TRUE(Files().empty());

  d.BindImageExp = true;
  ASSERT_TRUE(d.FileInBytes(w.Finish()));
  EXPECT_EQ(Slurp(folder_ + "a.bmp"), JwwWriter::Gzip(data));

  // Neither flag: the section is not read at all.
  d.BindImageExp = d.BindImageExr = false;
  ASSERT_TRUE(d.FileInBytes(w.Finish()));
  EXPECT_EQ(d.BindImageN(), 0u);
}

TEST_F(EmbeddedImages, AnImagePastTheInflateLimitIsRemoved) {
  const std::vector<uint8_t> zeros(100000, 0);  // inflates 300 times its stored size
  JwwWriter w(700);
  w.Image(u"bomb.bmp.gz", zeros);
  w.Image(u"fine.bmp.gz", std::vector<uint8_t>(1000, 1));
  TJwwData d;
  d.BindImageFolder = folder_;
  d.BindImageExp = true;
  d.BindImageMaxInflated = 50000;
  ASSERT_TRUE(d.FileInBytes(w.Finish()));
  d.BindImageExplode();
  EXPECT_FALSE(fs::exists(folder_ + "bomb.bmp"));
  EXPECT_EQ(fs::file_size(folder_ + "fine.bmp"), 1000u);
}

TEST(BindImageSafeName, KeepsOnlyAPlainFileName) {
  EXPECT_EQ(BindImageSafeName(u"a.png.gz"), u"a.png.gz");
  EXPECT_EQ(BindImageSafeName(u"..\\..\\x.bmp"), u"x.bmp");
  EXPECT_EQ(BindImageSafeName(u"/etc/passwd"), u"passwd");
  EXPECT_EQ(BindImageSafeName(u"dir/"), u"");
  EXPECT_EQ(BindImageSafeName(u".."), u"");
  EXPECT_EQ(BindImageSafeName(u"."), u"");
  TJwwData d;
  TBindImageType img{u"x.gz", 1, false};
  EXPECT_EQ(d.BindImageStoredPath(img), "");  // no folder bound
  d.BindImageFolder = "/f";
  EXPECT_EQ(d.BindImageStoredPath(img), "/f/x.gz");
  EXPECT_EQ(d.BindImageInflatedPath(img), "/f/x");
  img.Fname = u".gz";
  EXPECT_EQ(d.BindImageInflatedPath(img), "");
}

}  // namespace
}  // namespace zumen
