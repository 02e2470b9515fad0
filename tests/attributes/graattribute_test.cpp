#include "attributes/graattribute.h"

#include <gtest/gtest.h>

#include <cmath>

namespace zumen {
namespace {

TEST(TgraAttribute, CreateSizesTablesAndSetsDefaults) {
  TgraAttribute a;
  EXPECT_EQ(a.jwvLayN, 256);
  EXPECT_EQ(a.jwvColN, 265);
  EXPECT_EQ(a.jwvTypN, 50);
  EXPECT_FALSE(a.GetDisplayMode());
  EXPECT_EQ(a.GetBackColor(), 0xFFFFFFFFu);
  EXPECT_EQ(a.GetForeColor(), 0xFF000000u);
  EXPECT_EQ(a.GetGrayColor(), 0xFF808080u);
  EXPECT_FALSE(a.GetDispHojo());
  EXPECT_FALSE(a.GetDispKijun());
  EXPECT_FALSE(a.GetAll1ColorState());
  EXPECT_EQ(a.GetAll1Color(), 0xFFFFFFFFu);
  EXPECT_EQ(a.Sikii0, -1);
  EXPECT_EQ(a.jwvLay[0].gna, u"[0] ");
  EXPECT_EQ(a.jwvLay[0xAB].gna, u"[A] ");
  EXPECT_EQ(a.jwvLay[0xAB].nam, u"(B) ");
  EXPECT_EQ(a.GetAttrLayerState(255), 1);
}

TEST(TgraAttribute, PenNumbersMapToTable) {
  struct Case {
    int jn;
    uint32_t color;
    double width, tenR;
  };
  TgraAttribute a;
  const uint32_t back = a.GetBackColor();
  const Case cases[] = {
      {1, 0xFF00C0C0, 0.1, 0.2},   {2, 0xFF000000, 0.15, 0.3}, {8, 0xFFFF0080, 0.5, 0.5},
      {9, 0xFFFF80FF, 0.01, 0.2},  {101, 0xFF000000, 0.18, 0.2}, {116, 0xFF808080, 0.18, 0.2},
      {117, 0xFF000000, 0.18, 0.2}, {356, 0xFF000000, 0.18, 0.2},
      // Numbers that name no pen.
      {0, back, 0, 0.1},           {10, back, 0, 0.1},         {100, back, 0, 0.1},
      {357, back, 0, 0.1},         {-1, back, 0, 0.1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.jn);
    EXPECT_EQ(a.GetAttrColcol(c.jn), c.color);
    EXPECT_DOUBLE_EQ(a.GetAttrColwid(c.jn), c.width);
    EXPECT_DOUBLE_EQ(a.GetAttrColten(c.jn), c.tenR);
  }
}

TEST(TgraAttribute, SetAttrColIgnoresUnknownNumbers) {
  TgraAttribute a;
  a.SetAttrCol(105, 0xFF123456, 0.7, 0.9);
  a.SetAttrCol(50, 0xFF654321, 0.3, 0.3);
  EXPECT_EQ(a.GetAttrColcol(105), 0xFF123456u);
  EXPECT_DOUBLE_EQ(a.GetAttrColwid(105), 0.7);
  EXPECT_DOUBLE_EQ(a.GetAttrColten(105), 0.9);
  for (const TjwvColor& c : a.jwvCol) EXPECT_NE(c.color, 0xFF654321u);
}

TEST(TgraAttribute, BlackBackgroundDefaults) {
  TgraAttribute a;
  a.SetBackColor(1);
  EXPECT_EQ(a.GetBackColorNo(), 1);
  EXPECT_EQ(a.GetBackColor(), 0xFF000000u);
  EXPECT_EQ(a.GetForeColor(), 0xFFFFFFFFu);
  EXPECT_EQ(a.GetAttrColcol(2), 0xFF000000u);  // pens untouched until re-defaulted
  a.SetDefaultColor();
  EXPECT_EQ(a.GetAttrColcol(2), 0xFFFFFFFFu);
  EXPECT_EQ(a.GetAttrColcol(6), 0xFF2020FFu);
  EXPECT_EQ(a.GetAttrColcol(117), 0xFFFFFFFFu);
  EXPECT_EQ(a.GetAttrColcol(356), 0xFFFFFFFFu);

  a.SetBackColor(2);  // no such background: nothing changes
  EXPECT_EQ(a.GetBackColorNo(), 1);
  EXPECT_EQ(a.GetBackColor(), 0xFF000000u);
  EXPECT_EQ(a.GetForeColor(), 0xFFFFFFFFu);
}

TEST(TgraAttribute, UnknownBackgroundNumberOnlyFillsForeColor) {
  TgraAttribute a;
  a.BkColor = 5;
  a.ForeColor = 0xFF112233;
  a.SetDefaultColor();
  EXPECT_EQ(a.GetAttrColcol(1), 0xFF112233u);
  EXPECT_EQ(a.GetAttrColcol(356), 0xFF112233u);
}

TEST(TgraAttribute, SetAttrLayerNormalisesStateScaleAndNames) {
  TgraAttribute a;
  a.SetAttrLayer(37, 0, -5, u"A", u"B");
  EXPECT_EQ(a.jwvLay[37].sta, 1);
  EXPECT_DOUBLE_EQ(a.jwvLay[37].sca, 1.0);
  EXPECT_EQ(a.jwvLay[37].gna, u"[2] A");
  EXPECT_EQ(a.jwvLay[37].nam, u"(5) B");

  a.SetAttrLayer(37, 3, 2.5);
  EXPECT_EQ(a.GetAttrLayerState(37), 3);
  EXPECT_DOUBLE_EQ(a.jwvLay[37].sca, 2.5);
  EXPECT_EQ(a.jwvLay[37].gna, u"[2] A");

  a.SetAttrLayer(37, 4, std::nan(""));
  EXPECT_EQ(a.GetAttrLayerState(37), 1);
  EXPECT_DOUBLE_EQ(a.jwvLay[37].sca, 1.0);

  a.SetAttrLayer(256, 2, 1.0);  // ignored, no crash
  a.SetAttrLayer(-1, 2, 1.0, u"x", u"y");
  EXPECT_EQ(a.GetAttrLayerState(256), 1);
  EXPECT_EQ(a.GetAttrLayerState(-1), 1);
}

TEST(TgraAttribute, DefaultLineTypes) {
  struct Case {
    int jn;
    int seg;
    double amp, pit, first;
  };
  const Case cases[] = {
      {1, 0, 0, 0, 0},         {2, 3, 0, 1.44, 0.36},   {5, 5, 0, 16 * 0.36, 1.8},
      {9, 3, 0, 4 * 0.36, 0.18}, {10, 0, 0, 0, 0},        {11, 32, 0.3, 19.2, 0.6},
      {13, 32, 0.6, 57.6, 1.8}, {15, 32, 0.6, 96, 3.0},  {16, 5, 0, 20.8, 8.4},
      {19, 3, 0, 47, 22},       {25, 0, 0, 0, 0},        {31, 0, 0, 0, 0},
      {32, 2, 0, 7.5, 6},       {37, 2, 0, 1.75, 0.25},  {45, 10, 0, 20.25, 6},
      {46, 0, 0, 0, 0},         {62, 0, 0, 0, 0},        {63, 0, 0, 0, 0},
  };
  TgraAttribute a;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.jn);
    EXPECT_EQ(a.GetAttrTypseg(c.jn), c.seg);
    EXPECT_DOUBLE_EQ(a.GetAttrTypamp(c.jn), c.amp);
    EXPECT_NEAR(a.GetAttrTyppit(c.jn), c.pit, 1e-9);
    double pat[32] = {};
    EXPECT_EQ(a.GetAttrTyppat(c.jn, pat), c.seg);
    if (c.seg > 0) {
      EXPECT_DOUBLE_EQ(pat[0], c.first);
    }
  }
}

TEST(TgraAttribute, WavePatternFollowsDigits) {
  TgraAttribute a;
  double pat[32] = {};
  ASSERT_EQ(a.GetAttrTyppat(12, pat), 32);
  const char* wave = "22002200202200202022002200202020";
  for (int i = 0; i < 32; ++i) EXPECT_DOUBLE_EQ(pat[i], wave[i] == '2' ? 1.2 : -1.2) << i;
}

TEST(TgraAttribute, LineTypeSetters) {
  TgraAttribute a;
  const int n = TgraAttribute::TypIndex(2);
  a.SetAttrTyppa1_(n, 5, 9.0);  // beyond seg 3: ignored
  EXPECT_DOUBLE_EQ(a.jwvTyp[n].pa[5], 0.0);
  a.SetAttrTyppa1_(n, 1, -2.0);
  a.SetAttrTypPit_(n);
  EXPECT_NEAR(a.GetAttrTyppit(2), 2.72, 1e-12);

  a.SetAttrTypseg_(n, 40);  // the pattern has room for 32 elements only
  EXPECT_EQ(a.GetAttrTypseg(2), 32);
  a.SetAttrTypseg_(n, -3);
  EXPECT_EQ(a.GetAttrTypseg(2), 0);
  a.SetAttrTypamp_(n, 0.5);
  EXPECT_DOUBLE_EQ(a.GetAttrTypamp(2), 0.5);
  a.SetAttrTypamp_(50, 1.0);  // out of range: ignored
}

TEST(TgraAttribute, Switches) {
  TgraAttribute a;
  a.SetDisplayMode(true);
  a.SetDispHojo(7);
  a.SetDispKijun(1);
  a.SetAll1Color(true);
  a.SetGrayColor(0xFF010203);
  EXPECT_TRUE(a.GetDisplayMode());
  EXPECT_TRUE(a.GetDispHojo());
  EXPECT_TRUE(a.GetDispKijun());
  EXPECT_TRUE(a.GetAll1ColorState());
  EXPECT_EQ(a.GetAll1Color(), 0xFFFFFFFFu);
  EXPECT_EQ(a.GetGrayColor(), 0xFF010203u);
  a.SetDispHojo(0);
  EXPECT_FALSE(a.GetDispHojo());
  a.DataInit();
  EXPECT_FALSE(a.GetDisplayMode());
  EXPECT_FALSE(a.GetAll1ColorState());
  a.Destroy();
  EXPECT_EQ(a.jwvColN, 0);
  EXPECT_EQ(a.GetAttrColcol(1), a.GetBackColor());
  EXPECT_EQ(a.GetAttrTypseg(2), 0);
  EXPECT_EQ(a.GetAttrLayerState(3), 1);
}

TEST(ColorBuilders, MakeAndRefToColor) {
  EXPECT_EQ(MakeColor(0x12, 0x34, 0x56), 0xFF123456u);
  EXPECT_EQ(RefToColor(0x0000FF), 0xFFFF0000u);
  EXPECT_EQ(RefToColor(0xFF0000), 0xFF0000FFu);
  EXPECT_EQ(RefToColor(0x563412), 0xFF123456u);
  EXPECT_EQ(RefToColor(0), 0xFF000000u);
  // Negative: the remainders keep the sign (red -1, then green -1 too) and the
  // sum wraps at 32 bits.
  EXPECT_EQ(RefToColor(-1), 0xFEFF0000u);
  EXPECT_EQ(RefToColor(-257), 0xFEFEFF00u);
}

}  // namespace
}  // namespace zumen
