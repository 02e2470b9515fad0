#include "common/diagnostics.h"

#include <algorithm>

#include "common/text.h"

namespace zumen {

namespace {

// What each code says, for one occurrence and for several ("#" stands for
// the count).
struct CodeText {
  std::string_view code, one, many;
};

constexpr CodeText kCodes[] = {
    {"text-undecodable", "1 text held bytes that are not code page 932 text (shown as \xEF\xBF\xBD)",
     "# texts held bytes that are not code page 932 text (shown as \xEF\xBF\xBD)"},
    {"block-missing-definition", "1 block instance refers to a block definition the drawing lacks; it is left out",
     "# block instances refer to block definitions the drawing lacks; they are left out"},
    {"image-missing", "1 placed image file was not found; a frame marks its place",
     "# placed image files were not found; frames mark their places"},
    {"image-refused", "1 image could not be drawn (a type zumen does not read, or it does not decode)",
     "# images could not be drawn (types zumen does not read, or they do not decode)"},
    {"font-fallback", "1 font family is not installed; another font stands in",
     "# font families are not installed; other fonts stand in"},
    {"glyph-missing", "1 character is in no installed font; a placeholder box is drawn",
     "# characters are in no installed font; placeholder boxes are drawn"},
    {"entities-off-paper",
     "1 entity lies far outside the paper (more than half the paper beyond its edge) and is not in the picture; "
     "fitting the extents shows it",
     "# entities lie far outside the paper (more than half the paper beyond its edge) and are not in the "
     "picture; fitting the extents shows them"},
};

}  // namespace

void DiagnosticSink::Add(std::string_view code, std::string_view example, int64_t n) {
  if (n <= 0) return;
  auto it = std::find_if(entries_.begin(), entries_.end(), [&](const Entry& e) { return e.code == code; });
  if (it == entries_.end()) {
    entries_.push_back({std::string(code), n, std::string(example)});
    return;
  }
  it->count += n;
  if (it->example.empty()) it->example = example;
}

int64_t DiagnosticSink::Count(std::string_view code) const {
  for (const Entry& e : entries_)
    if (e.code == code) return e.count;
  return 0;
}

std::vector<Diagnostic> DiagnosticSink::List() const {
  std::vector<Diagnostic> out;
  out.reserve(entries_.size());
  for (const Entry& e : entries_) out.push_back({e.code, e.count, DiagnosticMessage(e.code, e.count, e.example)});
  return out;
}

std::string DiagnosticMessage(std::string_view code, int64_t count, std::string_view example) {
  std::string m;
  const auto it = std::find_if(std::begin(kCodes), std::end(kCodes), [&](const CodeText& c) { return c.code == code; });
  if (it == std::end(kCodes)) {
    m = std::string(code) + " (" + std::to_string(count) + ")";
  } else {
    m = std::string(count == 1 ? it->one : it->many);
    if (const size_t at = m.find('#'); at != std::string::npos) m.replace(at, 1, std::to_string(count));
  }
  if (!example.empty()) m += count == 1 ? ": " + std::string(example) : " (first: " + std::string(example) + ")";
  return m;
}

void CountUndecodableText(DiagnosticSink& sink, std::u16string_view s) {
  if (s.find(u'\uFFFD') != std::u16string_view::npos) sink.Add("text-undecodable", QuotedText(s));
}

std::string QuotedText(std::u16string_view s, size_t max) {
  const bool cut = s.size() > max;
  std::u16string t(s.substr(0, max));
  // Control characters would break the one-line message.
  for (char16_t& c : t)
    if (c < 0x20) c = u' ';
  return "\"" + Utf16ToUtf8(t) + (cut ? "...\"" : "\"");
}

}  // namespace zumen
