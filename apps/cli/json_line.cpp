#include "json_line.h"

#include <cstdint>
#include <string_view>

namespace zumen_cli {

namespace {

using Json = nlohmann::ordered_json;

// U+FFFF, a noncharacter, marks in the dumped text where an escape goes: the
// two characters after it are the hexadecimal value of a byte that is not
// UTF-8, or "!!" for a U+FFFF of the string itself.
constexpr std::string_view kMark = "\xEF\xBF\xBF";

// The length of the well-formed UTF-8 sequence at s[i] (no overlong forms, no
// surrogates, nothing above U+10FFFF), or 0.
size_t Utf8Length(std::string_view s, size_t i) {
  const auto b = [&](size_t k) { return static_cast<uint8_t>(s[i + k]); };
  const size_t left = s.size() - i;
  const uint8_t c = b(0);
  if (c < 0x80) return 1;
  const auto cont = [&](size_t k) { return k < left && (b(k) & 0xC0) == 0x80; };
  if (c >= 0xC2 && c <= 0xDF) return cont(1) ? 2 : 0;
  if (c >= 0xE0 && c <= 0xEF) {
    if (!cont(1) || !cont(2)) return 0;
    if (c == 0xE0 && b(1) < 0xA0) return 0;  // overlong
    if (c == 0xED && b(1) >= 0xA0) return 0;  // a surrogate
    return 3;
  }
  if (c >= 0xF0 && c <= 0xF4) {
    if (!cont(1) || !cont(2) || !cont(3)) return 0;
    if (c == 0xF0 && b(1) < 0x90) return 0;  // overlong
    if (c == 0xF4 && b(1) >= 0x90) return 0;  // above U+10FFFF
    return 4;
  }
  return 0;
}

bool NeedsMarks(std::string_view s) {
  for (size_t i = 0; i < s.size();) {
    const size_t n = Utf8Length(s, i);
    if (n == 0 || s.substr(i, n) == kMark) return true;
    i += n;
  }
  return false;
}

std::string Marked(std::string_view s) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  for (size_t i = 0; i < s.size();) {
    const size_t n = Utf8Length(s, i);
    if (n == 0) {
      const auto c = static_cast<uint8_t>(s[i++]);
      out += kMark;
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else if (s.substr(i, n) == kMark) {
      out += kMark;
      out += "!!";
      i += n;
    } else {
      out += s.substr(i, n);
      i += n;
    }
  }
  return out;
}

// Marks the strings of j that need it; whether any did.
bool Mark(Json& j) {
  bool any = false;
  if (j.is_string()) {
    const std::string& s = j.get_ref<const std::string&>();
    if (NeedsMarks(s)) {
      j = Marked(s);
      any = true;
    }
  } else if (j.is_structured()) {
    for (auto& v : j) any = Mark(v) || any;
  }
  return any;
}

}  // namespace

std::string JsonLine(const Json& j) {
  Json copy = j;
  if (!Mark(copy)) return copy.dump();
  const std::string text = copy.dump();
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    if (text.compare(i, kMark.size(), kMark) != 0 || i + kMark.size() + 2 > text.size()) {
      out += text[i++];
      continue;
    }
    const std::string_view code(text.data() + i + kMark.size(), 2);
    out += code == "!!" ? std::string("\\uffff") : "\\udc" + std::string(code);
    i += kMark.size() + 2;
  }
  return out;
}

}  // namespace zumen_cli
