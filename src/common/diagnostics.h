#pragma once
// What a conversion could not honour, counted by stable code. Readers,
// drawing passes, renderers and the text engine add to the sink of their
// conversion; the caller turns it into the public diagnostics, one per code
// with its count and a message built from the first example.
//
// The codes are published (README) and never change once there.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "zumen/zumen.h"

namespace zumen {

class DiagnosticSink {
 public:
  // Counts n occurrences of code; the first example given for a code is kept
  // for its message.
  void Add(std::string_view code, std::string_view example, int64_t n = 1);
  // How often code was added (0 when never).
  int64_t Count(std::string_view code) const;
  bool empty() const { return entries_.empty(); }
  // One diagnostic per code, in the order the codes first came.
  std::vector<Diagnostic> List() const;

 private:
  struct Entry {
    std::string code;
    int64_t count = 0;
    std::string example;
  };
  std::vector<Entry> entries_;
};

// The one-line message of a diagnostic: what the code means, with the count,
// and the first example when there is one.
std::string DiagnosticMessage(std::string_view code, int64_t count, std::string_view example);

// Counts s under "text-undecodable" when it holds U+FFFD, the character the
// code-page decoder puts for bytes that are not text.
void CountUndecodableText(DiagnosticSink& sink, std::u16string_view s);

// A text for a message: in double quotes, cut to at most max characters.
std::string QuotedText(std::u16string_view s, size_t max = 40);

}  // namespace zumen
