#include "common/text.h"

#include <iterator>

namespace zumen {

namespace {

// Upper case of one character (see UpperStr).
char16_t ToUpper(char16_t c) {
  if (c < 0x80) return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 0x20) : c;
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<char16_t>(c - 0x20);
  if (c == 0xFF) return 0x178;
  if (c >= 0x100 && c <= 0x17E) {
    // Latin Extended-A pairs: upper case first, except in the two runs
    // U+0139-0148 and U+0179-017E where the pairs start one place later.
    if (c == 0x130 || c == 0x131 || c == 0x138 || c == 0x149) return c;
    const bool odd_start = (c >= 0x139 && c <= 0x148) || (c >= 0x179);
    const bool is_lower = odd_start ? (c % 2 == 0) : (c % 2 == 1);
    return is_lower ? static_cast<char16_t>(c - 1) : c;
  }
  if (c >= 0x3B1 && c <= 0x3CB) return c == 0x3C2 ? char16_t{0x3A3} : static_cast<char16_t>(c - 0x20);
  if (c == 0x3AC) return 0x386;
  if (c >= 0x3AD && c <= 0x3AF) return static_cast<char16_t>(c - 0x25);
  if (c == 0x3CC) return 0x38C;
  if (c == 0x3CD || c == 0x3CE) return static_cast<char16_t>(c - 0x3F);
  if (c >= 0x430 && c <= 0x44F) return static_cast<char16_t>(c - 0x20);
  if (c >= 0x450 && c <= 0x45F) return static_cast<char16_t>(c - 0x50);
  if (c >= 0x2170 && c <= 0x217F) return static_cast<char16_t>(c - 0x10);
  if (c >= 0x24D0 && c <= 0x24E9) return static_cast<char16_t>(c - 0x1A);
  if (c >= 0xFF41 && c <= 0xFF5A) return static_cast<char16_t>(c - 0x20);
  return c;
}

// Lower case of one character, the inverse of ToUpper.
char16_t ToLower(char16_t c) {
  if (c < 0x80) return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 0x20) : c;
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<char16_t>(c + 0x20);
  if (c == 0x178) return 0xFF;
  if (c >= 0x100 && c <= 0x17E) {
    if (c == 0x130 || c == 0x131 || c == 0x138 || c == 0x149) return c;
    const bool odd_start = (c >= 0x139 && c <= 0x148) || (c >= 0x179);
    const bool is_upper = odd_start ? (c % 2 == 1) : (c % 2 == 0);
    return is_upper ? static_cast<char16_t>(c + 1) : c;
  }
  if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return static_cast<char16_t>(c + 0x20);
  if (c == 0x386) return 0x3AC;
  if (c >= 0x388 && c <= 0x38A) return static_cast<char16_t>(c + 0x25);
  if (c == 0x38C) return 0x3CC;
  if (c == 0x38E || c == 0x38F) return static_cast<char16_t>(c + 0x3F);
  if (c >= 0x410 && c <= 0x42F) return static_cast<char16_t>(c + 0x20);
  if (c >= 0x400 && c <= 0x40F) return static_cast<char16_t>(c + 0x50);
  if (c >= 0x2160 && c <= 0x216F) return static_cast<char16_t>(c + 0x10);
  if (c >= 0x24B6 && c <= 0x24CF) return static_cast<char16_t>(c + 0x1A);
  if (c >= 0xFF21 && c <= 0xFF3A) return static_cast<char16_t>(c + 0x20);
  return c;
}

template <typename F>
std::u16string MapChars(std::u16string_view s, F f) {
  std::u16string r(s);
  for (char16_t& c : r) c = f(c);
  return r;
}

template <typename Keep>
std::u16string Filter(std::u16string_view s, Keep keep) {
  std::u16string r;
  r.reserve(s.size());
  for (char16_t c : s)
    if (keep(c)) r.push_back(c);
  return r;
}

// U+0021..U+007E, then U+0020, position by position.
constexpr std::u16string_view kZenAscii =
    u"！”＃＄％＆’（）＊＋，－．／０１２３４５６７８９：；＜＝＞？＠ＡＢＣＤＥＦＧＨＩＪＫＬＭＮＯ"
    u"ＰＱＲＳＴＵＶＷＸＹＺ［￥］＾＿｀ａｂｃｄｅｆｇｈｉｊｋｌｍｎｏｐｑｒｓｔｕｖｗｘｙｚ｛｜｝～"
    u"\u3000";
static_assert(kZenAscii.size() == 95);

// U+FF61..U+FF9F, position by position.
constexpr std::u16string_view kZenKana =
    u"。「」、・ヲァィゥェォャュョッーアイウエオカキクケコサシスセソタチツテトナニヌネノハヒフヘホ"
    u"マミムメモヤユヨラリルレロワン゛°";
static_assert(kZenKana.size() == 63);

// Half-width kana followed by a voiced (U+FF9E) or semi-voiced (U+FF9F) mark.
struct VoicedPair {
  char16_t base;
  char16_t mark;
  char16_t full;
};
constexpr VoicedPair kVoiced[] = {
    {u'ｳ', u'ﾞ', u'ヴ'}, {u'ｶ', u'ﾞ', u'ガ'}, {u'ｷ', u'ﾞ', u'ギ'}, {u'ｸ', u'ﾞ', u'グ'},
    {u'ｹ', u'ﾞ', u'ゲ'}, {u'ｺ', u'ﾞ', u'ゴ'}, {u'ｻ', u'ﾞ', u'ザ'}, {u'ｼ', u'ﾞ', u'ジ'},
    {u'ｽ', u'ﾞ', u'ズ'}, {u'ｾ', u'ﾞ', u'ゼ'}, {u'ｿ', u'ﾞ', u'ゾ'}, {u'ﾀ', u'ﾞ', u'ダ'},
    {u'ﾁ', u'ﾞ', u'ヂ'}, {u'ﾂ', u'ﾞ', u'ヅ'}, {u'ﾃ', u'ﾞ', u'デ'}, {u'ﾄ', u'ﾞ', u'ド'},
    {u'ﾊ', u'ﾞ', u'バ'}, {u'ﾋ', u'ﾞ', u'ビ'}, {u'ﾌ', u'ﾞ', u'ブ'}, {u'ﾍ', u'ﾞ', u'ベ'},
    {u'ﾎ', u'ﾞ', u'ボ'}, {u'ﾊ', u'ﾟ', u'パ'}, {u'ﾋ', u'ﾟ', u'ピ'}, {u'ﾌ', u'ﾟ', u'プ'},
    {u'ﾍ', u'ﾟ', u'ペ'}, {u'ﾎ', u'ﾟ', u'ポ'},
};
static_assert(std::size(kVoiced) == 26);

}  // namespace

std::u16string UpperStr(std::u16string_view s) { return MapChars(s, ToUpper); }
std::u16string LowerStr(std::u16string_view s) { return MapChars(s, ToLower); }

std::u16string DelBlank(std::u16string_view s) {
  return Filter(s, [](char16_t c) { return c > 0x20 && c != 0x3000; });
}

std::u16string DelCtrl(std::u16string_view s) {
  return Filter(s, [](char16_t c) { return c >= 0x20; });
}

std::u16string HanToZen(std::u16string_view s) {
  std::u16string r;
  r.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    const char16_t c = s[i];
    if (i + 1 < s.size()) {
      const char16_t next = s[i + 1];
      const VoicedPair* hit = nullptr;
      for (const VoicedPair& p : kVoiced)
        if (p.base == c && p.mark == next) hit = &p;
      if (hit) {
        r.push_back(hit->full);
        i += 2;
        continue;
      }
    }
    if (c >= 0x21 && c <= 0x7E)
      r.push_back(kZenAscii[c - 0x21]);
    else if (c == 0x20)
      r.push_back(kZenAscii[94]);
    else if (c >= 0xFF61 && c <= 0xFF9F)
      r.push_back(kZenKana[c - 0xFF61]);
    else
      r.push_back(c);
    ++i;
  }
  return r;
}

namespace {

// The well-formed UTF-8 sequence at s[i] (no overlong forms, surrogates or
// values past U+10FFFF): its length, with its code point in cp; 0 when the
// bytes there are not one.
size_t Utf8SequenceAt(std::string_view s, size_t i, char32_t& cp) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned char b = byte(i);
  if (b < 0x80) {
    cp = b;
    return 1;
  }
  size_t n = 0;
  char32_t min = 0;
  if (b >= 0xC2 && b <= 0xDF) {
    n = 1, cp = b & 0x1F, min = 0x80;
  } else if (b >= 0xE0 && b <= 0xEF) {
    n = 2, cp = b & 0x0F, min = 0x800;
  } else if (b >= 0xF0 && b <= 0xF4) {
    n = 3, cp = b & 0x07, min = 0x10000;
  } else {
    return 0;
  }
  for (size_t k = 1; k <= n; ++k) {
    if (i + k >= s.size() || (byte(i + k) & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (byte(i + k) & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return n + 1;
}

}  // namespace

std::u16string Utf8ToUtf16(std::string_view s) {
  std::u16string r;
  r.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    char32_t cp = 0;
    const size_t n = Utf8SequenceAt(s, i, cp);
    if (n == 0) {
      r.push_back(0xFFFD);
      ++i;
      continue;
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      r.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      r.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      r.push_back(static_cast<char16_t>(cp));
    }
    i += n;
  }
  return r;
}

bool IsValidUtf8(std::string_view s) {
  for (size_t i = 0; i < s.size();) {
    char32_t cp = 0;
    const size_t n = Utf8SequenceAt(s, i, cp);
    if (n == 0) return false;
    i += n;
  }
  return true;
}

std::string Utf16ToUtf8(std::u16string_view s) {
  std::string r;
  r.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    char32_t cp = s[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (s[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;
    }
    if (cp < 0x80) {
      r.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      r.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      r.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      r.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      r.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      r.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      r.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      r.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      r.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      r.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return r;
}

}  // namespace zumen
