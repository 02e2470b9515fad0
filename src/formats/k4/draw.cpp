// The K4 drawing pass: every indexed object once, in file order, with the
// colour, pen width and dash pattern of its attribute word and the drawing's
// print styles, scaled by the scale of its layer group.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "attributes/graattribute.h"
#include "codecs/image_io.h"
#include "common/cp932.h"
#include "common/geometry.h"
#include "common/text.h"
#include "context/context.h"
#include "formats/k4/k4data.h"
#include "formats/k4/objects.h"
#include "render_k4/graph.h"

namespace zumen {

namespace {

constexpr double kPi = std::numbers::pi;
constexpr uint32_t kGrey = 0xFFD8D8D8;       // objects of greyed groups and layers
constexpr uint32_t kAuxGrey = 0xFF888888;    // auxiliary lines
constexpr uint8_t kAuxType = kK4AuxType;

using k4::Points;
using k4::Scaled;
using k4::Sweep;

// Image formats a bitmap object may hold: 1 JPEG, 2 PNG, 10 GIF, 11 TIFF,
// 12 BMP; objects of any other type draw nothing.
bool KnownImageType(int32_t typ) { return typ == 1 || typ == 2 || typ == 10 || typ == 11 || typ == 12; }

}  // namespace

void TK4Data::SepAttr(uint16_t a, uint8_t& lg, uint8_t& ly, uint8_t& col, uint8_t& typ) {
  ly = static_cast<uint8_t>((a >> 12) & 15);
  lg = static_cast<uint8_t>((a >> 8) & 15);
  col = static_cast<uint8_t>((a >> 4) & 15);
  typ = static_cast<uint8_t>(a & 15);
}

bool TK4Data::Greyed(uint8_t lg, uint8_t ly) const {
  const auto& g = li.grp[lg & 15];
  return g.state == 1 || g.tab[ly & 15].state == 1;
}

void TK4Data::SetColor(TGraph& Gra, bool dispMode, uint8_t lg, uint8_t ly, uint8_t co, uint8_t ty,
                       uint32_t col) const {
  uint32_t c;
  if (Greyed(lg, ly)) c = kGrey;
  else if (ty == kAuxType) c = kAuxGrey;
  else if (dispMode) c = RefToColor(static_cast<int32_t>(col));
  else c = TGraph::ColorNumber(co);
  Gra.GPenSetColor(Gra.Ctx.InkColour(c));
}

void TK4Data::SetWidth(TGraph& Gra, const ConversionContext& ctx, bool dispMode, uint8_t co, uint8_t ty) const {
  uint32_t w = 1;
  if (ty != kAuxType && dispMode) {
    double x = prnstl.width[co & 15] * 0.01 * ctx.DispScale;
    if (!(x > 1)) x = 1;
    if (x > 400) x = 400;
    w = static_cast<uint32_t>(std::nearbyint(x));
  }
  Gra.GPenSetWidth(w);
}

std::vector<double> TK4Data::BasePattern(uint8_t ty) const {
  std::vector<double> pat;
  const auto& lt = prnstl.ltype[ty & 15];
  switch (lt[0]) {
    case 1: pat = {2, 2}; break;
    case 2: pat = {0.25, 0.5}; break;
    case 3: pat = {12, 1, 1, 1}; break;
    case 4: pat = {12, 1, 1, 1, 1, 1}; break;
    case 7: {
      // The entry holds at most 10 lengths, whatever its count says.
      const uint32_t n = std::min<uint32_t>(static_cast<uint32_t>(lt[1]), 10);
      for (uint32_t i = 0; i < n; ++i) pat.push_back(static_cast<uint32_t>(lt[2 + i]) * 0.01);
      break;
    }
    default: break;
  }
  return pat;
}

void TK4Data::SetLinePattern(TGraph& Gra, const ConversionContext& ctx, uint8_t co, uint8_t ty) const {
  Gra.GLSetDT();
  std::vector<double> pat = BasePattern(ty);
  double b = pat.empty() ? 0.01 : *std::min_element(pat.begin(), pat.end());
  double x;
  if (ty == kAuxType) {
    pat = {0.25, 2};
    b = 0.25;
    x = 1 / ctx.DispScale;
  } else {
    x = prnstl.width[co & 15] * 0.01;
  }
  if (x / 2 > b && !pat.empty())
    for (double& e : pat) e += x;
  Gra.GLPenSetLtypePat(static_cast<int32_t>(pat.size()), pat);
}

void TK4Data::GLDrawALL(TGraph& Gra, ConversionContext& ctx, const TK4DrawModes& modes) const {
  Gra.GPenSet(ctx.InkColour(0xFF000000), 0, 1);
  const size_t n = std::min<size_t>(static_cast<size_t>(std::max(EntN, 0)), Ent.size());
  for (size_t i = 0; i < n; ++i) {
    // Each object is drawn in the visit of its own layer group only, so the
    // group is looked up directly instead of visiting all sixteen.
    const TK4EntNo& e = Ent[i];
    for (int g = 0; g < 16; ++g) {
      if (li.grp[static_cast<size_t>(g)].state == 0) continue;
      const double c = k4::UsableScale(li.grp[static_cast<size_t>(g)].scale);
      if (DrawObject(Gra, ctx, modes, e, g, c)) break;
    }
  }
}

namespace {
// Attribute word of the object an index entry names; false when the entry
// names nothing.
template <typename T>
const T* Entry(const std::vector<T>& a, int32_t count, int32_t eno) {
  if (eno < 0 || eno >= count || static_cast<size_t>(eno) >= a.size()) return nullptr;
  return &a[static_cast<size_t>(eno)];
}
}  // namespace

const TK4ObjectHeader* TK4Data::HeaderOf(const TK4EntNo& e) const {
  const int32_t x = e.ENo;
  const auto find = [&](const auto& arr, int32_t cnt) -> const TK4ObjectHeader* {
    const auto* o = Entry(arr, cnt, x);
    return o ? &o->head : nullptr;
  };
  switch (e.INo) {
    case kK4Point: return find(pt, ptN);
    case kK4Line: return find(ln, lnN);
    case kK4LineEx: return find(lnx, lnxN);
    case kK4Circle: return find(cr, crN);
    case kK4CircleEx: return find(crx, crxN);
    case kK4Ellipse: return find(ep, epN);
    case kK4EllipseEx: return find(epx, epxN);
    case kK4Text: return find(tx, txN);
    case kK4TextEx: return find(txx, txxN);
    case kK4Polyline: return find(pl, plN);
    case kK4PolylineEx: return find(plx, plxN);
    case kK4Bezier: return find(bz, bzN);
    case kK4BezierEx: return find(bzx, bzxN);
    case kK4Polygon: return find(pg, pgN);
    case kK4PolygonGrad: return find(pgg, pggN);
    case kK4PolygonMapping: return find(pgm, pgmN);
    case kK4Bitmap: return find(bm, bmN);
    case kK4BitmapEx: return find(bmx, bmxN);
    case kK4Symbol: return find(sy, syN);
    default: return nullptr;  // groups draw nothing themselves
  }
}

bool TK4Data::DrawObject(TGraph& Gra, ConversionContext& ctx, const TK4DrawModes& modes, const TK4EntNo& e, int g,
                         double c) const {
  const int32_t k = e.INo, x = e.ENo;
  const TK4ObjectHeader* head = HeaderOf(e);
  if (!head) return true;
  uint8_t lg, ly, co, ty;
  SepAttr(head->attr, lg, ly, co, ty);
  if (lg != g) return false;
  if (li.grp[lg].tab[ly].state == 0) return true;
  ctx.LgScale = 1 / c;
  const size_t i = static_cast<size_t>(x);

  // Line kinds: own colour, width and pattern; auxiliary lines only in
  // auxiliary mode.
  const auto linePen = [&]() {
    if (ty == kAuxType && !modes.HojoMode) return false;
    SetColor(Gra, modes.DispMode, lg, ly, co, ty, head->color);
    SetWidth(Gra, ctx, modes.DispMode, co, ty);
    SetLinePattern(Gra, ctx, co, ty);
    return true;
  };
  const auto line = [&](const TK4ObjectLine& o) {
    const TDPoint a = Scaled(o.p1, c), b = Scaled(o.p2, c);
    Gra.GLLine2(a.X, a.Y, b.X, b.Y);
  };
  // Circles and ellipses; answers whether the figure is a full turn.
  const auto ellipse = [&](const TDPoint& pos, double r, double h, double a, const std::array<double, 2>& arc) {
    bool full;
    const double d = Sweep(arc[0], arc[1], full);
    const TDPoint m = Scaled(pos, c);
    if (full) Gra.GLEllipse2(m.X, m.Y, r, h, a);
    else Gra.GLEllipseArc2(m.X, m.Y, r, h, a, arc[0], d);
    return full;
  };
  const auto flatness = [](const TK4ObjectEllipse& o) { return o.r[0] != 0 ? o.r[1] / o.r[0] : 1.0; };
  const auto edge = [&](const TK4ObjectEdge& ed) { DrawEdge(Gra, ctx, ed, co, ty, c); };
  // Fill kinds take the object's own colour (or the greyed one).
  const auto fillColor = [&]() {
    SetColor(Gra, true, lg, ly, co, 0, head->color);
    return Gra.C.FillColor();
  };
  const bool greyed = Greyed(lg, ly);

  switch (k) {
    case kK4Line:
      if (linePen()) line(ln[i]);
      break;
    case kK4LineEx:
      if (linePen()) {
        line(lnx[i]);
        edge(lnx[i].edge);
      }
      break;
    case kK4Circle:
    case kK4CircleEx: {
      if (!linePen()) break;
      const TK4ObjectCircle& o = k == kK4Circle ? cr[i] : crx[i];
      const bool full = ellipse(o.pos, o.r * c, 1, 0, o.arc);
      if (k == kK4CircleEx && !full) edge(crx[i].edge);
      break;
    }
    case kK4Ellipse:
    case kK4EllipseEx: {
      if (!linePen()) break;
      const TK4ObjectEllipse& o = k == kK4Ellipse ? ep[i] : epx[i];
      const bool full = ellipse(o.pos, o.r[0] * c, flatness(o), o.angle, o.arc);
      if (k == kK4EllipseEx && !full) edge(epx[i].edge);
      break;
    }
    case kK4Polyline:
      if (linePen()) Gra.GLPolylin(pl[i].cnt, Points(pl[i]), c);
      break;
    case kK4PolylineEx:
      if (linePen()) {
        Gra.GLPolylin(plx[i].cnt, Points(plx[i]), c);
        edge(plx[i].edge);
      }
      break;
    case kK4Bezier:
      if (linePen()) Gra.GLBezier(bz[i].cnt, Points(bz[i]), c);
      break;
    case kK4BezierEx:
      if (linePen()) {
        Gra.GLBezier(bzx[i].cnt, Points(bzx[i]), c);
        edge(bzx[i].edge);
      }
      break;
    case kK4Symbol: {
      SetColor(Gra, modes.DispMode, lg, ly, co, ty, head->color);
      SetWidth(Gra, ctx, modes.DispMode, co, ty);
      SetLinePattern(Gra, ctx, co, ty);
      const TK4SymbolBody& s = sy[i].sym;
      const TDPoint p = Scaled(s.pos, c), o = Scaled(s.o, c);
      Gra.GLSymbol(p.X, p.Y, s.len, o.X, o.Y, s.r[0] * c, s.r[1] * c, s.elipang, s.angle, s.param[0], s.param[1],
                   s.style, s.extype, s.exattr, 0);
      break;
    }
    case kK4Point: {
      const int32_t pc = symstl.PointColorNo();
      const uint8_t pco = pc != 0 ? static_cast<uint8_t>(pc) : co;
      SetColor(Gra, modes.DispMode, lg, ly, pco, 0, head->color);
      const double r = symstl.PointDiameter() / 2;
      const TDPoint p = Scaled(pt[i].pos, c);
      Gra.GLSolidCircle(p.X, p.Y, r);
      Gra.GLEllipse(p.X, p.Y, r, 1, 0);
      break;
    }
    case kK4Text:
    case kK4TextEx: {
      const TK4ObjectText& o = k == kK4Text ? tx[i] : txx[i];
      // A style number past the drawing's 21 styles names no style: nothing to draw.
      if (k == kK4Text && o.style >= txtstl.size()) break;
      const TK4TextStyle& st = k == kK4Text ? txtstl[o.style] : txx[i].ex;
      const uint8_t tco = st.penno != 0 ? st.penno : co;
      SetColor(Gra, modes.DispMode, lg, ly, tco, 0, head->color);
      const double h = std::fabs(st.hight);
      double w = std::fabs(st.width);
      if (h * 0.1 >= w) w = h;
      const double sp = st.spce;
      const double L = AnsiTextWidth(o.text, w, sp);
      const TDPoint a = Scaled(o.pos, c);
      const double x2 = a.X + L * std::cos(o.angle), y2 = a.Y + L * std::sin(o.angle);
      const std::u16string font = o.lout == 1 ? u"@" + st.font : st.font;
      Gra.GLAText3(a.X, a.Y, x2, y2, h, w, sp, st.txattr & 3, font, o.text);
      break;
    }
    case kK4Polygon: {
      const uint32_t fc = fillColor();
      Gra.GPolygonPattern(pg[i].ptn, fc);
      Gra.GLPolygon(pg[i].cnt, Points(pg[i]), c);
      Gra.GPenSet(fc, 0, 1);
      break;
    }
    case kK4PolygonGrad: {
      const TK4ObjectPolygonGrad& o = pgg[i];
      const auto pts = Points(o);
      if (greyed || ctx.GAtt.GetAll1ColorState()) {
        // Greyed, or in one colour: a plain fill.
        Gra.GPenSetColor(ctx.InkColour(kGrey));
      } else {
        double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
        for (size_t j = 0; j < pts.size(); ++j) {
          if (j == 0 || pts[j].X < x1) x1 = pts[j].X;
          if (j == 0 || pts[j].Y < y1) y1 = pts[j].Y;
          if (j == 0 || pts[j].X > x2) x2 = pts[j].X;
          if (j == 0 || pts[j].Y > y2) y2 = pts[j].Y;
        }
        Gra.GPolygonGrad(o.grad.typ, o.grad.col[0], o.grad.col[1], o.grad.pos[0], o.grad.pos[1], x1, y1, x2, y2,
                         o.grad.angle);
      }
      const uint32_t fc = Gra.C.FillColor();
      Gra.GLPolygon(o.cnt, pts, c);
      Gra.GPenSet(fc, 0, 1);
      break;
    }
    case kK4PolygonMapping: {
      const TK4ObjectPolygonMapping& o = pgm[i];
      const uint32_t fc = fillColor();
      Gra.GPolygonPattern(o.ptn, fc);
      if (greyed) Gra.GPenSetColor(ctx.InkColour(kGrey));
      else Gra.GPolygonBmp(o.map.size.X, o.map.size.Y, o.map.depth, o.map.bmp);
      Gra.GLPolygon(o.cnt, Points(o), c);
      Gra.GPenSet(greyed ? ctx.InkColour(kGrey) : fc, 0, 1);
      break;
    }
    case kK4Bitmap:
    case kK4BitmapEx: {
      const TK4ObjectBitmap& o = k == kK4Bitmap ? bm[i] : bmx[i];
      fillColor();
      if (greyed) {
        Gra.GPenSetColor(ctx.InkColour(kGrey));
        Gra.GLPolygon(4, o.pos, c);
      } else {
        DrawBitmap(Gra, o, c);
      }
      break;
    }
    default:
      break;
  }
  return true;
}

void TK4Data::DrawEdge(TGraph& Gra, const ConversionContext& ctx, const TK4ObjectEdge& edge, uint8_t co,
                       uint8_t ty, double c) const {
  for (uint8_t dir = 1; dir <= 2; ++dir) {
    SetLinePattern(Gra, ctx, co, ty);
    const TK4SymbolBody& s = edge.mark[dir - 1];
    const TDPoint p = Scaled(s.pos, c), o = Scaled(s.o, c);
    Gra.GLSymbol(p.X, p.Y, s.len, o.X, o.Y, s.r[0] * c, s.r[1] * c, s.elipang, s.angle, s.param[0], s.param[1],
                 s.style, s.extype, s.exattr, dir);
  }
}

void TK4Data::DrawBitmap(TGraph& Gra, const TK4ObjectBitmap& o, double c) const {
  if (!KnownImageType(o.typ)) {
    Gra.Ctx.Diag.Add("image-refused", "a bitmap object of image type " + std::to_string(o.typ));
    return;
  }
  const TDPoint p0 = Scaled(o.pos[0], c);
  const double width = PtDist(o.pos[0].X, o.pos[0].Y, o.pos[1].X, o.pos[1].Y) * c;
  const double height = PtDist(o.pos[0].X, o.pos[0].Y, o.pos[3].X, o.pos[3].Y) * c;
  const double dan = PtAngle(o.pos[1].X - o.pos[0].X, o.pos[1].Y - o.pos[0].Y) / (kPi / 180);
  // Decoded from the object's own bytes, and only when the image will be
  // seen; an image that does not decode is skipped like a file that cannot
  // be read.
  if (Gra.GLImage2Box(p0.X, p0.Y, p0.X + width, p0.Y + height, dan) != 0) return;
  const LoadedImage img = LoadImageMemory(o.bmp);
  if (!img.ok()) {
    Gra.Ctx.Diag.Add("image-refused", "a bitmap object: " + img.error);
    return;
  }
  Gra.GLImage2(p0.X, p0.Y, p0.X + width, p0.Y + height, 0, 0, 1, dan, img.bitmap);
}

}  // namespace zumen
