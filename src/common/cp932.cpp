#include "common/cp932.h"

#include <cerrno>
#include <iconv.h>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace zumen {

namespace {

const iconv_t kNoConverter = reinterpret_cast<iconv_t>(static_cast<intptr_t>(-1));

// One iconv descriptor, opened on first use and closed with its owner. An
// iconv descriptor carries conversion state, so each thread owns its own.
class Converter {
 public:
  Converter(const char* to, const char* from) : to_(to), from_(from) {}
  ~Converter() {
    if (cd_ != kNoConverter) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // The descriptor in its initial state, or kNoConverter when the system
  // lacks the code page.
  iconv_t get() {
    if (!tried_) {
      tried_ = true;
      cd_ = iconv_open(to_, from_);
    }
    if (cd_ != kNoConverter) iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    return cd_;
  }

 private:
  const char* to_;
  const char* from_;
  iconv_t cd_ = kNoConverter;
  bool tried_ = false;
};

Converter& Encoder() {
  thread_local Converter c("CP932", "UTF-16LE");
  return c;
}

Converter& Decoder() {
  thread_local Converter c("UTF-16LE", "CP932");
  return c;
}

bool AllAscii(std::u16string_view s) {
  return std::all_of(s.begin(), s.end(), [](char16_t c) { return c < 0x80; });
}

bool AllAscii(std::span<const uint8_t> b) {
  return std::all_of(b.begin(), b.end(), [](uint8_t c) { return c < 0x80; });
}

// Length in UTF-16 units of the character starting at s[i].
size_t UnitLength(std::u16string_view s, size_t i) {
  if (s[i] >= 0xD800 && s[i] <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) return 2;
  return 1;
}

std::u16string Decode(std::span<const uint8_t> b) {
  if (AllAscii(b)) return std::u16string(b.begin(), b.end());
  std::u16string out;
  out.reserve(b.size());
  iconv_t cd = Decoder().get();
  if (cd == kNoConverter) {
    for (uint8_t c : b) out.push_back(c < 0x80 ? char16_t{c} : char16_t{0xFFFD});
    return out;
  }
  // A double-byte character never gives more than one UTF-16 unit.
  std::vector<char16_t> buf(b.size() + 1);
  char* in = const_cast<char*>(reinterpret_cast<const char*>(b.data()));
  size_t in_left = b.size();
  while (in_left > 0) {
    char* o = reinterpret_cast<char*>(buf.data());
    size_t o_left = buf.size() * sizeof(char16_t);
    const size_t r = iconv(cd, &in, &in_left, &o, &o_left);
    const size_t produced = (buf.size() * sizeof(char16_t) - o_left) / sizeof(char16_t);
    out.append(buf.data(), produced);
    if (r != static_cast<size_t>(-1)) break;
    if (errno == E2BIG) continue;
    // Invalid byte (EILSEQ) or a lead byte without its trail byte at the end
    // (EINVAL): replace one byte and go on.
    out.push_back(0xFFFD);
    ++in;
    --in_left;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
  }
  return out;
}

std::span<const uint8_t> Bytes(std::string_view b) {
  return {reinterpret_cast<const uint8_t*>(b.data()), b.size()};
}

}  // namespace

std::string StrToAnsi(std::u16string_view s) {
  if (AllAscii(s)) return std::string(s.begin(), s.end());
  std::string out;
  out.reserve(s.size() * 2);
  iconv_t cd = Encoder().get();
  if (cd == kNoConverter) {
    for (size_t i = 0; i < s.size(); i += UnitLength(s, i)) out.push_back(s[i] < 0x80 ? static_cast<char>(s[i]) : '?');
    return out;
  }
  // Convert as much as possible in one call; on an unmappable character emit
  // "?" and continue after it.
  std::vector<char> buf(s.size() * 2 + 8);
  size_t pos = 0;  // in UTF-16 units
  while (pos < s.size()) {
    char* in = const_cast<char*>(reinterpret_cast<const char*>(s.data() + pos));
    size_t in_left = (s.size() - pos) * sizeof(char16_t);
    char* o = buf.data();
    size_t o_left = buf.size();
    const size_t r = iconv(cd, &in, &in_left, &o, &o_left);
    out.append(buf.data(), buf.size() - o_left);
    pos = s.size() - in_left / sizeof(char16_t);
    if (r != static_cast<size_t>(-1)) break;
    if (errno == E2BIG) continue;
    // Unmappable character, unpaired surrogate or a high surrogate at the end.
    out.push_back('?');
    pos += UnitLength(s, pos);
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
  }
  return out;
}

std::u16string AnsiToStr(std::span<const uint8_t> b) {
  const auto z = std::find(b.begin(), b.end(), uint8_t{0});
  // A zero byte is never the trail byte of a pair in code page 932, so it
  // always decodes to U+0000: cutting the bytes there cuts the text there.
  return Decode(b.first(static_cast<size_t>(z - b.begin())));
}

std::u16string AnsiToStr(std::string_view b) { return AnsiToStr(Bytes(b)); }
std::u16string AnsiDecode(std::span<const uint8_t> b) { return Decode(b); }
std::u16string AnsiDecode(std::string_view b) { return Decode(Bytes(b)); }

int AnsiLen(std::u16string_view s) {
  const std::string a = StrToAnsi(s);
  return static_cast<int>(std::min(a.find('\0'), a.size()));
}

bool IsZenkaku(std::u16string_view s) { return StrToAnsi(s).size() == 2; }

double AnsiTextWidth(std::u16string_view s, double w, double sp) {
  const std::string a = StrToAnsi(s);
  double len = 0;
  for (size_t i = 0; i < a.size();) {
    const bool dbl = IsAnsiLeadByte(static_cast<uint8_t>(a[i]));
    len += dbl ? w : w / 2;
    i += dbl ? 2 : 1;
    if (i < a.size()) len += dbl ? sp : sp / 2;
  }
  return len;
}

}  // namespace zumen
