// Font choice of the text engine: the Windows family names that drawings use,
// the fall-backs, and where the font configuration comes from.
#include <cairo.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include "canvas/text_engine.h"

namespace zumen {
namespace {

FontSpec Font(const std::u16string& family, bool bold = false, bool italic = false) {
  FontSpec f;
  f.family = family;
  f.sizePx = 20;
  f.bold = bold;
  f.italic = italic;
  return f;
}

struct FamilyCase {
  std::u16string requested;
  const char* expected;
};

TEST(TextEngineFonts, MapsWindowsFamiliesToIpaFonts) {
  const FamilyCase cases[] = {
      {u"ＭＳ ゴシック", "IPAGothic"},     {u"MS Gothic", "IPAGothic"},
      {u"ＭＳ 明朝", "IPAMincho"},         {u"MS Mincho", "IPAMincho"},
      {u"ＭＳ Ｐゴシック", "IPAPGothic"},  {u"MS PGothic", "IPAPGothic"},
      {u"ＭＳ Ｐ明朝", "IPAPMincho"},      {u"MS PMincho", "IPAPMincho"},
      {u"MS UI Gothic", "IPAPGothic"},     {u"ＭＳ ＵＩ ゴシック", "IPAPGothic"},
      {u"メイリオ", "IPAPGothic"},         {u"Meiryo", "IPAPGothic"},
      {u"游ゴシック", "IPAPGothic"},       {u"Yu Gothic", "IPAPGothic"},
      {u"游明朝", "IPAPMincho"},           {u"Yu Mincho", "IPAPMincho"},
      // Unknown names: Mincho-like ones to IPAMincho, everything else to IPAGothic.
      {u"HG明朝E", "IPAMincho"},           {u"HGゴシックM", "IPAGothic"},
      {u"Arial", "IPAGothic"},             {u"No Such Font", "IPAGothic"},
      {u"", "IPAGothic"},
      // Installed families are used as they are.
      {u"IPAexMincho", "IPAexMincho"},     {u"DejaVu Sans", "DejaVu Sans"},
  };
  TextEngine te;
  for (const auto& c : cases) {
    EXPECT_EQ(te.PrimaryFamily(Font(c.requested)), c.expected) << std::string(c.expected);
    EXPECT_EQ(te.PrimaryFamily(Font(c.requested, true, true)), c.expected) << "bold italic " << c.expected;
  }
}

TEST(TextEngineFonts, MissingCharactersComeFromAFontThatHasThem) {
  TextEngine te;
  // Hebrew alef: not in the IPA fonts.
  EXPECT_EQ(te.FamilyFor(Font(u"ＭＳ ゴシック"), U'\u05D0'), "DejaVu Sans");
  EXPECT_EQ(te.FamilyFor(Font(u"ＭＳ ゴシック"), U'図'), "IPAGothic");
  // A Latin font draws its own Latin letters and takes kanji from a Japanese font.
  EXPECT_EQ(te.FamilyFor(Font(u"DejaVu Sans"), U'A'), "DejaVu Sans");
  EXPECT_NE(te.FamilyFor(Font(u"DejaVu Sans"), U'図').find("IPA"), std::string::npos);
}

TEST(TextEngineFonts, ConfigurationFileCanBeGiven) {
  const auto dir = std::filesystem::temp_directory_path() / "zumen-text-engine-test";
  std::filesystem::create_directories(dir);
  const auto conf = dir / "fonts.conf";
  // Everything maps to IPAMincho here.
  std::ofstream(conf) << "<?xml version=\"1.0\"?><fontconfig>"
                         "<match target=\"pattern\"><edit name=\"family\" mode=\"assign_replace\" "
                         "binding=\"strong\"><string>IPAMincho</string></edit></match>"
                         "<include ignore_missing=\"yes\">/etc/fonts/fonts.conf</include></fontconfig>";
  {
    TextEngine te(conf.string());
    EXPECT_EQ(te.PrimaryFamily(Font(u"ＭＳ ゴシック")), "IPAMincho");
  }
  // A name that is not a file is ignored: the shipped configuration is used.
  {
    TextEngine te((dir / "missing.conf").string());
    EXPECT_EQ(te.PrimaryFamily(Font(u"ＭＳ ゴシック")), "IPAGothic");
  }
  EXPECT_NE(TextEngine::FindConfigFile().find("zumen-fonts.conf"), std::string::npos);
  std::filesystem::remove_all(dir);
}

// Engines share the configuration loaded from a file: one going away leaves
// the others theirs, and a file written anew since is read again.
TEST(TextEngineFonts, ConfigurationFileChangedSinceIsReadAgain) {
  const auto dir = std::filesystem::temp_directory_path() / "zumen-text-engine-shared-test";
  std::filesystem::create_directories(dir);
  const auto conf = dir / "fonts.conf";
  const auto write = [&conf](const char* family) {
    std::ofstream(conf) << "<?xml version=\"1.0\"?><fontconfig>"
                           "<match target=\"pattern\"><edit name=\"family\" mode=\"assign_replace\" "
                           "binding=\"strong\"><string>"
                        << family
                        << "</string></edit></match>"
                           "<include ignore_missing=\"yes\">/etc/fonts/fonts.conf</include></fontconfig>";
  };
  write("IPAMincho");
  TextEngine first(conf.string());
  EXPECT_EQ(first.PrimaryFamily(Font(u"ＭＳ ゴシック")), "IPAMincho");
  {
    TextEngine second(conf.string());
    EXPECT_EQ(second.PrimaryFamily(Font(u"Arial")), "IPAMincho");
  }
  EXPECT_EQ(first.PrimaryFamily(Font(u"No Such Font", true)), "IPAMincho");
  write("IPAPGothic");
  TextEngine third(conf.string());
  EXPECT_EQ(third.PrimaryFamily(Font(u"ＭＳ ゴシック")), "IPAPGothic");
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace zumen
