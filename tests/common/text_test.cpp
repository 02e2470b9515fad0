#include "common/text.h"

#include <gtest/gtest.h>

#include <string>

namespace zumen {
namespace {

struct CaseRow {
  std::u16string lower;
  std::u16string upper;
};

TEST(CaseMapping, MapsBothWays) {
  const CaseRow rows[] = {
      {u"abc xyz 09", u"ABC XYZ 09"},
      {u"\uFF41\uFF5A", u"\uFF21\uFF3A"},            // full-width Latin
      {u"\u00E0\u00E9\u00FE\u00FF", u"\u00C0\u00C9\u00DE\u0178"},  // Latin-1
      {u"\u0101\u013A\u017E", u"\u0100\u0139\u017D"},  // Latin Extended-A, both pair runs
      {u"\u03B1\u03C9\u03AC", u"\u0391\u03A9\u0386"},  // Greek
      {u"\u0430\u044F\u0451", u"\u0410\u042F\u0401"},  // Cyrillic
      {u"\u2170\u24D0", u"\u2160\u24B6"},              // small Roman numeral, circled letter
      {u"\u3042\u6F22\u00F7\u00D7", u"\u3042\u6F22\u00F7\u00D7"},  // no case
      {u"", u""},
  };
  for (const auto& r : rows) {
    EXPECT_EQ(UpperStr(r.lower), r.upper);
    EXPECT_EQ(LowerStr(r.upper), r.lower);
  }
  // Characters without a one-to-one partner stay as they are.
  EXPECT_EQ(UpperStr(u"\u00DF\u03C2"), u"\u00DF\u03A3");
  EXPECT_EQ(LowerStr(u"\u0130"), u"\u0130");
}

TEST(DelBlank, RemovesSpacesAndControls) {
  const std::u16string s = u" a\u3000b\tc\r\n\u00A0";
  EXPECT_EQ(DelBlank(s), u"abc\u00A0");
  EXPECT_EQ(DelCtrl(s), u" a\u3000bc\u00A0");
  EXPECT_EQ(DelBlank(u""), u"");
  EXPECT_EQ(DelCtrl(std::u16string(1, u'\0')), u"");
}

struct ZenCase {
  std::u16string in;
  std::u16string out;
};

TEST(HanToZen, UsesTheTables) {
  const ZenCase cases[] = {
      {u"ｶﾞｷﾞ", u"ガギ"},
      {u"ﾊﾟﾝ", u"パン"},
      {u"ｱﾞｶ", u"ア゛カ"},  // a has no voiced form: the mark stays separate
      {u"ｳﾞ", u"ヴ"},
      {u"A-1", u"Ａ－１"},
      {u"\"'\\ ~", u"\u201D\u2019\uFFE5\u3000～"},
      {u"ｰﾟﾞ｡ｦ", u"ー°゛。ヲ"},
      {u"ﾎﾟ", u"ポ"},
      {u"ｶﾟ", u"カ°"},  // no semi-voiced ka
      {u"漢ａ", u"漢ａ"},
      {u"ﾞ", u"゛"},
      {u"", u""},
  };
  for (const auto& c : cases) EXPECT_EQ(HanToZen(c.in), c.out);
}

TEST(HanToZen, EveryPrintableAsciiBecomesFullWidth) {
  for (char16_t c = 0x21; c <= 0x7E; ++c) {
    const std::u16string z = HanToZen(std::u16string(1, c));
    ASSERT_EQ(z.size(), 1u);
    if (c != u'"' && c != u'\'' && c != u'\\') {
      EXPECT_EQ(z[0], c + 0xFEE0) << static_cast<int>(c);
    }
  }
}

TEST(Utf, RoundTripsAndReplacesBadInput) {
  const std::u16string s = u"a\u00E9\u6F22\U0001F600/";
  EXPECT_EQ(Utf16ToUtf8(s), "a\xC3\xA9\xE6\xBC\xA2\xF0\x9F\x98\x80/");
  EXPECT_EQ(Utf8ToUtf16(Utf16ToUtf8(s)), s);
  // Stray continuation, overlong form, encoded surrogate, truncated sequence.
  EXPECT_EQ(Utf8ToUtf16("\x80" "a\xC0\xAF" "b\xED\xA0\x80" "c\xE6\xBC"),
            u"\uFFFDa\uFFFD\uFFFDb\uFFFD\uFFFD\uFFFDc\uFFFD\uFFFD");
  EXPECT_EQ(Utf16ToUtf8(std::u16string(1, char16_t{0xD800}) + u"x"), "\xEF\xBF\xBDx");
}

TEST(Utf, TellsWellFormedUtf8) {
  for (const char* good : {"", "plain", "a\xC3\xA9\xE6\xBC\xA2\xF0\x9F\x98\x80"}) {
    EXPECT_TRUE(IsValidUtf8(good)) << good;
  }
  // Code page 932 (図面), Latin-1 (é), overlong, surrogate, truncated, past U+10FFFF.
  for (const char* bad : {"\x90\x7D\x96\xCA", "caf\xE9", "\xC0\xAF", "\xED\xA0\x80", "\xE6\xBC", "\xF4\x90\x80\x80"}) {
    EXPECT_FALSE(IsValidUtf8(bad)) << bad;
  }
}

}  // namespace
}  // namespace zumen
