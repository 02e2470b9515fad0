// Layers, pens, line types, texts, curves, solids and markers of the
// Jw-family drawings as DXF entities.
#include "dxf/jw_dxf.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>

#include "common/cp932.h"
#include "common/text.h"
#include "renderer/text_layout.h"

namespace zumen {

namespace {

constexpr double kPi = std::numbers::pi;
// The renderer puts a glyph's baseline this share of the character height
// below the top of its cell (the ascent of the IPA fonts it draws with).
constexpr double kAscent = 0.88;
// DXF text heights are the heights of capital letters; the character height
// of a Jw text is the height of its whole cell, the font's em. Capitals of
// the Japanese Gothic and Mincho fonts stand this share of the em high (IPA
// Gothic and IPA Mincho: 0.75).
constexpr double kCapHeight = 0.75;

dxf::Point P(double x, double y, double s) { return {x * s, y * s}; }

// Point of the ellipse arc at parameter t (Jw parameters).
TDPoint EllipsePoint(double cx, double cy, double r, double h, double a, double t) {
  const double u = r * std::cos(t), v = r * h * std::sin(t);
  return {cx + u * std::cos(a) - v * std::sin(a), cy + u * std::sin(a) + v * std::cos(a)};
}

// The 73 points of an arc as the renderer samples it.
std::vector<TDPoint> ArcPoints(double cx, double cy, double r, double h, double a, double sa, double da) {
  std::vector<TDPoint> pts;
  pts.reserve(73);
  double t = sa;
  const double step = da / 72;
  for (int i = 0; i <= 72; ++i) {
    pts.push_back(EllipsePoint(cx, cy, r, h, a, t));
    t += step;
  }
  return pts;
}

std::vector<dxf::Point> Scaled(const std::vector<TDPoint>& pts, double s) {
  std::vector<dxf::Point> out;
  out.reserve(pts.size());
  for (const TDPoint& p : pts) out.push_back({p.X * s, p.Y * s});
  return out;
}

bool Finite(const std::vector<TDPoint>& pts) {
  for (const TDPoint& p : pts)
    if (!std::isfinite(p.X) || !std::isfinite(p.Y)) return false;
  return true;
}

std::string Number(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%g", v);
  return buf;
}

// Names of the Windows fonts whose file every CAD program on Windows knows.
const char* FontFile(const std::u16string& family) {
  static const std::pair<const char16_t*, const char*> kFiles[] = {
      {u"ＭＳ ゴシック", "msgothic.ttc"}, {u"ＭＳ　ゴシック", "msgothic.ttc"}, {u"MS Gothic", "msgothic.ttc"},
      {u"ＭＳ Ｐゴシック", "msgothic.ttc"}, {u"MS PGothic", "msgothic.ttc"}, {u"ＭＳ ＵＩ ゴシック", "msgothic.ttc"},
      {u"MS UI Gothic", "msgothic.ttc"}, {u"ＭＳ 明朝", "msmincho.ttc"}, {u"ＭＳ　明朝", "msmincho.ttc"},
      {u"MS Mincho", "msmincho.ttc"}, {u"ＭＳ Ｐ明朝", "msmincho.ttc"}, {u"MS PMincho", "msmincho.ttc"},
  };
  for (const auto& [name, file] : kFiles)
    if (family == name) return file;
  return "";
}

}  // namespace

dxf::Color DxfColour(uint32_t argb) {
  const uint32_t rgb = argb & 0xFFFFFF;
  // Black and white are the reader's foreground colour, which stays visible
  // on its background whichever that is.
  if (rgb == 0 || rgb == 0xFFFFFF) return {7, std::nullopt};
  return {dxf::NearestAci(rgb), rgb};
}

JwDxf::JwDxf(const scene::Scene& s, const ConversionContext& ctx, dxf::Document& doc, MacroRules rules)
    : s_(s), ctx_(ctx), doc_(doc), rules_(rules) {}

std::string JwDxf::Layer(int n) {
  if (n < 0 || n > 255) return "0";
  if (!layerNames_[n].empty()) return layerNames_[n];
  static const char kHex[] = "0123456789ABCDEF";
  const std::string number = std::string(1, kHex[n / 16]) + "-" + kHex[n % 16];
  const scene::LayerDef& L = s_.layers[static_cast<size_t>(n)];
  // The names are kept as "[g] name" and "(l) name"; the names follow the prefix.
  auto own = [](const std::u16string& s) {
    std::u16string v = s.size() >= 4 && s[3] == u' ' ? s.substr(4) : s;
    while (!v.empty() && (v.back() == u' ' || v.back() == u'　')) v.pop_back();
    while (!v.empty() && (v.front() == u' ' || v.front() == u'　')) v.erase(0, 1);
    return v;
  };
  const std::u16string g = own(L.groupName), l = own(L.name);
  std::string name = number;
  if (!g.empty() || !l.empty()) {
    name = dxf::SafeName((g.empty() ? std::string(1, kHex[n / 16]) : Utf16ToUtf8(g)) + "-" +
                             (l.empty() ? std::string(1, kHex[n % 16]) : Utf16ToUtf8(l)),
                         number);
    // Names must differ (without regard to case); the number tells them apart.
    if (doc_.FindLayer(name) || dxf::SameName(name, "0") || dxf::SameName(name, "Defpoints"))
      name = dxf::SafeName(name + " " + number, number);
  }
  dxf::Layer layer;
  layer.name = name;
  // States as the picture shows them (the context holds the layer selection).
  const int32_t st = ctx_.GAtt.GetAttrLayerState(n);
  layer.off = st == 3;
  layer.locked = st == 2 || L.locked;
  doc_.layers.push_back(layer);
  layerNames_[static_cast<size_t>(n)] = name;
  return name;
}

dxf::Props JwDxf::PenProps(int layer, int pen) { return ColourProps(layer, ctx_.GAtt.GetAttrColcol(pen)); }

dxf::Props JwDxf::ColourProps(int layer, uint32_t argb) {
  dxf::Props p;
  p.layer = Layer(layer);
  p.color = DxfColour(argb);
  return p;
}

dxf::Props JwDxf::LineProps(int layer, int pen, int ltype, double widthMm, double scale) {
  dxf::Props p = PenProps(layer, pen);
  p.lineweight = dxf::NearestLineweight(std::max(0.0, widthMm));
  p.linetype = Linetype(ltype, scale);
  return p;
}

std::string JwDxf::Linetype(int jn, double scale) {
  if (TgraAttribute::TypIndex(jn) < 0 || ctx_.GAtt.GetAttrTypseg(jn) <= 0) return {};
  const auto key = std::make_pair(jn, scale);
  if (auto it = linetypes_.find(key); it != linetypes_.end()) return it->second;
  double pat[TjwvLtype::kMaxSeg] = {};
  const int32_t seg = std::min<int32_t>(ctx_.GAtt.GetAttrTyppat(jn, pat), TjwvLtype::kMaxSeg);
  dxf::Linetype lt;
  lt.name = "JW" + std::to_string(jn) + (scale != 1 ? "_" + Number(scale) : "");
  lt.description = "Jw line type " + std::to_string(jn) + (scale != 1 ? " at 1:" + Number(scale) : "");
  for (int i = 0; i < seg; ++i) lt.elements.push_back(pat[i] * scale);
  doc_.linetypes.push_back(lt);
  linetypes_[key] = lt.name;
  return lt.name;
}

std::string JwDxf::Style(const std::u16string& font, int32_t Ftyp) {
  const int32_t bi = Ftyp & 3;
  const auto key = std::make_pair(font, bi);
  if (auto it = styles_.find(key); it != styles_.end()) return it->second;
  std::u16string family = font.empty() ? u"ＭＳ ゴシック" : font;
  size_t at = 0;
  while (at < family.size() && family[at] == u'@') ++at;
  dxf::TextStyle st;
  st.family = Utf16ToUtf8(family);
  st.fontFile = FontFile(family.substr(at));
  st.bold = bi & 1;
  st.italic = bi & 2;
  std::string name = dxf::SafeName(st.family + (st.bold ? " Bold" : "") + (st.italic ? " Italic" : ""), "Jw");
  while (doc_.FindStyle(name) || dxf::SameName(name, "Standard")) name += "_";
  st.name = name;
  doc_.styles.push_back(st);
  styles_[key] = name;
  return name;
}

namespace {

// MTEXT content of plain text: backslashes and braces are codes there, so
// literal ones are escaped.
std::string MTextLiteral(const std::string& utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (char c : utf8) {
    if (c == '\\' || c == '{' || c == '}') out += '\\';
    out += c;
  }
  return out;
}

// A TEXT whose glyph stands in a cell of height h (negative: upside down in
// its cell) and full width w, drawn along a (radians) from the cell's
// bottom-left corner (x, y): its insertion point is where the glyph's
// baseline starts.
dxf::Text CellText(double x, double y, double a, double h, double w, double scale) {
  const double ah = std::fabs(h);
  // Upside down in its cell, the glyph hangs from a baseline near the top.
  const double lift = h < 0 ? ah * kAscent : ah * (1 - kAscent);
  dxf::Text t;
  t.insert = P(x - std::sin(a) * lift, y + std::cos(a) * lift, scale);
  t.height = ah * kCapHeight * scale;
  t.widthFactor = ah > 0 && std::fabs(w) > 0 ? std::fabs(w) / ah : 1;
  t.rotationDeg = a * 180 / kPi;
  t.mirrorY = h < 0;
  return t;
}

}  // namespace

void JwDxf::AddText(std::vector<dxf::Entity>& out, dxf::Props props, double x1, double y1, double x2, double y2,
                    double h, double w, double sp, int32_t Ftyp, const std::u16string& font, const std::u16string& s,
                    double scale) {
  struct Collect final : TextRunSink {
    JwDxf& jw;
    std::vector<dxf::Entity>& out;
    dxf::Props props;
    const std::u16string& font;
    double scale;
    std::u16string shown;  // every run's text, for the group's description
    bool split = false;    // some run was written character by character
    Collect(JwDxf& j, std::vector<dxf::Entity>& o, dxf::Props p, const std::u16string& f, double sc)
        : jw(j), out(o), props(std::move(p)), font(f), scale(sc) {}
    int32_t Run(const TextRun& r) override {
      bool visible = false;
      for (char16_t c : r.text) visible = visible || !(c < 0x20 || c == u' ' || c == u'　');
      if (!visible || !(std::fabs(r.h) > 0) || !std::isfinite(r.x + r.y + r.ang + r.h + r.w + r.sp)) return 2;
      const size_t turns = GlyphWalker::Turns(font);
      const std::u16string family = font.substr(turns);
      const std::string style = jw.Style(family, r.style);
      const std::string decoration = std::string(r.style & 4 ? "%%u" : "") + (r.style & 8 ? "%%k" : "");
      shown += r.text;
      // The renderer sets every character in a cell of the text's width
      // (half of it for half-width characters) and moves on by the width
      // plus the spacing (half of both). A horizontal run is one entity at
      // the start of its base line: a TEXT when the cells touch, else an
      // MTEXT whose tracking stretches every advance by (w + sp) / w, the
      // same share for both widths. Vertical writing turns glyphs one by
      // one, and MTEXT cannot show glyphs upside down in their cells: those
      // runs, and spacing that would run characters backwards, keep one
      // TEXT per character in its cell.
      const bool spaced = std::fabs(r.sp) > 1e-9 * std::fabs(r.w);
      const double tracking = std::fabs(r.w) > 0 ? (std::fabs(r.w) + r.sp) / std::fabs(r.w) : 0;
      if (turns == 0 && !spaced) {
        dxf::Text t = CellText(r.x, r.y, r.ang, r.h, r.w, scale);
        t.p = props;
        t.style = style;
        t.text = decoration + Utf16ToUtf8(r.text);
        out.push_back(std::move(t));
        return 0;
      }
      if (turns == 0 && r.h > 0 && tracking > 1e-3) {
        const dxf::Text cell = CellText(r.x, r.y, r.ang, r.h, r.w, scale);
        dxf::MText t;
        t.p = props;
        t.style = style;
        t.insert = cell.insert;
        t.height = cell.height;
        t.rotationDeg = cell.rotationDeg;
        t.attachment = 7;  // bottom left: the insertion point starts the base line, as a TEXT's does
        std::string codes = "\\T" + Number(tracking) + ";";
        if (cell.widthFactor != 1) codes += "\\W" + Number(cell.widthFactor) + ";";
        if (r.style & 4) codes += "\\L";
        if (r.style & 8) codes += "\\K";
        t.text = codes + MTextLiteral(Utf16ToUtf8(r.text));
        out.push_back(std::move(t));
        return 0;
      }
      split = true;
      GlyphWalker walk(r, font, jw.rules_ == MacroRules::K4);
      for (char16_t c : r.text) {
        const GlyphCell g = walk.Next(c);
        if (c < 0x20 || c == u' ' || c == u'　') continue;
        // GLAText1 centres the cell on (cx, cy); the text starts at its
        // bottom-left corner.
        const double cw = IsFullWidthChar(c) ? std::fabs(g.w) : std::fabs(g.w) / 2, ah = std::fabs(g.h);
        const double x = g.cx - std::cos(g.a) * cw / 2 + std::sin(g.a) * ah / 2;
        const double y = g.cy - std::sin(g.a) * cw / 2 - std::cos(g.a) * ah / 2;
        if (!std::isfinite(x + y + g.a + g.h + g.w)) continue;
        dxf::Text t = CellText(x, y, g.a, g.h, g.w, scale);
        t.p = props;
        t.style = style;
        t.text = decoration + Utf16ToUtf8(std::u16string(1, c));
        out.push_back(std::move(t));
      }
      return 0;
    }
    void Colour(int32_t d) override { props.color = DxfColour(jw.ctx().GAtt.GetAttrColcol(d)); }
  } collect(*this, out, std::move(props), font, scale);
  const size_t first = out.size();
  LayOutText(ctx_, lgScale_, rules_, x1, y1, x2, y2, h, w, sp, Ftyp, s, collect);
  // The characters of a text written one by one are grouped in model space,
  // the group described by the text.
  if (collect.split && &out == &doc_.entities && out.size() > first + 1) {
    dxf::Group g;
    g.description = Utf16ToUtf8(collect.shown);
    for (size_t i = first; i < out.size(); ++i) g.members.push_back(i);
    doc_.groups.push_back(std::move(g));
  }
}

void JwDxf::AddCurve(std::vector<dxf::Entity>& out, const dxf::Props& p, double cx, double cy, double r, double h,
                     double a, double sa, double da, bool whole, double scale) {
  if (!std::isfinite(cx + cy + r + h + a + sa + da) || r == 0) return;
  if (r < 0) {
    r = -r;
    a += kPi;
  }
  if (h < 0) {
    h = -h;
    sa = -sa;
    da = -da;
  }
  if (std::fabs(da) >= 2 * kPi - 1e-12) whole = true;
  if (da < 0) {
    sa += da;
    da = -da;
  }
  const dxf::Point c = P(cx, cy, scale);
  if (std::fabs(h - 1) < 1e-9) {
    if (whole) {
      out.push_back(dxf::Circle{p, c, r * scale});
    } else {
      const double s = (a + sa) * 180 / kPi;
      out.push_back(dxf::Arc{p, c, r * scale, s, s + da * 180 / kPi});
    }
    return;
  }
  dxf::Ellipse e;
  e.p = p;
  e.c = c;
  double shift = 0;
  if (h <= 1) {
    e.major = {r * std::cos(a) * scale, r * std::sin(a) * scale};
    e.ratio = std::max(h, 1e-6);
  } else {
    // The longer axis is the flattened one: it becomes the major axis, and
    // the parameters turn back by a quarter.
    e.major = {-r * h * std::sin(a) * scale, r * h * std::cos(a) * scale};
    e.ratio = 1 / h;
    shift = -kPi / 2;
  }
  if (whole) {
    e.start = 0;
    e.end = 2 * kPi;
  } else {
    e.start = sa + shift;
    e.end = sa + da + shift;
  }
  out.push_back(e);
}

void JwDxf::AddSolidArc(std::vector<dxf::Entity>& out, const dxf::Props& p, int sty, double cx, double cy, double r,
                        double h, double a, double sa, double da, double zf, double scale) {
  const bool full = std::fabs(zf - 100) <= 1e-14;
  std::vector<TDPoint> pts;
  dxf::Hatch hatch;
  hatch.p = p;
  switch (sty) {
    case 101: {
      if (full) {
        pts = ArcPoints(cx, cy, r, h, a, 0, 2 * kPi);
      } else {
        pts = ArcPoints(cx, cy, r, h, a, sa, da);
        if (std::fabs(zf) <= 1e-14) {
          pts.push_back({cx, cy});
        } else if (std::fabs(zf - 5) > 1e-14) {
          // The region between the arc and its end tangents.
          const double e = sa + da;
          const double x1 = r * std::cos(sa), y1 = r * h * std::sin(sa);
          const double dx1 = r * std::cos(sa + kPi / 2), dy1 = r * h * std::sin(sa + kPi / 2);
          const double x2 = r * std::cos(e), y2 = r * h * std::sin(e);
          const double dx2 = r * std::cos(e - kPi / 2), dy2 = r * h * std::sin(e - kPi / 2);
          const double den = dx1 * dy2 - dy1 * dx2;
          TDPoint t{cx, cy};
          if (std::fabs(den) > 1e-12) {
            const double k = ((x2 - x1) * dy2 - (y2 - y1) * dx2) / den;
            const double tx = x1 + k * dx1, ty = y1 + k * dy1;
            t = {cx + tx * std::cos(a) - ty * std::sin(a), cy + tx * std::sin(a) + ty * std::cos(a)};
          }
          pts.push_back(t);
        }
      }
      if (!Finite(pts)) return;
      hatch.loops.push_back(Scaled(pts, scale));
      break;
    }
    case 105:
    case 106: {
      if (zf == 0) return;
      const double hi = sty == 105 ? h : (h * r - r) / zf + 1;
      std::vector<TDPoint> outer = ArcPoints(cx, cy, r, h, a, sa, da);
      std::vector<TDPoint> inner = ArcPoints(cx, cy, zf, hi, a, sa, da);
      if (!Finite(outer) || !Finite(inner)) return;
      if (std::fabs(da) >= 2 * kPi - 1e-12) {
        // A whole ring: the inner ellipse is a hole.
        hatch.loops.push_back(Scaled(outer, scale));
        hatch.loops.push_back(Scaled(inner, scale));
      } else {
        std::reverse(inner.begin(), inner.end());
        outer.insert(outer.end(), inner.begin(), inner.end());
        hatch.loops.push_back(Scaled(outer, scale));
      }
      break;
    }
    case 111: {
      pts = full ? ArcPoints(cx, cy, r, h, a, 0, 2 * kPi) : ArcPoints(cx, cy, r, h, a, sa, da);
      if (!Finite(pts)) return;
      out.push_back(dxf::Polyline{p, Scaled(pts, scale), false});
      return;
    }
    default:
      return;
  }
  out.push_back(std::move(hatch));
}

void JwDxf::AddSolid(std::vector<dxf::Entity>& out, const dxf::Props& p, std::vector<TDPoint> pts, double scale) {
  if (!Finite(pts)) return;
  // Repeated corners (a triangle stored as a quadrilateral) count once.
  std::vector<TDPoint> q;
  for (const TDPoint& v : pts)
    if (q.empty() || std::fabs(q.back().X - v.X) > 1e-12 || std::fabs(q.back().Y - v.Y) > 1e-12) q.push_back(v);
  while (q.size() > 1 && std::fabs(q.back().X - q.front().X) <= 1e-12 && std::fabs(q.back().Y - q.front().Y) <= 1e-12)
    q.pop_back();
  if (q.size() < 3) return;
  bool convex = q.size() <= 4;
  if (convex) {
    int sign = 0;
    for (size_t i = 0; i < q.size(); ++i) {
      const TDPoint& a = q[i];
      const TDPoint& b = q[(i + 1) % q.size()];
      const TDPoint& c = q[(i + 2) % q.size()];
      const double cr = (b.X - a.X) * (c.Y - b.Y) - (b.Y - a.Y) * (c.X - b.X);
      const int s = cr > 0 ? 1 : cr < 0 ? -1 : 0;
      if (s != 0 && sign != 0 && s != sign) convex = false;
      if (s != 0) sign = s;
    }
  }
  if (convex) {
    dxf::Solid s;
    s.p = p;
    const std::vector<dxf::Point> v = Scaled(q, scale);
    s.c[0] = v[0];
    s.c[1] = v[1];
    // DXF takes the last two corners crosswise.
    s.c[2] = v.size() == 4 ? v[3] : v[2];
    s.c[3] = v[2];
    out.push_back(s);
    return;
  }
  dxf::Hatch hatch;
  hatch.p = p;
  hatch.loops.push_back(Scaled(q, scale));
  out.push_back(std::move(hatch));
}

void JwDxf::AddMarker(std::vector<dxf::Entity>& out, int layer, double x, double y, int kf, int pc, double a,
                      double ba, int pen, double scale) {
  if (!std::isfinite(x + y + a + ba)) return;
  const dxf::Props p = PenProps(layer, pen);
  if (kf == 1 || pc == 0) {
    out.push_back(dxf::PointEntity{p, P(x, y, scale)});
    return;
  }
  if (ba <= 1e-8) ba = 1;
  const double ca = std::cos(a), sa = std::sin(a);
  auto at = [&](double u, double v) {
    return TDPoint{x + (u * ba) * ca - (v * ba) * sa, y + (u * ba) * sa + (v * ba) * ca};
  };
  auto line = [&](TDPoint p1, TDPoint p2) { out.push_back(dxf::Line{p, P(p1.X, p1.Y, scale), P(p2.X, p2.Y, scale)}); };
  auto polar = [&](double rr, double deg) { return at(rr * std::cos(deg * kPi / 180), rr * std::sin(deg * kPi / 180)); };
  auto outline = [&](const std::vector<TDPoint>& v) {
    std::vector<TDPoint> closed = v;
    closed.push_back(v.front());
    out.push_back(dxf::Polyline{p, Scaled(closed, scale), false});
  };
  dxf::Props background = p;
  background.color = {255, 0xFFFFFF};
  auto fill = [&](const std::vector<TDPoint>& v, const dxf::Props& fp) {
    dxf::Hatch hatch;
    hatch.p = fp;
    hatch.loops.push_back(Scaled(v, scale));
    out.push_back(std::move(hatch));
  };
  const double rc = 1.25 * ba;
  auto circle = [&] { out.push_back(dxf::Circle{p, P(x, y, scale), rc * scale}); };
  auto disc = [&](const dxf::Props& fp) {
    fill(ArcPoints(x, y, rc, 1, 0, 0, 2 * kPi), fp);
  };
  const std::vector<TDPoint> arrow = {at(0, 0), at(-7.5, 1.25), at(-7.5, -1.25)};
  const std::vector<TDPoint> square = {at(-1.25, -1.25), at(1.25, -1.25), at(1.25, 1.25), at(-1.25, 1.25)};
  switch (pc) {
    case -1:
      line(at(0, 1.25), at(0, -1.25));
      line(polar(1.25, 30), polar(1.25, 210));
      line(polar(1.25, 150), polar(1.25, 330));
      break;
    case -2: circle(); break;
    case -3: fill(ArcPoints(x, y, ctx_.GAtt.GetAttrColwid(pen) * ba, 1, 0, 0, 2 * kPi), p); break;
    case -4:
      line(at(0, 1.25), at(0, -1.25));
      line(at(-1.25, 0), at(1.25, 0));
      break;
    case -5: outline(square); break;
    case -6: outline({polar(5.0 / 3, 90), polar(5.0 / 3, 210), polar(5.0 / 3, 330)}); break;
    case -7:
      line(polar(1.25, 45), polar(1.25, 225));
      line(polar(1.25, 135), polar(1.25, 315));
      break;
    case 1: fill(arrow, background); outline(arrow); break;
    case 2: fill(square, background); outline(square); break;
    case 3: disc(background); circle(); break;
    case 4: circle(); break;
    case 5: fill(square, p); outline(square); break;
    case 6: fill(arrow, p); outline(arrow); break;
    case 8: {
      const double rr = std::sqrt(2.0) * 1.25 * ba;
      const TDPoint c1 = at(std::sqrt(2.0) * 1.25, 0), c2 = at(-std::sqrt(2.0) * 1.25, 0);
      AddCurve(out, p, c1.X, c1.Y, rr, 1, a, kPi / 2, kPi / 2, false, scale);
      AddCurve(out, p, c2.X, c2.Y, rr, 1, a, 3 * kPi / 2, kPi / 2, false, scale);
      break;
    }
    case 9:
      line(at(0, 0), at(-7.5, 1.25));
      line(at(0, 0), at(-7.5, -1.25));
      break;
    case 10: line(polar(2.5, 45), polar(2.5, 225)); break;
    case 11: outline(arrow); break;
    default: disc(p); circle(); break;
  }
}

dxf::Image CroppedImage(double x, double y, double bw, double bh, double a, double W, double H, double drx,
                        double dry, double drr, double scale) {
  if (drr <= 1e-14) drr = 1;
  if (drx <= 1e-14) drx = 0;
  if (dry <= 1e-14) dry = 0;
  const double k = bh / bw;
  // The crop in pixels, rows counted from the top as DXF counts them.
  const double sx0 = W * drx, sy0 = H - W * k * drr - H * dry;
  const double sx1 = sx0 + std::fabs(W * drr), sy1 = sy0 + std::fabs(W * k * drr);
  const double px = bw / std::fabs(W * drr);
  const double ca = std::cos(a), sa = std::sin(a);
  // The image's bottom-left corner lies left of and below the crop's.
  const double ox = -sx0 * px, oy = -(H - sy1) * px;
  dxf::Image image;
  image.insert = P(x + ox * ca - oy * sa, y + ox * sa + oy * ca, scale);
  image.u = {px * ca * scale, px * sa * scale};
  image.v = {-px * sa * scale, px * ca * scale};
  image.clip = std::make_pair(dxf::Point{sx0 - 0.5, sy0 - 0.5}, dxf::Point{sx1 - 0.5, sy1 - 0.5});
  return image;
}

}  // namespace zumen
