#include "common/era.h"

#include <gtest/gtest.h>

#include <string>

namespace zumen {
namespace {

struct EraCase {
  int y, m, d;
  std::u16string year, name1, year1, name2, year2;
};

TEST(GetGengo, BothTables) {
  const EraCase cases[] = {
      {1989, 1, 7, u"1989", u"昭和", u"64", u"昭和", u"64"},
      {1989, 1, 8, u"1989", u"平成", u"1", u"平成", u"1"},
      {2019, 4, 30, u"2019", u"平成", u"31", u"平成", u"31"},
      {2019, 5, 1, u"2019", u"平成", u"31", u"令和", u"1"},
      {2024, 1, 1, u"2024", u"平成", u"36", u"令和", u"6"},
      {1912, 7, 29, u"1912", u"明治", u"45", u"明治", u"45"},
      {1912, 7, 30, u"1912", u"大正", u"1", u"大正", u"1"},
      {1926, 12, 24, u"1926", u"大正", u"15", u"大正", u"15"},
      {1926, 12, 25, u"1926", u"昭和", u"1", u"昭和", u"1"},
      {1868, 10, 23, u"1868", u"明治", u"1", u"明治", u"1"},
      {1868, 10, 22, u"1868", u"", u"", u"", u""},
      {1868, 1, 1, u"1868", u"", u"", u"", u""},
  };
  for (const auto& c : cases) {
    DateTime t;
    t.year = c.y;
    t.month = c.m;
    t.day = c.d;
    t.hour = 23;
    std::u16string year = u"x", n1 = u"x", y1 = u"x", n2 = u"x", y2 = u"x";
    GetGengo(t, year, n1, y1, n2, y2);
    EXPECT_EQ(year, c.year) << c.y << "-" << c.m << "-" << c.d;
    EXPECT_EQ(n1, c.name1) << c.y << "-" << c.m << "-" << c.d;
    EXPECT_EQ(y1, c.year1) << c.y << "-" << c.m << "-" << c.d;
    EXPECT_EQ(n2, c.name2) << c.y << "-" << c.m << "-" << c.d;
    EXPECT_EQ(y2, c.year2) << c.y << "-" << c.m << "-" << c.d;
  }
}

}  // namespace
}  // namespace zumen
