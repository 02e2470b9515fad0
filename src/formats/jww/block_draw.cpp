// Drawing the members of a block definition through the transform of one
// block instance: points, sizes and angles carried through the transform,
// texts and images that keep their proportions under rotation, scaling and
// mirroring, and dimension values recomputed for the placed size.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <utility>

#include "common/cp932.h"
#include "common/geometry.h"
#include "common/text.h"
#include "common/values.h"
#include "formats/jww/draw_entities.h"
#include "formats/jww/image_text.h"

namespace zumen {

namespace {

constexpr uint8_t kCodedMarker = 100;
constexpr uint16_t kVertical = 0x20;
constexpr double kPi = std::numbers::pi;

double Dir(TDPoint from, TDPoint to) { return PtAngle(to.X - from.X, to.Y - from.Y); }
double Dist(TDPoint p, TDPoint q) { return PtDist(p.X, p.Y, q.X, q.Y); }

// x rounded half away from zero to 4 decimals.
double Round4(double x) { return RoundDec(4, 2, x); }

}  // namespace

bool JwwBlockXf::IsIdentity() const {
  return std::fabs(b1 - 1) <= 1e-14 && std::fabs(b2) <= 1e-14 && std::fabs(b3) <= 1e-14 && std::fabs(b4 - 1) <= 1e-14;
}

// ---- dimension value text ---------------------------------------------------------

std::u16string SunpoValueText(double len, uint32_t f, uint32_t g) {
  if (f & 0x10) len /= 1000;  // metres
  const int d = static_cast<int>((f / 4096) % 10);
  int mode = 2;  // half away from zero
  if ((f & 0x100) && !(f & 0x200)) mode = 0;
  if ((f & 0x200) && !(f & 0x100)) mode = 1;
  const double v = RoundDec(d, mode, len);

  std::u16string s;
  if (f & 0x40) {
    s = FloatStrN(d, v);
    if (!(f & 0x80) && s.find(u'.') != std::u16string::npos)
      while (!s.empty() && s.back() == u'0') s.pop_back();
  } else if (f & 0x80) {
    s = FloatStrF(d, v);
  } else {
    s = FloatStrG(v);
  }

  auto mark = [&](const std::u16string& m) {
    if (f & 0x400)
      s = m + s;
    else if (f & 0x800)
      s += m;
  };
  if (g & 0x100)
    mark(u"R");
  else if (g & 0x200)
    mark(u"\u03C6");

  if (f & 0x8) s = HanToZen(s);
  if (f & 0x20) s += (f & 0x10) ? u"\uFF4D" : u"mm";
  return s;
}

// ---- members ------------------------------------------------------------------------

void JwwEntityDrawer::GLDrawLine2(bool dispmode, uint32_t dcol, const TEntJwwLine& e, JwwBlockXf xf) {
  if (xf.lf) xf.sc = 1;
  if (dispmode) g_.GLSetDT();
  LinePen(e.att, dcol);
  const TDPoint p1 = xf.T(e.start_x, e.start_y), p2 = xf.T(e.end_x, e.end_y);
  if (dispmode)
    g_.GLLineDT(e.att.LayerNo(), e.att.nPenStyle, p1.X, p1.Y, p2.X, p2.Y);
  else
    g_.GLLine(p1.X, p1.Y, p2.X, p2.Y);
}

void JwwEntityDrawer::GLDrawEnko2(bool dispmode, uint32_t dcol, const TEntJwwEnko& e, JwwBlockXf xf) {
  if (xf.lf) xf.sc = 1;
  if (dispmode) g_.GLSetDT();
  LinePen(e.att, dcol);
  const bool whole = e.bZenEnFlg != 0;
  if (dispmode) {
    const double sa = whole ? 0.0 : e.radKaishiKaku;
    const double da = whole ? 2 * kPi : e.radEnkoKaku;
    g_.GLEllipseArcBLDT(e.att.LayerNo(), e.att.nPenStyle, e.start_x, e.start_y, e.dHankei, e.dHenpeiRitsu,
                        e.radKatamukiKaku, sa, da, xf.bx, xf.by, xf.b1, xf.b2, xf.b3, xf.b4, xf.sc);
  } else if (whole) {
    g_.GLEllipseBL(e.start_x, e.start_y, e.dHankei, e.dHenpeiRitsu, e.radKatamukiKaku, xf.bx, xf.by, xf.b1, xf.b2,
                   xf.b3, xf.b4, xf.sc);
  } else {
    g_.GLEllipseArcBL(e.start_x, e.start_y, e.dHankei, e.dHenpeiRitsu, e.radKatamukiKaku, e.radKaishiKaku,
                      e.radEnkoKaku, xf.bx, xf.by, xf.b1, xf.b2, xf.b3, xf.b4, xf.sc);
  }
}

void JwwEntityDrawer::GLDrawSolid2(bool /*dispmode*/, uint32_t dcol, const TEntJwwSolid& e, JwwBlockXf xf) {
  if (xf.lf) xf.sc = 1;
  SolidPen(e, dcol);
  if (e.att.nPenStyle > 100) {
    g_.GLSolidArcBL(e.att.nPenStyle, e.start_x, e.start_y, e.end_x, e.end_y, e.DPoint2_x, e.DPoint2_y, e.DPoint3_x,
                    e.DPoint3_y, xf.bx, xf.by, xf.b1, xf.b2, xf.b3, xf.b4, xf.sc);
    return;
  }
  const TDPoint p[4] = {xf.T(e.start_x, e.start_y), xf.T(e.end_x, e.end_y), xf.T(e.DPoint2_x, e.DPoint2_y),
                        xf.T(e.DPoint3_x, e.DPoint3_y)};
  SolidQuad(p);
}

void JwwEntityDrawer::GLDrawTen2(bool /*dispmode*/, uint32_t dcol, const TEntJwwTen& e, JwwBlockXf xf) {
  if (xf.lf) xf.sc = 1;
  const TDPoint p = xf.T(e.start_x, e.start_y);
  int32_t pc = 0;
  double a = 0, ba = 1.0;
  if (e.att.nPenStyle == kCodedMarker) {
    pc = static_cast<int32_t>(e.nCode);
    // The marker turns with the block. A mirroring block cannot mirror the
    // marker; when it flips x, the marker is turned back by half a turn so
    // that it keeps its own orientation. A mere rotation (also one beyond
    // 90 degrees, where b1 is negative too) only turns it.
    const bool mirrors = xf.b1 * xf.b4 - xf.b2 * xf.b3 < 0;
    a = e.radKaitenKaku + Dir(p, xf.T(e.start_x + 10, e.start_y)) + (mirrors && xf.b1 < 0 ? kPi : 0.0);
    ba = e.dBairitsu;
  }
  g_.GLTenMarker(p.X, p.Y, static_cast<int32_t>(e.bKariten), pc, a, ba, e.att.LayerNo(), e.att.nPenColor,
                 e.att.nPenWidth, dcol);
}

namespace {

// Base line and character sizes of a text placed through a block transform.
struct PlacedText {
  TDPoint p1, p2;
  double h = 0, w = 0, sp = 0;
};

PlacedText PlaceText(const TEntJwwMoji& e, const JwwBlockXf& xf) {
  double w = e.dSizeX / xf.sc, h = e.dSizeY / xf.sc;
  if (e.att.sFlg & kVertical) std::swap(w, h);
  PlacedText t;
  t.p1 = xf.T(e.start_x, e.start_y);
  t.p2 = xf.T(e.end_x, e.end_y);
  if (xf.IsIdentity()) {
    t.w = w / xf.sc;
    t.h = h / xf.sc;
    t.sp = e.dKankaku / xf.sc;
    return t;
  }
  const double th = PtAngle(e.end_x - e.start_x, e.end_y - e.start_y);
  const double ux = std::cos(th), uy = std::sin(th);
  const double nx = std::cos(th + kPi / 2), ny = std::sin(th + kPi / 2);
  t.w = Dist(xf.T(e.start_x + w * ux, e.start_y + w * uy), t.p1) / xf.sc;
  t.sp = Dist(xf.T(e.start_x + e.dKankaku * ux, e.start_y + e.dKankaku * uy), t.p1) / xf.sc;
  const TDPoint top = xf.T(e.start_x + h * nx, e.start_y + h * ny);
  t.h = PtLineDist(t.p1.X, t.p1.Y, t.p2.X, t.p2.Y, top.X, top.Y) / xf.sc;
  // A mirroring block would make the text read backwards: start and end of
  // the base line are exchanged.
  if (xf.b1 * xf.b4 < 0) std::swap(t.p1, t.p2);
  return t;
}

}  // namespace

void JwwEntityDrawer::GLDrawMoji2(bool /*dispmode*/, uint32_t dcol, const TEntJwwMoji& e, JwwBlockXf xf) {
  if (IsImageText(e.str)) return;
  if (xf.lf) {
    xf.sc = 1;
    ctx_.LgScale = GroupScale(e.att.nGLayer);
  }
  PlainPen(e.att, dcol);
  const PlacedText t = PlaceText(e, xf);
  DrawText(e, e.str, t.p1, t.p2, t.h, t.w, t.sp);
}

void JwwEntityDrawer::GLDrawMoji3(bool /*dispmode*/, uint32_t dcol, const std::u16string& sm, const TEntJwwMoji& e,
                                  JwwBlockXf xf) {
  if (IsImageText(e.str)) return;
  if (xf.lf) {
    xf.sc = 1;
    ctx_.LgScale = GroupScale(e.att.nGLayer);
  }
  PlainPen(e.att, dcol);
  PlacedText t = PlaceText(e, xf);
  t.w = std::max(Round4(t.w), 0.0001);
  t.h = std::max(Round4(t.h), 0.0001);
  t.sp = Round4(t.sp);
  if (!xf.IsIdentity()) {
    // Centre the new text where the stored one was centred.
    const double half = AnsiTextWidth(sm, t.w, t.sp) / 2;
    const TDPoint m{(t.p1.X + t.p2.X) / 2, (t.p1.Y + t.p2.Y) / 2};
    const double phi = Dir(t.p1, t.p2);
    const double cx = std::cos(phi) * half, cy = std::sin(phi) * half;
    t.p1 = {m.X - cx, m.Y - cy};
    t.p2 = {m.X + cx, m.Y + cy};
  }
  DrawText(e, sm, t.p1, t.p2, t.h, t.w, t.sp);
}

void JwwEntityDrawer::GLDrawImage2(bool dispmode, uint32_t dcol, const TEntJwwMoji& e, JwwBlockXf xf) {
  if (xf.lf) xf.sc = 1;
  JwImageText im;
  if (!ParseImageText(e.str, im) || im.file.empty()) return;
  const std::u16string fn = ResolveImageFile(im.file, imageFolder_);
  const TDPoint p1 = xf.T(e.start_x, e.start_y);
  const double th = PtAngle(e.end_x - e.start_x, e.end_y - e.start_y);
  const double c = std::cos(th), s = std::sin(th);
  const double w = Dist(xf.T(e.start_x + im.W * c, e.start_y + im.W * s), p1);
  const double h = Dist(xf.T(e.start_x - im.H * s, e.start_y + im.H * c), p1);
  const double ar = im.A * kPi / 180;
  double a = Dir(p1, xf.T(e.start_x + im.W * std::cos(ar), e.start_y + im.W * std::sin(ar))) * 180 / kPi;
  a = std::fmod(a, 360.0);
  if (a < 0) a += 360;
  if (dispmode && g_.GLImage2(p1.X, p1.Y, p1.X + w, p1.Y + h, im.X, im.Y, im.R, a, fn) != kImageNotShown) return;
  ImageFrame(e.att, dcol, p1.X, p1.Y, p1.X + w, p1.Y + h, a);
}

void JwwEntityDrawer::GLDrawSunpo2(bool dispmode, bool hojof, uint32_t dcol, const TEntJwwSunpo& e, JwwBlockXf xf) {
  if (xf.lf) xf.sc = 1;
  if (e.bSxfMode != 0) {
    if (!hojof || !JwwIsAux(e.Ho1.att, true)) GLDrawLine2(dispmode, dcol, e.Ho1, xf);
    if (!hojof || !JwwIsAux(e.Ho2.att, true)) GLDrawLine2(dispmode, dcol, e.Ho2, xf);
    if (!hojof || !JwwIsAux(e.Te1.att, false)) GLDrawTen2(dispmode, dcol, e.Te1, xf);
    if (!hojof || !JwwIsAux(e.Te2.att, false)) GLDrawTen2(dispmode, dcol, e.Te2, xf);
  }
  if (!hojof || !JwwIsAux(e.Sen.att, true)) GLDrawLine2(dispmode, dcol, e.Sen, xf);
  if (hojof && JwwIsAux(e.Moji.att, false)) return;
  // In a rotated or scaled block a dimension whose text is its value (bit 0x2
  // of the text's width field) shows the placed length.
  if (xf.IsIdentity() || !(e.Moji.att.nPenWidth & 0x2)) {
    GLDrawMoji2(dispmode, dcol, e.Moji, xf);
    return;
  }
  double s = GroupScale(e.Sen.att.nGLayer);
  if (!(s > 0)) s = 1;
  const double len = Dist(xf.T(e.Sen.end_x, e.Sen.end_y), xf.T(e.Sen.start_x, e.Sen.start_y)) * s;
  GLDrawMoji3(dispmode, dcol, SunpoValueText(len, e.Moji.att.nPenWidth, e.Moji.att.sFlg), e.Moji, xf);
}

}  // namespace zumen
