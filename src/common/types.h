#pragma once
// Value types shared by every part of zumen.
#include <cstdint>
#include <string>

namespace zumen {

// A point in drawing units.
struct TDPoint {
  double X = 0;
  double Y = 0;
};

// A point with integer coordinates.
struct TPoint {
  int32_t X = 0;
  int32_t Y = 0;
};

// A key-value pair of texts (the reference-text list).
struct TStr2List {
  std::u16string s1;
  std::u16string s2;
};

// A calendar date and time of day, local time.
struct DateTime {
  int year = 1970;
  int month = 1;
  int day = 1;
  int hour = 0;
  int minute = 0;
  int second = 0;
  int millisecond = 0;
  friend bool operator==(const DateTime&, const DateTime&) = default;
};

}  // namespace zumen
