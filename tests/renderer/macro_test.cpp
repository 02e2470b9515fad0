// Text macros at a fixed clock: file and name codes, dates, eras with their
// boundaries, times, scales, reference texts and the K4 differences.
#include <gtest/gtest.h>

#include <memory>

#include "renderer/macros.h"

namespace zumen {
namespace {

DateTime At(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
  DateTime t;
  t.year = y;
  t.month = mo;
  t.day = d;
  t.hour = h;
  t.minute = mi;
  t.second = s;
  return t;
}

class MacroTest : public ::testing::Test {
 protected:
  MacroTest() {
    ctx.Facts = &facts;
    facts.CurFileName = u"C:\\work\\site\\plan.jww";
    facts.FileTime = At(2023, 11, 4, 14, 5, 9);
    SetNow(At(2024, 3, 5, 9, 7, 3));
  }
  void SetNow(const DateTime& t) {
    clock = std::make_unique<FixedClock>(t);
    ctx.clock = clock.get();
  }
  // The value of a macro; "<none>" when the text is not one.
  std::u16string Expand(const std::u16string& s, MacroRules rules = MacroRules::Jw) {
    std::u16string out = u"<none>";
    ExpandTextMacro(ctx, lgScale, s, out, rules);
    return out;
  }

  ConversionContext ctx;
  DrawingFacts facts;
  double lgScale = 1;
  std::unique_ptr<FixedClock> clock;
};

struct Case {
  std::u16string code;
  std::u16string value;
};

TEST_F(MacroTest, FileAndNameCodes) {
  const Case cases[] = {
      {u"%F", u"C:\\work\\site\\plan.jww"}, {u"$F", u"C:\\work\\site\\plan.jww"}, {u"&F", u"C:\\work\\site\\plan.jww"},
      {u"$F1", u"site"}, {u"&F2", u"work"}, {u"%F3", u"C:"}, {u"$F9", u"C:"},
      {u"%f", u"plan.jww"}, {u"$f", u"plan"}, {u"&f", u"plan"},
      {u"%f2", u"pl"}, {u"%f4", u"plan"}, {u"%fa", u"plan"}, {u"%ff", u"plan"},
      {u"_F", u"2023/11/ 4 14:05:09"}, {u"=F", u"2023/11/04 14:05:09"},
      {u"_f", u"2023/11/ 4"}, {u"=f", u"2023/11/04"},
      // Not codes: other digits, letters, prefixes, and extra characters.
      {u"%f0", u"<none>"}, {u"%fA", u"<none>"}, {u"_F1", u"<none>"}, {u"$F ", u"<none>"}, {u"F", u"<none>"},
      {u"$", u"<none>"}, {u"#F", u"<none>"},
  };
  for (const auto& c : cases) EXPECT_EQ(Expand(c.code), c.value) << testing::PrintToString(c.code);
}

TEST_F(MacroTest, NetworkAndSlashPaths) {
  facts.CurFileName = u"\\\\server\\share\\a.b.jww";
  EXPECT_EQ(Expand(u"$F1"), u"share");
  EXPECT_EQ(Expand(u"$F2"), u"server");
  EXPECT_EQ(Expand(u"$F3"), u"");  // the empty first part of a network path
  EXPECT_EQ(Expand(u"$f"), u"a.b");
  facts.CurFileName = u"/home/u/drawing";
  EXPECT_EQ(Expand(u"%f"), u"drawing");
  EXPECT_EQ(Expand(u"$f"), u"drawing");
  EXPECT_EQ(Expand(u"$F1"), u"u");
  facts.CurFileName.clear();
  EXPECT_EQ(Expand(u"%F"), u"");
  EXPECT_EQ(Expand(u"$F4"), u"");
  EXPECT_EQ(Expand(u"%f3"), u"");
}

TEST_F(MacroTest, DatesOfTheClockAndOfTheFile) {
  // Now: 2024-03-05 (Tuesday) 09:07:03. File: 2023-11-04 (Saturday) 14:05:09.
  const Case cases[] = {
      {u"$m", u"3"}, {u"&m", u" 3"}, {u"%m", u"03"}, {u"_m", u"11"}, {u"=m", u"11"},
      {u"$d", u"5"}, {u"&d", u" 5"}, {u"%d", u"05"}, {u"_d", u" 4"}, {u"=d", u"04"},
      {u"$y", u"24"}, {u"%y", u"24"}, {u"=y", u"23"},
      {u"$j", u"2024/ 3/ 5"}, {u"&j", u"2024/ 3/ 5"}, {u"%j", u"2024/ 3/ 5"}, {u"_j", u"2023/11/ 4"},
      {u"=j", u"2023/11/ 4"},
      {u"$J", u"令和6年 3月 5日"}, {u"=J", u"令和5年11月 4日"},
      {u"$ma", u"MAR"}, {u"%ma", u"MAR"}, {u"=ma", u"NOV"}, {u"_ma", u"NOV"},
      {u"$w", u"火"}, {u"%W", u"火"}, {u"=w", u"土"}, {u"_W", u"土"},
      {u"$wa", u"TUE"}, {u"&wa", u"TUE"}, {u"=wa", u"SAT"},
  };
  for (const auto& c : cases) EXPECT_EQ(Expand(c.code), c.value) << testing::PrintToString(c.code);
  SetNow(At(2005, 1, 1));
  EXPECT_EQ(Expand(u"$y"), u"5");
  EXPECT_EQ(Expand(u"&y"), u" 5");
  EXPECT_EQ(Expand(u"%y"), u"05");
  SetNow(At(2024, 12, 29));  // a Sunday
  EXPECT_EQ(Expand(u"$wa"), u"SUN");
  EXPECT_EQ(Expand(u"$ma"), u"DEC");
}

TEST_F(MacroTest, Times) {
  const Case cases[] = {
      {u"%h", u"09"}, {u"$h", u"9"}, {u"&h", u" 9"}, {u"$H", u"9"}, {u"&H", u" 9"}, {u"%H", u"09"},
      {u"$M", u"7"}, {u"&M", u" 7"}, {u"%M", u"07"}, {u"$S", u"3"}, {u"&S", u" 3"}, {u"%S", u"03"},
      {u"$n", u"AM"}, {u"$N", u"前"},
      // File time 14:05:09.
      {u"_h", u" 2"}, {u"=h", u"02"}, {u"_H", u"14"}, {u"=M", u"05"}, {u"_S", u" 9"}, {u"=n", u"PM"},
      {u"_N", u"後"},
  };
  for (const auto& c : cases) EXPECT_EQ(Expand(c.code), c.value) << testing::PrintToString(c.code);
  SetNow(At(2024, 3, 5, 12, 30));
  EXPECT_EQ(Expand(u"$h"), u"0");
  EXPECT_EQ(Expand(u"%N"), u"後");
  EXPECT_EQ(Expand(u"%n"), u"PM");
  SetNow(At(2024, 3, 5, 0, 10));
  EXPECT_EQ(Expand(u"%h"), u"00");
  EXPECT_EQ(Expand(u"$N"), u"前");
  SetNow(At(2024, 3, 5, 23, 59, 59));
  EXPECT_EQ(Expand(u"$h"), u"11");
}

struct EraCase {
  DateTime date;
  std::u16string code, value;
};

TEST_F(MacroTest, ErasAndTheirBoundaries) {
  const EraCase cases[] = {
      // 令和 starts on 1 May 2019; the "Y" codes keep counting 平成 years.
      {At(2019, 4, 30), u"$GＧ", u"平成"}, {At(2019, 4, 30), u"$E", u"31"}, {At(2019, 4, 30), u"$Y", u"31"},
      {At(2019, 5, 1), u"$GＧ", u"令和"}, {At(2019, 5, 1), u"$E", u"元"}, {At(2019, 5, 1), u"%G", u"元"},
      {At(2019, 5, 1), u"$Y", u"31"}, {At(2019, 5, 1), u"$J", u"令和元年 5月 1日"},
      {At(2019, 5, 1), u"$GＧＥ", u"令和元"}, {At(2019, 5, 1), u"&GＧＥＥ", u"令和元年"},
      {At(2024, 1, 1), u"$Y", u"36"}, {At(2024, 1, 1), u"%E", u"06"},
      // One-digit era years: "$" pads after, "&" with a space before, "%" with a zero.
      {At(2021, 1, 8), u"$E", u"3 "}, {At(2021, 1, 8), u"&E", u" 3"}, {At(2021, 1, 8), u"%E", u"03"},
      {At(2021, 1, 8), u"$G", u"3 "}, {At(2021, 1, 8), u"$GＧＥＥ", u"令和3 年"},
      {At(1990, 6, 1), u"$Y", u"2 "}, {At(1990, 6, 1), u"&Y", u" 2"}, {At(1990, 6, 1), u"%Y", u"02"},
      // 昭和 to 平成.
      {At(1989, 1, 7), u"$GＧＥ", u"昭和64"}, {At(1989, 1, 7), u"$Y", u"64"},
      {At(1989, 1, 8), u"$GＧＥ", u"平成元"}, {At(1989, 1, 8), u"$Y", u"1 "},
      // 明治 to 大正, 大正 to 昭和.
      {At(1912, 7, 29), u"$GＧＥ", u"明治45"}, {At(1912, 7, 30), u"$GＧＥ", u"大正元"},
      {At(1926, 12, 24), u"$GＧＥ", u"大正15"}, {At(1926, 12, 25), u"$GＧＥＥ", u"昭和元年"},
      // Before 明治: no era at all.
      {At(1868, 1, 1), u"$GＧ", u""}, {At(1868, 1, 1), u"$E", u""}, {At(1868, 1, 1), u"$J", u"年 1月 1日"},
  };
  for (const auto& c : cases) {
    SetNow(c.date);
    EXPECT_EQ(Expand(c.code), c.value) << testing::PrintToString(c.code) << " on " << c.date.year << "-"
                                       << c.date.month << "-" << c.date.day;
  }
  // "_" and "=" read the file's time.
  facts.FileTime = At(2019, 4, 30);
  EXPECT_EQ(Expand(u"=GＧＥ"), u"平成31");
  EXPECT_EQ(Expand(u"_J"), u"平成31年 4月30日");
}

TEST_F(MacroTest, Scales) {
  struct ScaleCase {
    double lg;
    std::u16string SS, ss;
  };
  const ScaleCase cases[] = {
      {100, u"1/100", u"100"}, {1, u"1/1", u"1"}, {2.5, u"1/2.5", u"2.5"},
      {0.5, u"2/1", u"2"},     {0.3, u"3.3/1", u"3.3"},
  };
  for (const auto& c : cases) {
    lgScale = c.lg;
    EXPECT_EQ(Expand(u"%SS"), c.SS) << c.lg;
    EXPECT_EQ(Expand(u"%ss"), c.ss) << c.lg;
    EXPECT_EQ(Expand(u"%SP"), c.SS) << c.lg;
    EXPECT_EQ(Expand(u"%sp"), c.ss) << c.lg;
  }
  lgScale = 100;
  ctx.ScaleDiv = 4;
  EXPECT_EQ(Expand(u"%SP"), u"1/25");
  EXPECT_EQ(Expand(u"%SS"), u"1/100");
  // A zero scale is written as it is instead of being inverted.
  lgScale = 0;
  ctx.ScaleDiv = 1;
  EXPECT_EQ(Expand(u"%SS"), u"1/0");
  EXPECT_EQ(Expand(u"$SS"), u"<none>");
}

TEST_F(MacroTest, ProgramTextsAndReferenceTexts) {
  EXPECT_EQ(Expand(u"$T"), u"");
  EXPECT_EQ(Expand(u"%m1"), u"");
  EXPECT_EQ(Expand(u"%m2"), u"");
  EXPECT_EQ(Expand(u"%mm"), u"･･");
  ctx.TextMacroT = u"t";
  ctx.TextMacroM1 = u"a";
  ctx.TextMacroM2 = u"b";
  EXPECT_EQ(Expand(u"_T"), u"t");
  EXPECT_EQ(Expand(u"%mm"), u"a･･b");

  ctx.RefList = {{u"%%name", u"first"}, {u"%%name", u"second"}, {u"%%x", u"a^!b"}};
  EXPECT_EQ(Expand(u"%%name"), u"first");
  EXPECT_EQ(Expand(u"%%x"), u"a^!b");
  EXPECT_EQ(Expand(u"%%namex"), u"%%namex");  // no entry: unchanged, still a macro
  EXPECT_EQ(Expand(u"%%"), u"%%");
  EXPECT_EQ(Expand(u"%name"), u"<none>");
}

TEST_F(MacroTest, K4Rules) {
  facts.CurTitle = u"title";
  ctx.RefList = {{u"%%name", u"first"}};
  ctx.TextMacroT = u"t";
  SetNow(At(2019, 5, 1));
  EXPECT_EQ(Expand(u"%m1", MacroRules::K4), u"title");
  EXPECT_EQ(Expand(u"%mm", MacroRules::K4), u"title");
  EXPECT_EQ(Expand(u"%m2", MacroRules::K4), u"%m2");
  EXPECT_EQ(Expand(u"$T", MacroRules::K4), u"$T");
  EXPECT_EQ(Expand(u"=T", MacroRules::K4), u"=T");
  EXPECT_EQ(Expand(u"%%name", MacroRules::K4), u"%%name");
  for (const char16_t* era : {u"$E", u"&G", u"%GＧ", u"_GＧＥ", u"=GＧＥＥ"})
    EXPECT_EQ(Expand(era, MacroRules::K4), u"<none>") << testing::PrintToString(std::u16string(era));
  EXPECT_EQ(Expand(u"$Y", MacroRules::K4), u"31");
  EXPECT_EQ(Expand(u"$J", MacroRules::K4), u"令和元年 5月 1日");
  EXPECT_EQ(Expand(u"%F", MacroRules::K4), u"C:\\work\\site\\plan.jww");
}

}  // namespace
}  // namespace zumen
