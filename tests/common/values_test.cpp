#include "common/values.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <string>

namespace zumen {
namespace {

struct IntCase {
  std::u16string text;
  int32_t value;
};

TEST(ValInt, ParsesOrGivesZero) {
  const IntCase cases[] = {
      {u"12", 12},           {u" 12", 12},          {u"  -12", -12},       {u"+7", 7},
      {u"12 ", 0},           {u"", 0},              {u" ", 0},             {u"-", 0},
      {u"$1F", 31},          {u"x1f", 31},          {u"X1F", 31},          {u"0x1F", 31},
      {u"0X10", 16},         {u"-$10", -16},        {u"$", 0},             {u"0x", 0},
      {u"$1G", 0},           {u"2147483647", 2147483647},                  {u"-2147483648", INT32_MIN},
      {u"2147483648", 0},    {u"3000000000", 0},    {u"$FFFFFFFF", -1},    {u"$100000000", 0},
      {u"1.5", 0},           {u"- 1", 0},           {u"\uFF11", 0},        {u"0012", 12},
  };
  for (const auto& c : cases) EXPECT_EQ(ValInt(c.text), c.value) << std::string(c.text.begin(), c.text.end());
}

struct FloatCase {
  std::u16string text;
  double value;
};

TEST(ValFloat, ParsesWithPointOnly) {
  const FloatCase cases[] = {
      {u"2.5", 2.5},   {u" -2.5", -2.5}, {u"+.5", 0.5},   {u"5.", 5.0},    {u"1e3", 1000.0},
      {u"1.5E-2", 0.015}, {u"2,5", 0},   {u"", 0},        {u".", 0},       {u"1e", 0},
      {u"2.5 ", 0},    {u"1e999", 0},    {u"nan", 0},     {u"inf", 0},     {u"0x10", 0},
      {u"1e-400", 0},
  };
  for (const auto& c : cases) EXPECT_EQ(ValFloat(c.text), c.value) << std::string(c.text.begin(), c.text.end());
}

TEST(ValFloat, IgnoresProcessLocale) {
  // A locale with a decimal comma must not change the reading; skip when the
  // machine has none installed.
  const char* old = std::setlocale(LC_NUMERIC, nullptr);
  const std::string saved = old ? old : "C";
  if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8") && !std::setlocale(LC_NUMERIC, "fr_FR.UTF-8"))
    GTEST_SKIP() << "no locale with a decimal comma";
  EXPECT_EQ(ValFloat(u"2.5"), 2.5);
  EXPECT_EQ(ValFloat(u"2,5"), 0);
  EXPECT_EQ(FloatStrF(2, 1234.5), u"1234.50");
  EXPECT_EQ(FloatStrN(1, 1234.5), u"1,234.5");
  std::setlocale(LC_NUMERIC, saved.c_str());
}

TEST(ValBool, AcceptsTheWordsAfterUpperCasing) {
  for (const char16_t* t : {u"T", u"tr", u"tRu", u"true", u"TRUE", u"1", u"\uFF11", u"\u25CB", u"on", u"On",
                            u"\u771F", u"\u6B63"})
    EXPECT_TRUE(ValBool(t)) << std::u16string_view(t).size();
  // Full-width "true" upper-cases to full-width "TRUE", which is no word.
  for (const char16_t* t : {u"", u" TRUE", u"TRUE ", u"YES", u"2", u"TRUEX", u"0", u"\uFF54\uFF52\uFF55\uFF45"})
    EXPECT_FALSE(ValBool(t)) << std::u16string_view(t).size();
}

TEST(IntStr, WritesDecimal) {
  EXPECT_EQ(IntStr(0), u"0");
  EXPECT_EQ(IntStr(-42), u"-42");
  EXPECT_EQ(IntStr(INT64_MIN), u"-9223372036854775808");
}

struct FormatCase {
  int n;
  double x;
  std::u16string f;
  std::u16string grouped;
};

TEST(FloatStr, FixedAndGrouped) {
  const FormatCase cases[] = {
      {2, 1234567.891, u"1234567.89", u"1,234,567.89"},
      {0, 2.5, u"3", u"3"},
      {0, -2.5, u"-3", u"-3"},
      {2, 0.125, u"0.13", u"0.13"},
      {2, 1.005, u"1.01", u"1.01"},
      {2, 9.995, u"10.00", u"10.00"},
      {0, 999.5, u"1000", u"1,000"},
      {2, 1e21, u"1000000000000000000000.00", u"1,000,000,000,000,000,000,000.00"},
      {3, 1e-7, u"0.000", u"0.000"},
      {1, -1234.56, u"-1234.6", u"-1,234.6"},
      {3, 0, u"0.000", u"0.000"},
      {2, -0.001, u"0.00", u"0.00"},
      {0, 999, u"999", u"999"},
      {0, -100000, u"-100000", u"-100,000"},
      {-3, 1.7, u"2", u"2"},
      {1, NAN, u"NAN", u"NAN"},
      {1, -INFINITY, u"-INF", u"-INF"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FloatStrF(c.n, c.x), c.f) << c.x;
    EXPECT_EQ(FloatStrN(c.n, c.x), c.grouped) << c.x;
  }
}

}  // namespace
}  // namespace zumen

namespace zumen {
namespace {

TEST(FloatStrG, ShortestGeneralForm) {
  const std::pair<double, std::u16string> cases[] = {
      {100, u"100"},     {0.5, u"0.5"},  {1e20, u"1E20"},          {1e-5, u"1E-5"},
      {-0.0, u"0"},      {1.0 / 3, u"0.333333333333333"},         {-2.25, u"-2.25"},
      {INFINITY, u"INF"}, {-INFINITY, u"-INF"}, {NAN, u"NAN"},
  };
  for (const auto& [x, want] : cases) EXPECT_EQ(FloatStrG(x), want) << x;
}

}  // namespace
}  // namespace zumen
