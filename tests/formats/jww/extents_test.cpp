#include <gtest/gtest.h>

#include <functional>
#include <numbers>

#include "context/context.h"
#include "formats/jww/file_pens.h"
#include "formats/jww/jws_data.h"
#include "formats/jww/jww_data.h"
#include "formats/jww/lowering.h"
#include "support/jww_writer.h"

namespace zumen::testing {
namespace {

constexpr double kPi = std::numbers::pi;

struct Box {
  double minx, miny, maxx, maxy;
};

// Extents of a drawing written by `build`, read back and lowered.
Box JwwExtents(const std::function<void(JwwWriter&)>& build) {
  JwwWriter w(700);
  build(w);
  TJwwData d;
  EXPECT_TRUE(d.FileInBytes(w.Finish())) << d.LastError();
  scene::Scene s;
  LowerJww(d, true, s);
  return {s.extents.minx, s.extents.miny, s.extents.maxx, s.extents.maxy};
}

TEST(JwwExtents, CoverTheDefiningPointsOfEveryKind) {
  struct Case {
    const char* what;
    std::function<void(JwwWriter&)> build;
    Box box;
  };
  const Case cases[] = {
      {"empty drawing keeps the start box", [](JwwWriter&) {}, {0, 0, 400, 400}},
      {"single point", [](JwwWriter& w) { w.Point(7, 8); }, {7, 8, 7, 8}},
      {"quarter arc", [](JwwWriter& w) { w.Arc(0, 0, 10, 0, kPi / 2); }, {0, 0, 10, 10}},
      {"quarter arc stored backwards", [](JwwWriter& w) { w.Arc(0, 0, 10, kPi / 2, -kPi / 2); }, {0, 0, 10, 10}},
      // The first arc's centre seeds the box.
      {"arc over the left quadrant", [](JwwWriter& w) { w.Arc(0, 0, 10, 3 * kPi / 4, kPi / 2); },
       {-10, -10 * std::sqrt(0.5), 0, 10 * std::sqrt(0.5)}},
      {"arc across 0 degrees", [](JwwWriter& w) { w.Line(9, 0, 9, 0); w.Arc(0, 0, 10, -kPi / 4, kPi / 2); },
       {10 * std::sqrt(0.5), -10 * std::sqrt(0.5), 10, 10 * std::sqrt(0.5)}},
      {"flattened arc", [](JwwWriter& w) { w.Arc(0, 0, 10, 0, kPi, 0.5); }, {-10, 0, 10, 5}},
      {"circle", [](JwwWriter& w) { w.Circle(100, 100, 5); }, {95, 95, 105, 105}},
      {"clamped far line", [](JwwWriter& w) { w.Line(-2e8, 0, 0, 0); }, {-1e8, 0, 0, 0}},
      {"hidden layers count", [](JwwWriter& w) { w.att.nGLayer = 3; w.Line(1, 2, 3, 4); }, {1, 2, 3, 4}},
      {"text base line", [](JwwWriter& w) { w.Text(10, 10, u"ab", 3); }, {10, 10, 16, 10}},
      {"image text frame", [](JwwWriter& w) { w.Text(10, 10, u"^@BMa.png,30,20", 1); }, {10, 10, 40, 30}},
      {"image prefix without comma", [](JwwWriter& w) { w.Text(10, 10, u"^@BMa", 1); }, {10, 10, 15, 10}},
      {"solid corners", [](JwwWriter& w) { w.Solid(1, 2, 5, 2, 5, 9, -3, 9); }, {-3, 2, 5, 9}},
      {"arc solid: centre and whole ellipse",
       [](JwwWriter& w) {
         TEntJwwSolid s{w.att, 50, 50, 10, 0.5, 0, 0, 0.1, 0, 0};
         s.att.nPenStyle = 101;
         w.Add(s);
       },
       {40, 45, 60, 55}},
      {"dimension without SXF parts", [](JwwWriter& w) { w.Dimension(0, 0, 20, 0, u"20"); }, {0, 0, 20, 0}},
      {"block rotated 90 degrees at (1000, 0)",
       [](JwwWriter& w) {
         w.BeginBlockDef(1, u"b");
         w.Line(0, 0, 10, 0);
         w.Circle(0, 5, 1);
         w.EndBlockDef();
         w.Insert(1, 1000, 0, 1, 1, kPi / 2);
       },
       {994, -1, 1000, 10}},
      {"nested mirrored block",
       [](JwwWriter& w) {
         w.BeginBlockDef(1, u"in");
         w.Line(0, 0, 5, 0);
         w.EndBlockDef();
         w.BeginBlockDef(2, u"out");
         w.Insert(1, 10, 0, -1, 1);
         w.EndBlockDef();
         w.Insert(2, 100, 100, 2, 2);
       },
       {100, 100, 120, 100}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const Box b = JwwExtents(c.build);
    EXPECT_NEAR(b.minx, c.box.minx, 1e-9);
    EXPECT_NEAR(b.miny, c.box.miny, 1e-9);
    EXPECT_NEAR(b.maxx, c.box.maxx, 1e-9);
    EXPECT_NEAR(b.maxy, c.box.maxy, 1e-9);
  }
}

TEST(JwwExtents, DimensionSxfPartsCountOnlyInSxfMode) {
  for (uint16_t sxf : {0, 1}) {
    const Box b = JwwExtents(
        [&](JwwWriter& w) {
          TEntJwwSunpo e;
          e.Sen = {w.att, 0, 0, 20, 0};
          e.Moji.start_x = 5, e.Moji.end_x = 9, e.Moji.start_y = e.Moji.end_y = 1;
          e.bSxfMode = sxf;
          e.Ho1 = {w.att, 0, -7, 0, 0};
          e.Ho2 = {w.att, 20, -7, 25, 0};
          e.Te1 = {w.att, -50, -50};  // end markers do not count
          w.Add(e);
        });
    EXPECT_EQ(b.miny, sxf ? -7 : 0);
    EXPECT_EQ(b.maxx, sxf ? 25 : 20);
    EXPECT_EQ(b.maxy, 1);
    EXPECT_EQ(b.minx, 0);
  }
}

Box JwsExtents(const std::function<void(JwwWriter&)>& build) {
  JwwWriter w(700, JwwWriter::Format::kJws);
  w.jws.BasePoint_x = 30;
  w.jws.BasePoint_y = 40;
  build(w);
  TJwsData d;
  EXPECT_TRUE(d.FileInBytes(w.Finish())) << d.LastError();
  scene::Scene s;
  LowerJws(d, true, s);
  return {s.extents.minx, s.extents.miny, s.extents.maxx, s.extents.maxy};
}

TEST(JwsExtents, AlwaysContainTheBasePoint) {
  const Box empty = JwsExtents([](JwwWriter&) {});
  EXPECT_EQ(empty.minx, 30);
  EXPECT_EQ(empty.maxx, 30);
  EXPECT_EQ(empty.miny, 40);
  EXPECT_EQ(empty.maxy, 40);
  const Box line = JwsExtents([](JwwWriter& w) { w.Line(100, 100, 120, 110); });
  EXPECT_EQ(line.minx, 30);
  EXPECT_EQ(line.miny, 40);
  EXPECT_EQ(line.maxx, 120);
  EXPECT_EQ(line.maxy, 110);
}

}  // namespace
}  // namespace zumen::testing
