#include "formats/jwc/codec.h"

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>

#include "common/cp932.h"
#include "common/text.h"
#include "common/values.h"

namespace zumen {

namespace {

int32_t LoadI32(std::span<const uint8_t> b, size_t at) {
  uint32_t v;
  std::memcpy(&v, b.subspan(at, sizeof v).data(), sizeof v);
  return static_cast<int32_t>(v);
}

// A double as binary32, saturating to infinity instead of overflowing.
float ToSingle(double v) {
  constexpr double kMax = std::numeric_limits<float>::max();
  if (v > kMax) return std::numeric_limits<float>::infinity();
  if (v < -kMax) return -std::numeric_limits<float>::infinity();
  return static_cast<float>(v);
}

}  // namespace

float JwcF32(std::span<const uint8_t> b, size_t at) {
  float v;
  std::memcpy(&v, b.subspan(at, sizeof v).data(), sizeof v);
  return v;
}

uint16_t JwcU16(std::span<const uint8_t> b, size_t at) {
  return static_cast<uint16_t>(b[at] | (b[at + 1] << 8));
}

bool JwcReadPrefix(const std::string& path, size_t n, std::vector<uint8_t>& out) {
  out.clear();
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return false;
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  out.resize(n);
  in.read(reinterpret_cast<char*>(out.data()), static_cast<std::streamsize>(n));
  out.resize(static_cast<size_t>(in.gcount()));
  return true;
}

size_t JwcReadBlock(ByteReader& rd, std::span<uint8_t> out) {
  const size_t n = std::min(out.size(), rd.remaining());
  std::span<const uint8_t> got;
  rd.view(n, got);
  std::copy(got.begin(), got.end(), out.begin());
  std::fill(out.begin() + static_cast<std::ptrdiff_t>(n), out.end(), uint8_t{0});
  return n;
}

std::u16string JwcDecode(std::span<const uint8_t> b) { return AnsiToStr(b); }

std::u16string JwcDecodeText(std::span<const uint8_t> b) { return DelCtrl(AnsiToStr(b)); }

bool JwcCheckId(std::span<const uint8_t> data, std::u16string_view id) {
  if (data.size() < 20) return false;
  return AnsiToStr(data.first(20)) == id;
}

std::vector<std::u16string> JwcSplitParams(std::span<const uint8_t> block, size_t n) {
  // The whole block is decoded (NULs included) and split at every comma;
  // each value then ends at its first NUL.
  const std::u16string text = AnsiDecode(block);
  std::vector<std::u16string> values;
  values.reserve(n);
  size_t start = 0;
  while (values.size() < n && start <= text.size()) {
    size_t end = text.find(u',', start);
    if (end == std::u16string::npos) end = text.size();
    std::u16string v = text.substr(start, end - start);
    const size_t nul = v.find(u'\0');
    if (nul != std::u16string::npos) v.resize(nul);
    values.push_back(std::move(v));
    if (end == text.size()) break;
    start = end + 1;
  }
  while (values.size() < n) values.push_back(u"0");
  return values;
}

float JwcParamFloat(const std::u16string& v) { return ToSingle(ValFloat(v)); }

int32_t JwcParamInt(const std::u16string& v) { return ValInt(v); }

int32_t JwcParamAddress(const std::u16string& v) {
  auto hex = [&](size_t from) {
    const std::u16string digits = from < v.size() ? v.substr(from, 4) : std::u16string();
    return ValInt(u"$" + digits);
  };
  // Four hexadecimal digits each fit in 16 bits, so the address fits in 21.
  return hex(0) * 16 + hex(5);
}

float JwcDataUnit(int32_t psize, int32_t drawWidth) {
  double longSide;
  switch (psize) {
    case 0: longSide = 1189; break;
    case 1: longSide = 841; break;
    case 2: longSide = 594; break;
    case 3: longSide = 420; break;
    case 4: longSide = 297; break;
    case 8: longSide = 1682; break;
    case 9: longSide = 2378; break;
    case 10: longSide = 3364; break;
    case 11: longSide = 4756; break;
    case 12: longSide = 10000; break;
    case 13: longSide = 50000; break;
    case 14: longSide = 100000; break;
    default: return 1;
  }
  if (drawWidth == 0) drawWidth = 518;
  return ToSingle(longSide / drawWidth);
}

TEntJwcLine JwcDecodeLine(std::span<const uint8_t> b, float unit) {
  TEntJwcLine e;
  e.x1 = JwcF32(b, 0) * unit;
  e.y1 = JwcF32(b, 4) * unit;
  e.x2 = JwcF32(b, 8) * unit;
  e.y2 = JwcF32(b, 12) * unit;
  e.typ = b[16];
  e.col = b[17];
  e.lay = b[18];
  e.flg1 = b[19];
  e.flg2 = b[20];
  e.flg3 = b[21];
  return e;
}

TEntJwcArc2 JwcDecodeArc(std::span<const uint8_t> b, float unit) {
  TEntJwcArc2 e;
  e.x = JwcF32(b, 0) * unit;
  e.y = JwcF32(b, 4) * unit;
  e.r = JwcF32(b, 8) * unit;
  e.h = static_cast<float>(JwcU16(b, 12) / 10000.0);
  e.st = static_cast<float>(LoadI32(b, 14) / 65536.0);
  e.et = static_cast<float>(LoadI32(b, 18) / 65536.0);
  e.tt = static_cast<float>(LoadI32(b, 22) / 65536.0);
  e.typ = b[26];
  e.col = b[27];
  e.lay = b[28];
  e.flg1 = b[29];
  e.flg2 = b[30];
  e.flg3 = b[31];
  return e;
}

TEntJwcTen JwcDecodeTen(std::span<const uint8_t> b, float unit) {
  TEntJwcTen e;
  e.x = JwcF32(b, 0) * unit;
  e.y = JwcF32(b, 4) * unit;
  e.lay = b[8];
  e.col = b[9];
  e.flg1 = b[10];
  e.flg2 = b[11];
  return e;
}

TEntJwcMoji2 JwcDecodeMoji(std::span<const uint8_t> b, float unit, bool segmented) {
  TEntJwcMoji2 e;
  e.x1 = JwcF32(b, 0) * unit;
  e.y1 = JwcF32(b, 4) * unit;
  e.x2 = JwcF32(b, 8) * unit;
  e.y2 = JwcF32(b, 12) * unit;
  e.p = JwcU16(b, 16);
  if (segmented) e.p += JwcU16(b, 18) * 16;
  e.no = b[20];
  e.lay = b[21];
  e.flg1 = b[22];
  e.flg2 = b[23];
  return e;
}

bool JwcReadIdBlock(ByteReader& rd, std::u16string& jwID, std::u16string& comment1, std::u16string& comment2) {
  std::array<uint8_t, 200> block{};
  if (JwcReadBlock(rd, block) == 0) return false;
  const std::span<const uint8_t> b(block);
  jwID = JwcDecode(b.subspan(0, 40));
  comment1 = JwcDecode(b.subspan(40, 32));
  comment2 = JwcDecode(b.subspan(72, 32));
  return true;
}

bool JwcStringArea::Read(ByteReader& rd, size_t n) {
  buf_.clear();
  const size_t got = std::min(n, rd.remaining());
  if (got == 0) return false;
  std::span<const uint8_t> v;
  rd.view(got, v);
  buf_.reserve(got + 1);
  buf_.assign(v.begin(), v.end());
  buf_.push_back(0);
  return true;
}

std::u16string JwcStringArea::TextAt(int64_t offset) const {
  if (offset < 0 || static_cast<uint64_t>(offset) >= size()) return {};
  // The NUL appended after the area ends every text.
  const auto from = buf_.begin() + static_cast<std::ptrdiff_t>(offset);
  const auto to = std::find(from, buf_.end(), uint8_t{0});
  return JwcDecodeText(std::span<const uint8_t>(&*from, static_cast<size_t>(to - from)));
}

}  // namespace zumen
