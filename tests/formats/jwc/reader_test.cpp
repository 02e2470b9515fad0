// Reading JWC drawings and JWK symbols written by the test writer.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>

#include "formats/jwc/codec.h"
#include "formats/jwc/jwc_data.h"
#include "formats/jwc/jwk_data.h"
#include "support/jwc_writer.h"

namespace zumen {
namespace {

using test::JwcFile;
using test::JwkFile;

TEST(JwcHeader, ParameterBlocksSplitAtCommasAndPadMissingValues) {
  std::string text = " 12,$1F,2.5,x,6000:0010";
  text.resize(200, '\0');
  const auto v = JwcSplitParams(std::span(reinterpret_cast<const uint8_t*>(text.data()), 200), 7);
  ASSERT_EQ(v.size(), 7u);
  EXPECT_EQ(JwcParamInt(v[0]), 12);
  EXPECT_EQ(JwcParamInt(v[1]), 31);
  EXPECT_FLOAT_EQ(JwcParamFloat(v[2]), 2.5f);
  EXPECT_EQ(JwcParamInt(v[3]), 0);
  EXPECT_EQ(JwcParamAddress(v[4]), 0x60010);  // the last value ends at its NUL
  EXPECT_EQ(v[5], u"0");                      // missing values read "0"
  EXPECT_EQ(JwcParamAddress(u"60"), 0x600);   // short texts read what is there
  EXPECT_TRUE(std::isinf(JwcParamFloat(u"1e300")));
}

TEST(JwcHeader, DataUnitFollowsPaperCodeAndDrawWidth) {
  struct Case {
    int psize, drawWidth;
    float unit;
  } cases[] = {{5, 518, 1}, {3, 420, 1}, {3, 0, 420.0f / 518}, {0, 1189, 1},
               {14, 1000, 100}, {7, 10, 1}, {-1, 10, 1}, {15, 10, 1}};
  for (const Case& c : cases) {
    JwcFile f;
    f.psize = c.psize;
    f.drawWidth = c.drawWidth;
    f.lines.push_back({1, 2, 3, 4});
    TJwcData d;
    ASSERT_TRUE(d.FileIn(f.Build())) << c.psize;
    EXPECT_FLOAT_EQ(d.Enthd.dataUnit, c.unit) << c.psize << " " << c.drawWidth;
    EXPECT_EQ(d.Enthd.drawWidth, c.drawWidth == 0 ? 518 : c.drawWidth);
    EXPECT_FLOAT_EQ(d.EntLine[0].x2, 3 * c.unit);
  }
}

TEST(JwcHeader, TheFAtCharacter23SelectsBinary32GroupScales) {
  for (const std::string id : {"jw_cad(c)data.......  f", "jw_cad(c)data......."}) {
    JwcFile f;
    f.id = id;
    f.groupScale.fill(50);
    f.groupScale[3] = 100;
    f.lines.push_back({1, 2, 3, 4, 2, 3, 0x35});
    f.tens.push_back({7, 8, 1, 2});
    f.groupNames[3] = "G3";
    const auto bytes = f.Build();
    TJwcData d;
    ASSERT_TRUE(d.FileIn(bytes)) << id;
    EXPECT_EQ(d.Enthd.scaleF, id.size() == 23);
    EXPECT_FLOAT_EQ(d.EntLgrp[3].scale, 100);
    EXPECT_FLOAT_EQ(d.EntLgrp[4].scale, 50);
    ASSERT_EQ(d.lineN, 1);
    EXPECT_EQ(d.EntLine[0].lay, 0x35);
    EXPECT_FLOAT_EQ(d.EntTen[0].y, 8);
    EXPECT_EQ(d.EntLgrp[3].name, u"G3");
  }
  // Everything after the scales moves by 32 bytes.
  JwcFile a, b;
  b.id = "jw_cad(c)data.......";
  EXPECT_EQ(a.Build().size(), b.Build().size() + 32);
}

TEST(JwcHeader, DefaultsAndCommentsAndCountsAreKept) {
  JwcFile f;
  f.comment1 = "first";
  f.comment2 = "second";
  f.p1[9] = "2.5";
  f.p2[19] = "50";
  f.p3[21] = "7";
  TJwcData d;
  ASSERT_TRUE(d.FileIn(f.Build()));
  EXPECT_EQ(d.Enthd.jwID, u"jw_cad(c)data.......  f");
  EXPECT_EQ(d.Enthd.comment1, u"first");
  EXPECT_EQ(d.Enthd.comment2, u"second");
  EXPECT_FLOAT_EQ(d.Enthd.wLayScale, 2.5f);
  EXPECT_FLOAT_EQ(d.Enthd.dlinDistB, 50);
  EXPECT_EQ(d.Enthd.flg25Dm, 7);
  EXPECT_EQ(d.Enthd.psize, 5);

  TJwcData fresh;
  EXPECT_EQ(fresh.Enthd.psize, 3);
  EXPECT_EQ(fresh.Enthd.drawWidth, 518);
  EXPECT_EQ(fresh.Enthd.sBufAdr1, 393216);
  EXPECT_FLOAT_EQ(fresh.Enthd.dlinDist[4], 100);
  EXPECT_TRUE(fresh.Enthd.scaleF);
}

TEST(JwcRecords, ArcsDecodeFlatnessAndAnglesAndScaleOnlyLengths) {
  JwcFile f;
  f.psize = 3;
  f.drawWidth = 210;  // two millimetres per file unit
  f.arcs.push_back({10, 20, 5, 5000, 90 * 65536, -45 * 65536, 30 * 65536 + 32768, 2, 3, 4});
  TJwcData d;
  ASSERT_TRUE(d.FileIn(f.Build()));
  ASSERT_EQ(d.arcN, 1);
  const TEntJwcArc2& a = d.EntArc[0];
  EXPECT_FLOAT_EQ(a.x, 20);
  EXPECT_FLOAT_EQ(a.y, 40);
  EXPECT_FLOAT_EQ(a.r, 10);
  EXPECT_FLOAT_EQ(a.h, 0.5f);
  EXPECT_FLOAT_EQ(a.st, 90);
  EXPECT_FLOAT_EQ(a.et, -45);
  EXPECT_FLOAT_EQ(a.tt, 30.5f);
  EXPECT_EQ(a.typ, 2);
  EXPECT_EQ(a.col, 3);
  EXPECT_EQ(a.lay, 4);
}

TEST(JwcRecords, TextsTakeTheirBytesFromTheStringArea) {
  JwcFile f;
  f.Text(0, 0, 10, 0, "AB\tC", 3, 0x12, 0x20);
  f.Text(0, 5, 10, 5, "\x93\xfa\x96\x7b", 2);  // two double-byte characters
  f.tens.push_back({1, 1});
  TJwcData d;
  ASSERT_TRUE(d.FileIn(f.Build()));
  ASSERT_EQ(d.mojiN, 2);
  EXPECT_EQ(d.EntMoji[0].s, u"ABC");  // control characters are removed
  EXPECT_EQ(d.EntMoji[0].no, 3);
  EXPECT_EQ(d.EntMoji[0].lay, 0x12);
  EXPECT_EQ(d.EntMoji[0].flg1, 0x20);
  EXPECT_EQ(d.EntMoji[0].p, 0x60000);
  EXPECT_EQ(d.EntMoji[1].s, u"日本");
  EXPECT_EQ(d.tenN, 1);
}

TEST(JwcRecords, WithoutAStringAreaTextsAreEmptyAndPointsFollowTheTexts) {
  JwcFile f;
  f.Text(0, 0, 10, 0, "TEXT");
  f.strArea.clear();
  f.p3[1] = test::JwcAddress(0x5FFF0);  // sBufAdr2 below sBufAdr1: no area
  f.tens.push_back({3, 4});
  TJwcData d;
  ASSERT_TRUE(d.FileIn(f.Build()));
  EXPECT_EQ(d.EntMoji[0].s, u"");
  ASSERT_EQ(d.tenN, 1);
  EXPECT_FLOAT_EQ(d.EntTen[0].x, 3);
}

TEST(JwcRecords, TextPositionsOutsideTheAreaGiveEmptyTexts) {
  JwcFile f;
  f.Text(0, 0, 1, 0, "A");
  f.mojis.push_back({0, 0, 1, 0, 0, 0x5000});       // below the area
  f.mojis.push_back({0, 0, 1, 0, 0x2, 0x6000});     // just past its bytes
  f.mojis.push_back({0, 0, 1, 0, 0xF, 0xFFFF});     // far beyond
  f.p1[2] = "4";
  TJwcData d;
  ASSERT_TRUE(d.FileIn(f.Build()));
  ASSERT_EQ(d.mojiN, 4);
  EXPECT_EQ(d.EntMoji[0].s, u"A");
  for (int i = 1; i < 4; ++i) EXPECT_EQ(d.EntMoji[i].s, u"") << i;
}

TEST(JwcRecords, TextTypesVirtualPointsAndNamesAreRead) {
  JwcFile f;
  f.mjPen[0] = 9;
  f.mjHeight[10] = 123;
  f.mjDist[10] = 7;
  f.vx[1] = 11, f.vy[1] = 12, f.vlay[1] = 0x21;
  f.vx[100] = 5;
  f.layerNames[17] = "ABCDEFGH";  // a full field without NUL
  f.layerNames[18] = "X\x01Y";
  TJwcData d;
  ASSERT_TRUE(d.FileIn(f.Build()));
  ASSERT_EQ(d.EntMjtp.size(), 12u);
  EXPECT_EQ(d.EntMjtp[0].penNo, 9);
  EXPECT_EQ(d.EntMjtp[5].penNo, 3);
  EXPECT_EQ(d.EntMjtp[5].width, 50);
  EXPECT_EQ(d.EntMjtp[10].height, 123);
  EXPECT_EQ(d.EntMjtp[10].dist, 7);
  EXPECT_EQ(d.EntMjtp[11].height, 0);
  ASSERT_EQ(d.EntVten.size(), 101u);
  EXPECT_FLOAT_EQ(d.EntVten[1].x, 11);
  EXPECT_FLOAT_EQ(d.EntVten[1].y, 12);
  EXPECT_EQ(d.EntVten[1].lay, 0x21);
  EXPECT_FLOAT_EQ(d.EntVten[100].x, 5);
  EXPECT_EQ(d.EntLay[17].name, u"ABCDEFGH");
  EXPECT_EQ(d.EntLay[18].name, u"XY");
}

TEST(JwcFileCheck, AcceptsOnlyTheExactIdentification) {
  auto check = [](std::string s) {
    s.resize(std::max<size_t>(s.size(), 20), '\0');
    return TJwcData::FileCheck(std::span(reinterpret_cast<const uint8_t*>(s.data()), s.size()));
  };
  EXPECT_TRUE(check("jw_cad(c)data......."));
  EXPECT_TRUE(check("jw_cad(c)data.......whatever follows"));
  EXPECT_FALSE(check("jw_cad(c)data......"));
  EXPECT_FALSE(check("JW_CAD(c)data......."));
  EXPECT_FALSE(check("jw_cad(c)sym........"));
  EXPECT_FALSE(TJwcData::FileCheck(std::span<const uint8_t>()));
  EXPECT_TRUE(TJwkData::FileCheck(JwkFile{}.Build()));
  EXPECT_FALSE(TJwkData::FileCheck(JwcFile{}.Build()));
  EXPECT_FALSE(TJwcData::FileCheck(std::string("/nonexistent/file.jwc")));
}

TEST(JwcFiles, ReadFromDiskAndHeaderOnly) {
  JwcFile f;
  f.lines.push_back({1, 2, 3, 4});
  const auto bytes = f.Build();
  const std::string path = testing::TempDir() + "zumen_jwc_reader.jwc";
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                              static_cast<std::streamsize>(bytes.size()));
  EXPECT_TRUE(TJwcData::FileCheck(path));
  TJwcData d;
  EXPECT_TRUE(d.FileHeaderIn(path));
  EXPECT_EQ(d.Enthd.lineCount, 1);
  EXPECT_EQ(d.lineN, 0);
  EXPECT_TRUE(d.FileIn(path));
  EXPECT_EQ(d.lineN, 1);
  std::remove(path.c_str());
  EXPECT_FALSE(d.FileIn(path));
  EXPECT_EQ(d.ErrorMessage, "File I/O Error");
}

// ----- Damaged and hostile files -----

TEST(JwcHostile, AnnouncedCountsBeyondTheDataStopAtTheRecordsStored) {
  JwcFile f;
  f.lines.push_back({1, 1, 2, 2});
  f.p1[0] = "2000000000";
  TJwcData d;
  EXPECT_FALSE(d.FileIn(f.Build()));
  EXPECT_EQ(d.ErrorMessage, "File I/O Error");
  EXPECT_EQ(d.Enthd.lineCount, 2000000000);
  // The record and the tail (names) become records; nothing more is stored.
  EXPECT_EQ(d.lineN, static_cast<int32_t>(d.EntLine.size()));
  EXPECT_LT(d.lineN, 200);
  EXPECT_FLOAT_EQ(d.EntLine[0].x2, 2);
}

TEST(JwcHostile, NegativeCountsFailTheRead) {
  for (int k = 0; k < 4; ++k) {
    JwcFile f;
    f.p1[k] = "-1";
    TJwcData d;
    EXPECT_FALSE(d.FileIn(f.Build())) << k;
    EXPECT_EQ(d.lineN + d.arcN + d.mojiN + d.tenN, 0);
  }
  JwkFile k;
  k.p[3] = "-5";
  TJwkData s;
  EXPECT_FALSE(s.FileIn(k.Build()));
}

TEST(JwcHostile, EveryTruncationReadsSafely) {
  JwcFile f;
  f.lines.push_back({1, 1, 2, 2});
  f.arcs.push_back({0, 0, 1});
  f.Text(0, 0, 3, 0, "TXT");
  f.tens.push_back({4, 4});
  f.vtenCount = 2;
  const auto full = f.Build();
  const size_t lastField = full.size() - 16;  // the group names end the file
  const size_t records = full.size() - 256 * 8 - 16 * 16 - 12 - 3 - 1 - 24 - 32 - 22;
  for (size_t n = 0; n < full.size(); ++n) {
    // Every cut in the header, the records and the last field; a sample elsewhere.
    const bool dense = n < 820 || (n >= records - 20 && n < records + 120) || n + 20 > full.size();
    if (!dense && n % 13 != 0) continue;
    TJwcData d;
    const bool ok = d.FileIn(std::span(full).first(n));
    EXPECT_EQ(ok, n > lastField) << n;
    EXPECT_LE(d.lineN, 1);
    EXPECT_LE(d.arcN, 1);
    EXPECT_LE(d.mojiN, 1);
    EXPECT_LE(d.tenN, 1);
    EXPECT_EQ(d.EntLine.size(), static_cast<size_t>(d.lineN));
    EXPECT_EQ(d.EntMoji.size(), static_cast<size_t>(d.mojiN));
  }

  JwkFile k;
  k.lines.push_back({1, 1, 2, 2});
  k.Text(0, 0, 1, 0, "T");
  const auto kb = k.Build();
  for (size_t n = 0; n < kb.size(); ++n) {
    TJwkData s;
    s.FileIn(std::span(kb).first(n));
    EXPECT_LE(s.lineN, 1);
    EXPECT_LE(s.mojiN, 1);
  }
}

TEST(JwcHostile, AHeaderBlockThatIsMissingFailsTheHeader) {
  JwcFile f;
  const auto bytes = f.Build();
  TJwcData d;
  EXPECT_FALSE(d.FileIn(std::span(bytes).first(600)));
  EXPECT_EQ(d.ErrorMessage, "File Header Error");
  // A short block is read as far as it goes.
  EXPECT_FALSE(d.FileIn(std::span(bytes).first(610)));
  EXPECT_EQ(d.ErrorMessage, "File I/O Error");
}

// ----- JWK -----

TEST(JwkReader, ReadsTheParameterBlockRecordsAndStrings) {
  JwkFile k;
  k.p[4] = "1.5";
  k.p[5] = "-2";
  k.p[6] = "3";
  k.scale = "20";
  k.lines.push_back({0, 0, 40, 20, 2, 3, 4});
  k.arcs.push_back({10, 10, 20, 10000, 0, 180 * 65536});
  k.tens.push_back({60, 0});
  k.Text(0, 0, 20, 0, "AB", 5);
  k.Text(0, 10, 20, 10, "C", 2);
  TJwkData s;
  ASSERT_TRUE(s.FileIn(k.Build()));
  EXPECT_EQ(s.Enthd.lineCount, 1);
  EXPECT_EQ(s.Enthd.mojiCount, 2);
  EXPECT_FLOAT_EQ(s.Enthd.org_x, 1.5f);
  EXPECT_FLOAT_EQ(s.Enthd.org_y, -2);
  EXPECT_FLOAT_EQ(s.Enthd.dispScale, 3);
  EXPECT_EQ(s.Enthd.strSpace, 5);
  EXPECT_FLOAT_EQ(s.Enthd.scale, 20);
  EXPECT_FLOAT_EQ(s.EntLine[0].x2, 40);  // stored unscaled
  EXPECT_FLOAT_EQ(s.EntArc[0].et, 180);
  EXPECT_FLOAT_EQ(s.EntTen[0].x, 60);
  EXPECT_EQ(s.EntMoji[0].s, u"AB");
  EXPECT_EQ(s.EntMoji[1].s, u"C");
  EXPECT_EQ(s.EntMoji[1].p, 3);
}

TEST(JwkReader, ScaleNotAboveZeroIsOne) {
  for (const char* sc : {"0", "-4", "1e-15", "junk"}) {
    JwkFile k;
    k.scale = sc;
    TJwkData s;
    ASSERT_TRUE(s.FileIn(k.Build()));
    EXPECT_FLOAT_EQ(s.Enthd.scale, 1) << sc;
  }
}

TEST(JwkReader, TextTypesComeFromTheBuiltInTable) {
  TJwkData s;
  ASSERT_EQ(s.EntMjtp.size(), 12u);
  EXPECT_EQ(s.EntMjtp[0].height, 0);
  EXPECT_EQ(s.EntMjtp[2].penNo, 1);
  EXPECT_EQ(s.EntMjtp[2].width, 25);
  EXPECT_EQ(s.EntMjtp[2].height, 25);
  EXPECT_EQ(s.EntMjtp[2].dist, 5);
  EXPECT_EQ(s.EntMjtp[5].penNo, 3);
  EXPECT_EQ(s.EntMjtp[5].height, 50);
  EXPECT_EQ(s.EntMjtp[5].dist, 10);
  EXPECT_EQ(s.EntMjtp[11].penNo, 0);
  s.DataFree();
  EXPECT_TRUE(s.EntMjtp.empty());
}

TEST(JwkReader, TextOffsetsAtOrPastTheAreaAreEmpty) {
  JwkFile k;
  k.Text(0, 0, 1, 0, "AB");
  k.mojis.push_back({0, 0, 1, 0, 3});       // == strSpace
  k.mojis.push_back({0, 0, 1, 0, 0xFFFF});  // far beyond
  k.p[7] = "100000";                        // announced larger than stored
  TJwkData s;
  ASSERT_TRUE(s.FileIn(k.Build()));
  EXPECT_EQ(s.EntMoji[0].s, u"AB");
  EXPECT_EQ(s.EntMoji[1].s, u"");
  EXPECT_EQ(s.EntMoji[2].s, u"");
}

}  // namespace
}  // namespace zumen
