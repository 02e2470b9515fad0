// The DXF pass of K4 drawings, beside their drawing pass. K4 coordinates are
// millimetres of the drawing (the drawing pass multiplies them by the layer
// group's scale to put them on paper); pen widths, dash lengths, text sizes
// and mark sizes are millimetres of paper and are divided by that scale.
#include "formats/k4/dxf_pass.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <numbers>

#include "codecs/image_io.h"
#include "common/cp932.h"
#include "common/text.h"
#include "dxf_jw/jw_dxf.h"
#include "render_k4/graph.h"

namespace zumen {

namespace {

constexpr double kPi = std::numbers::pi;
constexpr uint8_t kAuxType = 15;
constexpr uint32_t kGrey = 0xFFD8D8D8;
constexpr uint32_t kAuxGrey = 0xFF888888;

template <typename T>
std::span<const TDPoint> Points(const T& o) {
  const size_t n = std::min<size_t>(static_cast<size_t>(std::max<int16_t>(o.cnt, 0)), o.pt.size());
  return {o.pt.data(), n};
}

template <typename T>
const T* Entry(const std::vector<T>& a, int32_t count, int32_t eno) {
  if (eno < 0 || eno >= count || static_cast<size_t>(eno) >= a.size()) return nullptr;
  return &a[static_cast<size_t>(eno)];
}

class K4DxfPass {
 public:
  K4DxfPass(const TK4Data& d, ConversionContext& ctx, dxf::Document& doc)
      : d_(d), ctx_(ctx), doc_(doc), jw_(ctx, doc, MacroRules::K4) {}
  void Run();

 private:
  std::string Layer(uint8_t lg, uint8_t ly);
  dxf::Props LineProps(uint8_t lg, uint8_t ly, uint8_t co, uint8_t ty, double c);
  dxf::Props FillProps(uint8_t lg, uint8_t ly, uint32_t own);
  std::string Linetype(uint8_t co, uint8_t ty, double c);
  void Mark(const TK4SymbolBody& s, const dxf::Props& p, double c, int dir);
  void Bitmap(const TK4ObjectBitmap& o, const std::string& layer, bool greyed);
  std::vector<dxf::Point> Pts(std::span<const TDPoint> pts) const {
    std::vector<dxf::Point> out;
    for (const TDPoint& q : pts)
      if (std::isfinite(q.X) && std::isfinite(q.Y)) out.push_back({q.X, q.Y});
    return out;
  }

  const TK4Data& d_;
  ConversionContext& ctx_;
  dxf::Document& doc_;
  JwDxf jw_;
  std::map<int, std::string> layers_;
  std::map<std::pair<int, double>, std::string> linetypes_;
  std::map<std::string, bool> marks_;
};

std::string K4DxfPass::Layer(uint8_t lg, uint8_t ly) {
  const int key = lg * 17 + ly;
  if (auto it = layers_.find(key); it != layers_.end()) return it->second;
  static const char kHex[] = "0123456789ABCDEFG";
  const auto& g = d_.li.grp[lg & 15];
  const auto& l = g.tab[std::min<size_t>(ly, 16)];
  const std::string number = std::string(1, kHex[lg & 15]) + "-" + kHex[std::min<int>(ly, 16)];
  std::string name = number;
  if (!g.text.empty() || !l.text.empty()) {
    name = dxf::SafeName((g.text.empty() ? std::string(1, kHex[lg & 15]) : Utf16ToUtf8(g.text)) + "-" +
                             (l.text.empty() ? std::string(1, kHex[std::min<int>(ly, 16)]) : Utf16ToUtf8(l.text)),
                         number);
    if (doc_.FindLayer(name) || dxf::SameName(name, "0")) name = dxf::SafeName(name + " " + number, number);
  }
  dxf::Layer layer;
  layer.name = name;
  // Off as the picture hides it (the context holds the layer selection).
  layer.off = ly < 16 ? ctx_.GAtt.GetAttrLayerState((lg & 15) * 16 + ly) == 3 : g.state == 0 || l.state == 0;
  layer.locked = g.state == 1 || l.state == 1;
  doc_.layers.push_back(layer);
  layers_[key] = name;
  return name;
}

std::string K4DxfPass::Linetype(uint8_t co, uint8_t ty, double c) {
  std::vector<double> pat = d_.BasePattern(ty);
  if (ty == kAuxType) pat = {0.25, 2};
  if (pat.empty()) return {};
  // Wide pens lengthen every element, so that dots stay visible.
  const double x = d_.prnstl.width[co & 15] * 0.01;
  const double b = *std::min_element(pat.begin(), pat.end());
  if (ty != kAuxType && x / 2 > b)
    for (double& e : pat) e += x;
  const int key = (ty & 15) * 16 + (co & 15);
  if (auto it = linetypes_.find({key, c}); it != linetypes_.end()) return it->second;
  dxf::Linetype l;
  l.name = "K4_" + std::to_string(ty & 15) + "_" + std::to_string(co & 15) + (c != 1 ? "_" + std::to_string(linetypes_.size()) : "");
  l.description = "K4 line type " + std::to_string(ty & 15);
  for (size_t i = 0; i < pat.size(); ++i) l.elements.push_back((i % 2 ? -1 : 1) * std::fabs(pat[i]) / c);
  doc_.linetypes.push_back(l);
  linetypes_[{key, c}] = l.name;
  return l.name;
}

dxf::Props K4DxfPass::LineProps(uint8_t lg, uint8_t ly, uint8_t co, uint8_t ty, double c) {
  dxf::Props p;
  p.layer = Layer(lg, ly);
  const bool greyed = d_.li.grp[lg & 15].state == 1 || d_.li.grp[lg & 15].tab[ly & 15].state == 1;
  p.color = DxfColour(greyed ? kGrey : ty == kAuxType ? kAuxGrey : TGraph::ColorNumber(co));
  p.lineweight = ty == kAuxType ? 0 : dxf::NearestLineweight(d_.prnstl.width[co & 15] * 0.01);
  p.linetype = Linetype(co, ty, c);
  return p;
}

dxf::Props K4DxfPass::FillProps(uint8_t lg, uint8_t ly, uint32_t own) {
  dxf::Props p;
  p.layer = Layer(lg, ly);
  const bool greyed = d_.li.grp[lg & 15].state == 1 || d_.li.grp[lg & 15].tab[ly & 15].state == 1;
  p.color = DxfColour(greyed ? kGrey : RefToColor(static_cast<int32_t>(own)));
  return p;
}

// A symbol or end mark: its stem drawn in place, its mark a block placed at
// the symbol point, turned by the symbol's direction and scaled from paper.
void K4DxfPass::Mark(const TK4SymbolBody& s, const dxf::Props& p, double c, int dir) {
  auto& out = doc_.entities;
  const double pa1 = s.param[0], pa2 = s.param[1];
  if (!std::isfinite(s.pos.X + s.pos.Y + pa1 + pa2 + s.angle + s.len)) return;
  if (dir != 0 && s.len > 1e-6) {
    const double le = s.len / c;  // the stem's length is measured on paper
    if (s.extype == 2) {
      out.push_back(dxf::Line{p, {s.pos.X, s.pos.Y},
                              {s.pos.X + le * std::cos(s.angle), s.pos.Y + le * std::sin(s.angle)}});
    } else if ((s.extype == 4 || s.extype == 6) && s.r[0] != 0) {
      const double r1 = s.r[0], h = s.extype == 6 ? s.r[1] / s.r[0] : 1.0;
      const double sweep = le / r1;
      const double f = std::atan2(s.pos.Y - s.o.Y, s.pos.X - s.o.X);
      JwDxf::AddCurve(out, p, s.o.X, s.o.Y, r1, h, s.extype == 6 ? s.elipang : 0.0, dir == 1 ? f - sweep : f, sweep,
                      false, 1.0);
    }
  }
  const int sty = s.style;
  if (!((sty >= 1 && sty <= 5) || (sty >= 11 && sty <= 20))) return;
  double an = s.angle;
  if (an < 0) an += 2 * kPi;
  const bool flip = sty == 17 && an > kPi / 2 && an <= 3 * kPi / 2;
  char key[96];
  std::snprintf(key, sizeof key, "K4_MARK_%d_%.6g_%.6g%s", sty, pa1, pa2, flip ? "_F" : "");
  const std::string name = dxf::SafeName(key, "K4_MARK");
  if (!marks_.count(name)) {
    marks_[name] = true;
    dxf::Block b;
    b.name = name;
    dxf::Props bp;  // by block: the mark takes the colour of its insert
    bp.color.aci = 0;
    bp.lineweight = dxf::kLwByBlock;
    auto& e = b.entities;
    const double cr = pa1 / 2;
    auto at = [](double x, double y) { return dxf::Point{x, y}; };
    const dxf::Point t1 = at(pa1 * std::cos(pa2), pa1 * std::sin(pa2)), t2 = at(pa1 * std::cos(-pa2), pa1 * std::sin(-pa2));
    auto disc = [&](double r, dxf::Color col) {
      dxf::Hatch h;
      h.p = bp;
      h.p.color = col;
      std::vector<dxf::Point> loop;
      for (int i = 0; i < 72; ++i) loop.push_back(at(r * std::cos(i * kPi / 36), r * std::sin(i * kPi / 36)));
      h.loops.push_back(loop);
      e.push_back(h);
    };
    auto poly = [&](std::vector<dxf::Point> pts, std::optional<dxf::Color> fill) {
      if (fill) {
        dxf::Hatch h;
        h.p = bp;
        h.p.color = *fill;
        h.loops.push_back(pts);
        e.push_back(h);
      }
      pts.push_back(pts.front());
      e.push_back(dxf::Polyline{bp, pts, false});
    };
    const dxf::Color white{255, 0xFFFFFF}, byBlock{0, std::nullopt};
    const std::vector<dxf::Point> square = {at(-cr, -cr), at(cr, -cr), at(cr, cr), at(-cr, cr)};
    switch (sty) {
      case 1: disc(cr, byBlock); e.push_back(dxf::Circle{bp, {}, cr}); break;
      case 2: e.push_back(dxf::Circle{bp, {}, cr}); break;
      case 3: e.push_back(dxf::Circle{bp, {}, cr}); e.push_back(dxf::Circle{bp, {}, pa1 * 0.25}); break;
      case 4: disc(cr, byBlock); break;
      case 5: disc(cr, white); e.push_back(dxf::Circle{bp, {}, cr}); break;
      case 11: e.push_back(dxf::Line{bp, {}, t1}); e.push_back(dxf::Line{bp, {}, t2}); break;
      case 12: poly({at(0, 0), t1, t2}, std::nullopt); break;
      case 13: poly({at(0, 0), t1, t2}, byBlock); break;
      case 14: poly({at(0, 0), t1, t2}, white); break;
      case 15:
        e.push_back(dxf::Line{bp, at(pa1 * std::cos(pa2), pa1 * std::sin(pa2)),
                              at(pa1 * std::cos(pa2 + kPi), pa1 * std::sin(pa2 + kPi))});
        break;
      case 16: {
        const double R = pa1 * 0.5 * std::sqrt(2.0);
        for (double g : {pa2 - kPi / 4, pa2 - kPi / 4 + kPi}) {
          const double start = (g + kPi / 2) * 180 / kPi;
          e.push_back(dxf::Arc{bp, at(R * std::cos(g), R * std::sin(g)), R, start, start + 90});
        }
        break;
      }
      case 17: {
        const double o = flip ? -pa2 : pa2;
        e.push_back(dxf::Line{bp, at(0, o), at(pa1, o)});
        break;
      }
      case 18: poly(square, std::nullopt); break;
      case 19: poly(square, byBlock); break;
      case 20: poly(square, white); break;
      default: break;
    }
    doc_.blocks.push_back(std::move(b));
  }
  dxf::Insert ins;
  ins.p = p;
  ins.p.linetype.clear();
  ins.block = name;
  ins.at = {s.pos.X, s.pos.Y};
  ins.sx = ins.sy = 1 / c;
  ins.rotationDeg = s.angle * 180 / kPi;
  out.push_back(ins);
}

// A bitmap object: an IMAGE of its own bytes, which the export writes beside
// the DXF, on the corners' box turned with its first edge, as the drawing
// pass places it. A greyed one is the grey box the drawing shows; bytes of no
// known type or that do not decode are left out, as they draw nothing.
void K4DxfPass::Bitmap(const TK4ObjectBitmap& o, const std::string& layer, bool greyed) {
  for (const TDPoint& q : o.pos)
    if (!std::isfinite(q.X + q.Y)) return;
  if (greyed) {
    dxf::Hatch h;
    h.p.layer = layer;
    h.p.color = DxfColour(kGrey);
    h.loops.push_back(Pts(o.pos));
    doc_.entities.push_back(std::move(h));
    return;
  }
  const char* ext = o.typ == 1    ? ".jpg"
                    : o.typ == 2  ? ".png"
                    : o.typ == 10 ? ".gif"
                    : o.typ == 11 ? ".tif"
                    : o.typ == 12 ? ".bmp"
                                  : nullptr;
  if (!ext) return;
  const double bw = std::hypot(o.pos[1].X - o.pos[0].X, o.pos[1].Y - o.pos[0].Y);
  const double bh = std::hypot(o.pos[3].X - o.pos[0].X, o.pos[3].Y - o.pos[0].Y);
  if (!(bw > 0) || !(bh > 0)) return;
  const LoadedImage img = LoadImageMemory(o.bmp);
  if (!img.ok() || img.bitmap.width <= 0 || img.bitmap.height <= 0) return;
  const size_t def = doc_.images.size();
  dxf::ImageDef d;
  d.file = "image" + std::to_string(def + 1) + ext;
  d.width = img.bitmap.width;
  d.height = img.bitmap.height;
  d.content = o.bmp;
  doc_.images.push_back(std::move(d));
  const double a = std::atan2(o.pos[1].Y - o.pos[0].Y, o.pos[1].X - o.pos[0].X);
  dxf::Image image = CroppedImage(o.pos[0].X, o.pos[0].Y, bw, bh, a, img.bitmap.width, img.bitmap.height, 0, 0, 1, 1);
  image.p.layer = layer;
  image.def = def;
  doc_.entities.push_back(std::move(image));
}

void K4DxfPass::Run() {
  auto& out = doc_.entities;
  const size_t n = std::min<size_t>(static_cast<size_t>(std::max(d_.EntN, 0)), d_.Ent.size());
  for (size_t idx = 0; idx < n; ++idx) {
    const TK4EntNo& e = d_.Ent[idx];
    const int32_t k = e.INo, x = e.ENo;
    const TK4ObjectHeader* head = nullptr;
    auto find = [&](const auto& arr, int32_t cnt) {
      const auto* o = Entry(arr, cnt, x);
      if (o) head = &o->head;
      return o;
    };
    switch (k) {
      case kK4Point: find(d_.pt, d_.ptN); break;
      case kK4Line: find(d_.ln, d_.lnN); break;
      case kK4LineEx: find(d_.lnx, d_.lnxN); break;
      case kK4Circle: find(d_.cr, d_.crN); break;
      case kK4CircleEx: find(d_.crx, d_.crxN); break;
      case kK4Ellipse: find(d_.ep, d_.epN); break;
      case kK4EllipseEx: find(d_.epx, d_.epxN); break;
      case kK4Text: find(d_.tx, d_.txN); break;
      case kK4TextEx: find(d_.txx, d_.txxN); break;
      case kK4Polyline: find(d_.pl, d_.plN); break;
      case kK4PolylineEx: find(d_.plx, d_.plxN); break;
      case kK4Bezier: find(d_.bz, d_.bzN); break;
      case kK4BezierEx: find(d_.bzx, d_.bzxN); break;
      case kK4Polygon: find(d_.pg, d_.pgN); break;
      case kK4PolygonGrad: find(d_.pgg, d_.pggN); break;
      case kK4PolygonMapping: find(d_.pgm, d_.pgmN); break;
      case kK4Symbol: find(d_.sy, d_.syN); break;
      case kK4Bitmap: find(d_.bm, d_.bmN); break;
      case kK4BitmapEx: find(d_.bmx, d_.bmxN); break;
      default: break;  // groups draw nothing
    }
    if (!head) continue;
    uint8_t lg, ly, co, ty;
    TK4Data::SepAttr(head->attr, lg, ly, co, ty);
    double c = d_.li.grp[lg].scale;
    if (c == 0 || !std::isfinite(c)) c = 1;
    ctx_.LgScale = 1 / c;
    const size_t i = static_cast<size_t>(x);
    const bool line = k != kK4Text && k != kK4TextEx && k != kK4Point && k != kK4Symbol && k != kK4Polygon &&
                      k != kK4PolygonGrad && k != kK4PolygonMapping && k != kK4Bitmap && k != kK4BitmapEx;
    if (line && ty == kAuxType && !ctx_.GAtt.GetDispHojo()) continue;
    const dxf::Props lp = LineProps(lg, ly, co, ty, c);
    auto edge = [&](const TK4ObjectEdge& ed) {
      Mark(ed.mark[0], lp, c, 1);
      Mark(ed.mark[1], lp, c, 2);
    };
    auto ellipse = [&](const TDPoint& pos, double r, double h, double a, const std::array<double, 2>& arc) {
      double sweep = arc[1] - arc[0];
      if (sweep < 0) sweep += 2 * kPi;
      const bool full = std::fabs(sweep) <= 1e-12 || std::fabs(sweep - 2 * kPi) <= 1e-12;
      JwDxf::AddCurve(out, lp, pos.X, pos.Y, r, h, a, full ? 0 : arc[0], full ? 2 * kPi : sweep, full, 1.0);
      return full;
    };
    auto polyline = [&](std::span<const TDPoint> pts) {
      if (pts.size() >= 2) out.push_back(dxf::Polyline{lp, Pts(pts), false});
    };
    auto bezier = [&](std::span<const TDPoint> pts) {
      const size_t segs = pts.size() >= 4 ? (pts.size() - 1) / 3 : 0;
      if (segs == 0) return;
      dxf::Spline sp;
      sp.p = lp;
      sp.control = Pts(pts.first(segs * 3 + 1));
      if (sp.control.size() != segs * 3 + 1) return;
      // Cubic Bezier pieces joined end to end: every inner knot three times.
      for (int j = 0; j < 4; ++j) sp.knots.push_back(0);
      for (size_t s = 1; s < segs; ++s)
        for (int j = 0; j < 3; ++j) sp.knots.push_back(static_cast<double>(s));
      for (int j = 0; j < 4; ++j) sp.knots.push_back(static_cast<double>(segs));
      out.push_back(sp);
    };
    auto polygon = [&](const TK4ObjectPolygon& o, const TK4ObjectGrad* grad) {
      const auto pts = Points(o);
      if (pts.size() < 3) return;
      dxf::Hatch h;
      h.p = FillProps(lg, ly, head->color);
      h.loops.push_back(Pts(pts));
      if (grad && !(d_.li.grp[lg].state == 1 || d_.li.grp[lg].tab[ly].state == 1)) {
        dxf::Gradient g;
        g.rgb1 = RefToColor(static_cast<int32_t>(grad->col[0])) & 0xFFFFFF;
        g.rgb2 = RefToColor(static_cast<int32_t>(grad->col[1])) & 0xFFFFFF;
        g.angleRad = std::atan2(grad->pos[1].Y - grad->pos[0].Y, grad->pos[1].X - grad->pos[0].X);
        if (grad->typ == 1) {
          g.name = "CYLINDER";
        } else if (grad->typ == 2 || grad->typ == 3) {
          g.name = "SPHERICAL";
        }
        h.gradient = g;
        // Readers that fill gradients with the entity's colour show the
        // colour halfway between the two.
        uint32_t mid = 0xFF000000;
        for (int shift = 0; shift < 24; shift += 8)
          mid |= ((((g.rgb1 >> shift) & 0xFF) + ((g.rgb2 >> shift) & 0xFF)) / 2) << shift;
        h.p.color = DxfColour(mid);
      } else if (o.ptn >= 1 && o.ptn <= 5) {
        // The dot patterns: two dots a tile, the tile doubling from 2 x 2
        // to 8 x 8 quarter millimetres of paper.
        static constexpr double kTile[5][2] = {{2, 2}, {4, 2}, {4, 4}, {8, 4}, {8, 8}};
        const double u = 0.25 / c, tw = kTile[o.ptn - 1][0] * u, th = kTile[o.ptn - 1][1] * u;
        h.pattern = "K4_DOTS" + std::to_string(o.ptn);
        h.patternLines.push_back({0, {0, 0}, {tw / 2, th / 2}, {0, -tw}});
      }
      out.push_back(std::move(h));
    };
    switch (k) {
      case kK4Line:
      case kK4LineEx: {
        const TK4ObjectLine& o = k == kK4Line ? d_.ln[i] : d_.lnx[i];
        if (std::isfinite(o.p1.X + o.p1.Y + o.p2.X + o.p2.Y))
          out.push_back(dxf::Line{lp, {o.p1.X, o.p1.Y}, {o.p2.X, o.p2.Y}});
        if (k == kK4LineEx) edge(d_.lnx[i].edge);
        break;
      }
      case kK4Circle:
      case kK4CircleEx: {
        const TK4ObjectCircle& o = k == kK4Circle ? d_.cr[i] : d_.crx[i];
        if (!ellipse(o.pos, o.r, 1, 0, o.arc) && k == kK4CircleEx) edge(d_.crx[i].edge);
        break;
      }
      case kK4Ellipse:
      case kK4EllipseEx: {
        const TK4ObjectEllipse& o = k == kK4Ellipse ? d_.ep[i] : d_.epx[i];
        const double h = o.r[0] != 0 ? o.r[1] / o.r[0] : 1.0;
        if (!ellipse(o.pos, o.r[0], h, o.angle, o.arc) && k == kK4EllipseEx) edge(d_.epx[i].edge);
        break;
      }
      case kK4Polyline: polyline(Points(d_.pl[i])); break;
      case kK4PolylineEx: polyline(Points(d_.plx[i])); edge(d_.plx[i].edge); break;
      case kK4Bezier: bezier(Points(d_.bz[i])); break;
      case kK4BezierEx: bezier(Points(d_.bzx[i])); edge(d_.bzx[i].edge); break;
      case kK4Symbol: Mark(d_.sy[i].sym, lp, c, 0); break;
      case kK4Point:
        if (std::isfinite(d_.pt[i].pos.X + d_.pt[i].pos.Y))
          out.push_back(dxf::PointEntity{FillProps(lg, ly, head->color), {d_.pt[i].pos.X, d_.pt[i].pos.Y}});
        break;
      case kK4Bitmap:
      case kK4BitmapEx:
        Bitmap(k == kK4Bitmap ? d_.bm[i] : d_.bmx[i], lp.layer,
               d_.li.grp[lg].state == 1 || d_.li.grp[lg].tab[ly].state == 1);
        break;
      case kK4Polygon: polygon(d_.pg[i], nullptr); break;
      case kK4PolygonGrad: polygon(d_.pgg[i], &d_.pgg[i].grad); break;
      case kK4PolygonMapping: polygon(d_.pgm[i], nullptr); break;
      case kK4Text:
      case kK4TextEx: {
        const TK4ObjectText& o = k == kK4Text ? d_.tx[i] : d_.txx[i];
        if (k == kK4Text && o.style >= d_.txtstl.size()) break;
        const TK4TextStyle& st = k == kK4Text ? d_.txtstl[o.style] : d_.txx[i].ex;
        const uint8_t tco = st.penno != 0 ? st.penno : co;
        dxf::Props tp = LineProps(lg, ly, tco, 0, c);
        tp.linetype.clear();
        tp.lineweight = dxf::kLwByLayer;
        const double h = std::fabs(st.hight);
        double w = std::fabs(st.width);
        if (h * 0.1 >= w) w = h;
        const double L = AnsiTextWidth(o.text, w, st.spce);
        // Laid out on paper, then brought back to the drawing.
        const double x1 = o.pos.X * c, y1 = o.pos.Y * c;
        const std::u16string font = o.lout == 1 ? u"@" + st.font : st.font;
        jw_.AddText(out, tp, x1, y1, x1 + L * std::cos(o.angle), y1 + L * std::sin(o.angle), h, w, st.spce,
                    st.txattr & 3, font, o.text, 1 / c);
        break;
      }
      default: break;
    }
  }
}

}  // namespace

void K4ExportDxf(const TK4Data& d, ConversionContext& ctx, dxf::Document& doc) { K4DxfPass(d, ctx, doc).Run(); }

}  // namespace zumen
