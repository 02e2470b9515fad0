#include "formats/jww/file_pens.h"

#include <gtest/gtest.h>

#include "formats/jww/jww_data.h"

namespace zumen {
namespace {

TEST(PatternRuns, RunsFromTheTopBit) {
  double el[32];
  ASSERT_EQ(PatternRuns(0xFFFF0000u, 0.35, el), 2);
  EXPECT_DOUBLE_EQ(el[0], 5.6);
  EXPECT_DOUBLE_EQ(el[1], -5.6);
  ASSERT_EQ(PatternRuns(0xF0F0F0F0u, 0.35, el), 8);
  EXPECT_DOUBLE_EQ(el[0], 1.4);
  EXPECT_DOUBLE_EQ(el[7], -1.4);
  ASSERT_EQ(PatternRuns(0xFFFFFFFFu, 0.35, el), 1);
  EXPECT_DOUBLE_EQ(el[0], 11.2);
  ASSERT_EQ(PatternRuns(0, 0.35, el), 1);
  EXPECT_DOUBLE_EQ(el[0], -11.2);
  EXPECT_EQ(PatternRuns(0xAAAAAAAAu, 1, el), 32);
}

TEST(JwwFileColorSet, WidthUnitFollowsTheHeader) {
  struct Case {
    int32_t maxDrawWid, ver, dpi;
    double unit;
  } cases[] = {
      {-10, 600, 0, 0.1}, {-200, 600, 0, 0.01}, {0, 600, 1, 0.085}, {0, 600, 2, 0.042}, {0, 351, 1, 0.042},
  };
  for (const Case& c : cases) {
    TJwwData jw;
    jw.Enthd.nMaxDrawWid = c.maxDrawWid;
    jw.Enthd.jwVer = c.ver;
    jw.Enthd.nPrtDpi = c.dpi;
    jw.EntCol[1].anPrtPenWidth = 3;
    jw.EntCol[1].aPrtPenColor = 0x0000FF;
    jw.EntColS[5].anPrtPenWidth = 50;
    TgraAttribute att;
    JwwFileColorSet(jw, att);
    EXPECT_NEAR(att.GetAttrColwid(1), 3 * c.unit, 1e-12) << c.maxDrawWid << " " << c.ver;
    EXPECT_EQ(att.GetAttrColcol(1), 0xFFFF0000u);
    EXPECT_NEAR(att.GetAttrColwid(105), 0.5, 1e-12);
  }
}

TEST(JwwFileColorSet, BackgroundFromPenZero) {
  struct Case {
    int32_t colour;
    int before, after;
  } cases[] = {{0x000000, 0, 1}, {0x101010, 0, 1}, {0x808080, 0, 0}, {0x808080, 1, 1}, {0xF0F0F0, 1, 0}};
  for (const Case& c : cases) {
    TJwwData jw;
    jw.EntCol[0].aPrtPenColor = c.colour;
    TgraAttribute att;
    att.SetBackColor(c.before);
    JwwFileColorSet(jw, att);
    EXPECT_EQ(att.GetBackColorNo(), c.after) << std::hex << c.colour;
  }
}

TEST(JwwFileLtypeSet, StandardRandomAndUserLineTypes) {
  TJwwData jw;
  jw.Enthd.jwVer = 600;
  jw.Enthd.nPrtDpi = 1;
  jw.EntLtp1[0].alLType = static_cast<int32_t>(0xFFFF0000u);
  jw.EntLtp1[0].anPrtTokushuSenPich = 2;
  jw.EntLtp2[0].alLType = static_cast<int32_t>(0xAAAAAAAAu);
  jw.EntLtp2[0].anPrtRandSenWide = 10;
  jw.EntLtp2[0].anPrtTokushuSenPich = 1;
  jw.EntLtpS[1].anUDLTypeSegment = 4;
  jw.EntLtpS[1].aadUDLTypePitch = {0, 10, 2, 1, 2};
  jw.EntLtpS[2].anUDLTypeSegment = 40;  // clamped to 10
  TgraAttribute att;
  JwwFileLtypeSet(jw, att);
  double pat[32];
  ASSERT_EQ(att.GetAttrTyppat(2, pat), 2);
  EXPECT_NEAR(pat[0], 16 * 0.085 * 2, 1e-12);
  EXPECT_EQ(att.GetAttrTypseg(11), 32);
  EXPECT_NEAR(att.GetAttrTypamp(11), 0.85, 1e-12);
  ASSERT_EQ(att.GetAttrTyppat(31, pat), 4);
  EXPECT_DOUBLE_EQ(pat[1], -2);
  EXPECT_DOUBLE_EQ(att.GetAttrTyppit(31), 15);
  EXPECT_EQ(att.GetAttrTypseg(32), 10);
  EXPECT_EQ(att.GetAttrTypseg(33), 0);  // no user type stored: solid
}

TEST(DefaultFileColorSet, RestoresTheDefaultsAfterAJwwLoad) {
  TJwwData jw;
  jw.EntCol[0].aPrtPenColor = 0xFFFFFF;  // white background
  jw.EntCol[2].aPrtPenColor = 0x0000FF;
  jw.EntLtp1[0].alLType = -1;
  TgraAttribute att;
  JwwFileColorSet(jw, att);
  JwwFileLtypeSet(jw, att);
  ASSERT_EQ(att.GetAttrColcol(2), 0xFFFF0000u);
  DefaultFileColorSet(att);
  DefaultFileLtypeSet(att);
  EXPECT_EQ(att.GetAttrColcol(2), 0xFF000000u);
  EXPECT_EQ(att.GetAttrTypseg(2), 3);
}

}  // namespace
}  // namespace zumen
