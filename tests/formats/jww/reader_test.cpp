// Reading JWW drawings and JWS symbols written by the test writer.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "formats/jww/jws_data.h"
#include "formats/jww/jww_data.h"
#include "support/jww_writer.h"

namespace zumen {
namespace {

std::unique_ptr<TJwwData> ReadJww(const std::vector<uint8_t>& bytes, bool* ok = nullptr) {
  auto d = std::make_unique<TJwwData>();
  const bool r = d->FileInBytes(bytes);
  if (ok) *ok = r;
  return d;
}

TEntJwwAttr Attr(uint8_t style, uint16_t color, uint16_t width, uint16_t layer, uint16_t group) {
  TEntJwwAttr a;
  a.lGroup = 7;
  a.nPenStyle = style;
  a.nPenColor = color;
  a.nPenWidth = width;
  a.nLayer = layer;
  a.nGLayer = group;
  a.sFlg = 0x20;
  return a;
}

// One drawing with every record kind, in the drawing and in a definition.
JwwWriter EveryKind(int32_t version, JwwWriter::Strings strings) {
  JwwWriter w(version);
  w.strings = strings;
  w.head.Enthd.strMemo = u"メモ\n2行目";
  w.Paper(3);
  w.head.EntLay[17].aStrLayName = u"敷地";
  w.head.EntLgrp[1].aStrGLayName = u"グループ";
  w.head.EntCol[1].aPenColor = 0x0000FF;
  w.head.EntColS[256].astrUDColorName = u"色";
  w.head.EntLtpS[32].aadUDLTypePitch[10] = 2.5;
  w.att = Attr(2, 3, 25, 1, 1);
  w.Line(1, 2, 3, 4);
  w.Arc(10, 10, 5, 0.5, 1.0, 0.8, 0.1);
  w.Circle(20, 20, 3);
  w.Point(5, 6);
  w.Marker(7, 8, 12, 0.25, 2.0);
  w.Text(0, 0, u"日本語テキスト", 4, 30);
  w.Dimension(0, 0, 100, 0, u"100");
  w.Solid(0, 0, 1, 0, 1, 1, 0, 1);
  TEntJwwSolid coloured{Attr(1, 10, 0, 0, 0), 0, 0, 2, 0, 2, 2, 0, 2, 0x00FF8040};
  w.Add(coloured);
  w.Insert(5, 50, 50, 2, 3, 0.5);
  w.BeginBlockDef(5, u"部品");
  w.Line(0, 0, 1, 1);
  w.Point(0.5, 0.5);
  w.Text(0, 0, u"A", 2);
  w.EndBlockDef();
  return w;
}

struct Case {
  int32_t version;
  JwwWriter::Strings strings;
};

class EveryKindTest : public ::testing::TestWithParam<Case> {};

TEST_P(EveryKindTest, ReadsEveryRecordToTheEnd) {
  const Case c = GetParam();
  const auto bytes = EveryKind(c.version, c.strings).Finish();
  bool ok = false;
  auto d = ReadJww(bytes, &ok);
  ASSERT_TRUE(ok) << d->LastError();
  EXPECT_EQ(d->LastError(), "");
  EXPECT_EQ(d->BytesRead, bytes.size());
  const TJwwBody& b = d->Body;
  EXPECT_EQ(d->Enthd.jwVer, c.version);
  EXPECT_EQ(d->Enthd.nZumen, 3);
  EXPECT_EQ(d->Enthd.strMemo, u"メモ\n2行目");  // the memo keeps its control characters
  EXPECT_EQ(d->EntLay[17].aStrLayName, u"敷地");
  EXPECT_EQ(d->EntLgrp[1].aStrGLayName, u"グループ");
  EXPECT_EQ(d->EntCol[1].aPenColor, 0x0000FF);
  EXPECT_EQ(d->EntColS[256].astrUDColorName, c.version >= 420 ? u"色" : u"");
  EXPECT_EQ(d->EntLtpS[32].aadUDLTypePitch[10], c.version >= 420 ? 2.5 : 0.0);

  EXPECT_EQ(d->Enthd.n1, 10);
  EXPECT_EQ(b.ObjectsRead, 10);
  EXPECT_EQ(b.ObjectsDropped, 0);
  ASSERT_EQ(b.EntLineN(), 1u);
  ASSERT_EQ(b.EntEnkoN(), 2u);
  ASSERT_EQ(b.EntTenN(), 2u);
  ASSERT_EQ(b.EntMojiN(), 1u);
  ASSERT_EQ(b.EntSunpoN(), 1u);
  ASSERT_EQ(b.EntSolidN(), 2u);
  ASSERT_EQ(b.EntBlockN(), 1u);
  const uint16_t width = c.version >= 351 ? 25 : 0;
  EXPECT_EQ(b.EntLine[0].att, Attr(2, 3, width, 1, 1));
  EXPECT_EQ(b.EntLine[0].end_y, 4);
  EXPECT_EQ(b.EntEnko[0].dHenpeiRitsu, 0.8);
  EXPECT_EQ(b.EntEnko[0].radKatamukiKaku, 0.1);
  EXPECT_EQ(b.EntEnko[1].bZenEnFlg, 1u);
  // A point without marker: scale 1, rotation 0; a coded marker keeps its fields.
  EXPECT_EQ(b.EntTen[0].dBairitsu, 1.0);
  EXPECT_EQ(b.EntTen[0].radKaitenKaku, 0.0);
  EXPECT_EQ(b.EntTen[1].nCode, 12u);
  EXPECT_EQ(b.EntTen[1].dBairitsu, 2.0);
  EXPECT_EQ(b.EntMoji[0].str, u"日本語テキスト");
  EXPECT_EQ(b.EntMoji[0].strFontName, u"ＭＳ ゴシック");
  EXPECT_EQ(b.EntMoji[0].degKakudo, 30);
  EXPECT_EQ(b.EntSunpo[0].Moji.str, u"100");
  EXPECT_EQ(b.EntSolid[0].Color, 0u);
  EXPECT_EQ(b.EntSolid[1].Color, 0x00FF8040u);
  EXPECT_EQ(b.EntBlock[0].nNumber, 5u);
  EXPECT_EQ(b.EntBlock[0].dBairitsuY, 3);
  const std::vector<TEntJwwNo> order = {{1, 0}, {2, 0}, {2, 1}, {3, 0}, {3, 1}, {4, 0},
                                        {5, 0}, {6, 0}, {6, 1}, {7, 0}};
  EXPECT_EQ(std::vector<TEntJwwNo>(b.EntNo.begin(), b.EntNo.begin() + 10), order);

  EXPECT_EQ(d->Enthd.n2, 1);
  ASSERT_EQ(b.EntBlockDefN(), 1u);
  const TEntJwwBlockDef& def = b.EntBlockDef[0];
  EXPECT_EQ(def.strName, u"部品");
  EXPECT_EQ(def.nNumber, 5u);
  EXPECT_EQ(def.N, 3u);
  EXPECT_EQ(def.mNo, (std::vector<TEntJwwNo>{{1, 0}, {3, 0}, {4, 0}}));
  // Inside definitions a point without marker gets scale 0.
  EXPECT_EQ(def.mTen[0].dBairitsu, 0.0);
  EXPECT_EQ(def.mMoji[0].str, u"A");
  EXPECT_TRUE(def.ref_flag);
  EXPECT_EQ(def.ref_no, 0);
  EXPECT_EQ(b.EntBlockNum, 1);
  ASSERT_EQ(b.EntBlockTreeN(), 1u);
  EXPECT_EQ(b.NodeName(b.EntBlockTree[0]), u"部品");
}

INSTANTIATE_TEST_SUITE_P(Versions, EveryKindTest,
                         ::testing::Values(Case{220, JwwWriter::Strings::kBytes}, Case{223, JwwWriter::Strings::kBytes},
                                           Case{230, JwwWriter::Strings::kBytes}, Case{231, JwwWriter::Strings::kBytes},
                                           Case{300, JwwWriter::Strings::kBytes}, Case{350, JwwWriter::Strings::kBytes},
                                           Case{351, JwwWriter::Strings::kBytes}, Case{419, JwwWriter::Strings::kBytes},
                                           Case{420, JwwWriter::Strings::kBytes}, Case{600, JwwWriter::Strings::kBytes},
                                           Case{600, JwwWriter::Strings::kWide}, Case{700, JwwWriter::Strings::kBytes},
                                           Case{700, JwwWriter::Strings::kWide}));

TEST(JwwReader, Version350And351DifferOnlyInPenWidth) {
  auto a = ReadJww(EveryKind(350, JwwWriter::Strings::kBytes).Finish());
  auto b = ReadJww(EveryKind(351, JwwWriter::Strings::kBytes).Finish());
  for (auto& l : b->Body.EntLine) l.att.nPenWidth = 0;
  for (auto& e : b->Body.EntEnko) e.att.nPenWidth = 0;
  for (auto& t : b->Body.EntTen) t.att.nPenWidth = 0;
  for (auto& m : b->Body.EntMoji) m.att.nPenWidth = 0;
  for (auto& o : b->Body.EntSolid) o.att.nPenWidth = 0;
  for (auto& k : b->Body.EntBlock) k.att.nPenWidth = 0;
  for (auto& s : b->Body.EntSunpo) {
    for (auto* at : {&s.att, &s.Sen.att, &s.Moji.att, &s.Ho1.att, &s.Ho2.att, &s.Te1.att, &s.Te2.att, &s.Kt1.att,
                     &s.Kt2.att})
      at->nPenWidth = 0;
  }
  EXPECT_EQ(a->Body.EntLine, b->Body.EntLine);
  EXPECT_EQ(a->Body.EntEnko, b->Body.EntEnko);
  EXPECT_EQ(a->Body.EntMoji, b->Body.EntMoji);
  EXPECT_EQ(a->Body.EntSunpo, b->Body.EntSunpo);
  EXPECT_EQ(a->Body.EntTen, b->Body.EntTen);
  EXPECT_EQ(a->Body.EntSolid, b->Body.EntSolid);
  EXPECT_EQ(a->Body.EntBlock, b->Body.EntBlock);
  EXPECT_EQ(a->Body.EntNo, b->Body.EntNo);
}

TEST(JwwReader, DimensionsBefore420HaveNoSxfParts) {
  TEntJwwSunpo s;
  s.att = Attr(3, 4, 10, 2, 3);
  s.Sen = TEntJwwLine{s.att, 0, 0, 10, 0};
  s.Moji.str = u"10";
  s.bSxfMode = 1;
  s.Ho1 = TEntJwwLine{s.att, 1, 1, 1, 5};
  s.Te1 = TEntJwwTen{Attr(100, 1, 0, 0, 0), 3, 3, 0, 4, 0.5, 2};
  s.Te2 = TEntJwwTen{Attr(1, 1, 0, 0, 0), 4, 4};
  for (int v : {419, 420}) {
    JwwWriter w(v);
    w.Add(s);
    bool ok = false;
    auto d = ReadJww(w.Finish(), &ok);
    ASSERT_TRUE(ok) << v;
    ASSERT_EQ(d->Body.EntSunpoN(), 1u);
    const TEntJwwSunpo& r = d->Body.EntSunpo[0];
    EXPECT_EQ(r.Sen, s.Sen);
    if (v == 420) {
      EXPECT_EQ(r.bSxfMode, 1);
      EXPECT_EQ(r.Ho1, s.Ho1);
      EXPECT_EQ(r.Te1, s.Te1);  // coded marker: 20 more bytes read
      EXPECT_EQ(r.Te2.dBairitsu, 0.0);
    } else {
      EXPECT_EQ(r.bSxfMode, 0);
      EXPECT_EQ(r.Ho1, (TEntJwwLine{s.att}));
      TEntJwwAttr point_att = s.att;
      point_att.nPenStyle = 0;
      EXPECT_EQ(r.Kt2, (TEntJwwTen{point_att}));
    }
  }
}

TEST(JwwReader, LongAndShortClassTagsNameTheSameClass) {
  JwwWriter a(600), b(600);
  b.tags = JwwWriter::Tags::kLong;
  for (auto* w : {&a, &b}) {
    w->Line(0, 0, 1, 1);
    w->Text(0, 0, u"x");
    w->Line(2, 2, 3, 3);
    w->Text(1, 1, u"y");
  }
  auto da = ReadJww(a.Finish());
  auto db = ReadJww(b.Finish());
  EXPECT_EQ(da->Body.EntLine, db->Body.EntLine);
  EXPECT_EQ(da->Body.EntMoji, db->Body.EntMoji);
  EXPECT_EQ(da->Body.EntLineN(), 2u);
}

// A class first met after 0x7FFF objects has an index the short tag cannot
// hold: its later objects are referred to in long form and still read.
TEST(JwwReader, ClassFirstMetBeyondTheShortTagRangeIsRead) {
  JwwWriter w(600);
  for (int i = 0; i < 0x8000; ++i) w.Line(i, 0, i, 1);
  w.Circle(0, 0, 1);
  w.Circle(5, 5, 2);
  bool ok = false;
  auto d = ReadJww(w.Finish(), &ok);
  ASSERT_TRUE(ok) << d->LastError();
  EXPECT_EQ(d->Body.EntLineN(), 0x8000u);
  ASSERT_EQ(d->Body.EntEnko.size(), 2u);
  EXPECT_EQ(d->Body.EntEnko[1].dHankei, 2.0);
}

TEST(JwwReader, UnknownTagsAreSkippedWithoutCounting) {
  JwwWriter w(600);
  w.Line(0, 0, 1, 1);  // class index 1, object 2
  // 0x0005: no class; 0x8009: an index no class holds; 0x7FFF 0x80000001: the
  // line class in long form, followed by a line's data.
  w.Raw({0x05, 0x00, 0x09, 0x80});
  // A one-line file ends with the line's 47 bytes of data and the definition
  // count (2 bytes).
  TEntJwwLine l{Attr(1, 1, 0, 0, 0), 5, 6, 7, 8};
  JwwWriter one(600);
  one.Add(l);
  const auto single = one.Finish();
  std::vector<uint8_t> line = {0xFF, 0x7F, 0x01, 0x00, 0x00, 0x80};
  line.insert(line.end(), single.end() - 2 - 47, single.end() - 2);
  w.Raw(line);
  w.announce_objects = 2;
  bool ok = false;
  auto d = ReadJww(w.Finish(), &ok);
  ASSERT_TRUE(ok) << d->LastError();
  EXPECT_EQ(d->Body.ObjectsRead, 2);
  ASSERT_EQ(d->Body.EntLineN(), 2u);
  EXPECT_EQ(d->Body.EntLine[1], l);
}

TEST(JwwReader, CodedPointsAndColouredSolidsConsumeTheirExtraBytes) {
  // Written after these records, a line only reads right when the extra
  // bytes were consumed exactly.
  JwwWriter w(351);
  w.Add(TEntJwwTen{Attr(100, 1, 0, 0, 0), 1, 2, 1, 9, 0.5, 3});
  w.Add(TEntJwwSolid{Attr(1, 10, 0, 0, 0), 1, 2, 3, 4, 5, 6, 7, 8, 0x123456});
  w.Add(TEntJwwSolid{Attr(1, 9, 0, 0, 0), 1, 2, 3, 4, 5, 6, 7, 8, 0x123456});
  w.Line(9, 9, 9, 9);
  bool ok = false;
  auto d = ReadJww(w.Finish(), &ok);
  ASSERT_TRUE(ok);
  EXPECT_EQ(d->Body.EntTen[0].nCode, 9u);
  EXPECT_EQ(d->Body.EntSolid[0].Color, 0x123456u);
  EXPECT_EQ(d->Body.EntSolid[1].Color, 0u);  // not stored for other pens
  EXPECT_EQ(d->Body.EntLine[0].start_x, 9);
}

TEST(JwwReader, StringsInBothFormsAndAllLengthForms) {
  for (auto form : {JwwWriter::Strings::kBytes, JwwWriter::Strings::kWide}) {
    JwwWriter w(700);
    w.strings = form;
    const std::u16string mid(300, u'あ');     // byte form: 600 bytes, u16 length
    const std::u16string big(70000, u'x');    // wide form: u32 length
    w.Text(0, 0, u"改\n行");                  // control characters are removed
    w.Text(0, 0, mid);
    if (form == JwwWriter::Strings::kWide) w.Text(0, 0, big);
    bool ok = false;
    auto d = ReadJww(w.Finish(), &ok);
    ASSERT_TRUE(ok) << d->LastError();
    EXPECT_EQ(d->Body.EntMoji[0].str, u"改行");
    EXPECT_EQ(d->Body.EntMoji[1].str, mid);
    if (form == JwwWriter::Strings::kWide) {
      EXPECT_EQ(d->Body.EntMoji[2].str, big);
    }
  }
}

TEST(JwwReader, LineWidthSettingDerivesTheOldWidth) {
  const std::pair<int32_t, int32_t> cases[] = {{-450, -50}, {-250, 50}, {-101, -100}, {-100, -100}, {5, 5}};
  for (auto [w, bak] : cases) {
    JwwWriter wr(600);
    wr.head.Enthd.nMaxDrawWid = w;
    auto d = ReadJww(wr.Finish());
    EXPECT_EQ(d->Enthd.bSenHaba100, w <= -101) << w;
    EXPECT_EQ(d->Enthd.nMaxDrawWidBak, bak) << w;
  }
}

// -- failures ---------------------------------------------------------------

struct Failure {
  const char* name;
  std::vector<uint8_t> bytes;
  const char* message;
};

std::vector<uint8_t> Patched(std::vector<uint8_t> b, size_t at, std::vector<uint8_t> with) {
  std::copy(with.begin(), with.end(), b.begin() + static_cast<std::ptrdiff_t>(at));
  return b;
}

TEST(JwwReader, EveryFailureHasItsMessage) {
  const auto good = EveryKind(600, JwwWriter::Strings::kBytes).Finish();
  JwwWriter list_class(600);
  list_class.Line(0, 0, 1, 1);
  list_class.RawObject("CDataList", {});
  JwwWriter short_def(600);
  short_def.BeginBlockDef(1, u"b");
  short_def.EndBlockDef();
  auto def_bytes = short_def.Finish();
  def_bytes.resize(def_bytes.size() - 6);  // cut inside the definition head
  const Failure cases[] = {
      {"signature", Patched(good, 0, {'J', 'w', 'w', 'D', 'a', 't', 'a', ','}), "JWW-Header Error"},
      {"too short for a signature", {'J', 'w', 'w'}, "JWW-Header Error"},
      {"version 219", Patched(good, 8, {219, 0, 0, 0}), "JWW-Version Error"},
      {"version 701", Patched(good, 8, {0xBD, 2, 0, 0}), "JWW-Version Error"},
      {"header cut", std::vector<uint8_t>(good.begin(), good.begin() + 3000), "File I/O Error"},
      {"class CDataList in the entity list", list_class.Finish(), "File I/O Error"},
      {"definition head cut", def_bytes, "File I/O Error"},
  };
  for (const auto& c : cases) {
    bool ok = true;
    auto d = ReadJww(c.bytes, &ok);
    EXPECT_FALSE(ok) << c.name;
    EXPECT_EQ(d->LastError(), c.message) << c.name;
  }
  // State kept after the failures.
  auto d = ReadJww(cases[2].bytes);
  EXPECT_EQ(d->Enthd.jwID, u"JwwData.");
  EXPECT_EQ(d->Enthd.jwVer, 219);
  d = ReadJww(cases[5].bytes);
  EXPECT_EQ(d->Body.EntLineN(), 1u);
  d = ReadJww(cases[6].bytes);
  EXPECT_EQ(d->Enthd.n2, 1);
  EXPECT_EQ(d->Body.EntBlockDefN(), 0u);
}

TEST(JwwReader, MissingFileAndFileCheck) {
  TJwwData d;
  EXPECT_FALSE(d.FileIn("/nonexistent/zumen/x.jww"));
  EXPECT_EQ(d.LastError(), "File I/O Error");
  EXPECT_FALSE(TJwwData::FileCheck("/nonexistent/zumen/x.jww"));

  const auto good = JwwWriter(600).Finish();
  EXPECT_TRUE(TJwwData::FileCheckBytes(good));
  EXPECT_FALSE(TJwwData::FileCheckBytes(Patched(good, 8, {219, 0, 0, 0})));
  EXPECT_TRUE(TJwwData::FileCheckBytes(Patched(good, 8, {220, 0, 0, 0})));
  EXPECT_TRUE(TJwwData::FileCheckBytes(Patched(good, 8, {0xBC, 2, 0, 0})));
  EXPECT_FALSE(TJwwData::FileCheckBytes(Patched(good, 8, {0xBD, 2, 0, 0})));
  EXPECT_FALSE(TJwwData::FileCheckBytes(std::vector<uint8_t>(good.begin(), good.begin() + 10)));

  const std::string path = ::testing::TempDir() + "zumen_filecheck.jww";
  ASSERT_TRUE(JwwWriter(600).Save(path));
  EXPECT_TRUE(TJwwData::FileCheck(path));
  EXPECT_TRUE(d.FileIn(path));
  std::remove(path.c_str());
}

TEST(JwwReader, DroppedObjectStillCounts) {
  JwwWriter w(600);
  w.Line(0, 0, 1, 1);
  w.Text(0, 0, u"cut short");
  auto bytes = w.Finish();
  bytes.resize(bytes.size() - 2 - 4);  // no definition count, text cut inside its string
  bool ok = true;
  auto d = ReadJww(bytes, &ok);
  EXPECT_FALSE(ok);
  EXPECT_EQ(d->LastError(), "File I/O Error");
  EXPECT_EQ(d->Body.ObjectsRead, 2);
  EXPECT_EQ(d->Body.ObjectsDropped, 1);
  EXPECT_EQ(d->Body.EntLineN(), 1u);
  EXPECT_EQ(d->Body.EntMojiN(), 0u);
  EXPECT_EQ(d->Body.EntNo.size(), 1u);
}

TEST(JwwReader, AnnouncedCountsBeyondTheDataEndTheRead) {
  JwwWriter w(700);
  w.Line(0, 0, 1, 1);
  w.announce_objects = 0x7FFFFFF0u;  // far more than the file holds
  bool ok = true;
  auto d = ReadJww(w.Finish(), &ok);
  EXPECT_FALSE(ok);
  EXPECT_EQ(d->Body.EntLineN(), 1u);

  JwwWriter defs(700);
  defs.announce_defs = 0x7FFFFFFF;
  defs.BeginBlockDef(1, u"a");
  defs.AnnounceMembers(0xFFFFFF00u);
  defs.Line(0, 0, 1, 1);
  defs.EndBlockDef();
  d = ReadJww(defs.Finish(), &ok);
  EXPECT_FALSE(ok);
  EXPECT_EQ(d->Enthd.n2, 0x7FFFFFFF);
  ASSERT_EQ(d->Body.EntBlockDefN(), 1u);
  EXPECT_EQ(d->Body.EntBlockDef[0].mLineN(), 1u);

  // An image that announces more bytes than the file holds.
  JwwWriter img(700);
  const uint8_t pixels[] = {1, 2, 3};
  img.Image(u"a.bmp", pixels, false);
  auto bytes = img.Finish();
  bytes.pop_back();
  d = ReadJww(bytes, &ok);
  EXPECT_FALSE(ok);
  EXPECT_EQ(d->LastError(), "File I/O Error");
}

TEST(JwwReader, EveryTruncationFailsCleanly) {
  for (int v : {300, 700}) {
    JwwWriter w = EveryKind(v, JwwWriter::Strings::kWide);
    const uint8_t pixels[] = {9, 8, 7, 6};
    w.Image(u"p.bmp", pixels, false);
    const auto bytes = w.Finish();
    for (size_t n = 0; n < bytes.size(); ++n) {
      TJwwData d;
      ASSERT_FALSE(d.FileInBytes(std::span(bytes.data(), n))) << v << " " << n;
      ASSERT_FALSE(d.LastError().empty());
    }
    TJwwData d;
    EXPECT_TRUE(d.FileInBytes(bytes));
  }
}

TEST(JwwReader, BlockDefinitionsLongTimeAndEmptyList) {
  JwwWriter w(700);
  w.BeginBlockDef(3, u"old", true);
  w.Line(0, 0, 1, 1);
  w.EndBlockDef();
  w.BeginBlockDef(4, u"new");
  w.EndBlockDef();
  bool ok = false;
  auto d = ReadJww(w.Finish(), &ok);
  ASSERT_TRUE(ok) << d->LastError();
  ASSERT_EQ(d->Body.EntBlockDefN(), 2u);
  EXPECT_EQ(d->Body.EntBlockDef[0].dtime, 1u);  // the ordinal replaces a long time
  EXPECT_EQ(d->Body.EntBlockDef[0].mLineN(), 1u);
  EXPECT_EQ(d->Body.EntBlockDef[1].strName, u"new");

  // No definitions, directly followed by the image section.
  JwwWriter e(700);
  const uint8_t pixels[] = {1};
  e.Image(u"one.bmp", pixels, false);
  e.Image(u"", {}, false);
  d = ReadJww(e.Finish(), &ok);
  ASSERT_TRUE(ok);
  EXPECT_EQ(d->Enthd.n2, 0);
  ASSERT_EQ(d->BindImageN(), 2u);
  EXPECT_EQ(d->BindImage[0].Fname, u"one.bmp");
  EXPECT_EQ(d->BindImage[0].Fsize, 1);
  EXPECT_EQ(d->BindImage[1].Fsize, 0);
}

TEST(JwwReader, DataInitDefaultsAndKeepsImageSettings) {
  TJwwData d;
  d.BindImageExp = true;
  d.BindImageMaxInflated = 1234;
  ASSERT_TRUE(d.FileInBytes(EveryKind(600, JwwWriter::Strings::kBytes).Finish()));
  d.DataInit();
  EXPECT_EQ(d.BindImageMaxInflated, 1234u);
  EXPECT_TRUE(d.BindImageExp);
  EXPECT_TRUE(d.BindImageExr);
  EXPECT_EQ(d.Body.EntLineN(), 0u);
  EXPECT_EQ(d.Enthd.dPrtBairitsu, 1.0);
  EXPECT_EQ(d.Enthd.dZoomJumpBairitsu[8], 1.0);
  EXPECT_EQ(d.Enthd.nZoomJumpGLay[1], -1);
  EXPECT_EQ(d.Enthd.nZumen, 0);
}

// -- JWS --------------------------------------------------------------------

TEST(JwsReader, ReadsSymbolsWithTheJwwBody) {
  for (int v : {300, 700}) {
    JwwWriter w = EveryKind(v, JwwWriter::Strings::kBytes);
    w.format = JwwWriter::Format::kJws;
    w.jws.BasePoint_x = 12.5;
    w.jws.My2 = 4;
    w.head.EntLgrp[3].adScale = 50;
    const uint8_t pixels[] = {1, 2};
    w.Image(u"ignored.bmp", pixels, false);  // never written for symbols
    auto bytes = w.Finish();
    bytes.push_back(0xAB);  // trailing bytes are ignored
    TJwsData d;
    ASSERT_TRUE(TJwsData::FileCheckBytes(bytes));
    ASSERT_TRUE(d.FileInBytes(bytes)) << d.LastError();
    EXPECT_EQ(d.Enthd.jwVer, v);
    EXPECT_EQ(d.Enthd.BasePoint_x, 12.5);
    EXPECT_EQ(d.Enthd.My2, 4);
    EXPECT_EQ(d.EntLgrp[3].adScale, 50);
    EXPECT_EQ(d.EntLgrp[3].anGLay, 2);
    EXPECT_EQ(d.Body.ObjectsRead, 10);
    EXPECT_EQ(d.Body.EntBlockDefN(), 1u);
    EXPECT_EQ(d.Body.EntBlockTreeN(), 1u);
    EXPECT_EQ(d.BindImageN(), 0u);
    EXPECT_EQ(d.BytesRead, bytes.size() - 1);
  }
}

TEST(JwsReader, Failures) {
  JwwWriter w(600, JwwWriter::Format::kJws);
  const auto good = w.Finish();
  const Failure cases[] = {
      {"signature", Patched(good, 0, {'J', 'w', 'w'}), "JWS-Header Error"},
      {"version 229", Patched(good, 200, {229, 0, 0, 0}), "JWS-Version Error"},
      {"version 701", Patched(good, 200, {0xBD, 2, 0, 0}), "JWS-Version Error"},
      {"no version", std::vector<uint8_t>(good.begin(), good.begin() + 202), "File I/O Error"},
      {"My2 missing", std::vector<uint8_t>(good.begin(), good.end() - 4 - 4), "File I/O Error"},
      {"no definition count", std::vector<uint8_t>(good.begin(), good.end() - 2), "File I/O Error"},
  };
  for (const auto& c : cases) {
    TJwsData d;
    EXPECT_FALSE(d.FileInBytes(c.bytes)) << c.name;
    EXPECT_EQ(d.LastError(), c.message) << c.name;
  }
  EXPECT_FALSE(TJwsData::FileCheckBytes(cases[1].bytes));
  EXPECT_TRUE(TJwsData::FileCheckBytes(Patched(good, 200, {230, 0, 0, 0})));
  EXPECT_FALSE(TJwsData::FileCheckBytes(cases[0].bytes));
}

}  // namespace
}  // namespace zumen
