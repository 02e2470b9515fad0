#include "common/values.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <string>
#include <limits>

#include "common/text.h"

namespace zumen {

namespace {

bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

int HexDigit(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

std::u16string Widen(std::string_view a) { return std::u16string(a.begin(), a.end()); }

}  // namespace

int32_t ValInt(std::u16string_view s) {
  size_t i = 0;
  while (i < s.size() && s[i] == u' ') ++i;
  bool neg = false;
  if (i < s.size() && (s[i] == u'+' || s[i] == u'-')) {
    neg = s[i] == u'-';
    ++i;
  }
  bool hex = false;
  if (i < s.size() && (s[i] == u'$' || s[i] == u'x' || s[i] == u'X')) {
    hex = true;
    ++i;
  } else if (i + 1 < s.size() && s[i] == u'0' && (s[i + 1] == u'x' || s[i + 1] == u'X')) {
    hex = true;
    i += 2;
  }
  if (i >= s.size()) return 0;  // no digits
  uint64_t v = 0;
  if (hex) {
    for (; i < s.size(); ++i) {
      const int d = HexDigit(s[i]);
      if (d < 0) return 0;
      v = v * 16 + static_cast<uint64_t>(d);
      if (v > 0xFFFFFFFFull) return 0;
    }
    const auto bits = static_cast<uint32_t>(v);
    const auto pattern = static_cast<int32_t>(bits);
    if (!neg) return pattern;
    return pattern == std::numeric_limits<int32_t>::min() ? pattern
                                                         : static_cast<int32_t>(-pattern);
  }
  const uint64_t limit = neg ? 2147483648ull : 2147483647ull;
  for (; i < s.size(); ++i) {
    if (!IsDigit(s[i])) return 0;
    v = v * 10 + static_cast<uint64_t>(s[i] - u'0');
    if (v > limit) return 0;
  }
  return neg ? static_cast<int32_t>(-static_cast<int64_t>(v)) : static_cast<int32_t>(v);
}

double ValFloat(std::u16string_view s) {
  size_t i = 0;
  while (i < s.size() && s[i] == u' ') ++i;
  // Copy the number in ASCII after checking its shape; std::from_chars does
  // not look at the locale.
  std::string a;
  a.reserve(s.size() - i);
  bool neg = false;
  if (i < s.size() && (s[i] == u'+' || s[i] == u'-')) {
    neg = s[i] == u'-';
    ++i;
  }
  size_t mantissa_digits = 0;
  for (; i < s.size() && IsDigit(s[i]); ++i, ++mantissa_digits) a.push_back(static_cast<char>(s[i]));
  if (i < s.size() && s[i] == u'.') {
    a.push_back('.');
    for (++i; i < s.size() && IsDigit(s[i]); ++i, ++mantissa_digits) a.push_back(static_cast<char>(s[i]));
  }
  if (mantissa_digits == 0) return 0;
  if (i < s.size() && (s[i] == u'e' || s[i] == u'E')) {
    a.push_back('e');
    ++i;
    if (i < s.size() && (s[i] == u'+' || s[i] == u'-')) a.push_back(static_cast<char>(s[i++]));
    size_t exp_digits = 0;
    for (; i < s.size() && IsDigit(s[i]); ++i, ++exp_digits) a.push_back(static_cast<char>(s[i]));
    if (exp_digits == 0) return 0;
  }
  if (i != s.size()) return 0;
  double v = 0;
  const auto r = std::from_chars(a.data(), a.data() + a.size(), v, std::chars_format::general);
  if (r.ec == std::errc::result_out_of_range) {
    // Underflow reads as zero; overflow is not a usable number.
    return 0;
  }
  if (r.ec != std::errc() || r.ptr != a.data() + a.size() || !std::isfinite(v)) return 0;
  return neg ? -v : v;
}

bool ValBool(std::u16string_view s) {
  static constexpr std::u16string_view kWords[] = {u"T",      u"TR",     u"TRU", u"TRUE",
                                                   u"1",      u"\uFF11", u"\u25CB", u"ON",
                                                   u"\u771F", u"\u6B63"};
  if (s.empty()) return false;
  const std::u16string u = UpperStr(s);
  return std::find(std::begin(kWords), std::end(kWords), std::u16string_view(u)) != std::end(kWords);
}

std::u16string IntStr(int64_t n) {
  char buf[24];
  const auto r = std::to_chars(buf, buf + sizeof buf, n);
  return Widen(std::string_view(buf, static_cast<size_t>(r.ptr - buf)));
}

namespace {

// Fixed notation in ASCII with n decimals. The value is taken in its
// shortest decimal form (the digits that read back as the same double) and
// rounded half away from zero, so 2.5 gives "3" and 1.005 gives "1.01" with
// two decimals, as a person reading the value expects.
std::string Fixed(int n, double x) {
  n = std::clamp(n, 0, 20);
  if (std::isnan(x)) return "NAN";
  if (std::isinf(x)) return x < 0 ? "-INF" : "INF";
  char buf[400];  // the largest double has 309 integer digits
  const auto r = std::to_chars(buf, buf + sizeof buf, std::fabs(x), std::chars_format::fixed);
  const std::string t(buf, static_cast<size_t>(r.ptr - buf));
  const size_t point = std::min(t.find('.'), t.size());
  std::string digits = t.substr(0, point);  // integer digits, then n decimals
  const std::string frac = point < t.size() ? t.substr(point + 1) : std::string();
  const auto keep = static_cast<size_t>(n);
  digits += frac.substr(0, std::min(keep, frac.size()));
  digits.append(keep - std::min(keep, frac.size()), '0');
  if (frac.size() > keep && frac[keep] >= '5') {
    size_t k = digits.size();
    while (k > 0 && digits[k - 1] == '9') digits[--k] = '0';
    if (k == 0)
      digits.insert(digits.begin(), '1');
    else
      ++digits[k - 1];
  }
  std::string out;
  if (x < 0 && digits.find_first_not_of('0') != std::string::npos) out.push_back('-');
  out.append(digits, 0, digits.size() - keep);
  if (keep > 0) {
    out.push_back('.');
    out.append(digits, digits.size() - keep, keep);
  }
  return out;
}

}  // namespace

std::u16string FloatStrF(int n, double x) { return Widen(Fixed(n, x)); }

std::u16string FloatStrN(int n, double x) {
  const std::string t = Fixed(n, x);
  if (!std::isfinite(x)) return Widen(t);
  const size_t start = (!t.empty() && t[0] == '-') ? 1 : 0;
  size_t int_end = t.find('.');
  if (int_end == std::string::npos) int_end = t.size();
  std::string out(t, 0, start);
  for (size_t k = start; k < int_end; ++k) {
    if (k > start && (int_end - k) % 3 == 0) out.push_back(',');
    out.push_back(t[k]);
  }
  out.append(t, int_end, std::string::npos);
  return Widen(out);
}

std::u16string FloatStrG(double x) {
  if (std::isnan(x)) return u"NAN";
  if (std::isinf(x)) return x > 0 ? u"INF" : u"-INF";
  if (x == 0) x = 0;  // no "-0"
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.15G", x);
  std::string s = buf;
  const size_t e = s.find('E');
  if (e != std::string::npos) {
    std::string mant = s.substr(0, e), ex = s.substr(e + 1);
    const bool neg = !ex.empty() && ex[0] == '-';
    if (!ex.empty() && (ex[0] == '-' || ex[0] == '+')) ex.erase(0, 1);
    while (ex.size() > 1 && ex[0] == '0') ex.erase(0, 1);
    s = mant + "E" + (neg ? "-" : "") + ex;
  }
  return std::u16string(s.begin(), s.end());
}

}  // namespace zumen
