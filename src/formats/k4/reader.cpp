// The K4 chunk reader: header chunks, then object chunks, each object appended
// to the array of its kind and indexed in file order with its group.
//
// Every chunk is read from its own payload only: a record whose payload is
// shorter keeps its defaults for the missing fields, a payload longer than its
// record is cut, and variable blocks (texts, points, image bytes) never reach
// past the payload. A chunk with a negative size ends the walk.
#include <algorithm>
#include <cstring>
#include <fstream>
#include <new>

#include "common/bytes.h"
#include "common/files.h"
#include "common/cp932.h"
#include "formats/k4/k4data.h"

namespace zumen {

namespace {

constexpr int32_t kGrow = 100;

// Reads fields from one payload in order. After the first short read nothing
// more is read, so the fields that did not fit keep their previous values.
class Fields {
 public:
  explicit Fields(std::span<const uint8_t> p) : r_(p) {}

  size_t remaining() const { return r_.failed() ? 0 : r_.remaining(); }
  size_t pos() const { return r_.pos(); }

  template <typename T>
  void num(T& v) {
    if (r_.failed()) return;
    T t{};
    if (get(t)) v = t;
  }
  void skip(size_t n) {
    if (!r_.failed()) r_.skip(n);
  }
  // A fixed text field of n bytes.
  void text(size_t n, std::u16string& s) {
    std::span<const uint8_t> b;
    if (!r_.failed() && r_.view(n, b)) s = AnsiToStr(b);
  }
  // At most n bytes (n from a formula over the chunk size), cut at the payload.
  std::span<const uint8_t> block(int64_t n) {
    std::span<const uint8_t> b;
    if (r_.failed() || n <= 0) return b;
    const size_t k = std::min<size_t>(static_cast<size_t>(n), r_.remaining());
    r_.view(k, b);
    return b;
  }
  template <size_t N>
  void raw(std::array<uint8_t, N>& a) {
    std::span<const uint8_t> b;
    if (!r_.failed() && r_.view(N, b)) std::memcpy(a.data(), b.data(), N);
  }
  void point(TDPoint& p) {
    num(p.X);
    num(p.Y);
  }

 private:
  template <typename T>
  bool get(T& t) {
    if constexpr (std::is_same_v<T, uint8_t>) return r_.u8(t);
    else if constexpr (std::is_same_v<T, uint16_t>) return r_.u16(t);
    else if constexpr (std::is_same_v<T, int16_t>) return r_.i16(t);
    else if constexpr (std::is_same_v<T, uint32_t>) return r_.u32(t);
    else if constexpr (std::is_same_v<T, int32_t>) return r_.i32(t);
    else return r_.f64(t);
  }
  ByteReader r_;
};

// Copies the first bytes of the payload over a record whose every field is
// bytes or int32 (its memory image is its file image).
template <typename T>
void Overlay(T& rec, std::span<const uint8_t> p) {
  static_assert(std::is_trivially_copyable_v<T>);
  std::memcpy(&rec, p.data(), std::min(p.size(), sizeof(T)));
}

// Appends a zeroed entry to a growable array: the array grows by 100 entries
// when the count reaches 1, 101, 201, ...
template <typename T>
T& Append(std::vector<T>& a, int32_t& n) {
  ++n;
  if (n % kGrow == 1 || static_cast<size_t>(n) > a.size()) a.resize(static_cast<size_t>(n) + kGrow - 1);
  return a[static_cast<size_t>(n) - 1];
}

// Appends an entry, fills it with `read` and answers its index.
template <typename T, typename F>
int32_t Add(std::vector<T>& a, int32_t& n, F&& read) {
  read(Append(a, n));
  return n - 1;
}

void ReadHead(Fields& f, TK4ObjectHeader& h) {
  f.num(h.id);
  f.num(h.cotype);
  f.num(h.attr);
  f.num(h.color);
}

void ReadTextStyle(Fields& f, TK4TextStyle& s) {
  f.text(17, s.style);
  f.text(33, s.font);
  f.num(s.hight);
  f.num(s.width);
  f.num(s.spce);
  f.point(s.ofset);
  f.num(s.penno);
  f.num(s.txattr);
  f.num(s.lfCharSet);
  f.num(s.lfPitchAndFamily);
  f.skip(12);
  f.num(s.count);
}

void ReadSymbolBody(Fields& f, TK4SymbolBody& s) {
  f.point(s.pos);
  f.num(s.len);
  f.point(s.o);
  f.num(s.r[0]);
  f.num(s.r[1]);
  f.num(s.elipang);
  f.num(s.angle);
  f.num(s.style);
  f.num(s.extype);
  f.num(s.exattr);
  f.num(s.param[0]);
  f.num(s.param[1]);
}

void ReadEdge(Fields& f, TK4ObjectEdge& e) {
  for (auto& m : e.mark) {
    f.skip(40);
    ReadSymbolBody(f, m);
  }
}

// `cnt` points; a count of 0 or less is stored as one point. Only the points
// that the payload carries are kept.
void ReadPoints(Fields& f, int16_t& cnt, std::vector<TDPoint>& pts) {
  if (cnt <= 0) cnt = 1;
  const size_t n = std::min<size_t>(static_cast<size_t>(cnt), f.remaining() / 16);
  pts.resize(n);
  for (auto& p : pts) f.point(p);
  if (pts.empty() && cnt == 1) pts.resize(1);
}

void ReadLine(Fields& f, TK4ObjectLine& o) {
  ReadHead(f, o.head);
  f.point(o.p1);
  f.point(o.p2);
}
void ReadCircle(Fields& f, TK4ObjectCircle& o) {
  ReadHead(f, o.head);
  f.point(o.pos);
  f.num(o.r);
  f.num(o.arc[0]);
  f.num(o.arc[1]);
}
void ReadEllipse(Fields& f, TK4ObjectEllipse& o) {
  ReadHead(f, o.head);
  f.point(o.pos);
  f.num(o.r[0]);
  f.num(o.r[1]);
  f.num(o.arc[0]);
  f.num(o.arc[1]);
  f.num(o.angle);
}
void ReadText(Fields& f, TK4ObjectText& o, int64_t textLen) {
  ReadHead(f, o.head);
  f.point(o.pos);
  f.num(o.angle);
  f.num(o.style);
  f.num(o.base);
  f.num(o.lout);
  o.text = AnsiToStr(f.block(textLen));
}
void ReadBezier(Fields& f, TK4ObjectBezier& o) {
  ReadHead(f, o.head);
  f.num(o.typ);
  f.num(o.cnt);
  ReadPoints(f, o.cnt, o.pt);
}
void ReadPolygon(Fields& f, TK4ObjectPolygon& o) {
  ReadHead(f, o.head);
  f.num(o.ptn);
  f.num(o.cnt);
  ReadPoints(f, o.cnt, o.pt);
}
void ReadBitmap(Fields& f, TK4ObjectBitmap& o) {
  ReadHead(f, o.head);
  f.num(o.byt);
  f.num(o.typ);
  for (auto& p : o.pos) f.point(p);
  auto b = f.block(o.byt);
  o.bmp.assign(b.begin(), b.end());
}
// The group's own fields; the name takes `nameLen` bytes.
void ReadGroup(Fields& f, TK4ObjectGroup& o, int64_t nameLen) {
  ReadHead(f, o.head);
  f.raw(o.pos);
  f.num(o.cnt);
  o.gname = AnsiToStr(f.block(nameLen));
}

}  // namespace

// ---- lifecycle -----------------------------------------------------------

TK4Data::TK4Data() { DataInit(); }

void TK4Data::DataInit() {
  Title.clear();
  li = TK4LayerInfo{};
  psz = TK4PaperSize{};
  ai = TK4AxisInfo{};
  gi = TK4GridInfo{};
  txtstl.fill(TK4TextStyle{});
  dimstl.fill(TK4DimStyle{});
  dimstlex.fill(0);
  for (size_t i = 0; i < 3; ++i) {
    const double one = 1.0;
    std::memcpy(dimstlex.data() + i * 78, &one, sizeof one);
  }
  symstl = TK4SymbolStyle{};
  prnstl = TK4PrintStyle{};
  prnstl.width.fill(1);
  pri = TK4PrintInfo{};
  coltbl.fill(0);
  viewinfo.fill(TK4ViewInfo{});
  EntN = 0;
  Ent.clear();
  ptN = lnN = lnxN = crN = crxN = epN = epxN = txN = txxN = bzN = bzxN = plN = plxN = 0;
  pgN = pggN = pgmN = bmN = bmxN = syN = grN = grdimN = grqleN = grbarN = 0;
  pt.clear(); ln.clear(); lnx.clear(); cr.clear(); crx.clear(); ep.clear(); epx.clear();
  tx.clear(); txx.clear(); bz.clear(); bzx.clear(); pl.clear(); plx.clear(); pg.clear();
  pgg.clear(); pgm.clear(); bm.clear(); bmx.clear(); sy.clear(); gr.clear(); grdim.clear();
  grqle.clear(); grbar.clear();
  CurGrpId = CurGrpEn = CurGrpN = CurGrpNo = 0;
}

void TK4Data::DataFree() {
  // Release the memory of the arrays, not only their contents.
  TK4Data empty;
  std::swap(Ent, empty.Ent);
  std::swap(pt, empty.pt); std::swap(ln, empty.ln); std::swap(lnx, empty.lnx);
  std::swap(cr, empty.cr); std::swap(crx, empty.crx); std::swap(ep, empty.ep);
  std::swap(epx, empty.epx); std::swap(tx, empty.tx); std::swap(txx, empty.txx);
  std::swap(bz, empty.bz); std::swap(bzx, empty.bzx); std::swap(pl, empty.pl);
  std::swap(plx, empty.plx); std::swap(pg, empty.pg); std::swap(pgg, empty.pgg);
  std::swap(pgm, empty.pgm); std::swap(bm, empty.bm); std::swap(bmx, empty.bmx);
  std::swap(sy, empty.sy); std::swap(gr, empty.gr); std::swap(grdim, empty.grdim);
  std::swap(grqle, empty.grqle); std::swap(grbar, empty.grbar);
  DataInit();
}

double TK4SymbolStyle::PointDiameter() const {
  double d;
  std::memcpy(&d, form[1].data(), sizeof d);
  return d;
}

int32_t TK4SymbolStyle::PointColorNo() const {
  int32_t c;
  std::memcpy(&c, form[1].data() + 16, sizeof c);
  return c;
}

std::vector<std::pair<const char*, int32_t>> TK4Data::KindCounts() const {
  return {{"point", ptN},         {"line", lnN},
          {"line-ex", lnxN},      {"circle", crN},
          {"circle-ex", crxN},    {"ellipse", epN},
          {"ellipse-ex", epxN},   {"text", txN},
          {"text-ex", txxN},      {"polyline", plN},
          {"polyline-ex", plxN},  {"bezier", bzN},
          {"bezier-ex", bzxN},    {"polygon", pgN},
          {"polygon-grad", pggN}, {"polygon-mapping", pgmN},
          {"bitmap", bmN},        {"bitmap-ex", bmxN},
          {"symbol", syN},        {"group", grN},
          {"group-dim", grdimN},  {"group-anno", grqleN},
          {"group-balloon", grbarN}};
}

// ---- files ---------------------------------------------------------------

namespace {

// Reads at most `limit` bytes of a file; false when it cannot be opened.
// The first `limit` bytes of a file (all of it when shorter).
bool ReadFilePrefix(const std::filesystem::path& name, std::vector<uint8_t>& out, size_t limit) {
  std::ifstream f(name, std::ios::binary);
  if (!f) return false;
  std::error_code ec;
  const auto size = std::filesystem::file_size(name, ec);
  if (ec) return false;
  out.resize(static_cast<size_t>(std::min<uintmax_t>(size, limit)));
  f.read(reinterpret_cast<char*>(out.data()), static_cast<std::streamsize>(out.size()));
  out.resize(static_cast<size_t>(f.gcount()));
  return true;
}

}  // namespace

// Largest drawing file read.
constexpr size_t kK4MaxFileSize = size_t{1} << 30;

bool TK4Data::ChunkHeadIn(ByteReader& r, ChunkHead& h) {
  ChunkHead t;
  if (!r.i16(t.tag) || !r.i16(t.version) || !r.i32(t.size)) return false;
  h = t;
  return true;
}

bool TK4Data::FileCheck(const std::filesystem::path& FName) {
  std::vector<uint8_t> data;
  try {
    if (!ReadFilePrefix(FName, data, 8 + 256)) return false;
  } catch (...) {
    return false;
  }
  return FileCheckBytes(data, &Title);
}

bool TK4Data::FileCheckBytes(std::span<const uint8_t> data, std::u16string* title) {
  ByteReader r(data);
  ChunkHead h;
  if (!ChunkHeadIn(r, h)) return false;
  if (h.tag != 1000 || h.version != 10 || h.size < 0 || h.size > 256) return false;
  std::span<const uint8_t> t;
  if (!r.view(static_cast<size_t>(h.size), t)) return false;
  if (title) *title = AnsiToStr(t);
  return true;
}

// Reads the whole file into data; false with LastError_ set when it cannot.
bool TK4Data::ReadWholeFile(const std::filesystem::path& FName, std::vector<uint8_t>& data) {
  LastError_.clear();
  try {
    std::string why;
    if (zumen::ReadFileBytes(FName.string(), kK4MaxFileSize, data, &why)) return true;
    LastError_ = why.rfind("file too large", 0) == 0 ? "File too large" : "File I/O Error";
  } catch (const std::bad_alloc&) {
    LastError_ = "File I/O Error";
  }
  return false;
}

bool TK4Data::FileHeaderIn(const std::filesystem::path& FName) {
  std::vector<uint8_t> data;
  if (!ReadWholeFile(FName, data)) return false;
  try {
    ByteReader r(data);
    size_t objStart = 0;
    return HeaderIn(r, objStart);
  } catch (const std::bad_alloc&) {
    LastError_ = "File I/O Error";
    return false;
  }
}

bool TK4Data::FileIn(const std::filesystem::path& FName) {
  std::vector<uint8_t> data;
  if (!ReadWholeFile(FName, data)) return false;
  return MemIn(data);
}

bool TK4Data::MemIn(std::span<const uint8_t> data) {
  LastError_.clear();
  try {
    ByteReader r(data);
    size_t objStart = 0;
    bool result = HeaderIn(r, objStart);
    // Objects are read only when something follows the head of the first
    // object chunk: an object chunk whose head ends the file is not read.
    if (result && objStart < data.size() && data.size() - objStart > 8) result = ObjectsIn(r, objStart);
    return result;
  } catch (const std::bad_alloc&) {
    LastError_ = "File I/O Error";
    return false;
  }
}

// ---- chunk walks ---------------------------------------------------------

bool TK4Data::HeaderIn(ByteReader& r, size_t& objStart) {
  objStart = SIZE_MAX;
  bool result = false;
  uint64_t pos = r.pos();
  while (pos < r.size()) {
    r.seek(static_cast<size_t>(pos));
    ChunkHead h;
    if (!ChunkHeadIn(r, h)) break;  // fewer than 8 bytes left: no further chunk
    if (h.size < 0) {
      LastError_ = "Chunk Size Error";
      return false;
    }
    const size_t start = r.pos();
    std::span<const uint8_t> payload;
    r.view(std::min<size_t>(static_cast<size_t>(h.size), r.remaining()), payload);
    pos = pos + 8 + static_cast<uint64_t>(h.size);
    bool known = false;
    const bool ok = HeaderChunk(h, payload, known);
    if (known) result = ok;
    if (h.tag >= 2000) {
      objStart = start - 8;
      break;
    }
    if (!result) break;
  }
  if (!result && LastError_.empty()) LastError_ = "File Header Error";
  return result;
}

bool TK4Data::ObjectsIn(ByteReader& r, size_t start) {
  bool result = false;
  uint64_t pos = start;
  while (pos < r.size()) {
    r.seek(static_cast<size_t>(pos));
    ChunkHead h;
    if (!ChunkHeadIn(r, h)) break;
    if (h.size < 0) {
      LastError_ = "Chunk Size Error";
      return false;
    }
    std::span<const uint8_t> payload;
    r.view(std::min<size_t>(static_cast<size_t>(h.size), r.remaining()), payload);
    pos = pos + 8 + static_cast<uint64_t>(h.size);
    bool known = false;
    const bool ok = ObjectChunk(h, payload, known);
    if (known) result = ok;
    if (!result) break;
  }
  if (!result && LastError_.empty()) LastError_ = "Object Error";
  return result;
}

bool TK4Data::HeaderChunk(const ChunkHead& h, std::span<const uint8_t> p, bool& known) {
  known = true;
  Fields f(p);
  switch (h.tag * 100 + h.version) {
    case 100010:
      Title = AnsiToStr(p);
      return true;
    case 101020:
      f.num(li.current);
      for (auto& g : li.grp) {
        f.num(g.state);
        f.num(g.current);
        f.text(17, g.text);
        f.num(g.scale);
        f.skip(128);
        for (auto& l : g.tab) {
          f.num(l.state);
          f.num(l.attr);
          f.num(l.color);
          f.num(l.reserved);
          f.text(257, l.text);
          f.text(17, l.module);
          f.num(l.comid);
          f.skip(32);
        }
      }
      return true;
    case 102020:
      f.num(psz.typ);
      f.num(psz.lout);
      for (auto& q : psz.size) f.point(q);
      return true;
    case 103010:
      f.num(ai.mode);
      f.num(ai.angle);
      return true;
    case 104010:
      f.point(gi.org);
      f.point(gi.spc);
      f.num(gi.dv.X);
      f.num(gi.dv.Y);
      for (int32_t* v : {&gi.disp, &gi.snapmain, &gi.snapsub, &gi.typ, &gi.angle, &gi.ind, &gi.abs, &gi.top}) f.num(*v);
      f.raw(gi.reserved);
      return true;
    case 105030:
      for (auto& s : txtstl) ReadTextStyle(f, s);
      return true;
    case 106030:
      for (auto& s : dimstl) {
        f.text(16, s.style);
        f.num(s.txtstlno);
        f.num(s.dlen);
        f.num(s.xlen);
        f.num(s.tlen);
        f.num(s.pen);
        f.num(s.term);
        f.skip(3);
        f.num(s.elen);
        f.skip(16);
      }
      return true;
    case 106040:
      Overlay(dimstlex, p);
      return true;
    case 107020:
      Overlay(symstl, p);
      return true;
    case 108020:
      Overlay(prnstl, p);
      return true;
    case 108510:
      f.num(pri.ind);
      f.num(pri.base);
      f.num(pri.area);
      f.num(pri.dmmy);
      f.point(pri.pos);
      f.raw(pri.reserved);
      return true;
    case 109020:
      Overlay(coltbl, p);
      return true;
    case 110020:
      for (auto& v : viewinfo) {
        f.text(17, v.name);
        f.num(v.zoom);
        f.num(v.ofset.X);
        f.num(v.ofset.Y);
        f.num(v.color);
        f.num(v.penno);
        f.num(v.ltype);
        f.raw(v.grp);
        f.skip(8);
      }
      return true;
    default:
      known = false;
      return false;
  }
}

bool TK4Data::ObjectChunk(const ChunkHead& h, std::span<const uint8_t> p, bool& known) {
  known = true;
  Fields f(p);
  const int64_t size = h.size;
  // The payload's rest after `used` bytes, as the chunk size gives it.
  const auto rest = [&](int64_t used) { return size - used; };
  int32_t index = 0;
  switch (h.tag * 100 + h.version) {
    case kK4Point:
      index = Add(pt, ptN, [&](auto& o) {
        ReadHead(f, o.head);
        f.point(o.pos);
      });
      break;
    case kK4Line: index = Add(ln, lnN, [&](auto& o) { ReadLine(f, o); }); break;
    case kK4LineEx: index = Add(lnx, lnxN, [&](auto& o) { ReadLine(f, o), ReadEdge(f, o.edge); }); break;
    case kK4Circle: index = Add(cr, crN, [&](auto& o) { ReadCircle(f, o); }); break;
    case kK4CircleEx: index = Add(crx, crxN, [&](auto& o) { ReadCircle(f, o), ReadEdge(f, o.edge); }); break;
    case kK4Ellipse: index = Add(ep, epN, [&](auto& o) { ReadEllipse(f, o); }); break;
    case kK4EllipseEx: index = Add(epx, epxN, [&](auto& o) { ReadEllipse(f, o), ReadEdge(f, o.edge); }); break;
    case kK4Symbol:
      index = Add(sy, syN, [&](auto& o) {
        ReadHead(f, o.head);
        ReadSymbolBody(f, o.sym);
      });
      break;
    case kK4Text: index = Add(tx, txN, [&](auto& o) { ReadText(f, o, rest(38)); }); break;
    case kK4TextEx:
      index = Add(txx, txxN, [&](auto& o) { ReadText(f, o, rest(148)), ReadTextStyle(f, o.ex); });
      break;
    case kK4Polyline: index = Add(pl, plN, [&](auto& o) { ReadBezier(f, o); }); break;
    case kK4PolylineEx: index = Add(plx, plxN, [&](auto& o) { ReadBezier(f, o), ReadEdge(f, o.edge); }); break;
    case kK4Bezier: index = Add(bz, bzN, [&](auto& o) { ReadBezier(f, o); }); break;
    case kK4BezierEx: index = Add(bzx, bzxN, [&](auto& o) { ReadBezier(f, o), ReadEdge(f, o.edge); }); break;
    case kK4Polygon: index = Add(pg, pgN, [&](auto& o) { ReadPolygon(f, o); }); break;
    case kK4PolygonGrad:
      index = Add(pgg, pggN, [&](auto& o) {
        ReadPolygon(f, o);
        auto& g = o.grad;
        f.num(g.typ);
        f.num(g.reserved);
        f.num(g.col[0]);
        f.num(g.col[1]);
        f.point(g.pos[0]);
        f.point(g.pos[1]);
        f.num(g.angle);
      });
      break;
    case kK4PolygonMapping:
      index = Add(pgm, pgmN, [&](auto& o) {
        ReadPolygon(f, o);
        auto& m = o.map;
        f.num(m.reserved);
        f.point(m.pos[0]);
        f.point(m.pos[1]);
        f.num(m.size.X);
        f.num(m.size.Y);
        f.num(m.depth);
        auto pe = f.block(1024);
        m.pe.assign(pe.begin(), pe.end());
        auto px = f.block(rest(16 * int64_t{o.cnt} + 1089));
        m.bmp.assign(px.begin(), px.end());
      });
      break;
    case kK4Bitmap: index = Add(bm, bmN, [&](auto& o) { ReadBitmap(f, o); }); break;
    case kK4BitmapEx:
      index = Add(bmx, bmxN, [&](auto& o) {
        ReadBitmap(f, o);
        auto ex = f.block(rest(int64_t{o.byt} + 83));
        o.exdata.assign(ex.begin(), ex.end());
      });
      break;
    case kK4Group: index = Add(gr, grN, [&](auto& o) { ReadGroup(f, o, rest(63)); }); break;
    case kK4GroupDim:
      index = Add(grdim, grdimN, [&](auto& o) {
        ReadGroup(f, o, rest(435));
        auto& d = o.dim;
        f.raw(d.rc);
        f.num(d.angle);
        f.raw(d.pos);
        f.raw(d.ang);
        f.num(d.r);
        f.num(d.funit);
        for (uint8_t* v : {&d.base, &d.bunit, &d.point, &d.strip, &d.camma, &d.jtype}) f.num(*v);
        ReadTextStyle(f, d.txtstl);
        ReadTextStyle(f, d.epsstl);
        f.skip(10);
      });
      break;
    case kK4GroupQle:
      index = Add(grqle, grqleN, [&](auto& o) {
        ReadGroup(f, o, rest(345));
        auto& a = o.anno;
        for (uint8_t* v : {&a.align, &a.symb, &a.camma, &a.jtype}) f.num(*v);
        f.num(a.line);
        f.num(a.spce);
        f.num(a.angle);
        ReadTextStyle(f, a.txtstl);
        ReadTextStyle(f, a.epsstl);
        f.raw(a.rc);
        f.num(a.rcang);
      });
      break;
    case kK4GroupBar:
      index = Add(grbar, grbarN, [&](auto& o) {
        ReadGroup(f, o, rest(223));
        auto& b = o.bal;
        f.num(b.aux);
        f.num(b.symb);
        f.num(b.angle);
        ReadTextStyle(f, b.txtstl);
        f.raw(b.rc);
        f.num(b.rcang);
      });
      break;
    default:
      known = false;
      return false;
  }
  // The second text style of dimensions and annotations is kept only when it
  // names one of the drawing's text styles.
  const auto checkEps = [&](TK4TextStyle& eps) {
    const bool named = std::any_of(txtstl.begin(), txtstl.end(),
                                   [&](const TK4TextStyle& s) { return s.style == eps.style; });
    if (!named) eps = TK4TextStyle{};
  };
  if (h.tag == 2032 && h.version == 30) checkEps(grdim[static_cast<size_t>(index)].dim.epsstl);
  if (h.tag == 2032 && h.version == 40) checkEps(grqle[static_cast<size_t>(index)].anno.epsstl);

  AddEntNo(h.tag, h.version, index);
  if (h.tag == 2032) {
    CurGrpId = h.tag * 100 + h.version;
    CurGrpEn = index;
    int32_t cnt = 0;
    switch (h.version) {
      case 20: cnt = gr[static_cast<size_t>(index)].cnt; break;
      case 30: cnt = grdim[static_cast<size_t>(index)].cnt; break;
      case 40: cnt = grqle[static_cast<size_t>(index)].cnt; break;
      default: cnt = grbar[static_cast<size_t>(index)].cnt; break;
    }
    CurGrpN = cnt;
    CurGrpNo = 0;
  }
  return true;
}

void TK4Data::AddEntNo(int32_t tag, int32_t version, int32_t index) {
  ++EntN;
  if (EntN % kGrow == 1 || static_cast<size_t>(EntN) > Ent.size()) {
    try {
      Ent.resize(static_cast<size_t>(EntN) + kGrow - 1);
    } catch (const std::bad_alloc&) {
      --EntN;
      return;
    }
  }
  auto& e = Ent[static_cast<size_t>(EntN) - 1];
  e.INo = tag * 100 + version;
  e.ENo = index;
  e.grpid = CurGrpId;
  e.grpen = CurGrpEn;
  e.grpno = CurGrpNo;
  if (CurGrpId > 0) {
    ++CurGrpNo;
    if (CurGrpNo >= CurGrpN) CurGrpId = CurGrpEn = CurGrpN = CurGrpNo = 0;
  }
}

}  // namespace zumen
