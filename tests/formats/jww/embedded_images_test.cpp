// Images stored in JWW drawings: kept in memory while reading, inflated, and
// named as image texts name them.
#include <gtest/gtest.h>

#include "formats/jww/jww_data.h"
#include "support/jww_writer.h"

namespace zumen {
namespace {

std::vector<uint8_t> BytesOf(const scene::ImageMap& images, const std::u16string& name) {
  const auto it = images.find(name);
  if (it == images.end() || !it->second.bytes) return {};
  return *it->second.bytes;
}

TEST(EmbeddedImages, StoredImagesAreKeptAndInflatedUnderTheirNames) {
  std::vector<uint8_t> photo(5000);
  for (size_t i = 0; i < photo.size(); ++i) photo[i] = static_cast<uint8_t>(i * 7);
  const std::vector<uint8_t> logo = {'B', 'M', 1, 2, 3};
  JwwWriter w(700);
  w.Text(0, 0, u"^@BM%temp%photo.JPG,0,0,10,10");
  w.Image(u"photo.JPG.GZ", photo);
  w.Image(u"logo.bmp", logo, false);
  // A name that tries to leave the drawing's own names is reduced to its file name.
  w.Image(u"../../escape.png.gz", logo);
  w.Image(u"..", logo, false);             // nothing usable: left out
  w.Image(u"broken.png.gz", logo, false);  // not a gzip stream
  TJwwData d;
  d.BindImageExp = true;
  ASSERT_TRUE(d.FileInBytes(w.Finish())) << d.LastError();
  ASSERT_EQ(d.BindImageN(), 5u);
  EXPECT_EQ(d.BindImage[0].Fname, u"photo.JPG.GZ");
  const scene::ImageMap images = d.EmbeddedImages();
  std::vector<std::u16string> names;
  for (const auto& [name, src] : images) names.push_back(name);
  EXPECT_EQ(names, (std::vector<std::u16string>{u"%temp%broken.png", u"%temp%broken.png.gz", u"%temp%escape.png",
                                                 u"%temp%escape.png.gz", u"%temp%logo.bmp", u"%temp%photo.JPG",
                                                 u"%temp%photo.JPG.GZ"}));
  EXPECT_EQ(BytesOf(images, u"%temp%photo.JPG"), photo);
  EXPECT_EQ(BytesOf(images, u"%temp%logo.bmp"), logo);
  EXPECT_EQ(BytesOf(images, u"%temp%escape.png"), logo);
  EXPECT_TRUE(BytesOf(images, u"%temp%broken.png").empty());  // a corrupt stream gives what it inflated
}

TEST(EmbeddedImages, ReadingOnlyListsTheImages) {
  JwwWriter w(700);
  const uint8_t data[] = {1, 2, 3};
  w.Image(u"a.bmp", data, false);
  w.Image(u"a.bmp", data);  // the same name twice: the later copy wins
  TJwwData d;
  d.BindImageExp = false;
  ASSERT_TRUE(d.FileInBytes(w.Finish()));
  EXPECT_EQ(d.BindImageN(), 2u);
  EXPECT_TRUE(d.EmbeddedImages().empty());

  d.BindImageExp = true;
  ASSERT_TRUE(d.FileInBytes(w.Finish()));
  EXPECT_EQ(BytesOf(d.EmbeddedImages(), u"%temp%a.bmp"), JwwWriter::Gzip(data));

  // Neither flag: the section is not read at all.
  d.BindImageExp = d.BindImageExr = false;
  ASSERT_TRUE(d.FileInBytes(w.Finish()));
  EXPECT_EQ(d.BindImageN(), 0u);
}

TEST(EmbeddedImages, AnImagePastTheInflateLimitIsLeftOut) {
  const std::vector<uint8_t> zeros(100000, 0);  // inflates 300 times its stored size
  JwwWriter w(700);
  w.Image(u"bomb.bmp.gz", zeros);
  w.Image(u"fine.bmp.gz", std::vector<uint8_t>(1000, 1));
  TJwwData d;
  d.BindImageExp = true;
  d.BindImageMaxInflated = 50000;
  ASSERT_TRUE(d.FileInBytes(w.Finish()));
  const scene::ImageMap images = d.EmbeddedImages();
  ASSERT_EQ(images.count(u"%temp%bomb.bmp"), 1u);
  EXPECT_EQ(images.at(u"%temp%bomb.bmp").bytes, nullptr);
  EXPECT_EQ(BytesOf(images, u"%temp%fine.bmp").size(), 1000u);
}

TEST(BindImageSafeName, KeepsOnlyAPlainFileName) {
  EXPECT_EQ(BindImageSafeName(u"a.png.gz"), u"a.png.gz");
  EXPECT_EQ(BindImageSafeName(u"..\\..\\x.bmp"), u"x.bmp");
  EXPECT_EQ(BindImageSafeName(u"/etc/passwd"), u"passwd");
  EXPECT_EQ(BindImageSafeName(u"dir/"), u"");
  EXPECT_EQ(BindImageSafeName(u".."), u"");
  EXPECT_EQ(BindImageSafeName(u"."), u"");
}

}  // namespace
}  // namespace zumen
