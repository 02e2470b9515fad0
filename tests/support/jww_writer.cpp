#include "support/jww_writer.h"

#include <zlib.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <map>
#include <numbers>
#include <stdexcept>

#include "common/cp932.h"

namespace zumen {

namespace {

// Little-endian output with the archive's object counter and class table.
class Out {
 public:
  Out(int32_t version, JwwWriter::Strings strings, JwwWriter::Tags tags)
      : ver_(version), strings_(strings), tags_(tags) {}

  std::vector<uint8_t> buf;

  void u8(uint8_t v) { buf.push_back(v); }
  template <typename T>
  void put(T v) {
    const size_t at = buf.size();
    buf.resize(at + sizeof(T));
    std::memcpy(buf.data() + at, &v, sizeof(T));
  }
  void u16(uint16_t v) { put(v); }
  void u32(uint32_t v) { put(v); }
  void i32(int32_t v) { put(v); }
  void f64(double v) { put(v); }
  void bytes(std::span<const uint8_t> b) { buf.insert(buf.end(), b.begin(), b.end()); }
  void zeros(size_t n) { buf.resize(buf.size() + n, 0); }

  void count(uint32_t n) {
    if (n < 0xFFFF) {
      u16(static_cast<uint16_t>(n));
    } else {
      u16(0xFFFF);
      u32(n);
    }
  }

  void str(std::u16string_view s) {
    if (strings_ == JwwWriter::Strings::kWide) {
      u8(0xFF);
      u16(0xFFFE);
      const auto n = static_cast<uint32_t>(s.size());
      if (n < 0xFF) {
        u8(static_cast<uint8_t>(n));
      } else if (n < 0xFFFF) {
        u8(0xFF);
        u16(static_cast<uint16_t>(n));
      } else {
        u8(0xFF);
        u16(0xFFFF);
        u32(n);
      }
      for (char16_t c : s) u16(static_cast<uint16_t>(c));
      return;
    }
    std::string b = StrToAnsi(s);
    if (b.size() > 0xFFFD) b.resize(0xFFFD);  // 0xFFFE would mark the wide form
    if (b.size() < 0xFF) {
      u8(static_cast<uint8_t>(b.size()));
    } else {
      u8(0xFF);
      u16(static_cast<uint16_t>(b.size()));
    }
    bytes({reinterpret_cast<const uint8_t*>(b.data()), b.size()});
  }

  // Introduces an object of the class: a new-class record the first time,
  // a reference to its index afterwards. The object takes the next index.
  void tag(const std::string& name) {
    auto it = classes_.find(name);
    if (it == classes_.end()) {
      u16(0xFFFF);
      u16(0);  // schema
      u16(static_cast<uint16_t>(name.size()));
      bytes({reinterpret_cast<const uint8_t*>(name.data()), name.size()});
      classes_[name] = counter_++;
    } else if (tags_ == JwwWriter::Tags::kShort && it->second < 0x7FFF) {
      // The short form holds indices below 0x7FFF only (0x7FFF itself marks
      // the long form); a class first met later is always named in long form.
      u16(static_cast<uint16_t>(0x8000 | it->second));
    } else {
      u16(0x7FFF);
      u32(0x80000000u | it->second);
    }
    ++counter_;
  }

  void attr(const TEntJwwAttr& a) {
    u32(a.lGroup);
    u8(a.nPenStyle);
    u16(a.nPenColor);
    if (ver_ >= 351) u16(a.nPenWidth);
    u16(a.nLayer);
    u16(a.nGLayer);
    u16(a.sFlg);
  }
  void line(const TEntJwwLine& e) {
    attr(e.att);
    for (double d : {e.start_x, e.start_y, e.end_x, e.end_y}) f64(d);
  }
  void enko(const TEntJwwEnko& e) {
    attr(e.att);
    for (double d : {e.start_x, e.start_y, e.dHankei, e.radKaishiKaku, e.radEnkoKaku, e.radKatamukiKaku,
                     e.dHenpeiRitsu})
      f64(d);
    u32(e.bZenEnFlg);
  }
  void ten(const TEntJwwTen& e) {
    attr(e.att);
    f64(e.start_x);
    f64(e.start_y);
    u32(e.bKariten);
    if (e.att.nPenStyle == 100) {
      u32(e.nCode);
      f64(e.radKaitenKaku);
      f64(e.dBairitsu);
    }
  }
  void moji(const TEntJwwMoji& e) {
    attr(e.att);
    for (double d : {e.start_x, e.start_y, e.end_x, e.end_y}) f64(d);
    u32(e.nMojiShu);
    for (double d : {e.dSizeX, e.dSizeY, e.dKankaku, e.degKakudo}) f64(d);
    str(e.strFontName);
    str(e.str);
  }
  void sunpo(const TEntJwwSunpo& e) {
    attr(e.att);
    line(e.Sen);
    moji(e.Moji);
    if (ver_ < 420) return;
    u16(e.bSxfMode);
    line(e.Ho1);
    line(e.Ho2);
    for (const auto* t : {&e.Te1, &e.Te2, &e.Kt1, &e.Kt2}) ten(*t);
  }
  void solid(const TEntJwwSolid& e) {
    attr(e.att);
    for (double d : {e.start_x, e.start_y, e.end_x, e.end_y, e.DPoint2_x, e.DPoint2_y, e.DPoint3_x, e.DPoint3_y})
      f64(d);
    if (e.att.nPenColor == 10) u32(e.Color);
  }
  void block(const TEntJwwBlock& e) {
    attr(e.att);
    for (double d : {e.DPKijunTen_x, e.DPKijunTen_y, e.dBairitsuX, e.dBairitsuY, e.radKaitenKaku}) f64(d);
    u32(e.nNumber);
  }

  uint32_t counter_ = 1;

 private:
  int32_t ver_;
  JwwWriter::Strings strings_;
  JwwWriter::Tags tags_;
  std::map<std::string, uint32_t> classes_;
};

template <typename... T>
void I32s(Out& o, const T&... v) {
  (o.i32(v), ...);
}
template <typename... T>
void F64s(Out& o, const T&... v) {
  (o.f64(v), ...);
}

void WriteJwwHeader(Out& o, const TJwwData& d, int32_t v) {
  const TEntJwwHeader& h = d.Enthd;
  o.bytes({reinterpret_cast<const uint8_t*>("JwwData."), 8});
  o.i32(v);
  o.str(h.strMemo);
  I32s(o, h.nZumen, h.nWriteGLay);
  for (int g = 0; g < 16; ++g) {
    const auto& grp = d.EntLgrp[static_cast<size_t>(g)];
    I32s(o, grp.anGLay, grp.anWriteLay);
    o.f64(grp.adScale);
    o.i32(grp.anGLayProtect);
    for (int l = 0; l < 16; ++l) {
      const auto& lay = d.EntLay[static_cast<size_t>(g * 16 + l)];
      I32s(o, lay.aanLay, lay.aanLayProtect);
    }
  }
  o.zeros(56);
  I32s(o, h.lnSunpou1, h.lnSunpou2, h.lnSunpou3, h.lnSunpou4, h.lnSunpou5);
  o.zeros(4);
  o.i32(h.nMaxDrawWid);
  F64s(o, h.DPPrtGenten_x, h.DPPrtGenten_y, h.dPrtBairitsu);
  I32s(o, h.nPrtSet, h.nMemoriMode);
  F64s(o, h.dMemoriHyoujiMin, h.dMemoriX, h.dMemoriY, h.DpMemoriKjTen_x, h.DpMemoriKjTen_y);
  for (const auto& lay : d.EntLay) o.str(lay.aStrLayName);
  for (const auto& grp : d.EntLgrp) o.str(grp.aStrGLayName);
  F64s(o, h.dKageLevel, h.dKageIdo);
  o.i32(h.nKage9_15JiFlg);
  o.f64(h.dKabeKageLevel);
  if (v >= 300) F64s(o, h.dTenkuuZuLevel, h.dTenkuuZuEnkoR);
  o.i32(h.nMMTani3D);
  F64s(o, h.dBairitsu, h.DPGenten_x, h.DPGenten_y, h.dHanniBairitsu, h.DPHanniGenten_x, h.DPHanniGenten_y);
  if (v > 230) {
    for (int i = 1; i <= 8; ++i) {
      F64s(o, h.dZoomJumpBairitsu[i], h.DPZoomJumpGenten_x[i], h.DPZoomJumpGenten_y[i]);
      o.i32(h.nZoomJumpGLay[i]);
    }
    F64s(o, h.dDm11, h.dDm12, h.dDm13);
    o.i32(h.lnDm1);
    F64s(o, h.dDm21, h.dDm22, h.dMojiBG);
    o.i32(h.nMojiBG);
  } else {
    for (int i = 1; i <= 4; ++i) F64s(o, h.dZoomJumpBairitsu[i], h.DPZoomJumpGenten_x[i], h.DPZoomJumpGenten_y[i]);
  }
  for (double x : h.adFukusenSuuchi) o.f64(x);
  o.f64(h.dRyougawaFukusenTomeDe);
  for (const auto& c : d.EntCol) I32s(o, c.aPenColor, c.anPenWidth);
  for (const auto& c : d.EntCol) {
    I32s(o, c.aPrtPenColor, c.anPrtPenWidth);
    o.f64(c.adPrtTenHankei);
  }
  for (const auto& t : d.EntLtp1) I32s(o, t.alLType, t.anTokushuSenUintDot, t.anTokushuSenPich, t.anPrtTokushuSenPich);
  for (const auto& t : d.EntLtp2)
    I32s(o, t.alLType, t.anRandSenWide, t.anTokushuSenPich, t.anPrtRandSenWide, t.anPrtTokushuSenPich);
  for (const auto& t : d.EntLtp3) I32s(o, t.alLType, t.anTokushuSenUintDot, t.anTokushuSenPich, t.anPrtTokushuSenPich);
  I32s(o, h.nDrawGamenTen, h.nDrawPrtTen, h.nBitMapFirstDraw, h.nGyakuDraw, h.nGyakuSearch, h.nColorPrint,
       h.nLayJunPrint, h.nColJunPrint, h.nPrtRenzoku, h.nPrtKyoutsuuGray);
  o.i32(h.nPrtDpi * 10 + h.nPrtDispOnlyNonDraw);
  if (v >= 223) {
    I32s(o, h.lnDrawTime, h.nEyeInit, h.dEye_H_Ichi_1, h.dEye_H_Ichi_2, h.dEye_H_Ichi_3);
    F64s(o, h.dEye_Z_Ichi_1, h.dEye_Y_Ichi_1, h.dEye_Z_Ichi_2, h.dEye_Y_Ichi_2, h.dEye_V_Ichi_3);
  }
  if (v >= 225) F64s(o, h.dSenNagasaSnpou, h.dBoxSunpouX, h.dBoxSunpouY, h.dEnHankeiSnpou);
  if (v >= 230) I32s(o, h.nSolidNinniColor, h.SolidColor);
  if (v >= 420) {
    for (const auto& c : d.EntColS) I32s(o, c.aPenColor, c.anPenWidth);
    for (const auto& c : d.EntColS) {
      o.str(c.astrUDColorName);
      I32s(o, c.aPrtPenColor, c.anPrtPenWidth);
      o.f64(c.adPrtTenHankei);
    }
    for (const auto& t : d.EntLtpS)
      I32s(o, t.alLType, t.anTokushuSenUintDot, t.anTokushuSenPich, t.anPrtTokushuSenPich);
    for (const auto& t : d.EntLtpS) {
      o.str(t.astrUDLTypeName);
      o.i32(t.anUDLTypeSegment);
      for (int i = 1; i <= 10; ++i) o.f64(t.aadUDLTypePitch[static_cast<size_t>(i)]);
    }
  }
  for (const auto& m : d.EntMoj) {
    F64s(o, m.adMojiX, m.adMojiY, m.adMojiD);
    o.i32(m.anMojiCol);
  }
  F64s(o, h.dMojiSizeX, h.dMojiSizeY, h.dMojiKankaku);
  I32s(o, h.nMojiColor, h.nMojiShu);
  F64s(o, h.dMojiSeiriGyouKan, h.dMojiSeiriSuu);
  o.i32(h.nMojiKijunZureOn);
  F64s(o, h.adMojiKijunZureX0, h.adMojiKijunZureX1, h.adMojiKijunZureX2, h.adMojiKijunZureY0, h.adMojiKijunZureY1,
       h.adMojiKijunZureY2);
}

void WriteJwsHeader(Out& o, const JwwWriter& w) {
  const TEntJwsHeader& h = w.jws;
  o.bytes({reinterpret_cast<const uint8_t*>("JwsData"), 7});
  o.zeros(193);
  o.i32(w.version);
  F64s(o, h.BasePoint_x, h.BasePoint_y);
  for (const auto& g : w.head.EntLgrp) o.f64(g.adScale);
  I32s(o, h.dmy01, h.dmy02, h.dmy03, h.dmy04, h.dmy05, h.dmy06);
  F64s(o, h.dmy11, h.dmy12, h.dmy13, h.dmy14, h.dmy15, h.dmy16);
  F64s(o, h.Mx1, h.My1, h.Mx2, h.My2);
}

}  // namespace

JwwWriter::JwwWriter(int32_t v, Format f)
    : version(v), format(f), strings(v >= 700 ? Strings::kWide : Strings::kBytes) {
  att.nPenStyle = 1;
  att.nPenColor = 1;
  for (auto& g : head.EntLgrp) g.adScale = 1.0;
  head.Enthd.dBairitsu = 1.0;
}

JwwWriter& JwwWriter::Pen(uint16_t color, uint8_t style, uint16_t width) {
  att.nPenColor = color;
  att.nPenStyle = style;
  att.nPenWidth = width;
  return *this;
}

JwwWriter& JwwWriter::Layer(uint16_t group, uint16_t layer) {
  att.nGLayer = group;
  att.nLayer = layer;
  return *this;
}

JwwWriter& JwwWriter::Paper(int32_t code) {
  head.Enthd.nZumen = code;
  return *this;
}

std::vector<JwwWriter::Item>& JwwWriter::List() { return in_def_ ? defs_.back().items : items_; }

void JwwWriter::Line(double x1, double y1, double x2, double y2) { Put(TEntJwwLine{att, x1, y1, x2, y2}); }

void JwwWriter::Circle(double cx, double cy, double r) {
  TEntJwwEnko e{att, cx, cy, r, 0, 2 * std::numbers::pi, 0, 1.0, 1};
  Put(e);
}

void JwwWriter::Arc(double cx, double cy, double r, double start, double sweep, double flat, double tilt) {
  Put(TEntJwwEnko{att, cx, cy, r, start, sweep, tilt, flat, 0});
}

void JwwWriter::Point(double x, double y) {
  TEntJwwTen e;
  e.att = att;
  e.start_x = x;
  e.start_y = y;
  Put(e);
}

void JwwWriter::Marker(double x, double y, uint32_t code, double angle, double scale) {
  TEntJwwTen e{att, x, y, 0, code, angle, scale};
  e.att.nPenStyle = 100;
  Put(e);
}

void JwwWriter::Text(double x, double y, std::u16string_view s, double size, double angle_deg,
                     std::u16string_view font) {
  TEntJwwMoji e;
  e.att = att;
  e.start_x = x;
  e.start_y = y;
  const double len = size * static_cast<double>(s.size());
  e.end_x = x + len * std::cos(angle_deg * std::numbers::pi / 180);
  e.end_y = y + len * std::sin(angle_deg * std::numbers::pi / 180);
  e.dSizeX = e.dSizeY = size;
  e.degKakudo = angle_deg;
  e.strFontName = font;
  e.str = s;
  Put(e);
}

void JwwWriter::Dimension(double x1, double y1, double x2, double y2, std::u16string_view label) {
  TEntJwwSunpo e;
  e.att = att;
  e.Sen = TEntJwwLine{att, x1, y1, x2, y2};
  e.Moji.att = att;
  e.Moji.start_x = (x1 + x2) / 2;
  e.Moji.start_y = (y1 + y2) / 2;
  e.Moji.end_x = e.Moji.start_x + 2.5 * static_cast<double>(label.size());
  e.Moji.end_y = e.Moji.start_y;
  e.Moji.dSizeX = e.Moji.dSizeY = 2.5;
  e.Moji.strFontName = u"ＭＳ ゴシック";
  e.Moji.str = label;
  e.Ho1 = TEntJwwLine{att, x1, y1, x1, y1};
  e.Ho2 = TEntJwwLine{att, x2, y2, x2, y2};
  e.Te1 = TEntJwwTen{att, x1, y1};
  e.Te2 = TEntJwwTen{att, x2, y2};
  e.Kt1 = e.Te1;
  e.Kt2 = e.Te2;
  Put(e);
}

void JwwWriter::Solid(double x1, double y1, double x2, double y2, double x3, double y3, double x4, double y4) {
  Put(TEntJwwSolid{att, x1, y1, x2, y2, x3, y3, x4, y4, 0});
}

void JwwWriter::Insert(uint32_t number, double x, double y, double sx, double sy, double rot) {
  Put(TEntJwwBlock{att, x, y, sx, sy, rot, number});
}

void JwwWriter::Add(const TEntJwwLine& e) { Put(e); }
void JwwWriter::Add(const TEntJwwEnko& e) { Put(e); }
void JwwWriter::Add(const TEntJwwTen& e) { Put(e); }
void JwwWriter::Add(const TEntJwwMoji& e) { Put(e); }
void JwwWriter::Add(const TEntJwwSunpo& e) { Put(e); }
void JwwWriter::Add(const TEntJwwSolid& e) { Put(e); }
void JwwWriter::Add(const TEntJwwBlock& e) { Put(e); }
void JwwWriter::Raw(std::vector<uint8_t> bytes) { Put(RawBytes{std::move(bytes)}); }
void JwwWriter::RawObject(std::string class_name, std::vector<uint8_t> data) {
  Put(RawObj{std::move(class_name), std::move(data)});
}

void JwwWriter::BeginBlockDef(uint32_t number, std::u16string_view name, bool long_dtime) {
  if (in_def_) throw std::logic_error("block definitions do not nest");
  Def d;
  d.att = att;
  d.number = number;
  d.name = name;
  d.long_dtime = long_dtime;
  defs_.push_back(std::move(d));
  in_def_ = true;
}

void JwwWriter::EndBlockDef() { in_def_ = false; }

void JwwWriter::AnnounceMembers(uint32_t n) {
  if (!in_def_) throw std::logic_error("no open block definition");
  defs_.back().announce = n;
}

void JwwWriter::Image(std::u16string_view name, std::span<const uint8_t> data, bool gzip) {
  images_.push_back({std::u16string(name), gzip ? Gzip(data) : std::vector<uint8_t>(data.begin(), data.end())});
}

std::vector<uint8_t> JwwWriter::Gzip(std::span<const uint8_t> data) {
  z_stream zs{};
  if (deflateInit2(&zs, Z_BEST_COMPRESSION, Z_DEFLATED, 31, 8, Z_DEFAULT_STRATEGY) != Z_OK)
    throw std::runtime_error("deflateInit2");
  std::vector<uint8_t> out(deflateBound(&zs, static_cast<uLong>(data.size())) + 32);
  zs.next_in = const_cast<Bytef*>(data.data());
  zs.avail_in = static_cast<uInt>(data.size());
  zs.next_out = out.data();
  zs.avail_out = static_cast<uInt>(out.size());
  const int rc = deflate(&zs, Z_FINISH);
  out.resize(zs.total_out);
  deflateEnd(&zs);
  if (rc != Z_STREAM_END) throw std::runtime_error("deflate");
  return out;
}

std::vector<uint8_t> JwwWriter::Finish() const {
  Out o(version, strings, tags);
  if (format == Format::kJww)
    WriteJwwHeader(o, head, version);
  else
    WriteJwsHeader(o, *this);

  auto objects = [](const std::vector<Item>& items) {
    uint32_t n = 0;
    for (const auto& it : items)
      if (!std::holds_alternative<RawBytes>(it)) ++n;
    return n;
  };
  auto write_list = [&](const std::vector<Item>& items) {
    for (const auto& it : items) {
      std::visit(
          [&](const auto& e) {
            using T = std::decay_t<decltype(e)>;
            if constexpr (std::is_same_v<T, RawBytes>) {
              o.bytes(e.bytes);
            } else if constexpr (std::is_same_v<T, RawObj>) {
              o.u16(0xFFFF);
              o.u16(0);
              o.u16(static_cast<uint16_t>(e.name.size()));
              o.bytes({reinterpret_cast<const uint8_t*>(e.name.data()), e.name.size()});
              o.bytes(e.data);
              o.counter_ += 2;  // the class and the object
            } else if constexpr (std::is_same_v<T, TEntJwwLine>) {
              o.tag("CDataSen");
              o.line(e);
            } else if constexpr (std::is_same_v<T, TEntJwwEnko>) {
              o.tag("CDataEnko");
              o.enko(e);
            } else if constexpr (std::is_same_v<T, TEntJwwTen>) {
              o.tag("CDataTen");
              o.ten(e);
            } else if constexpr (std::is_same_v<T, TEntJwwMoji>) {
              o.tag("CDataMoji");
              o.moji(e);
            } else if constexpr (std::is_same_v<T, TEntJwwSunpo>) {
              o.tag("CDataSunpou");
              o.sunpo(e);
            } else if constexpr (std::is_same_v<T, TEntJwwSolid>) {
              o.tag("CDataSolid");
              o.solid(e);
            } else {
              o.tag("CDataBlock");
              o.block(e);
            }
          },
          it);
    }
  };

  o.count(announce_objects.value_or(objects(items_)));
  write_list(items_);
  o.count(announce_defs.value_or(static_cast<uint32_t>(defs_.size())));
  for (size_t i = 0; i < defs_.size(); ++i) {
    const Def& d = defs_[i];
    o.tag("CDataList");
    o.attr(d.att);
    o.u32(d.number);
    o.u32(0);  // bRefferd
    if (d.long_dtime) {
      o.u32(0x80000000u);
      o.zeros(8);
    } else {
      o.u32(static_cast<uint32_t>(i + 1));
    }
    o.str(d.name);
    o.count(d.announce.value_or(objects(d.items)));
    write_list(d.items);
  }
  if (format == Format::kJww && version >= 700) {
    o.u32(static_cast<uint32_t>(images_.size()));
    for (const auto& img : images_) {
      o.str(img.name);
      o.u32(static_cast<uint32_t>(img.data.size()));
      if (!img.name.empty()) o.bytes(img.data);
    }
  }
  return std::move(o.buf);
}

bool JwwWriter::Save(const std::string& path) const {
  const std::vector<uint8_t> b = Finish();
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
  return static_cast<bool>(f);
}

}  // namespace zumen
