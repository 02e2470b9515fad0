// Reader of JWW drawings and JWS symbols: archive strings, entity records,
// the object stream with its class table and object counter, block
// definitions, the JWW and JWS headers and the JWW embedded-image section.
//
// Every read goes through ByteReader, so a file that announces more objects
// or bytes than it holds ends the read at its last byte; nothing is allocated
// for an announced count before the data is there.
#include <array>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string_view>

#include "common/bytes.h"
#include "common/cp932.h"
#include "common/files.h"
#include "common/memory.h"
#include "common/text.h"
#include "formats/jww/jws_data.h"
#include "formats/jww/jww_data.h"

namespace zumen {


namespace {

constexpr const char* kIoError = "File I/O Error";
constexpr const char* kTooLarge = "File too large";
// Class names of 2048 bytes or more do not occur in valid files.
constexpr uint16_t kMaxClassName = 2047;

// Archive string: a length byte, 255 meaning a u16 length follows. The u16
// 0xFFFE marks the wide form: a length in characters follows (a byte; 255: a
// u16; 0xFFFF: a u32) and that many UTF-16LE code units. The byte form is
// code page 932. Both are cut at the first NUL.
bool StrIn(ByteReader& r, std::u16string& s) {
  uint8_t b;
  if (!r.u8(b)) return false;
  if (b != 0xFF) {
    std::span<const uint8_t> v;
    if (!r.view(b, v)) return false;
    s = AnsiToStr(v);
    return true;
  }
  uint16_t w;
  if (!r.u16(w)) return false;
  if (w != 0xFFFE) {
    std::span<const uint8_t> v;
    if (!r.view(w, v)) return false;
    s = AnsiToStr(v);
    return true;
  }
  uint32_t n;
  if (!r.u8(b)) return false;
  n = b;
  if (b == 0xFF) {
    if (!r.u16(w)) return false;
    n = w;
    if (w == 0xFFFF && !r.u32(n)) return false;
  }
  std::span<const uint8_t> v;
  if (n > r.remaining() / 2 || !r.view(size_t{n} * 2, v)) return false;
  s.resize(n);
  std::memcpy(s.data(), v.data(), v.size());  // host is little-endian
  if (auto z = s.find(u'\0'); z != std::u16string::npos) s.resize(z);
  return true;
}

// Archive string without the characters below U+0020.
bool StrInClean(ByteReader& r, std::u16string& s) {
  if (!StrIn(r, s)) return false;
  s = DelCtrl(s);
  return true;
}

// A count of the archive: u16, 0xFFFF meaning a u32 follows.
bool CountIn(ByteReader& r, uint32_t& n) {
  uint16_t c;
  if (!r.u16(c)) return false;
  n = c;
  return c != 0xFFFF || r.u32(n);
}

int KindOfClassName(std::string_view name) {
  static constexpr std::array<std::string_view, 7> kNames = {
      "CDataSen", "CDataEnko", "CDataTen", "CDataMoji", "CDataSunpou", "CDataSolid", "CDataBlock"};
  for (size_t i = 0; i < kNames.size(); ++i)
    if (name == kNames[i]) return static_cast<int>(i) + 1;
  return 0;
}

// Where the objects of one list go: the drawing's own arrays or those of a
// block definition.
struct ListTarget {
  std::vector<TEntJwwNo>* no;
  std::vector<TEntJwwLine>* line;
  std::vector<TEntJwwEnko>* enko;
  std::vector<TEntJwwTen>* ten;
  std::vector<TEntJwwMoji>* moji;
  std::vector<TEntJwwSunpo>* sunpo;
  std::vector<TEntJwwSolid>* solid;
  std::vector<TEntJwwBlock>* block;
  bool in_def;  // points without marker get scale 0 inside definitions
};

// The object stream of one file: version rules, class table and the object
// counter shared by the entity list and all block definitions.
class ObjectStream {
 public:
  ObjectStream(ByteReader& r, int32_t version) : r_(r), ver_(version) {}

  // Reads objects until `count` have been counted. Answers an error message
  // or nullptr. `counted` and `dropped` grow as objects are met.
  const char* ReadList(int64_t count, const ListTarget& t, int64_t& counted, int64_t& dropped) {
    while (counted < count) {
      uint16_t tag;
      if (!r_.u16(tag)) return kIoError;
      int kind = 0;
      if (tag == 0xFFFF) {
        std::string name;
        if (!NewClass(name)) return kIoError;
        kind = KindOfClassName(name);
        if (kind == 0) return kIoError;
        class_index_[static_cast<size_t>(kind)] = counter_++;
      } else if (tag == 0x7FFF) {
        uint32_t v;
        if (!r_.u32(v)) return kIoError;
        kind = KindOfIndex(v & 0x7FFFFFFFu);
      } else if (tag & 0x8000) {
        kind = KindOfIndex(tag & 0x7FFFu);
      }
      if (kind == 0) continue;  // no class of this reader: next tag
      ++counter_;
      ++counted;
      if (!ReadObject(kind, t)) {
        // Only the end of the data cuts an object short: the object is
        // dropped but still counts, and the file is reported as cut, even
        // when this was its last object.
        ++dropped;
        return kIoError;
      }
    }
    return nullptr;
  }

  const char* ReadBlockDefs(TJwwBody& body, int32_t& n2) {
    uint32_t count;
    if (!CountIn(r_, count)) return kIoError;
    n2 = static_cast<int32_t>(count);
    for (uint32_t d = 1; d <= count && d != 0; ++d) {
      uint16_t tag;
      if (!r_.u16(tag)) return kIoError;
      if (tag == 0xFFFF) {
        std::string name;
        if (!NewClass(name)) return kIoError;
        ++counter_;
      } else if (tag == 0x7FFF) {
        uint32_t v;
        if (!r_.u32(v)) return kIoError;
      }
      TEntJwwBlockDef def;
      if (!Attr(def.att) || !r_.u32(def.nNumber) || !r_.u32(def.bRefferd) || !r_.u32(def.dtime)) return kIoError;
      if (def.dtime & 0x80000000u) {
        if (!r_.skip(8)) return kIoError;
        def.dtime = d;
      }
      if (!StrInClean(r_, def.strName)) return kIoError;
      if (!CountIn(r_, def.N)) return kIoError;
      ++counter_;
      body.EntBlockDef.push_back(std::move(def));
      TEntJwwBlockDef& bd = body.EntBlockDef.back();
      const ListTarget t{&bd.mNo,   &bd.mLine,  &bd.mEnko,  &bd.mTen, &bd.mMoji,
                         &bd.mSunpo, &bd.mSolid, &bd.mBlock, true};
      int64_t counted = 0;
      if (const char* e = ReadList(bd.N, t, counted, body.ObjectsDropped)) return e;
    }
    return nullptr;
  }

 private:
  // Schema number, name length and name of a new-class record.
  bool NewClass(std::string& name) {
    uint16_t schema, len;
    if (!r_.u16(schema) || !r_.u16(len) || len > kMaxClassName) return false;
    return r_.bytes(len, name);
  }

  int KindOfIndex(uint32_t index) const {
    if (index == 0) return 0;
    for (size_t k = 1; k < class_index_.size(); ++k)
      if (class_index_[k] == index) return static_cast<int>(k);
    return 0;
  }

  // 15 bytes, or 13 before version 351 (no pen width).
  bool Attr(TEntJwwAttr& a) {
    a.nPenWidth = 0;
    return r_.u32(a.lGroup) && r_.u8(a.nPenStyle) && r_.u16(a.nPenColor) && (ver_ < 351 || r_.u16(a.nPenWidth)) &&
           r_.u16(a.nLayer) && r_.u16(a.nGLayer) && r_.u16(a.sFlg);
  }
  bool F64(double& a, double& b) { return r_.f64(a) && r_.f64(b); }

  bool Line(TEntJwwLine& e) { return Attr(e.att) && F64(e.start_x, e.start_y) && F64(e.end_x, e.end_y); }

  bool Enko(TEntJwwEnko& e) {
    return Attr(e.att) && F64(e.start_x, e.start_y) && F64(e.dHankei, e.radKaishiKaku) &&
           F64(e.radEnkoKaku, e.radKatamukiKaku) && r_.f64(e.dHenpeiRitsu) && r_.u32(e.bZenEnFlg);
  }

  // The marker fields follow only for coded markers (pen style 100).
  bool Ten(TEntJwwTen& e, double default_scale) {
    if (!Attr(e.att) || !F64(e.start_x, e.start_y) || !r_.u32(e.bKariten)) return false;
    if (e.att.nPenStyle == 100) return r_.u32(e.nCode) && F64(e.radKaitenKaku, e.dBairitsu);
    e.nCode = 0;
    e.radKaitenKaku = 0;
    e.dBairitsu = default_scale;
    return true;
  }

  bool Moji(TEntJwwMoji& e) {
    return Attr(e.att) && F64(e.start_x, e.start_y) && F64(e.end_x, e.end_y) && r_.u32(e.nMojiShu) &&
           F64(e.dSizeX, e.dSizeY) && F64(e.dKankaku, e.degKakudo) && StrInClean(r_, e.strFontName) &&
           StrInClean(r_, e.str);
  }

  bool Sunpo(TEntJwwSunpo& e) {
    if (!Attr(e.att) || !Line(e.Sen) || !Moji(e.Moji)) return false;
    if (ver_ >= 420)
      return r_.u16(e.bSxfMode) && Line(e.Ho1) && Line(e.Ho2) && Ten(e.Te1, 0) && Ten(e.Te2, 0) && Ten(e.Kt1, 0) &&
             Ten(e.Kt2, 0);
    // Older dimensions carry no SXF parts: they take the dimension's own
    // attribute with zero coordinates; points get pen style 0.
    e.bSxfMode = 0;
    e.Ho1 = e.Ho2 = TEntJwwLine{e.att};
    TEntJwwTen t;
    t.att = e.att;
    t.att.nPenStyle = 0;
    e.Te1 = e.Te2 = e.Kt1 = e.Kt2 = t;
    return true;
  }

  bool Solid(TEntJwwSolid& e) {
    if (!Attr(e.att) || !F64(e.start_x, e.start_y) || !F64(e.end_x, e.end_y) || !F64(e.DPoint2_x, e.DPoint2_y) ||
        !F64(e.DPoint3_x, e.DPoint3_y))
      return false;
    e.Color = 0;
    return e.att.nPenColor != 10 || r_.u32(e.Color);
  }

  bool Block(TEntJwwBlock& e) {
    return Attr(e.att) && F64(e.DPKijunTen_x, e.DPKijunTen_y) && F64(e.dBairitsuX, e.dBairitsuY) &&
           r_.f64(e.radKaitenKaku) && r_.u32(e.nNumber);
  }

  template <typename T, typename F>
  bool Add(int kind, std::vector<T>& v, std::vector<TEntJwwNo>& no, F read) {
    T e{};
    if (!read(e)) return false;
    PushBackLarge(no, TEntJwwNo{kind, static_cast<int32_t>(v.size())});
    PushBackLarge(v, std::move(e));
    return true;
  }

  bool ReadObject(int kind, const ListTarget& t) {
    const double point_scale = t.in_def ? 0.0 : 1.0;
    switch (kind) {
      case kJwwLine: return Add(kind, *t.line, *t.no, [&](TEntJwwLine& e) { return Line(e); });
      case kJwwEnko: return Add(kind, *t.enko, *t.no, [&](TEntJwwEnko& e) { return Enko(e); });
      case kJwwTen: return Add(kind, *t.ten, *t.no, [&](TEntJwwTen& e) { return Ten(e, point_scale); });
      case kJwwMoji: return Add(kind, *t.moji, *t.no, [&](TEntJwwMoji& e) { return Moji(e); });
      case kJwwSunpo: return Add(kind, *t.sunpo, *t.no, [&](TEntJwwSunpo& e) { return Sunpo(e); });
      case kJwwSolid: return Add(kind, *t.solid, *t.no, [&](TEntJwwSolid& e) { return Solid(e); });
      case kJwwBlock: return Add(kind, *t.block, *t.no, [&](TEntJwwBlock& e) { return Block(e); });
      default: return false;
    }
  }

  ByteReader& r_;
  int32_t ver_;
  uint32_t counter_ = 1;
  std::array<uint32_t, 8> class_index_{};  // by kind; 0: class not met yet
};

// Steps shared by both readers after their header: the entity list and the
// block-definition list.
const char* ReadBody(ByteReader& r, int32_t version, TJwwBody& body, int32_t& n1, int32_t& n2) {
  uint32_t count;
  n2 = 0;
  if (!CountIn(r, count)) return kIoError;
  n1 = static_cast<int32_t>(count);
  ObjectStream os(r, version);
  const ListTarget t{&body.EntNo,  &body.EntLine,  &body.EntEnko,  &body.EntTen, &body.EntMoji,
                     &body.EntSunpo, &body.EntSolid, &body.EntBlock, false};
  if (const char* e = os.ReadList(n1, t, body.ObjectsRead, body.ObjectsDropped)) return e;
  return os.ReadBlockDefs(body, n2);
}

// Reads the fixed-size fields of a header; a short read anywhere fails the
// header at its end (ByteReader's failure flag is sticky).
struct HeaderFields {
  ByteReader& r;
  void operator()(int32_t& v) { r.i32(v); }
  void operator()(double& v) { r.f64(v); }
  template <typename... T>
  void all(T&... v) {
    ((*this)(v), ...);
  }
  void str(std::u16string& s) {
    if (!StrInClean(r, s)) r.seek(r.size() + 1);  // marks the failure
  }
};

// The first n bytes of a file (fewer when it is shorter).
bool ReadHead(const std::string& path, size_t n, std::vector<uint8_t>& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  out.resize(n);
  in.read(reinterpret_cast<char*>(out.data()), static_cast<std::streamsize>(n));
  out.resize(static_cast<size_t>(in.gcount()));
  return true;
}

// The whole file, refused above kJwwMaxFileSize.
const char* LoadFile(const std::string& path, std::vector<uint8_t>& out) {
  std::error_code ec;
  const auto size = std::filesystem::file_size(path, ec);
  if (!ec && size > kJwwMaxFileSize) return kTooLarge;
  return ReadFileBytes(path, kJwwMaxFileSize, out) ? nullptr : kIoError;
}

}  // namespace

// The reading frame of both formats: reset, header (whose failure ends the
// read at once, without a block tree), entity and block-definition lists, the
// format's own tail, and the block tree of whatever was read.
struct JwwReading {
  template <typename Data, typename Tail>
  static bool Read(Data& d, std::span<const uint8_t> data, Tail tail) {
    d.DataInit();
    ByteReader r(data);
    if (const char* e = d.ReadHeader(r)) {
      d.last_error_ = e;
      return false;
    }
    const char* e = ReadBody(r, d.Enthd.jwVer, d.Body, d.Enthd.n1, d.Enthd.n2);
    if (!e) e = tail(r);
    if (e) d.last_error_ = e;
    d.BytesRead = r.pos();
    d.MakeBlockTree();
    return e == nullptr;
  }

  template <typename Data>
  static bool ReadPath(Data& d, const std::string& path) {
    std::vector<uint8_t> bytes;
    if (const char* e = LoadFile(path, bytes)) {
      d.DataInit();
      d.last_error_ = e;
      return false;
    }
    return d.FileInBytes(bytes);
  }
};

// ---------------------------------------------------------------------------
// JWW

const char* TJwwData::ReadHeader(ByteReader& r) {
  TEntJwwHeader& h = Enthd;
  std::span<const uint8_t> sig;
  if (!r.view(8, sig)) return "JWW-Header Error";
  h.jwID = AnsiToStr(sig);
  if (h.jwID != u"JwwData.") return "JWW-Header Error";
  if (!r.i32(h.jwVer)) return kIoError;
  if (h.jwVer < 220 || h.jwVer > 700) return "JWW-Version Error";
  const int32_t v = h.jwVer;
  if (!StrIn(r, h.strMemo)) return kIoError;

  HeaderFields f{r};
  f.all(h.nZumen, h.nWriteGLay);
  for (int g = 0; g < 16; ++g) {
    auto& grp = EntLgrp[static_cast<size_t>(g)];
    f.all(grp.anGLay, grp.anWriteLay, grp.adScale, grp.anGLayProtect);
    for (int l = 0; l < 16; ++l) {
      auto& lay = EntLay[static_cast<size_t>(g * 16 + l)];
      f.all(lay.aanLay, lay.aanLayProtect);
    }
  }
  r.skip(56);
  f.all(h.lnSunpou1, h.lnSunpou2, h.lnSunpou3, h.lnSunpou4, h.lnSunpou5);
  r.skip(4);
  f.all(h.nMaxDrawWid);
  h.bSenHaba100 = false;
  h.nMaxDrawWidBak = h.nMaxDrawWid;
  if (h.nMaxDrawWid <= -101) {
    const int32_t w = h.nMaxDrawWid;
    h.bSenHaba100 = true;
    if (w >= -500 && w <= -401)
      h.nMaxDrawWidBak = 400 + w;  // 400 - |w|
    else if (w >= -300 && w <= -201)
      h.nMaxDrawWidBak = -w - 200;  // |w| - 200
    else
      h.nMaxDrawWidBak = -100;
  }
  f.all(h.DPPrtGenten_x, h.DPPrtGenten_y, h.dPrtBairitsu, h.nPrtSet, h.nMemoriMode);
  f.all(h.dMemoriHyoujiMin, h.dMemoriX, h.dMemoriY, h.DpMemoriKjTen_x, h.DpMemoriKjTen_y);
  for (auto& lay : EntLay) f.str(lay.aStrLayName);
  for (auto& grp : EntLgrp) f.str(grp.aStrGLayName);
  f.all(h.dKageLevel, h.dKageIdo, h.nKage9_15JiFlg, h.dKabeKageLevel);
  if (v >= 300) f.all(h.dTenkuuZuLevel, h.dTenkuuZuEnkoR);
  f.all(h.nMMTani3D);
  f.all(h.dBairitsu, h.DPGenten_x, h.DPGenten_y, h.dHanniBairitsu, h.DPHanniGenten_x, h.DPHanniGenten_y);
  if (v > 230) {
    for (int i = 1; i <= 8; ++i)
      f.all(h.dZoomJumpBairitsu[i], h.DPZoomJumpGenten_x[i], h.DPZoomJumpGenten_y[i], h.nZoomJumpGLay[i]);
    f.all(h.dDm11, h.dDm12, h.dDm13, h.lnDm1, h.dDm21, h.dDm22, h.dMojiBG, h.nMojiBG);
  } else {
    for (int i = 1; i <= 4; ++i) f.all(h.dZoomJumpBairitsu[i], h.DPZoomJumpGenten_x[i], h.DPZoomJumpGenten_y[i]);
  }
  for (auto& d : h.adFukusenSuuchi) f(d);
  f(h.dRyougawaFukusenTomeDe);
  for (auto& c : EntCol) f.all(c.aPenColor, c.anPenWidth);
  for (auto& c : EntCol) f.all(c.aPrtPenColor, c.anPrtPenWidth, c.adPrtTenHankei);
  for (auto& t : EntLtp1) f.all(t.alLType, t.anTokushuSenUintDot, t.anTokushuSenPich, t.anPrtTokushuSenPich);
  for (auto& t : EntLtp2)
    f.all(t.alLType, t.anRandSenWide, t.anTokushuSenPich, t.anPrtRandSenWide, t.anPrtTokushuSenPich);
  for (auto& t : EntLtp3) f.all(t.alLType, t.anTokushuSenUintDot, t.anTokushuSenPich, t.anPrtTokushuSenPich);
  f.all(h.nDrawGamenTen, h.nDrawPrtTen, h.nBitMapFirstDraw, h.nGyakuDraw, h.nGyakuSearch, h.nColorPrint,
        h.nLayJunPrint, h.nColJunPrint, h.nPrtRenzoku, h.nPrtKyoutsuuGray);
  int32_t p = 0;
  f(p);
  h.nPrtDpi = p / 10;
  h.nPrtDispOnlyNonDraw = p % 10;
  if (v >= 223)
    f.all(h.lnDrawTime, h.nEyeInit, h.dEye_H_Ichi_1, h.dEye_H_Ichi_2, h.dEye_H_Ichi_3, h.dEye_Z_Ichi_1,
          h.dEye_Y_Ichi_1, h.dEye_Z_Ichi_2, h.dEye_Y_Ichi_2, h.dEye_V_Ichi_3);
  if (v >= 225) f.all(h.dSenNagasaSnpou, h.dBoxSunpouX, h.dBoxSunpouY, h.dEnHankeiSnpou);
  if (v >= 230) f.all(h.nSolidNinniColor, h.SolidColor);
  if (v >= 420) {
    for (auto& c : EntColS) f.all(c.aPenColor, c.anPenWidth);
    for (auto& c : EntColS) {
      f.str(c.astrUDColorName);
      f.all(c.aPrtPenColor, c.anPrtPenWidth, c.adPrtTenHankei);
    }
    for (auto& t : EntLtpS) f.all(t.alLType, t.anTokushuSenUintDot, t.anTokushuSenPich, t.anPrtTokushuSenPich);
    for (auto& t : EntLtpS) {
      f.str(t.astrUDLTypeName);
      f(t.anUDLTypeSegment);
      for (int i = 1; i <= 10; ++i) f(t.aadUDLTypePitch[static_cast<size_t>(i)]);
    }
  }
  for (auto& m : EntMoj) f.all(m.adMojiX, m.adMojiY, m.adMojiD, m.anMojiCol);
  f.all(h.dMojiSizeX, h.dMojiSizeY, h.dMojiKankaku, h.nMojiColor, h.nMojiShu, h.dMojiSeiriGyouKan, h.dMojiSeiriSuu,
        h.nMojiKijunZureOn);
  f.all(h.adMojiKijunZureX0, h.adMojiKijunZureX1, h.adMojiKijunZureX2, h.adMojiKijunZureY0, h.adMojiKijunZureY1,
        h.adMojiKijunZureY2);
  return r.failed() ? kIoError : nullptr;
}

const char* TJwwData::ReadImages(ByteReader& r) {
  uint32_t n;
  if (!r.u32(n)) return kIoError;
  for (uint32_t i = 0; i < n; ++i) {
    TBindImageType img;
    uint32_t size;
    if (!StrInClean(r, img.Fname) || !r.u32(size)) return kIoError;
    img.Fsize = static_cast<int32_t>(size);
    std::span<const uint8_t> data;
    if (!img.Fname.empty() && size != 0 && !r.view(size, data)) return kIoError;
    if (BindImageExp) img.data.assign(data.begin(), data.end());
    BindImage.push_back(std::move(img));
  }
  return nullptr;
}

bool TJwwData::FileCheckBytes(std::span<const uint8_t> data) {
  ByteReader r(data);
  std::span<const uint8_t> sig;
  int32_t ver;
  return r.view(8, sig) && AnsiToStr(sig) == u"JwwData." && r.i32(ver) && ver >= 220 && ver <= 700;
}

bool TJwwData::FileCheck(const std::string& path) {
  std::vector<uint8_t> head;
  return ReadHead(path, 12, head) && FileCheckBytes(head);
}

bool TJwwData::FileInBytes(std::span<const uint8_t> data) {
  return JwwReading::Read(*this, data, [this](ByteReader& r) -> const char* {
    if (Enthd.jwVer < 700) return nullptr;
    BindImageInit();
    return BindImageExp || BindImageExr ? ReadImages(r) : nullptr;
  });
}

bool TJwwData::FileIn(const std::string& path) { return JwwReading::ReadPath(*this, path); }

// ---------------------------------------------------------------------------
// JWS

const char* TJwsData::ReadHeader(ByteReader& r) {
  TEntJwsHeader& h = Enthd;
  std::span<const uint8_t> sig;
  if (!r.view(7, sig)) return "JWS-Header Error";
  h.jwID = AnsiToStr(sig);
  if (h.jwID != u"JwsData") return "JWS-Header Error";
  if (!r.skip(193) || !r.i32(h.jwVer)) return kIoError;
  if (h.jwVer < 230 || h.jwVer > 700) return "JWS-Version Error";
  HeaderFields f{r};
  f.all(h.BasePoint_x, h.BasePoint_y);
  for (auto& g : EntLgrp) {
    f(g.adScale);
    g.anGLay = 2;
    g.anWriteLay = 0;
    g.anGLayProtect = 0;
    g.aStrGLayName.clear();
  }
  f.all(h.dmy01, h.dmy02, h.dmy03, h.dmy04, h.dmy05, h.dmy06);
  f.all(h.dmy11, h.dmy12, h.dmy13, h.dmy14, h.dmy15, h.dmy16);
  f.all(h.Mx1, h.My1, h.Mx2, h.My2);
  return r.failed() ? kIoError : nullptr;
}

bool TJwsData::FileCheckBytes(std::span<const uint8_t> data) {
  ByteReader r(data);
  std::span<const uint8_t> sig;
  int32_t ver;
  return r.view(7, sig) && AnsiToStr(sig) == u"JwsData" && r.skip(193) && r.i32(ver) && ver >= 230 && ver <= 700;
}

bool TJwsData::FileCheck(const std::string& path) {
  std::vector<uint8_t> head;
  return ReadHead(path, 204, head) && FileCheckBytes(head);
}

bool TJwsData::FileInBytes(std::span<const uint8_t> data) {
  // A symbol has no image section, whatever its version.
  return JwwReading::Read(*this, data, [](ByteReader&) -> const char* { return nullptr; });
}

bool TJwsData::FileIn(const std::string& path) { return JwwReading::ReadPath(*this, path); }

}  // namespace zumen
