// The diagnostics sink: counts by code in the order the codes came, and
// messages for one and for several occurrences.
#include "common/diagnostics.h"

#include <gtest/gtest.h>

namespace zumen {
namespace {

TEST(DiagnosticSink, CountsByCodeAndKeepsTheFirstExample) {
  DiagnosticSink sink;
  EXPECT_TRUE(sink.empty());
  sink.Add("image-missing", "\"a.png\"");
  sink.Add("font-fallback", "\"X\" drawn with Y");
  sink.Add("image-missing", "\"b.png\"");
  sink.Add("entities-off-paper", "", 5);
  sink.Add("entities-off-paper", "", 0);  // nothing to count
  EXPECT_EQ(sink.Count("image-missing"), 2);
  EXPECT_EQ(sink.Count("entities-off-paper"), 5);
  EXPECT_EQ(sink.Count("read-partial"), 0);
  const std::vector<Diagnostic> list = sink.List();
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(list[0].code, "image-missing");
  EXPECT_EQ(list[0].message,
            "2 placed image files were not found; frames mark their places (first: \"a.png\")");
  EXPECT_EQ(list[1].message, "1 font family is not installed; another font stands in: \"X\" drawn with Y");
  EXPECT_EQ(list[2].count, 5);
}

TEST(DiagnosticSink, UndecodableTextsAreCountedAndQuotedOnOneLine) {
  DiagnosticSink sink;
  CountUndecodableText(sink, u"fine");
  CountUndecodableText(sink, u"bad\uFFFD\nline");
  EXPECT_EQ(sink.Count("text-undecodable"), 1);
  EXPECT_NE(sink.List()[0].message.find("\"bad\xEF\xBF\xBD line\""), std::string::npos) << sink.List()[0].message;
  EXPECT_EQ(QuotedText(u"abcdef", 3), "\"abc...\"");
  // A code without its own text still says what and how often.
  EXPECT_EQ(DiagnosticMessage("new-code", 3, ""), "new-code (3)");
}

}  // namespace
}  // namespace zumen
