#include "renderer/macros.h"

#include <cmath>
#include <cstdio>
#include <string_view>
#include <vector>

#include "common/era.h"
#include "common/files.h"
#include "common/values.h"

namespace zumen {

namespace {

using std::u16string;
using std::u16string_view;

// How a one-digit number is padded, by the code's prefix.
enum class Pad { None, Space, Zero };

struct Prefix {
  bool fileTime = false;  // "_" and "=" read the file's time, the others the clock
  Pad pad = Pad::None;
};

bool ParsePrefix(char16_t c, Prefix& p) {
  switch (c) {
    case u'$': p = {false, Pad::None}; return true;
    case u'&': p = {false, Pad::Space}; return true;
    case u'%': p = {false, Pad::Zero}; return true;
    case u'_': p = {true, Pad::Space}; return true;
    case u'=': p = {true, Pad::Zero}; return true;
    default: return false;
  }
}

u16string Padded(u16string s, Pad pad) {
  if (s.size() == 1) {
    if (pad == Pad::Space) return u" " + s;
    if (pad == Pad::Zero) return u"0" + s;
  }
  return s;
}

u16string Num(int n, Pad pad) { return Padded(IntStr(n), pad); }
u16string Two(int n) { return Num(n, Pad::Zero); }
u16string Year4(int y) {
  u16string s = IntStr(y < 0 ? -y : y);
  while (s.size() < 4) s = u"0" + s;
  return y < 0 ? u"-" + s : s;
}

// Era-year padding: "$" puts the space after a one-digit year.
u16string EraPadded(u16string s, char16_t prefix) {
  if (s.size() == 1 && prefix == u'$') return s + u" ";
  Prefix p;
  ParsePrefix(prefix, p);
  return Padded(std::move(s), p.pad);
}

// "yyyy/", month and day space-padded.
u16string DateSpaced(const DateTime& t) {
  return Year4(t.year) + u"/" + Num(t.month, Pad::Space) + u"/" + Num(t.day, Pad::Space);
}
u16string DateZero(const DateTime& t) { return Year4(t.year) + u"/" + Two(t.month) + u"/" + Two(t.day); }
u16string TimeZero(const DateTime& t) { return Two(t.hour) + u":" + Two(t.minute) + u":" + Two(t.second); }

// 0 Sunday ... 6 Saturday (proleptic Gregorian calendar).
int Weekday(const DateTime& t) {
  static constexpr int kOffsets[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
  if (t.month < 1 || t.month > 12) return 0;
  const long long y = t.year - (t.month < 3 ? 1 : 0);
  const long long d = y + y / 4 - y / 100 + y / 400 + kOffsets[t.month - 1] + t.day;
  return static_cast<int>(((d % 7) + 7) % 7);
}

constexpr std::u16string_view kWeekdayJa[] = {u"日", u"月", u"火", u"水", u"木", u"金", u"土"};
constexpr std::u16string_view kWeekdayEn[] = {u"SUN", u"MON", u"TUE", u"WED", u"THU", u"FRI", u"SAT"};
constexpr std::u16string_view kMonthEn[] = {u"JAN", u"FEB", u"MAR", u"APR", u"MAY", u"JUN",
                                            u"JUL", u"AUG", u"SEP", u"OCT", u"NOV", u"DEC"};

struct Era {
  u16string westernYear, name1, year1, name2, year2;
};
Era EraOf(const DateTime& t) {
  Era e;
  GetGengo(t, e.westernYear, e.name1, e.year1, e.name2, e.year2);
  return e;
}
// Era year by the full table, "元" for the first year.
u16string EraYearE(const Era& e, char16_t prefix) {
  if (e.year2 == u"1") return u"元";
  return EraPadded(e.year2, prefix);
}

// File name without folder.
u16string FileNamePart(u16string_view path) {
  const size_t cut = path.find_last_of(u"\\/");
  return u16string(cut == u16string_view::npos ? path : path.substr(cut + 1));
}
u16string WithoutExt(const u16string& name) {
  const size_t dot = name.rfind(u'.');
  return dot == u16string::npos ? name : name.substr(0, dot);
}

// The k-th folder above the file (the first part when the path is shorter).
u16string FolderAbove(const u16string& path, int k) {
  std::vector<u16string> parts;
  const int last = SplitPath(path, parts, static_cast<int>(path.size()));
  const int i = last - k;
  return parts[i < 0 ? 0 : i];
}

// "%SS"/"%ss" (div = 1) and "%SP"/"%sp": 1/n for reductions, n/1 for enlargements.
u16string ScaleText(double lgScale, double div, bool decorated) {
  const double r = lgScale / div;
  if (r >= 1 || !(r > 0)) {
    // A zero, negative or undefined scale is written as it is rather than inverted.
    return (decorated ? u"1/" : u"") + FloatStrG(r);
  }
  const double enlarged = std::trunc(10.0 * div / lgScale + 0.5) / 10.0;
  return FloatStrG(enlarged) + (decorated ? u"/1" : u"");
}

int HexDigit(char16_t c) {
  if (c >= u'1' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  return 0;
}

bool IsEraCode(u16string_view body) {
  return body == u"E" || body == u"G" || body == u"GＧ" || body == u"GＧＥ" || body == u"GＧＥＥ";
}

// Codes that only exist with the "%" prefix.
bool PercentOnly(const ConversionContext& ctx, double lgScale, u16string_view body, MacroRules rules, u16string& out) {
  if (body == u"mm") {
    out = rules == MacroRules::K4 ? ctx.Facts->CurTitle : ctx.TextMacroM1 + u"･･" + ctx.TextMacroM2;
  } else if (body == u"m1") {
    out = rules == MacroRules::K4 ? ctx.Facts->CurTitle : ctx.TextMacroM1;
  } else if (body == u"m2") {
    out = rules == MacroRules::K4 ? u16string(u"%m2") : ctx.TextMacroM2;
  } else if (body == u"SS" || body == u"ss") {
    out = ScaleText(lgScale, 1.0, body == u"SS");
  } else if (body == u"SP" || body == u"sp") {
    out = ScaleText(lgScale, ctx.ScaleDiv, body == u"SP");
  } else if (body.size() == 2 && body[0] == u'f' && HexDigit(body[1]) > 0) {
    const u16string name = WithoutExt(FileNamePart(ctx.Facts->CurFileName));
    out = name.substr(0, static_cast<size_t>(HexDigit(body[1])));
  } else {
    return false;
  }
  return true;
}

// Codes with one of the five prefixes; body is the code without its prefix.
bool Prefixed(const ConversionContext& ctx, char16_t prefix, u16string_view body, MacroRules rules,
              u16string& out) {
  Prefix p;
  if (!ParsePrefix(prefix, p)) return false;
  const bool current = !p.fileTime;
  const DateTime t = p.fileTime ? ctx.FileTime() : ctx.clock->Now();

  if (body == u"F") {
    if (current) {
      out = ctx.Facts->CurFileName;
    } else {
      out = (prefix == u'_' ? DateSpaced(t) : DateZero(t)) + u" " + TimeZero(t);
    }
    return true;
  }
  if (body.size() == 2 && body[0] == u'F' && body[1] >= u'1' && body[1] <= u'9') {
    if (!current) return false;
    out = FolderAbove(ctx.Facts->CurFileName, body[1] - u'0');
    return true;
  }
  if (body == u"f") {
    const u16string name = FileNamePart(ctx.Facts->CurFileName);
    if (prefix == u'%') out = name;
    else if (current) out = WithoutExt(name);
    else out = prefix == u'_' ? DateSpaced(t) : DateZero(t);
    return true;
  }
  if (body == u"T") {
    out = rules == MacroRules::K4 ? u16string(1, prefix) + u"T" : ctx.TextMacroT;
    return true;
  }
  if (rules == MacroRules::K4 && IsEraCode(body)) return false;

  if (body == u"j") {
    out = DateSpaced(t);
  } else if (body == u"J") {
    const Era e = EraOf(t);
    out = e.name2 + (e.year2 == u"1" ? u16string(u"元") : e.year2) + u"年" + Num(t.month, Pad::Space) + u"月" +
          Num(t.day, Pad::Space) + u"日";
  } else if (body == u"y") {
    out = Num(((t.year % 100) + 100) % 100, p.pad);
  } else if (body == u"m") {
    out = Num(t.month, p.pad);
  } else if (body == u"d") {
    out = Num(t.day, p.pad);
  } else if (body == u"ma") {
    out = t.month >= 1 && t.month <= 12 ? u16string(kMonthEn[t.month - 1]) : u16string();
  } else if (body == u"w" || body == u"W") {
    out = kWeekdayJa[Weekday(t)];
  } else if (body == u"wa") {
    out = kWeekdayEn[Weekday(t)];
  } else if (body == u"Y") {
    out = EraPadded(EraOf(t).year1, prefix);
  } else if (body == u"E" || body == u"G") {
    out = EraYearE(EraOf(t), prefix);
  } else if (body == u"GＧ") {
    out = EraOf(t).name2;
  } else if (body == u"GＧＥ" || body == u"GＧＥＥ") {
    const Era e = EraOf(t);
    out = e.name2 + EraYearE(e, prefix) + (body == u"GＧＥＥ" ? u"年" : u"");
  } else if (body == u"n") {
    out = t.hour < 12 ? u"AM" : u"PM";
  } else if (body == u"N") {
    out = t.hour < 12 ? u"前" : u"後";
  } else if (body == u"h") {
    out = Num(t.hour % 12, p.pad);  // 12-hour clock, twelve o'clock shown as 0
  } else if (body == u"H") {
    out = Num(t.hour, p.pad);
  } else if (body == u"M") {
    out = Num(t.minute, p.pad);
  } else if (body == u"S") {
    out = Num(t.second, p.pad);
  } else {
    return false;
  }
  return true;
}

}  // namespace

bool ExpandTextMacro(const ConversionContext& ctx, double lgScale, const std::u16string& s, std::u16string& out,
                     MacroRules rules) {
  if (s.size() < 2) return false;
  u16string value;
  const u16string_view body = u16string_view(s).substr(1);
  if (s[0] == u'%' && PercentOnly(ctx, lgScale, body, rules, value)) {
    out = std::move(value);
    return true;
  }
  if (Prefixed(ctx, s[0], body, rules, value)) {
    out = std::move(value);
    return true;
  }
  if (s.starts_with(u"%%")) {
    out = s;
    if (rules == MacroRules::Jw) {
      for (const auto& ref : ctx.RefList) {
        if (ref.s1 == s) {
          out = ref.s2;
          break;
        }
      }
    }
    return true;
  }
  return false;
}

}  // namespace zumen
