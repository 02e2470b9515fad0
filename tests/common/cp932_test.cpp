#include "common/cp932.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace zumen {
namespace {

TEST(Cp932, EncodesAndDecodes) {
  EXPECT_EQ(StrToAnsi(u"Ab1"), "Ab1");
  EXPECT_EQ(StrToAnsi(u"漢ｱ"), "\x8A\xBF\xB1");
  EXPECT_EQ(StrToAnsi(u"\uFF3C"), "\x81\x5F");  // full-width backslash
  EXPECT_EQ(AnsiDecode(std::string_view("\x8A\xBF\xB1\x5C\x7E")), u"漢ｱ\\~");
  EXPECT_EQ(StrToAnsi(u""), "");
  EXPECT_EQ(AnsiToStr(std::string_view("")), u"");
}

TEST(Cp932, UnmappableCharactersBecomeQuestionMarks) {
  EXPECT_EQ(StrToAnsi(u"a\u0101b"), "a?b");
  EXPECT_EQ(StrToAnsi(u"\U0001F600x"), "?x");  // one mark for a surrogate pair
  EXPECT_EQ(StrToAnsi(std::u16string(1, char16_t{0xDC00}) + u"漢"), "?\x8A\xBF");
  EXPECT_EQ(StrToAnsi(u"漢" + std::u16string(1, char16_t{0xD800})), "\x8A\xBF?");
}

TEST(Cp932, AnsiToStrCutsAtFirstNul) {
  const uint8_t bytes[] = {0x41, 0x42, 0x00, 0x43};
  EXPECT_EQ(AnsiToStr(std::span<const uint8_t>(bytes)), u"AB");
  EXPECT_EQ(AnsiDecode(std::span<const uint8_t>(bytes)), std::u16string(u"AB\0C", 4));
  EXPECT_EQ(AnsiToStr(std::string_view("\x8A\xBF\0\x8A\xBF", 5)), u"漢");
}

TEST(Cp932, InvalidBytesAreReplacedAndDecodingGoesOn) {
  // 0xFF is never valid; 0x81 0x20 is a lead byte with a bad trail byte; a
  // lead byte at the very end has no trail byte.
  const std::u16string r = AnsiToStr(std::string_view("a\xFF" "b\x81 c\x8A"));
  ASSERT_GE(r.size(), 6u);
  EXPECT_EQ(r.front(), u'a');
  EXPECT_NE(r.find(u'b'), std::u16string::npos);
  EXPECT_NE(r.find(u'c'), std::u16string::npos);
  EXPECT_EQ(r.back(), u'\uFFFD');
  EXPECT_EQ(r.find(u'\0'), std::u16string::npos);
  // A lead byte before the terminating zero.
  EXPECT_EQ(AnsiToStr(std::string_view("x\x8A\0y", 4)), u"x\uFFFD");
}

TEST(Cp932, ByteMeasures) {
  EXPECT_EQ(AnsiLen(u"a漢"), 3);
  EXPECT_EQ(AnsiLen(std::u16string(u"ab\0cd", 5)), 2);
  EXPECT_TRUE(IsZenkaku(u"漢"));
  EXPECT_FALSE(IsZenkaku(u"ｱ"));
  EXPECT_FALSE(IsZenkaku(u"a"));
  EXPECT_TRUE(IsZenkaku(u"ab"));  // exactly two bytes, whatever they are
}

struct WidthCase {
  std::u16string s;
  double width;
};

TEST(Cp932, AnsiTextWidth) {
  const WidthCase cases[] = {
      {u"ab", 5 + 1 + 5},
      {u"漢a", 10 + 2 + 5},
      {u"a漢", 5 + 1 + 10},
      {u"ｱ", 5},  // half-width kana is a single byte
      {u"漢", 10},
      {u"", 0},
      {u"\u0101", 5},  // unmappable: "?"
  };
  for (const auto& c : cases) EXPECT_DOUBLE_EQ(AnsiTextWidth(c.s, 10, 2), c.width);
}

TEST(Cp932, ConvertsFromSeveralThreadsAtOnce) {
  std::vector<std::thread> threads;
  std::vector<int> bad(4, 0);
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&bad, t] {
      for (int i = 0; i < 2000; ++i) {
        const std::u16string s = u"図面" + std::u16string(1, static_cast<char16_t>(u'A' + (i + t) % 26)) + u"ｶﾅ";
        if (AnsiToStr(StrToAnsi(s)) != s) ++bad[static_cast<size_t>(t)];
      }
    });
  for (auto& th : threads) th.join();
  for (int b : bad) EXPECT_EQ(b, 0);
}

}  // namespace
}  // namespace zumen
