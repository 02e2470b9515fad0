#include "support/jwc_writer.h"

#include <cstdio>
#include <cstring>

namespace zumen::test {

namespace {

struct Out {
  std::vector<uint8_t> b;
  void raw(const void* p, size_t n) {
    const auto* c = static_cast<const uint8_t*>(p);
    b.insert(b.end(), c, c + n);
  }
  void u8(uint8_t v) { b.push_back(v); }
  void u16(uint16_t v) { raw(&v, 2); }
  void i32(int32_t v) { raw(&v, 4); }
  void f32(float v) { raw(&v, 4); }
  // A fixed field of n bytes, zero padded.
  void field(const std::string& s, size_t n) {
    std::string t = s.substr(0, n);
    t.resize(n, '\0');
    raw(t.data(), n);
  }
};

// A 200-byte parameter block of `count` values.
std::string Block(const std::map<int, std::string>& values, int count) {
  std::string s;
  for (int i = 0; i < count; ++i) {
    if (i) s += ',';
    auto it = values.find(i);
    s += it == values.end() ? "0" : it->second;
  }
  return s;
}

void Line(Out& o, const JwcLineRec& e) {
  o.f32(e.x1), o.f32(e.y1), o.f32(e.x2), o.f32(e.y2);
  for (uint8_t v : {e.typ, e.col, e.lay, e.flg1, e.flg2, e.flg3}) o.u8(v);
}
void Arc(Out& o, const JwcArcRec& e) {
  o.f32(e.x), o.f32(e.y), o.f32(e.r), o.u16(e.h), o.i32(e.st), o.i32(e.et), o.i32(e.tt);
  for (uint8_t v : {e.typ, e.col, e.lay, e.flg1, e.flg2, e.flg3}) o.u8(v);
}
void Ten(Out& o, const JwcTenRec& e) {
  o.f32(e.x), o.f32(e.y);
  for (uint8_t v : {e.lay, e.col, e.flg1, e.flg2}) o.u8(v);
}
void Moji(Out& o, const JwcMojiRec& e) {
  o.f32(e.x1), o.f32(e.y1), o.f32(e.x2), o.f32(e.y2), o.u16(e.off), o.u16(e.seg);
  for (uint8_t v : {e.no, e.lay, e.flg1, e.flg2}) o.u8(v);
}

void Head(Out& o, const std::string& id, const std::string& c1, const std::string& c2) {
  o.field(id, 40);
  o.field(c1, 32);
  o.field(c2, 32);
  o.field("", 96);
}

}  // namespace

std::string JwcAddress(int32_t linear) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%04X:%04X", static_cast<unsigned>(linear / 16) & 0xFFFF,
                static_cast<unsigned>(linear % 16));
  return buf;
}

JwcFile::JwcFile() {
  groupScale.fill(1);
  gSrch.fill(1), gDisp.fill(1), lSrch.fill(1), lDisp.fill(1);
  static const int pens[] = {1, 1, 2, 2, 3, 3, 4, 4, 5, 5};
  static const int sizes[] = {20, 25, 30, 40, 50, 60, 70, 80, 90, 100};
  static const int dists[] = {0, 5, 5, 5, 10, 10, 10, 10, 10, 10};
  for (int i = 0; i < 10; ++i) {
    mjPen[i + 1] = static_cast<uint16_t>(pens[i]);
    mjWidth[i + 1] = mjHeight[i + 1] = static_cast<uint16_t>(sizes[i]);
    mjDist[i + 1] = static_cast<uint16_t>(dists[i]);
  }
}

JwcFile& JwcFile::Text(float x1, float y1, float x2, float y2, const std::string& bytes, uint8_t no,
                       uint8_t lay, uint8_t flg1) {
  const int32_t p = sBufAdr1 + static_cast<int32_t>(strArea.size());
  strArea += bytes;
  strArea += '\0';
  JwcMojiRec m{x1, y1, x2, y2, static_cast<uint16_t>(p % 16), static_cast<uint16_t>(p / 16), no, lay, flg1, 0};
  mojis.push_back(m);
  return *this;
}

std::vector<uint8_t> JwcFile::Build() const {
  Out o;
  Head(o, id, comment1, comment2);
  std::map<int, std::string> b1 = p1, b3 = p3;
  b1.try_emplace(0, std::to_string(lines.size()));
  b1.try_emplace(1, std::to_string(arcs.size()));
  b1.try_emplace(2, std::to_string(mojis.size()));
  b1.try_emplace(3, std::to_string(tens.size()));
  b1.try_emplace(4, std::to_string(vtenCount));
  b1.try_emplace(11, std::to_string(psize));
  b1.try_emplace(30, std::to_string(drawWidth));
  b3.try_emplace(0, JwcAddress(sBufAdr1));
  b3.try_emplace(1, JwcAddress(sBufAdr1 + static_cast<int32_t>(strArea.size())));
  o.field(Block(b1, 32), 200);
  o.field(Block(p2, 28), 200);
  o.field(Block(b3, 22), 200);
  for (float v : vx) o.f32(v);
  for (float v : vy) o.f32(v);
  for (uint8_t v : vlay) o.u8(v);
  for (const auto* col : {&mjPen, &mjWidth, &mjHeight, &mjDist})
    for (uint16_t v : *col) o.u16(v);
  const bool floats = id.size() >= 23 && id[22] == 'f';
  for (float v : groupScale) floats ? o.f32(v) : o.u16(static_cast<uint16_t>(v));
  o.raw(gSrch.data(), 16);
  o.raw(lSrch.data(), 256);
  o.raw(gDisp.data(), 16);
  o.raw(lDisp.data(), 256);
  o.raw(gWlay.data(), 16);
  for (const auto& e : lines) Line(o, e);
  for (const auto& e : arcs) Arc(o, e);
  for (const auto& e : mojis) Moji(o, e);
  o.raw(strArea.data(), strArea.size());
  for (const auto& e : tens) Ten(o, e);
  for (const auto& n : layerNames) o.field(n, 8);
  for (const auto& n : groupNames) o.field(n, 16);
  return o.b;
}

JwkFile& JwkFile::Text(float x1, float y1, float x2, float y2, const std::string& bytes, uint8_t no,
                       uint8_t lay, uint8_t flg1) {
  JwcMojiRec m{x1, y1, x2, y2, static_cast<uint16_t>(strArea.size()), 0, no, lay, flg1, 0};
  strArea += bytes;
  strArea += '\0';
  mojis.push_back(m);
  return *this;
}

std::vector<uint8_t> JwkFile::Build() const {
  Out o;
  Head(o, id, comment1, comment2);
  std::map<int, std::string> b = p;
  b.try_emplace(0, std::to_string(lines.size()));
  b.try_emplace(1, std::to_string(arcs.size()));
  b.try_emplace(2, std::to_string(tens.size()));
  b.try_emplace(3, std::to_string(mojis.size()));
  b.try_emplace(7, std::to_string(strArea.size()));
  b.try_emplace(8, scale);
  o.field(Block(b, 9), 200);
  for (const auto& e : lines) Line(o, e);
  for (const auto& e : arcs) Arc(o, e);
  for (const auto& e : tens) Ten(o, e);
  for (const auto& e : mojis) Moji(o, e);
  o.raw(strArea.data(), strArea.size());
  return o.b;
}

}  // namespace zumen::test
