// The ASCII writer of a DXF document: AutoCAD 2013 (AC1027), UTF-8 text.
//
// Handles are given out as the file is written, so every object's owner is
// known when it is written; the header, which needs the last handle
// ($HANDSEED), is written last and put in front.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>

#include "dxf/document.h"

namespace zumen::dxf {

namespace {

// ---------------------------------------------------------------- output

class Out {
 public:
  void G(int code, std::string_view v) {
    Code(code);
    s_.append(v);
    s_ += '\n';
  }
  void G(int code, const char* v) { G(code, std::string_view(v)); }
  void G(int code, const std::string& v) { G(code, std::string_view(v)); }
  void G(int code, int v) {
    Code(code);
    s_ += std::to_string(v);
    s_ += '\n';
  }
  void G(int code, double v) {
    Code(code);
    if (!std::isfinite(v)) v = 0;
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.15g", v);
    s_ += buf;
    // A real value must read as one: "1" would be taken for an integer by
    // strict readers.
    if (std::string_view(buf).find_first_of(".eEn") == std::string_view::npos) s_ += ".0";
    s_ += '\n';
  }
  void H(int code, uint64_t handle) {
    char buf[24];
    std::snprintf(buf, sizeof buf, "%llX", static_cast<unsigned long long>(handle));
    G(code, std::string_view(buf));
  }
  void P(int code, Point p) {  // a 2D point written with z = 0
    G(code, p.x);
    G(code + 10, p.y);
    G(code + 20, 0.0);
  }
  std::string& str() { return s_; }

 private:
  void Code(int code) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%3d\n", code);
    s_ += buf;
  }
  std::string s_;
};

// Text values: one line, carets written as DXF reads them ("^ " is a caret).
std::string TextValue(std::string_view t) {
  std::string out;
  out.reserve(t.size());
  for (char c : t) {
    if (c == '^') {
      out += "^ ";
    } else if (static_cast<unsigned char>(c) < 0x20) {
      out += ' ';
    } else {
      out += c;
    }
  }
  return out;
}

// A text value in pieces of at most 250 bytes, as DXF takes long MTEXT
// contents: cut between UTF-8 characters and never after a caret or a
// backslash, so that no code is torn apart.
std::vector<std::string> Chunks(const std::string& t) {
  constexpr size_t kMax = 250;
  std::vector<std::string> out;
  size_t at = 0;
  while (t.size() - at > kMax) {
    size_t cut = at + kMax;
    while (cut > at + 1 && ((static_cast<unsigned char>(t[cut]) & 0xC0) == 0x80 || t[cut - 1] == '^' ||
                            t[cut - 1] == '\\'))
      --cut;
    out.push_back(t.substr(at, cut - at));
    at = cut;
  }
  out.push_back(t.substr(at));
  return out;
}

// ---------------------------------------------------------------- writer

class Writer {
 public:
  explicit Writer(const Document& d) : d_(d) {}

  std::string Run();

 private:
  uint64_t Next() { return next_++; }
  void Props(Out& o, const Props& p, uint64_t owner, uint64_t handle);
  // Writes the entity; answers its handle.
  uint64_t Entity(Out& o, const Entity& e, uint64_t owner);
  void Tables(Out& o);
  void Blocks(Out& o);
  void Objects(Out& o);
  void Header(Out& o);
  void Classes(Out& o);
  void TableHead(Out& o, const char* name, uint64_t handle, int count);
  void RecordHead(Out& o, const char* type, uint64_t handle, uint64_t owner, const char* subclass);

  const Document& d_;
  uint64_t next_ = 0x20;  // the fixed handles below stay under it

  // Fixed handles.
  static constexpr uint64_t kRootDict = 0x1, kGroupDict = 0x2, kLayoutDict = 0x3, kMlineDict = 0x4,
                            kPlotStyleDict = 0x5, kPlaceholder = 0x6, kImageDict = 0x7, kImageVars = 0x8,
                            kVportTable = 0x10, kLtypeTable = 0x11, kLayerTable = 0x12, kStyleTable = 0x13,
                            kViewTable = 0x14, kUcsTable = 0x15, kAppidTable = 0x16, kDimstyleTable = 0x17,
                            kBlockRecordTable = 0x18, kModelRecord = 0x19, kPaperRecord = 0x1A,
                            kModelLayout = 0x1B, kPaperLayout = 0x1C, kMlineStandard = 0x1D;

  std::map<std::string, uint64_t> blockRecords_;  // block name -> record handle
  std::vector<uint64_t> imageDefHandles_;
  // Groups: their handles, the group of every model-space entity (0: none)
  // and the handles the members were written with.
  std::vector<uint64_t> groupHandles_;
  std::vector<uint64_t> groupOfEntity_;
  std::vector<uint64_t> modelHandles_;
  uint64_t reactor_ = 0;  // the group of the entity being written
  // For every image entity written: its handle, its reactor's handle and its def.
  struct ImageUse {
    uint64_t image, reactor;
    size_t def;
  };
  std::vector<ImageUse> imageUses_;
  std::string body_;
};

void Writer::TableHead(Out& o, const char* name, uint64_t handle, int count) {
  o.G(0, "TABLE");
  o.G(2, name);
  o.H(5, handle);
  o.H(330, 0);
  o.G(100, "AcDbSymbolTable");
  o.G(70, count);
}

void Writer::RecordHead(Out& o, const char* type, uint64_t handle, uint64_t owner, const char* subclass) {
  o.G(0, type);
  o.H(strcmp(type, "DIMSTYLE") == 0 ? 105 : 5, handle);
  o.H(330, owner);
  o.G(100, "AcDbSymbolTableRecord");
  o.G(100, subclass);
}

void Writer::Props(Out& o, const dxf::Props& p, uint64_t owner, uint64_t handle) {
  o.H(5, handle);
  if (reactor_ != 0) {
    o.G(102, "{ACAD_REACTORS");
    o.H(330, reactor_);
    o.G(102, "}");
  }
  o.H(330, owner);
  o.G(100, "AcDbEntity");
  o.G(8, p.layer.empty() ? std::string("0") : p.layer);
  if (!p.linetype.empty()) o.G(6, p.linetype);
  if (p.color.aci != 256) o.G(62, p.color.aci);
  if (p.color.rgb) o.G(420, static_cast<int>(*p.color.rgb & 0xFFFFFF));
  if (p.lineweight != kLwByLayer) o.G(370, p.lineweight);
  if (p.ltscale != 1) o.G(48, p.ltscale);
}

uint64_t Writer::Entity(Out& o, const dxf::Entity& ent, uint64_t owner) {
  const uint64_t h = Next();
  std::visit(
      [&](const auto& e) {
        using T = std::decay_t<decltype(e)>;
        if constexpr (std::is_same_v<T, Line>) {
          o.G(0, "LINE");
          Props(o, e.p, owner, h);
          o.G(100, "AcDbLine");
          o.P(10, e.a);
          o.P(11, e.b);
        } else if constexpr (std::is_same_v<T, Circle>) {
          o.G(0, "CIRCLE");
          Props(o, e.p, owner, h);
          o.G(100, "AcDbCircle");
          o.P(10, e.c);
          o.G(40, e.r);
        } else if constexpr (std::is_same_v<T, Arc>) {
          o.G(0, "ARC");
          Props(o, e.p, owner, h);
          o.G(100, "AcDbCircle");
          o.P(10, e.c);
          o.G(40, e.r);
          o.G(100, "AcDbArc");
          o.G(50, e.startDeg);
          o.G(51, e.endDeg);
        } else if constexpr (std::is_same_v<T, Ellipse>) {
          o.G(0, "ELLIPSE");
          Props(o, e.p, owner, h);
          o.G(100, "AcDbEllipse");
          o.P(10, e.c);
          o.P(11, e.major);
          o.G(210, 0.0);
          o.G(220, 0.0);
          o.G(230, 1.0);
          o.G(40, e.ratio);
          o.G(41, e.start);
          o.G(42, e.end);
        } else if constexpr (std::is_same_v<T, PointEntity>) {
          o.G(0, "POINT");
          Props(o, e.p, owner, h);
          o.G(100, "AcDbPoint");
          o.P(10, e.at);
        } else if constexpr (std::is_same_v<T, Text>) {
          o.G(0, "TEXT");
          Props(o, e.p, owner, h);
          o.G(100, "AcDbText");
          o.P(10, e.insert);
          o.G(40, e.height);
          o.G(1, TextValue(e.text));
          if (e.rotationDeg != 0) o.G(50, e.rotationDeg);
          if (e.widthFactor != 1) o.G(41, e.widthFactor);
          if (e.obliqueDeg != 0) o.G(51, e.obliqueDeg);
          o.G(7, e.style);
          if (e.mirrorX || e.mirrorY) o.G(71, (e.mirrorX ? 2 : 0) | (e.mirrorY ? 4 : 0));
          if (e.halign != 0) o.G(72, e.halign);
          if (e.halign != 0 || e.valign != 0) o.P(11, e.align);
          o.G(100, "AcDbText");
          if (e.valign != 0) o.G(73, e.valign);
        } else if constexpr (std::is_same_v<T, MText>) {
          o.G(0, "MTEXT");
          Props(o, e.p, owner, h);
          o.G(100, "AcDbMText");
          o.P(10, e.insert);
          o.G(40, e.height);
          o.G(41, e.width);
          o.G(71, e.attachment);
          o.G(72, 1);  // left to right
          // The leading pieces as 3, the last one as 1.
          const std::vector<std::string> pieces = Chunks(TextValue(e.text));
          for (size_t i = 0; i + 1 < pieces.size(); ++i) o.G(3, pieces[i]);
          o.G(1, pieces.back());
          o.G(7, e.style);
          if (e.rotationDeg != 0) o.G(50, e.rotationDeg);
        } else if constexpr (std::is_same_v<T, Solid>) {
          o.G(0, "SOLID");
          Props(o, e.p, owner, h);
          o.G(100, "AcDbTrace");
          for (int i = 0; i < 4; ++i) o.P(10 + i, e.c[i]);
        } else if constexpr (std::is_same_v<T, Polyline>) {
          o.G(0, "LWPOLYLINE");
          Props(o, e.p, owner, h);
          o.G(100, "AcDbPolyline");
          o.G(90, static_cast<int>(e.pts.size()));
          o.G(70, e.closed ? 1 : 0);
          for (const Point& q : e.pts) {
            o.G(10, q.x);
            o.G(20, q.y);
          }
        } else if constexpr (std::is_same_v<T, Hatch>) {
          o.G(0, "HATCH");
          Props(o, e.p, owner, h);
          o.G(100, "AcDbHatch");
          o.P(10, Point{});
          o.G(210, 0.0);
          o.G(220, 0.0);
          o.G(230, 1.0);
          const bool solid = e.gradient || e.patternLines.empty();
          o.G(2, e.gradient ? std::string("SOLID") : solid ? std::string("SOLID") : e.pattern);
          o.G(70, solid ? 1 : 0);
          o.G(71, 0);
          o.G(91, static_cast<int>(e.loops.size()));
          for (size_t i = 0; i < e.loops.size(); ++i) {
            const auto& loop = e.loops[i];
            o.G(92, i == 0 ? 1 | 2 : 2);  // external / polyline
            o.G(72, 0);
            o.G(73, 1);
            o.G(93, static_cast<int>(loop.size()));
            for (const Point& q : loop) {
              o.G(10, q.x);
              o.G(20, q.y);
            }
            o.G(97, 0);
          }
          o.G(75, 0);  // odd parity: inner loops are holes
          o.G(76, 1);
          if (!solid) {
            o.G(52, 0.0);
            o.G(41, 1.0);
            o.G(77, 0);
            o.G(78, static_cast<int>(e.patternLines.size()));
            for (const HatchPatternLine& l : e.patternLines) {
              o.G(53, l.angleDeg);
              o.G(43, l.base.x);
              o.G(44, l.base.y);
              o.G(45, l.offset.x);
              o.G(46, l.offset.y);
              o.G(79, static_cast<int>(l.dashes.size()));
              for (double dash : l.dashes) o.G(49, dash);
            }
          }
          o.G(98, 0);
          if (e.gradient) {
            o.G(450, 1);
            o.G(451, 0);
            o.G(460, e.gradient->angleRad);
            o.G(461, e.gradient->shift);
            o.G(452, 0);
            o.G(462, 0.0);
            o.G(453, 2);
            o.G(463, 0.0);
            o.G(63, NearestAci(e.gradient->rgb1));
            o.G(421, static_cast<int>(e.gradient->rgb1 & 0xFFFFFF));
            o.G(463, 1.0);
            o.G(63, NearestAci(e.gradient->rgb2));
            o.G(421, static_cast<int>(e.gradient->rgb2 & 0xFFFFFF));
            o.G(470, e.gradient->name);
          }
        } else if constexpr (std::is_same_v<T, Spline>) {
          o.G(0, "SPLINE");
          Props(o, e.p, owner, h);
          o.G(100, "AcDbSpline");
          o.G(210, 0.0);
          o.G(220, 0.0);
          o.G(230, 1.0);
          o.G(70, 8);  // planar
          o.G(71, e.degree);
          o.G(72, static_cast<int>(e.knots.size()));
          o.G(73, static_cast<int>(e.control.size()));
          o.G(74, 0);
          o.G(42, 1e-10);
          o.G(43, 1e-10);
          for (double k : e.knots) o.G(40, k);
          for (const Point& q : e.control) o.P(10, q);
        } else if constexpr (std::is_same_v<T, Insert>) {
          o.G(0, "INSERT");
          Props(o, e.p, owner, h);
          o.G(100, "AcDbBlockReference");
          o.G(2, e.block);
          o.P(10, e.at);
          if (e.sx != 1) o.G(41, e.sx);
          if (e.sy != 1) o.G(42, e.sy);
          if (e.rotationDeg != 0) o.G(50, e.rotationDeg);
        } else if constexpr (std::is_same_v<T, Dimension>) {
          o.G(0, "DIMENSION");
          Props(o, e.p, owner, h);
          o.G(100, "AcDbDimension");
          o.G(280, 0);
          o.G(2, e.block);
          o.P(10, e.defPoint);
          o.P(11, e.textMid);
          o.G(70, (e.rotated ? 0 : 1) | 32 | 128);
          o.G(71, 5);
          o.G(1, TextValue(e.text));
          o.G(42, e.measurement);
          o.G(3, e.style);
          o.G(100, "AcDbAlignedDimension");
          o.P(13, e.ext1);
          o.P(14, e.ext2);
          if (e.rotated) {
            o.G(50, e.angleDeg);
            o.G(100, "AcDbRotatedDimension");
          }
        } else if constexpr (std::is_same_v<T, Image>) {
          const uint64_t reactor = Next();
          imageUses_.push_back({h, reactor, e.def});
          const ImageDef& def = d_.images[e.def];
          o.G(0, "IMAGE");
          Props(o, e.p, owner, h);
          o.G(100, "AcDbRasterImage");
          o.G(90, 0);
          o.P(10, e.insert);
          o.P(11, e.u);
          o.P(12, e.v);
          o.G(13, static_cast<double>(def.width));
          o.G(23, static_cast<double>(def.height));
          o.H(340, imageDefHandles_[e.def]);
          o.G(70, e.clip ? 7 : 3);
          o.G(280, e.clip ? 1 : 0);
          o.G(281, 50);
          o.G(282, 50);
          o.G(283, 0);
          o.H(360, reactor);
          o.G(71, 1);
          o.G(91, 2);
          if (e.clip) {
            o.G(14, e.clip->first.x);
            o.G(24, e.clip->first.y);
            o.G(14, e.clip->second.x);
            o.G(24, e.clip->second.y);
          } else {
            o.G(14, -0.5);
            o.G(24, -0.5);
            o.G(14, def.width - 0.5);
            o.G(24, def.height - 0.5);
          }
        }
      },
      ent);
  return h;
}

void Writer::Tables(Out& o) {
  o.G(0, "SECTION");
  o.G(2, "TABLES");

  TableHead(o, "VPORT", kVportTable, 1);
  RecordHead(o, "VPORT", Next(), kVportTable, "AcDbViewportTableRecord");
  o.G(2, "*Active");
  o.G(70, 0);
  o.G(10, 0.0);
  o.G(20, 0.0);
  o.G(11, 1.0);
  o.G(21, 1.0);
  Point centre{0, 0};
  double height = 1000;
  if (d_.extents) {
    centre = {(d_.extents->first.x + d_.extents->second.x) / 2, (d_.extents->first.y + d_.extents->second.y) / 2};
    height = std::max(1.0, (d_.extents->second.y - d_.extents->first.y) * 1.1);
  }
  o.G(12, centre.x);
  o.G(22, centre.y);
  o.G(13, 0.0);
  o.G(23, 0.0);
  o.G(14, 10.0);
  o.G(24, 10.0);
  o.G(15, 10.0);
  o.G(25, 10.0);
  o.G(16, 0.0);
  o.G(26, 0.0);
  o.G(36, 1.0);
  o.G(17, 0.0);
  o.G(27, 0.0);
  o.G(37, 0.0);
  o.G(40, height);
  o.G(41, 1.414);
  o.G(42, 50.0);
  o.G(43, 0.0);
  o.G(44, 0.0);
  o.G(50, 0.0);
  o.G(51, 0.0);
  o.G(71, 0);
  o.G(72, 1000);
  o.G(73, 1);
  o.G(74, 3);
  o.G(75, 0);
  o.G(76, 0);
  o.G(77, 0);
  o.G(78, 0);
  o.G(281, 0);
  o.G(65, 0);
  o.G(146, 0.0);
  o.G(0, "ENDTAB");

  TableHead(o, "LTYPE", kLtypeTable, static_cast<int>(3 + d_.linetypes.size()));
  for (const char* name : {"ByBlock", "ByLayer", "Continuous"}) {
    RecordHead(o, "LTYPE", Next(), kLtypeTable, "AcDbLinetypeTableRecord");
    o.G(2, name);
    o.G(70, 0);
    o.G(3, name[0] == 'C' ? "Solid line" : "");
    o.G(72, 65);
    o.G(73, 0);
    o.G(40, 0.0);
  }
  for (const Linetype& lt : d_.linetypes) {
    RecordHead(o, "LTYPE", Next(), kLtypeTable, "AcDbLinetypeTableRecord");
    o.G(2, lt.name);
    o.G(70, 0);
    o.G(3, TextValue(lt.description));
    o.G(72, 65);
    const std::vector<double> elements = ReaderPattern(lt.elements);
    o.G(73, static_cast<int>(elements.size()));
    double total = 0;
    for (double e : elements) total += std::fabs(e);
    o.G(40, total);
    for (double e : elements) {
      o.G(49, e);
      o.G(74, 0);
    }
  }
  o.G(0, "ENDTAB");

  TableHead(o, "LAYER", kLayerTable, static_cast<int>(1 + d_.layers.size()));
  auto layer = [&](const Layer& l) {
    RecordHead(o, "LAYER", Next(), kLayerTable, "AcDbLayerTableRecord");
    o.G(2, l.name);
    o.G(70, (l.frozen ? 1 : 0) | (l.locked ? 4 : 0));
    const int aci = std::clamp(l.color.aci, 1, 255);
    o.G(62, l.off ? -aci : aci);
    if (l.color.rgb) o.G(420, static_cast<int>(*l.color.rgb & 0xFFFFFF));
    o.G(6, l.linetype);
    o.G(370, l.lineweight);
    o.H(390, kPlaceholder);
  };
  if (!d_.FindLayer("0")) layer(Layer{"0"});
  for (const Layer& l : d_.layers) layer(l);
  o.G(0, "ENDTAB");

  TableHead(o, "STYLE", kStyleTable, static_cast<int>(1 + d_.styles.size()));
  auto style = [&](const TextStyle& s) {
    RecordHead(o, "STYLE", Next(), kStyleTable, "AcDbTextStyleTableRecord");
    o.G(2, s.name);
    o.G(70, 0);
    o.G(40, 0.0);
    o.G(41, 1.0);
    o.G(50, 0.0);
    o.G(71, 0);
    o.G(42, 2.5);
    o.G(3, s.fontFile);
    o.G(4, "");
    if (!s.family.empty()) {
      // The family of a TrueType font, as AutoCAD records it: bold 0x2000000,
      // italic 0x1000000, character set 0x80 (Shift_JIS) in bits 8-15.
      o.G(1001, "ACAD");
      o.G(1000, s.family);
      o.G(1071, static_cast<int>((s.bold ? 0x2000000 : 0) | (s.italic ? 0x1000000 : 0) | (0x80 << 8) | 0x31));
    }
  };
  style(TextStyle{"Standard", "txt", "", false, false});
  for (const TextStyle& s : d_.styles) style(s);
  o.G(0, "ENDTAB");

  TableHead(o, "VIEW", kViewTable, 0);
  o.G(0, "ENDTAB");
  TableHead(o, "UCS", kUcsTable, 0);
  o.G(0, "ENDTAB");

  TableHead(o, "APPID", kAppidTable, 1);
  RecordHead(o, "APPID", Next(), kAppidTable, "AcDbRegAppTableRecord");
  o.G(2, "ACAD");
  o.G(70, 0);
  o.G(0, "ENDTAB");

  TableHead(o, "DIMSTYLE", kDimstyleTable, 1);
  o.G(100, "AcDbDimStyleTable");
  RecordHead(o, "DIMSTYLE", Next(), kDimstyleTable, "AcDbDimStyleTableRecord");
  o.G(2, "Standard");
  o.G(70, 0);
  o.G(40, 1.0);
  o.G(41, 2.5);
  o.G(42, 0.625);
  o.G(43, 3.75);
  o.G(44, 1.25);
  o.G(140, 2.5);
  o.G(141, 2.5);
  o.G(147, 0.625);
  o.G(77, 1);
  o.G(271, 2);
  o.G(0, "ENDTAB");

  // Block records: model space, paper space, then every block.
  TableHead(o, "BLOCK_RECORD", kBlockRecordTable, static_cast<int>(2 + d_.blocks.size()));
  auto record = [&](const std::string& name, uint64_t handle, uint64_t layout) {
    RecordHead(o, "BLOCK_RECORD", handle, kBlockRecordTable, "AcDbBlockTableRecord");
    o.G(2, name);
    o.H(340, layout);
    o.G(70, 0);
    o.G(280, 1);
    o.G(281, 0);
  };
  record("*Model_Space", kModelRecord, kModelLayout);
  record("*Paper_Space", kPaperRecord, kPaperLayout);
  for (const Block& b : d_.blocks) {
    const uint64_t rh = Next();
    blockRecords_[b.name] = rh;
    record(b.name, rh, 0);
  }
  o.G(0, "ENDTAB");
  o.G(0, "ENDSEC");
}

void Writer::Blocks(Out& o) {
  o.G(0, "SECTION");
  o.G(2, "BLOCKS");
  auto block = [&](const std::string& name, uint64_t record, Point base, bool anonymous,
                   const std::vector<dxf::Entity>* entities) {
    o.G(0, "BLOCK");
    o.H(5, Next());
    o.H(330, record);
    o.G(100, "AcDbEntity");
    o.G(8, "0");
    o.G(100, "AcDbBlockBegin");
    o.G(2, name);
    o.G(70, anonymous ? 1 : 0);
    o.P(10, base);
    o.G(3, name);
    o.G(1, "");
    if (entities)
      for (const dxf::Entity& e : *entities) Entity(o, e, record);
    o.G(0, "ENDBLK");
    o.H(5, Next());
    o.H(330, record);
    o.G(100, "AcDbEntity");
    o.G(8, "0");
    o.G(100, "AcDbBlockEnd");
  };
  block("*Model_Space", kModelRecord, {}, false, nullptr);
  block("*Paper_Space", kPaperRecord, {}, false, nullptr);
  for (const Block& b : d_.blocks) block(b.name, blockRecords_[b.name], b.base, b.anonymous, &b.entities);
  o.G(0, "ENDSEC");
}

void Writer::Objects(Out& o) {
  o.G(0, "SECTION");
  o.G(2, "OBJECTS");
  auto dict = [&](uint64_t h, uint64_t owner, std::initializer_list<std::pair<const char*, uint64_t>> items) {
    o.G(0, "DICTIONARY");
    o.H(5, h);
    o.H(330, owner);
    o.G(100, "AcDbDictionary");
    o.G(281, 1);
    for (const auto& [name, item] : items) {
      o.G(3, name);
      o.H(350, item);
    }
  };
  const bool images = !d_.images.empty();
  o.G(0, "DICTIONARY");
  o.H(5, kRootDict);
  o.H(330, 0);
  o.G(100, "AcDbDictionary");
  o.G(281, 1);
  for (const auto& [name, item] : std::initializer_list<std::pair<const char*, uint64_t>>{
           {"ACAD_GROUP", kGroupDict},
           {"ACAD_LAYOUT", kLayoutDict},
           {"ACAD_MLINESTYLE", kMlineDict},
           {"ACAD_PLOTSTYLENAME", kPlotStyleDict}}) {
    o.G(3, name);
    o.H(350, item);
  }
  if (images) {
    o.G(3, "ACAD_IMAGE_DICT");
    o.H(350, kImageDict);
    o.G(3, "ACAD_IMAGE_VARS");
    o.H(350, kImageVars);
  }
  o.G(0, "DICTIONARY");
  o.H(5, kGroupDict);
  o.H(330, kRootDict);
  o.G(100, "AcDbDictionary");
  o.G(281, 1);
  for (size_t i = 0; i < groupHandles_.size(); ++i) {
    o.G(3, "*A" + std::to_string(i + 1));
    o.H(350, groupHandles_[i]);
  }
  for (size_t i = 0; i < groupHandles_.size(); ++i) {
    o.G(0, "GROUP");
    o.H(5, groupHandles_[i]);
    o.G(102, "{ACAD_REACTORS");
    o.H(330, kGroupDict);
    o.G(102, "}");
    o.H(330, kGroupDict);
    o.G(100, "AcDbGroup");
    o.G(300, TextValue(d_.groups[i].description));
    o.G(70, 1);  // unnamed
    o.G(71, 1);  // selectable
    for (size_t m : d_.groups[i].members)
      if (m < modelHandles_.size()) o.H(340, modelHandles_[m]);
  }
  dict(kLayoutDict, kRootDict, {{"Model", kModelLayout}, {"Layout1", kPaperLayout}});
  dict(kMlineDict, kRootDict, {{"Standard", kMlineStandard}});
  o.G(0, "ACDBDICTIONARYWDFLT");
  o.H(5, kPlotStyleDict);
  o.H(330, kRootDict);
  o.G(100, "AcDbDictionary");
  o.G(281, 1);
  o.G(3, "Normal");
  o.H(350, kPlaceholder);
  o.G(100, "AcDbDictionaryWithDefault");
  o.H(340, kPlaceholder);
  o.G(0, "ACDBPLACEHOLDER");
  o.H(5, kPlaceholder);
  o.H(330, kPlotStyleDict);

  o.G(0, "MLINESTYLE");
  o.H(5, kMlineStandard);
  o.H(330, kMlineDict);
  o.G(100, "AcDbMlineStyle");
  o.G(2, "Standard");
  o.G(70, 0);
  o.G(3, "");
  o.G(62, 256);
  o.G(51, 90.0);
  o.G(52, 90.0);
  o.G(71, 2);
  o.G(49, 0.5);
  o.G(62, 256);
  o.G(6, "BYLAYER");
  o.G(49, -0.5);
  o.G(62, 256);
  o.G(6, "BYLAYER");

  auto layout = [&](uint64_t h, const char* name, int order, uint64_t record) {
    o.G(0, "LAYOUT");
    o.H(5, h);
    o.H(330, kLayoutDict);
    o.G(100, "AcDbPlotSettings");
    o.G(1, "");
    o.G(2, "none_device");
    o.G(4, "ISO_A3_(420.00_x_297.00_MM)");
    o.G(6, "");
    o.G(40, 7.5);
    o.G(41, 20.0);
    o.G(42, 7.5);
    o.G(43, 20.0);
    o.G(44, 420.0);
    o.G(45, 297.0);
    o.G(46, 0.0);
    o.G(47, 0.0);
    o.G(48, 0.0);
    o.G(49, 0.0);
    o.G(140, 0.0);
    o.G(141, 0.0);
    o.G(142, 1.0);
    o.G(143, 1.0);
    o.G(70, order == 0 ? 1024 : 0);
    o.G(72, 1);
    o.G(73, 0);
    o.G(74, 5);
    o.G(7, "");
    o.G(75, 16);
    o.G(76, 0);
    o.G(77, 2);
    o.G(78, 300);
    o.G(147, 1.0);
    o.G(148, 0.0);
    o.G(149, 0.0);
    o.G(100, "AcDbLayout");
    o.G(1, name);
    o.G(70, 1);
    o.G(71, order);
    o.G(10, 0.0);
    o.G(20, 0.0);
    o.G(11, 420.0);
    o.G(21, 297.0);
    o.G(12, 0.0);
    o.G(22, 0.0);
    o.G(32, 0.0);
    o.G(14, 1e20);
    o.G(24, 1e20);
    o.G(34, 1e20);
    o.G(15, -1e20);
    o.G(25, -1e20);
    o.G(35, -1e20);
    o.G(146, 0.0);
    o.G(13, 0.0);
    o.G(23, 0.0);
    o.G(33, 0.0);
    o.G(16, 1.0);
    o.G(26, 0.0);
    o.G(36, 0.0);
    o.G(17, 0.0);
    o.G(27, 1.0);
    o.G(37, 0.0);
    o.G(76, 1);
    o.H(330, record);
  };
  layout(kModelLayout, "Model", 0, kModelRecord);
  layout(kPaperLayout, "Layout1", 1, kPaperRecord);

  if (images) {
    o.G(0, "DICTIONARY");
    o.H(5, kImageDict);
    o.H(330, kRootDict);
    o.G(100, "AcDbDictionary");
    o.G(281, 1);
    for (size_t i = 0; i < d_.images.size(); ++i) {
      o.G(3, "IMAGE" + std::to_string(i + 1));
      o.H(350, imageDefHandles_[i]);
    }
    o.G(0, "RASTERVARIABLES");
    o.H(5, kImageVars);
    o.H(330, kRootDict);
    o.G(100, "AcDbRasterVariables");
    o.G(90, 0);
    o.G(70, 0);
    o.G(71, 1);
    o.G(72, 1);  // millimetres
    for (size_t i = 0; i < d_.images.size(); ++i) {
      const ImageDef& def = d_.images[i];
      o.G(0, "IMAGEDEF");
      o.H(5, imageDefHandles_[i]);
      o.G(102, "{ACAD_REACTORS");
      o.H(330, kImageDict);
      for (const ImageUse& u : imageUses_)
        if (u.def == i) o.H(330, u.reactor);
      o.G(102, "}");
      o.H(330, kImageDict);
      o.G(100, "AcDbRasterImageDef");
      o.G(90, 0);
      o.G(1, def.file);
      o.G(10, static_cast<double>(def.width));
      o.G(20, static_cast<double>(def.height));
      o.G(11, 1.0);
      o.G(21, 1.0);
      o.G(280, 1);
      o.G(281, 0);
    }
    for (const ImageUse& u : imageUses_) {
      o.G(0, "IMAGEDEF_REACTOR");
      o.H(5, u.reactor);
      o.H(330, u.image);
      o.G(100, "AcDbRasterImageDefReactor");
      o.G(90, 2);
      o.H(330, u.image);
    }
  }
  o.G(0, "ENDSEC");
}

void Writer::Classes(Out& o) {
  o.G(0, "SECTION");
  o.G(2, "CLASSES");
  struct Cls {
    const char* dxf;
    const char* cpp;
    const char* app;
    int flags;
    int entity;
  };
  static constexpr Cls kClasses[] = {
      {"ACDBDICTIONARYWDFLT", "AcDbDictionaryWithDefault", "ObjectDBX Classes", 0, 0},
      {"ACDBPLACEHOLDER", "AcDbPlaceHolder", "ObjectDBX Classes", 0, 0},
      {"LAYOUT", "AcDbLayout", "ObjectDBX Classes", 0, 0},
      {"RASTERVARIABLES", "AcDbRasterVariables", "ISM", 0, 0},
      {"IMAGE", "AcDbRasterImage", "ISM", 2175, 1},
      {"IMAGEDEF", "AcDbRasterImageDef", "ISM", 0, 0},
      {"IMAGEDEF_REACTOR", "AcDbRasterImageDefReactor", "ISM", 1, 0},
  };
  for (const Cls& c : kClasses) {
    o.G(0, "CLASS");
    o.G(1, c.dxf);
    o.G(2, c.cpp);
    o.G(3, c.app);
    o.G(90, c.flags);
    o.G(91, 0);
    o.G(280, 0);
    o.G(281, c.entity);
  }
  o.G(0, "ENDSEC");
}

void Writer::Header(Out& o) {
  o.G(0, "SECTION");
  o.G(2, "HEADER");
  auto var = [&](const char* name) { o.G(9, name); };
  var("$ACADVER");
  o.G(1, "AC1027");
  var("$ACADMAINTVER");
  o.G(70, 105);
  var("$DWGCODEPAGE");
  o.G(3, "ANSI_1252");
  var("$INSBASE");
  o.P(10, d_.insbase);
  Point lo{0, 0}, hi{420, 297};
  if (d_.extents) {
    lo = d_.extents->first;
    hi = d_.extents->second;
  }
  var("$EXTMIN");
  o.P(10, lo);
  var("$EXTMAX");
  o.P(10, hi);
  var("$LIMMIN");
  o.G(10, lo.x);
  o.G(20, lo.y);
  var("$LIMMAX");
  o.G(10, hi.x);
  o.G(20, hi.y);
  var("$LTSCALE");
  o.G(40, 1.0);
  var("$PSLTSCALE");
  o.G(70, 1);
  var("$TEXTSTYLE");
  o.G(7, "Standard");
  var("$CLAYER");
  o.G(8, "0");
  var("$CELTYPE");
  o.G(6, "ByLayer");
  var("$CECOLOR");
  o.G(62, 256);
  var("$CELWEIGHT");
  o.G(370, kLwByLayer);
  var("$LWDISPLAY");
  o.G(290, 1);
  var("$DIMSTYLE");
  o.G(2, "Standard");
  var("$PDMODE");
  o.G(70, 0);
  var("$PDSIZE");
  o.G(40, 0.0);
  var("$INSUNITS");
  o.G(70, d_.insunits);
  var("$MEASUREMENT");
  o.G(70, 1);
  var("$HANDSEED");
  o.H(5, next_);
  o.G(0, "ENDSEC");
}

std::string Writer::Run() {
  // Image definitions first, so that images can name them.
  for (size_t i = 0; i < d_.images.size(); ++i) imageDefHandles_.push_back(Next());
  // Groups too, so that their members can name them.
  groupOfEntity_.assign(d_.entities.size(), 0);
  for (const Group& g : d_.groups) {
    groupHandles_.push_back(Next());
    for (size_t m : g.members)
      if (m < groupOfEntity_.size()) groupOfEntity_[m] = groupHandles_.back();
  }
  Out body;
  Tables(body);
  Blocks(body);
  body.G(0, "SECTION");
  body.G(2, "ENTITIES");
  for (size_t i = 0; i < d_.entities.size(); ++i) {
    reactor_ = groupOfEntity_[i];
    modelHandles_.push_back(Entity(body, d_.entities[i], kModelRecord));
  }
  reactor_ = 0;
  body.G(0, "ENDSEC");
  Objects(body);
  body.G(0, "EOF");

  Out head;
  Header(head);
  Classes(head);
  std::string out = std::move(head.str());
  out += body.str();
  return out;
}

// ---------------------------------------------------------------- colours

// The AutoCAD colour index palette.
std::array<uint32_t, 256> MakePalette() {
  std::array<uint32_t, 256> p{};
  const uint32_t fixed[10] = {0x000000, 0xFF0000, 0xFFFF00, 0x00FF00, 0x00FFFF,
                              0x0000FF, 0xFF00FF, 0xFFFFFF, 0x808080, 0xC0C0C0};
  for (int i = 0; i < 10; ++i) p[i] = fixed[i];
  const double bright[5] = {1.0, 0.8, 0.6, 0.5, 0.3};
  for (int i = 10; i < 250; ++i) {
    const double hue = (i - 10) / 10 * 15.0;
    const int v = i % 10;
    const double sat = (v % 2) ? 0.5 : 1.0;
    const double val = bright[v / 2];
    // HSV to RGB.
    const double hh = hue / 60.0;
    const int sector = static_cast<int>(hh) % 6;
    const double f = hh - std::floor(hh);
    const double pp = val * (1 - sat), q = val * (1 - sat * f), t = val * (1 - sat * (1 - f));
    double r = 0, g = 0, b = 0;
    switch (sector) {
      case 0: r = val; g = t; b = pp; break;
      case 1: r = q; g = val; b = pp; break;
      case 2: r = pp; g = val; b = t; break;
      case 3: r = pp; g = q; b = val; break;
      case 4: r = t; g = pp; b = val; break;
      default: r = val; g = pp; b = q; break;
    }
    auto c = [](double x) { return static_cast<uint32_t>(std::floor(x * 255.0)); };
    p[i] = (c(r) << 16) | (c(g) << 8) | c(b);
  }
  const uint32_t greys[6] = {51, 80, 105, 130, 190, 255};
  for (int i = 0; i < 6; ++i) p[250 + i] = greys[i] * 0x010101;
  return p;
}

}  // namespace

int NearestAci(uint32_t rgb) {
  rgb &= 0xFFFFFF;
  // Black and white are the foreground colour 7 of every reader.
  if (rgb == 0 || rgb == 0xFFFFFF) return 7;
  static const std::array<uint32_t, 256> palette = MakePalette();
  int best = 7;
  long bestD = -1;
  const int r = (rgb >> 16) & 0xFF, g = (rgb >> 8) & 0xFF, b = rgb & 0xFF;
  for (int i = 1; i < 256; ++i) {
    if (i == 7) continue;
    const int pr = (palette[i] >> 16) & 0xFF, pg = (palette[i] >> 8) & 0xFF, pb = palette[i] & 0xFF;
    const long d = long(r - pr) * (r - pr) + long(g - pg) * (g - pg) + long(b - pb) * (b - pb);
    if (bestD < 0 || d < bestD) {
      bestD = d;
      best = i;
    }
  }
  return best;
}

int NearestLineweight(double mm) {
  static constexpr int kWeights[] = {0,  5,  9,  13, 15, 18, 20,  25,  30,  35,  40,  50,
                                     53, 60, 70, 80, 90, 100, 106, 120, 140, 158, 200, 211};
  const double v = mm * 100;
  int best = 0;
  for (int w : kWeights)
    if (std::fabs(w - v) < std::fabs(best - v)) best = w;
  return best;
}

// ---------------------------------------------------------------- patterns

std::vector<double> ReaderPattern(const std::vector<double>& elements) {
  std::vector<double> v;
  for (double e : elements) {
    if (!std::isfinite(e)) continue;
    if (!v.empty() && (v.back() >= 0) == (e >= 0))
      v.back() += e;
    else
      v.push_back(e);
  }
  if (v.size() < 2) return v;  // solid, or nothing to see
  if (v.front() < 0) {
    const double gap = v.front();
    v.erase(v.begin());
    if (v.back() < 0)
      v.back() += gap;
    else
      v.push_back(gap);
  }
  if (v.back() >= 0) {
    double period = 0;
    for (double e : v) period += std::fabs(e);
    v.push_back(-period * 1e-6);
  }
  return v;
}

// ---------------------------------------------------------------- names

std::string SafeName(std::string_view utf8, std::string_view fallback) {
  std::string out;
  for (char c : utf8) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (u < 0x20 || std::string_view("<>/\\\":;?*|=,`").find(c) != std::string_view::npos)
      out += '_';
    else
      out += c;
  }
  const size_t a = out.find_first_not_of(' ');
  if (a == std::string::npos) return std::string(fallback);
  out = out.substr(a, out.find_last_not_of(' ') - a + 1);
  return out.size() > 255 ? out.substr(0, 255) : out;
}

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 32);
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 32);
    if (x != y) return false;
  }
  return true;
}

Document::Document() = default;

const Layer* Document::FindLayer(std::string_view name) const {
  for (const Layer& l : layers)
    if (SameName(l.name, name)) return &l;
  return nullptr;
}
const Linetype* Document::FindLinetype(std::string_view name) const {
  for (const Linetype& l : linetypes)
    if (SameName(l.name, name)) return &l;
  return nullptr;
}
const TextStyle* Document::FindStyle(std::string_view name) const {
  for (const TextStyle& s : styles)
    if (SameName(s.name, name)) return &s;
  return nullptr;
}
const Block* Document::FindBlock(std::string_view name) const {
  for (const Block& b : blocks)
    if (SameName(b.name, name)) return &b;
  return nullptr;
}

std::string Write(const Document& doc) { return Writer(doc).Run(); }

std::optional<std::pair<Point, Point>> EstimateExtents(const Document& doc) {
  bool any = false;
  Point lo{}, hi{};
  auto add = [&](Point p) {
    if (!std::isfinite(p.x) || !std::isfinite(p.y)) return;
    if (!any) {
      lo = hi = p;
      any = true;
      return;
    }
    lo = {std::min(lo.x, p.x), std::min(lo.y, p.y)};
    hi = {std::max(hi.x, p.x), std::max(hi.y, p.y)};
  };
  auto round = [&](Point c, double r) {
    add({c.x - r, c.y - r});
    add({c.x + r, c.y + r});
  };
  for (const Entity& ent : doc.entities) {
    std::visit(
        [&](const auto& e) {
          using T = std::decay_t<decltype(e)>;
          if constexpr (std::is_same_v<T, Line>) {
            add(e.a);
            add(e.b);
          } else if constexpr (std::is_same_v<T, Circle> || std::is_same_v<T, Arc>) {
            round(e.c, e.r);
          } else if constexpr (std::is_same_v<T, Ellipse>) {
            round(e.c, std::hypot(e.major.x, e.major.y));
          } else if constexpr (std::is_same_v<T, PointEntity>) {
            add(e.at);
          } else if constexpr (std::is_same_v<T, Text>) {
            add(e.insert);
            if (e.halign) add(e.align);
          } else if constexpr (std::is_same_v<T, MText>) {
            add(e.insert);
          } else if constexpr (std::is_same_v<T, Solid>) {
            for (const Point& q : e.c) add(q);
          } else if constexpr (std::is_same_v<T, Polyline>) {
            for (const Point& q : e.pts) add(q);
          } else if constexpr (std::is_same_v<T, Hatch>) {
            for (const auto& loop : e.loops)
              for (const Point& q : loop) add(q);
          } else if constexpr (std::is_same_v<T, Spline>) {
            for (const Point& q : e.control) add(q);
          } else if constexpr (std::is_same_v<T, Insert>) {
            add(e.at);
          } else if constexpr (std::is_same_v<T, Dimension>) {
            add(e.ext1);
            add(e.ext2);
            add(e.textMid);
          } else if constexpr (std::is_same_v<T, Image>) {
            add(e.insert);
          }
        },
        ent);
  }
  if (!any) return std::nullopt;
  return std::make_pair(lo, hi);
}

}  // namespace zumen::dxf
