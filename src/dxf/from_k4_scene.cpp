// The DXF export of K4 scenes. K4 coordinates are millimetres of the drawing
// (the painter multiplies them by the layer group's scale to put them on
// paper); pen widths, dash lengths, text sizes and mark sizes are millimetres
// of paper and are divided by that scale.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <numbers>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "codecs/image_io.h"
#include "common/cp932.h"
#include "common/text.h"
#include "dxf/from_scene.h"
#include "dxf/jw_dxf.h"

namespace zumen {

namespace {

constexpr double kPi = std::numbers::pi;
constexpr uint8_t kAuxType = 15;
constexpr uint32_t kGrey = 0xFFD8D8D8;

class K4SceneDxf {
 public:
  K4SceneDxf(const scene::Scene& s, const ConversionContext& ctx, dxf::Document& doc)
      : s_(s), ctx_(ctx), doc_(doc), jw_(s, ctx, doc, MacroRules::K4) {}

  void Run() {
    for (const scene::Item& item : s_.items) {
      const scene::Head& h = scene::HeadOf(item);
      // Auxiliary lines as auxiliary lines are shown.
      if ((h.flags & scene::kAux) && !ctx_.GAtt.GetDispHojo()) continue;
      scene::Visit([&](const auto& e) { Add(e); }, item);
    }
  }

 private:
  // The layer of group lg and layer ly (n = lg * 16 + ly): named from their
  // names, off when either is hidden, locked when either is greyed.
  std::string Layer(int n);
  // The line type of line type ty in pen colour co at group scale c.
  std::string Linetype(uint8_t co, uint8_t ty, double c);
  // The properties of a pen: layer, lineweight and line type; colour as given.
  dxf::Props PenProps(int layer, uint8_t co, uint8_t ty, double c, uint32_t colour);
  // The properties every object takes first: its layer and its pen's line type.
  dxf::Props ObjectProps(const scene::Head& h, const scene::K4Attr& a, uint32_t colour = 0xFF000000) {
    return PenProps(h.layer, a.colour, a.type, a.scale, colour);
  }
  void Mark(const scene::K4Mark& s, const dxf::Props& p, double c, int dir);
  static std::vector<dxf::Point> Pts(std::span<const TDPoint> pts) {
    std::vector<dxf::Point> out;
    for (const TDPoint& q : pts)
      if (std::isfinite(q.X) && std::isfinite(q.Y)) out.push_back({q.X, q.Y});
    return out;
  }

  // Items of the Jw renderer have no place in a K4 scene.
  template <typename T>
  void Add(const T&) {}
  void Add(const scene::K4Stroke& e);
  void Add(const scene::K4Symbol& e) { Mark(e.mark, ObjectProps(e.h, e.attr, e.pen.palette), e.attr.scale, 0); }
  void Add(const scene::K4Point& e);
  void Add(const scene::K4Text& e);
  void Add(const scene::K4Fill& e);
  void Add(const scene::K4Bitmap& e);

  const scene::Scene& s_;
  const ConversionContext& ctx_;
  dxf::Document& doc_;
  JwDxf jw_;
  std::map<int, std::string> layers_;
  std::map<std::pair<int, double>, std::string> linetypes_;
  std::map<std::string, bool> marks_;
};

std::string K4SceneDxf::Layer(int n) {
  if (auto it = layers_.find(n); it != layers_.end()) return it->second;
  static const char kHex[] = "0123456789ABCDEF";
  const scene::LayerDef& L = s_.layers[static_cast<size_t>(n & 255)];
  // The names are kept after a prefix of four characters, "[g] " and "(l) ".
  const auto own = [](const std::u16string& v) { return v.size() >= 4 ? v.substr(4) : std::u16string(); };
  const std::u16string g = own(L.groupName), l = own(L.name);
  const int lg = (n >> 4) & 15, ly = n & 15;
  const std::string number = std::string(1, kHex[lg]) + "-" + kHex[ly];
  std::string name = number;
  if (!g.empty() || !l.empty()) {
    name = dxf::SafeName((g.empty() ? std::string(1, kHex[lg]) : Utf16ToUtf8(g)) + "-" +
                             (l.empty() ? std::string(1, kHex[ly]) : Utf16ToUtf8(l)),
                         number);
    if (doc_.FindLayer(name) || dxf::SameName(name, "0")) name = dxf::SafeName(name + " " + number, number);
  }
  dxf::Layer layer;
  layer.name = name;
  // Off as the picture hides it (the context holds the layer selection).
  layer.off = ctx_.GAtt.GetAttrLayerState(n & 255) == 3;
  layer.locked = L.locked;
  doc_.layers.push_back(layer);
  layers_[n] = name;
  return name;
}

std::string K4SceneDxf::Linetype(uint8_t co, uint8_t ty, double c) {
  std::vector<double> pat = s_.k4Print.patterns[ty & 15];
  if (ty == kAuxType) pat = {0.25, 2};
  if (pat.empty()) return {};
  // Wide pens lengthen every element, so that dots stay visible.
  const double x = s_.k4Print.widths[co & 15];
  const double b = *std::min_element(pat.begin(), pat.end());
  if (ty != kAuxType && x / 2 > b)
    for (double& e : pat) e += x;
  const int key = (ty & 15) * 16 + (co & 15);
  if (auto it = linetypes_.find({key, c}); it != linetypes_.end()) return it->second;
  dxf::Linetype l;
  l.name = "K4_" + std::to_string(ty & 15) + "_" + std::to_string(co & 15) +
           (c != 1 ? "_" + std::to_string(linetypes_.size()) : "");
  l.description = "K4 line type " + std::to_string(ty & 15);
  for (size_t i = 0; i < pat.size(); ++i) l.elements.push_back((i % 2 ? -1 : 1) * std::fabs(pat[i]) / c);
  doc_.linetypes.push_back(l);
  linetypes_[{key, c}] = l.name;
  return l.name;
}

dxf::Props K4SceneDxf::PenProps(int layer, uint8_t co, uint8_t ty, double c, uint32_t colour) {
  dxf::Props p;
  p.layer = Layer(layer);
  p.color = DxfColour(colour);
  p.lineweight = ty == kAuxType ? 0 : dxf::NearestLineweight(s_.k4Print.widths[co & 15]);
  p.linetype = Linetype(co, ty, c);
  return p;
}

// A symbol or end mark: its stem drawn in place, its mark a block placed at
// the symbol point, turned by the symbol's direction and scaled from paper.
void K4SceneDxf::Mark(const scene::K4Mark& s, const dxf::Props& p, double c, int dir) {
  auto& out = doc_.entities;
  const double pa1 = s.p1, pa2 = s.p2;
  if (!std::isfinite(s.x + s.y + pa1 + pa2 + s.angle + s.len)) return;
  if (dir != 0 && s.len > 1e-6) {
    const double le = s.len / c;  // the stem's length is measured on paper
    if (s.extype == 2) {
      out.push_back(dxf::Line{p, {s.x, s.y}, {s.x + le * std::cos(s.angle), s.y + le * std::sin(s.angle)}});
    } else if ((s.extype == 4 || s.extype == 6) && s.r1 != 0) {
      const double r1 = s.r1, h = s.extype == 6 ? s.r2 / s.r1 : 1.0;
      const double sweep = le / r1;
      const double f = std::atan2(s.y - s.oy, s.x - s.ox);
      JwDxf::AddCurve(out, p, s.ox, s.oy, r1, h, s.extype == 6 ? s.ellipseAngle : 0.0, dir == 1 ? f - sweep : f,
                      sweep, false, 1.0);
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
    const dxf::Point t1 = at(pa1 * std::cos(pa2), pa1 * std::sin(pa2)),
                     t2 = at(pa1 * std::cos(-pa2), pa1 * std::sin(-pa2));
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
  ins.at = {s.x, s.y};
  ins.sx = ins.sy = 1 / c;
  ins.rotationDeg = s.angle * 180 / kPi;
  out.push_back(ins);
}

void K4SceneDxf::Add(const scene::K4Stroke& e) {
  auto& out = doc_.entities;
  const dxf::Props lp = ObjectProps(e.h, e.attr, e.pen.palette);
  switch (e.kind) {
    case scene::K4StrokeKind::Line:
      if (std::isfinite(e.a.X + e.a.Y + e.b.X + e.b.Y)) out.push_back(dxf::Line{lp, {e.a.X, e.a.Y}, {e.b.X, e.b.Y}});
      break;
    case scene::K4StrokeKind::Ellipse:
      JwDxf::AddCurve(out, lp, e.a.X, e.a.Y, e.r, e.flat, e.tilt, e.full ? 0 : e.start, e.full ? 2 * kPi : e.sweep,
                      e.full, 1.0);
      break;
    case scene::K4StrokeKind::Polyline:
      if (e.points.size() >= 2) out.push_back(dxf::Polyline{lp, Pts(e.points), false});
      break;
    case scene::K4StrokeKind::Bezier: {
      const std::span<const TDPoint> pts(e.points);
      const size_t segs = pts.size() >= 4 ? (pts.size() - 1) / 3 : 0;
      if (segs == 0) break;
      dxf::Spline sp;
      sp.p = lp;
      sp.control = Pts(pts.first(segs * 3 + 1));
      if (sp.control.size() != segs * 3 + 1) break;
      // Cubic Bezier pieces joined end to end: every inner knot three times.
      for (int j = 0; j < 4; ++j) sp.knots.push_back(0);
      for (size_t s = 1; s < segs; ++s)
        for (int j = 0; j < 3; ++j) sp.knots.push_back(static_cast<double>(s));
      for (int j = 0; j < 4; ++j) sp.knots.push_back(static_cast<double>(segs));
      out.push_back(sp);
      break;
    }
  }
  if (!e.edge) return;
  Mark((*e.edge)[0], lp, e.attr.scale, 1);
  Mark((*e.edge)[1], lp, e.attr.scale, 2);
}

void K4SceneDxf::Add(const scene::K4Point& e) {
  dxf::Props p = ObjectProps(e.h, e.attr);
  if (!std::isfinite(e.p.X + e.p.Y)) return;
  dxf::Props fp;
  fp.layer = p.layer;
  fp.color = DxfColour(e.own);
  doc_.entities.push_back(dxf::PointEntity{fp, {e.p.X, e.p.Y}});
}

void K4SceneDxf::Add(const scene::K4Text& e) {
  ObjectProps(e.h, e.attr);
  // A text of no style (kept for its layer and line type) writes nothing.
  if (e.h.flags & scene::kNotDrawn) return;
  jw_.SetLgScale(e.macroScale);
  dxf::Props tp = PenProps(e.h.layer, e.pen, 0, e.attr.scale, e.palette);
  tp.linetype.clear();
  tp.lineweight = dxf::kLwByLayer;
  // Laid out on paper, then brought back to the drawing.
  jw_.AddText(doc_.entities, tp, e.p1.X, e.p1.Y, e.p2.X, e.p2.Y, e.height, e.width, e.spacing, e.style, e.font,
              e.text, e.macroScale);
}

void K4SceneDxf::Add(const scene::K4Fill& e) {
  const dxf::Props lp = ObjectProps(e.h, e.attr);
  if (e.points.size() < 3) return;
  const double c = e.attr.scale;
  dxf::Hatch h;
  h.p.layer = lp.layer;
  h.p.color = DxfColour(e.colour);
  h.loops.push_back(Pts(e.points));
  if (e.kind == scene::K4FillKind::Gradient && !e.greyed) {
    dxf::Gradient g;
    g.rgb1 = RefToColor(static_cast<int32_t>(e.gradColour1)) & 0xFFFFFF;
    g.rgb2 = RefToColor(static_cast<int32_t>(e.gradColour2)) & 0xFFFFFF;
    g.angleRad = std::atan2(e.gradP2.Y - e.gradP1.Y, e.gradP2.X - e.gradP1.X);
    if (e.gradType == 1) {
      g.name = "CYLINDER";
    } else if (e.gradType == 2 || e.gradType == 3) {
      g.name = "SPHERICAL";
    }
    h.gradient = g;
    // Readers that fill gradients with the entity's colour show the colour
    // halfway between the two.
    uint32_t mid = 0xFF000000;
    for (int shift = 0; shift < 24; shift += 8)
      mid |= ((((g.rgb1 >> shift) & 0xFF) + ((g.rgb2 >> shift) & 0xFF)) / 2) << shift;
    h.p.color = DxfColour(mid);
  } else if (e.pattern >= 1 && e.pattern <= 5) {
    // The dot patterns: two dots a tile, the tile doubling from 2 x 2 to
    // 8 x 8 quarter millimetres of paper.
    static constexpr double kTile[5][2] = {{2, 2}, {4, 2}, {4, 4}, {8, 4}, {8, 8}};
    const double u = 0.25 / c, tw = kTile[e.pattern - 1][0] * u, th = kTile[e.pattern - 1][1] * u;
    h.pattern = "K4_DOTS" + std::to_string(e.pattern);
    h.patternLines.push_back({0, {0, 0}, {tw / 2, th / 2}, {0, -tw}});
  }
  doc_.entities.push_back(std::move(h));
}

// A bitmap object: an IMAGE of its own bytes, which the export writes beside
// the DXF, on the corners' box turned with its first edge, as the painter
// places it. A greyed one is the grey box the drawing shows; bytes of no
// known type or that do not decode are left out, as they draw nothing.
void K4SceneDxf::Add(const scene::K4Bitmap& e) {
  const std::string layer = ObjectProps(e.h, e.attr).layer;
  const auto& pos = e.corners;
  for (const TDPoint& q : pos)
    if (!std::isfinite(q.X + q.Y)) return;
  if (e.greyed) {
    dxf::Hatch h;
    h.p.layer = layer;
    h.p.color = DxfColour(kGrey);
    h.loops.push_back(Pts(pos));
    doc_.entities.push_back(std::move(h));
    return;
  }
  const char* ext = e.type == 1    ? ".jpg"
                    : e.type == 2  ? ".png"
                    : e.type == 10 ? ".gif"
                    : e.type == 11 ? ".tif"
                    : e.type == 12 ? ".bmp"
                                   : nullptr;
  if (!ext || !e.bytes) return;
  const double bw = std::hypot(pos[1].X - pos[0].X, pos[1].Y - pos[0].Y);
  const double bh = std::hypot(pos[3].X - pos[0].X, pos[3].Y - pos[0].Y);
  if (!(bw > 0) || !(bh > 0)) return;
  const LoadedImage img = LoadImageMemory(*e.bytes);
  if (!img.ok() || img.bitmap.width <= 0 || img.bitmap.height <= 0) return;
  const size_t def = doc_.images.size();
  dxf::ImageDef d;
  d.file = "image" + std::to_string(def + 1) + ext;
  d.width = img.bitmap.width;
  d.height = img.bitmap.height;
  d.content = *e.bytes;
  doc_.images.push_back(std::move(d));
  const double a = std::atan2(pos[1].Y - pos[0].Y, pos[1].X - pos[0].X);
  dxf::Image image = CroppedImage(pos[0].X, pos[0].Y, bw, bh, a, img.bitmap.width, img.bitmap.height, 0, 0, 1, 1);
  image.p.layer = layer;
  image.def = def;
  doc_.entities.push_back(std::move(image));
}

}  // namespace

void ExportK4SceneDxf(const scene::Scene& s, const ConversionContext& ctx, dxf::Document& doc) {
  K4SceneDxf(s, ctx, doc).Run();
}

}  // namespace zumen
