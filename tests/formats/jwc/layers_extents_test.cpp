// Layer states handed to the attribute model, and the extents of JWC
// drawings and JWK symbols.
#include <gtest/gtest.h>

#include "context/context.h"
#include "formats/jwc/extents.h"
#include "formats/jwc/jwc_data.h"
#include "formats/jwc/jwk_data.h"
#include "support/jwc_writer.h"

namespace zumen {
namespace {

using test::JwcFile;
using test::JwkFile;

TEST(JwcLayers, StatesFollowTheDisplayAndSearchFlagsOfGroupAndLayer) {
  JwcFile f;
  f.gDisp[1] = 0;          // group 1 hidden
  f.lDisp[0x28] = 2;       // bit 0 clear: hidden
  f.lSrch[0x32] = 0;       // shown, not searchable: display only
  f.gSrch[4] = 0xFE;       // bit 0 clear for the whole group
  f.groupScale[3] = 100;
  f.groupScale[2] = 0;
  f.groupNames[3] = "G3";
  f.layerNames[0x35] = "L5";
  TJwcData d;
  ASSERT_TRUE(d.FileIn(f.Build()));
  ConversionContext ctx;
  ctx.GAtt.SetAttrLayer(7, 3, 2.0);  // overwritten: the layers are reset first
  d.SetGAttLayer(ctx.GAtt);
  const TgraAttribute& a = ctx.GAtt;
  struct Case {
    int lay, state;
  } cases[] = {{0, 1}, {7, 1}, {0x10, 3}, {0x1F, 3}, {0x28, 3}, {0x32, 2}, {0x40, 2}, {0x4F, 2}, {0xFF, 1}};
  for (const Case& c : cases) EXPECT_EQ(a.GetAttrLayerState(c.lay), c.state) << c.lay;
  EXPECT_DOUBLE_EQ(a.jwvLay[0x35].sca, 0.01);
  EXPECT_EQ(a.jwvLay[0x35].gna, u"[3] G3");
  EXPECT_EQ(a.jwvLay[0x35].nam, u"(5) L5");
  EXPECT_DOUBLE_EQ(a.jwvLay[0x20].sca, 1.0);  // a group scale of 0 reads as 1:1
  EXPECT_DOUBLE_EQ(a.jwvLay[7].sca, 1.0);
}

TEST(JwcLayers, WithoutALayerTableTheDefaultsStay) {
  ConversionContext ctx;
  ctx.GAtt.SetAttrLayer(7, 3, 2.0);
  TJwcData d;
  EXPECT_FALSE(d.FileIn(std::span<const uint8_t>()));
  d.SetGAttLayer(ctx.GAtt);
  EXPECT_EQ(ctx.GAtt.GetAttrLayerState(7), 1);
  EXPECT_EQ(ctx.GAtt.jwvLay[7].gna, u"[0] ");
}

TEST(JwkLayers, EveryLayerIsNormalWithTheSymbolScale) {
  JwkFile k;
  k.scale = "4";
  TJwkData s;
  ASSERT_TRUE(s.FileIn(k.Build()));
  ConversionContext ctx;
  ctx.GAtt.SetAttrLayer(9, 3, 1.0);
  s.SetGAttLayer(ctx.GAtt);
  for (int i : {0, 9, 255}) {
    EXPECT_EQ(ctx.GAtt.GetAttrLayerState(i), 1);
    EXPECT_DOUBLE_EQ(ctx.GAtt.jwvLay[i].sca, 0.25);
  }
}

struct Box {
  double minx, miny, maxx, maxy;
};

Box Extents(const JwcFile& f) {
  TJwcData d;
  EXPECT_TRUE(d.FileIn(f.Build()));
  ExtentBox box{0, 0, 400, 400};
  d.GetMinMaxZahyo(box);
  return {box.minx, box.miny, box.maxx, box.maxy};
}

void ExpectBox(const Box& b, double x1, double y1, double x2, double y2) {
  EXPECT_NEAR(b.minx, x1, 1e-4);
  EXPECT_NEAR(b.miny, y1, 1e-4);
  EXPECT_NEAR(b.maxx, x2, 1e-4);
  EXPECT_NEAR(b.maxy, y2, 1e-4);
}

TEST(JwcExtents, LinesTextsPointsAndTheAnnouncedVirtualPoints) {
  JwcFile f;
  f.lines.push_back({10, 20, 30, 25});
  f.Text(5, 22, 12, 40, "T");
  f.tens.push_back({31, 21});
  f.vtenCount = 3;
  f.vx[0] = -500;  // entry 0 is not a virtual point
  f.vx[3] = 50, f.vy[3] = 21;
  f.vx[4] = 900;   // beyond the count
  ExpectBox(Extents(f), 0, 0, 50, 40);  // entries 1 and 2 sit at the origin
}

TEST(JwcExtents, VirtualPointCountsBeyondTheTableStopAtEntry100) {
  JwcFile f;
  f.vtenCount = 100000;
  for (int i = 1; i <= 100; ++i) f.vx[i] = 5, f.vy[i] = static_cast<float>(i);
  f.vx[100] = 7;
  ExpectBox(Extents(f), 5, 1, 7, 100);
  TJwcData d;
  ASSERT_TRUE(d.FileIn(f.Build()));
  EXPECT_EQ(d.VtenDrawCount(), 100);
}

TEST(JwcExtents, ArcsAddTheirEndsAndTheQuarterPointsTheyPass) {
  struct Case {
    const char* what;
    test::JwcArcRec arc;
    double x1, y1, x2, y2;
  } cases[] = {
      // Centre (10, 10), radius 5; the box starts at the centre.
      {"quarter", {10, 10, 5, 10000, 0, 90 << 16}, 10, 10, 15, 15},
      {"three quarters", {10, 10, 5, 10000, 45 << 16, -45 * 65536}, 5, 5, 10 + 5 * 0.7071068, 15},
      {"full by equal angles", {10, 10, 5, 10000, 30 << 16, 30 << 16}, 5, 5, 15, 15},
      // A tilted ellipse: major radius 10 turned upright, minor radius 5.
      {"tilted ellipse", {10, 10, 10, 5000, 0, 0, 90 << 16}, 5, 0, 15, 20},
      {"across zero", {10, 10, 5, 10000, 350 << 16, 10 << 16}, 10, 10 - 5 * 0.1736482, 15, 10 + 5 * 0.1736482},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    JwcFile f;
    f.arcs.push_back(c.arc);
    ExpectBox(Extents(f), c.x1, c.y1, c.x2, c.y2);
  }
}

TEST(JwcExtents, NoEntitiesLeaveTheBoxAsItWasAndHugeValuesAreClamped) {
  ExpectBox(Extents(JwcFile{}), 0, 0, 400, 400);
  JwcFile f;
  f.lines.push_back({-3e8f, 0, 3e8f, 1});
  ExpectBox(Extents(f), -1e8, 0, 1e8, 1);
}

TEST(JwcExtents, ALineStartsTheBoxBeforeEarlierKinds) {
  JwcFile f;
  f.tens.push_back({100, 100});
  f.lines.push_back({200, 200, 210, 220});
  ExpectBox(Extents(f), 100, 100, 210, 220);
}

TEST(JwkExtents, TheBoxStartsAtTheOriginAndIsDividedByTheScale) {
  JwkFile k;
  k.scale = "20";
  k.lines.push_back({100, 100, 140, 120});
  k.arcs.push_back({200, 100, 20, 10000, 0, 0});
  k.Text(40, 60, 80, 60, "A");
  k.tens.push_back({20, -40});
  TJwkData s;
  ASSERT_TRUE(s.FileIn(k.Build()));
  const ExtentBox box = s.GetMinMaxZahyo();
  EXPECT_DOUBLE_EQ(box.minx, 0);
  EXPECT_DOUBLE_EQ(box.miny, -2);
  EXPECT_NEAR(box.maxx, 11, 1e-9);
  EXPECT_NEAR(box.maxy, 6, 1e-9);

  TJwkData empty;
  const ExtentBox none = empty.GetMinMaxZahyo();
  EXPECT_EQ(none.minx, 0);
  EXPECT_EQ(none.miny, 0);
  EXPECT_EQ(none.maxx, 0);
  EXPECT_EQ(none.maxy, 0);
}

TEST(JwcExtents, AFailedReadMeasuresOnlyTheRecordsStored) {
  JwcFile f;
  f.lines.push_back({1, 1, 2, 2});
  f.p1[0] = "5000";
  auto bytes = f.Build();
  bytes.resize(bytes.size() - 256 * 8 - 16 * 16);  // no names: the tail is lost too
  TJwcData d;
  EXPECT_FALSE(d.FileIn(bytes));
  EXPECT_EQ(d.lineN, 1);
  ExtentBox box{0, 0, 400, 400};
  d.GetMinMaxZahyo(box);
  EXPECT_DOUBLE_EQ(box.maxx, 2);
  EXPECT_DOUBLE_EQ(box.maxy, 2);
}

}  // namespace
}  // namespace zumen
