#include "common/era.h"

#include <cstdint>

#include "common/values.h"

namespace zumen {

namespace {

struct Era {
  int64_t first_day;  // yyyymmdd
  int first_year;
  const char16_t* name;
};

// Newest first; 令和 is only in the full table.
constexpr Era kReiwa{20190501, 2019, u"令和"};
constexpr Era kEras[] = {
    {19890108, 1989, u"平成"},
    {19261225, 1926, u"昭和"},
    {19120730, 1912, u"大正"},
    {18681023, 1868, u"明治"},
};

}  // namespace

void GetGengo(const DateTime& t, std::u16string& yearText, std::u16string& eraName1, std::u16string& eraYear1,
              std::u16string& eraName2, std::u16string& eraYear2) {
  const int64_t year = t.year;
  const int64_t d = year * 10000 + int64_t{t.month} * 100 + t.day;
  yearText = IntStr(year);
  eraName1.clear();
  eraYear1.clear();
  for (const Era& e : kEras) {
    if (d >= e.first_day) {
      eraName1 = e.name;
      eraYear1 = IntStr(year - e.first_year + 1);
      break;
    }
  }
  eraName2 = eraName1;
  eraYear2 = eraYear1;
  if (d >= kReiwa.first_day) {
    eraName2 = kReiwa.name;
    eraYear2 = IntStr(year - kReiwa.first_year + 1);
  }
}

}  // namespace zumen
