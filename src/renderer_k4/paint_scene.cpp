// Paints a scene's items with the K4 renderer: each item's colour, width and
// dash pattern, then its drawing operation.
#include "renderer_k4/paint_scene.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>

#include "codecs/image_io.h"
#include "common/diagnostics.h"
#include "common/geometry.h"

namespace zumen {

namespace {

constexpr double kPi = std::numbers::pi;
constexpr uint32_t kGrey = 0xFFD8D8D8;  // objects of greyed groups and layers

// Image formats a bitmap object may hold: 1 JPEG, 2 PNG, 10 GIF, 11 TIFF,
// 12 BMP; objects of any other type draw nothing.
bool KnownImageType(int32_t typ) { return typ == 1 || typ == 2 || typ == 10 || typ == 11 || typ == 12; }

class Painter {
 public:
  // Paints on g; with a visitor, hands the texts to it instead and paints nothing.
  Painter(const ConversionContext& ctx, TGraph* g, bool ownColours, TextVisitor* visitor = nullptr)
      : ctx_(ctx), g_(g), own_(ownColours), visitor_(visitor) {}

  void Paint(const scene::Item& item) {
    if (visitor_ && !scene::Is<scene::K4Text>(item)) return;
    scene::Visit([this](const auto& i) { Draw(i); }, item);
  }

  // Items of the Jw renderer have no place in a K4 scene.
  template <typename T>
  void Draw(const T&) {}

  void Draw(const scene::K4Stroke& e) {
    LinePen(e.pen);
    const double c = e.attr.scale;
    switch (e.kind) {
      case scene::K4StrokeKind::Line: g_->GLLine2(e.a.X * c, e.a.Y * c, e.b.X * c, e.b.Y * c); break;
      case scene::K4StrokeKind::Ellipse:
        if (e.full) g_->GLEllipse2(e.a.X * c, e.a.Y * c, e.r * c, e.flat, e.tilt);
        else g_->GLEllipseArc2(e.a.X * c, e.a.Y * c, e.r * c, e.flat, e.tilt, e.start, e.sweep);
        break;
      case scene::K4StrokeKind::Polyline: g_->GLPolylin(e.count, e.points, c); break;
      case scene::K4StrokeKind::Bezier: g_->GLBezier(e.count, e.points, c); break;
    }
    if (!e.edge) return;
    for (uint8_t dir = 1; dir <= 2; ++dir) {
      LinePattern(e.pen);
      Mark((*e.edge)[dir - 1], c, dir);
    }
  }

  void Draw(const scene::K4Symbol& e) {
    LinePen(e.pen);
    Mark(e.mark, e.attr.scale, 0);
  }

  void Draw(const scene::K4Point& e) {
    Colour(e.palette, e.own);
    const double x = e.p.X * e.attr.scale, y = e.p.Y * e.attr.scale;
    g_->GLSolidCircle(x, y, e.r);
    g_->GLEllipse(x, y, e.r, 1, 0);
  }

  void Draw(const scene::K4Text& e) {
    if (visitor_) {
      visitor_->Visit({e.h, nullptr, e.p1, e.p2, e.height, e.width, e.spacing, e.style, e.font, e.text,
                       e.macroScale, MacroRules::K4, true});
      return;
    }
    g_->G2.LgScale = e.macroScale;
    Colour(e.palette, e.own);
    g_->GLAText3(e.p1.X, e.p1.Y, e.p2.X, e.p2.Y, e.height, e.width, e.spacing, e.style, e.font, e.text);
  }

  void Draw(const scene::K4Fill& e) {
    switch (e.kind) {
      case scene::K4FillKind::Pattern: {
        const uint32_t fc = FillColour(e.colour);
        g_->GPolygonPattern(e.pattern, fc);
        g_->GLPolygon(e.count, e.points, e.attr.scale);
        g_->GPenSet(fc, 0, 1);
        break;
      }
      case scene::K4FillKind::Gradient: {
        if (e.greyed || ctx_.GAtt.GetAll1ColorState()) {
          // Greyed, or in one colour: a plain fill.
          g_->GPenSetColor(ctx_.InkColour(kGrey));
        } else {
          g_->GPolygonGrad(e.gradType, e.gradColour1, e.gradColour2, e.gradP1, e.gradP2, e.boxX1, e.boxY1, e.boxX2,
                          e.boxY2, e.gradAngle);
        }
        const uint32_t fc = g_->C.FillColor();
        g_->GLPolygon(e.count, e.points, e.attr.scale);
        g_->GPenSet(fc, 0, 1);
        break;
      }
      case scene::K4FillKind::Picture: {
        const uint32_t fc = FillColour(e.colour);
        g_->GPolygonPattern(e.pattern, fc);
        if (e.greyed) g_->GPenSetColor(ctx_.InkColour(kGrey));
        else g_->GPolygonBmp(e.pictureW, e.pictureH, e.pictureDepth, *e.picture);
        g_->GLPolygon(e.count, e.points, e.attr.scale);
        g_->GPenSet(e.greyed ? ctx_.InkColour(kGrey) : fc, 0, 1);
        break;
      }
    }
  }

  void Draw(const scene::K4Bitmap& e) {
    FillColour(e.colour);
    if (e.greyed) {
      g_->GPenSetColor(ctx_.InkColour(kGrey));
      g_->GLPolygon(4, e.corners, e.attr.scale);
      return;
    }
    if (!KnownImageType(e.type)) {
      g_->G2.Diag.Add("image-refused", "a bitmap object of image type " + std::to_string(e.type));
      return;
    }
    const double c = e.attr.scale;
    const TDPoint& q0 = e.corners[0];
    const TDPoint p0{q0.X * c, q0.Y * c};
    const double width = PtDist(q0.X, q0.Y, e.corners[1].X, e.corners[1].Y) * c;
    const double height = PtDist(q0.X, q0.Y, e.corners[3].X, e.corners[3].Y) * c;
    const double dan = PtAngle(e.corners[1].X - q0.X, e.corners[1].Y - q0.Y) / (kPi / 180);
    // Decoded from the object's own bytes, and only when the image will be
    // seen; an image that does not decode is skipped like a file that cannot
    // be read.
    if (g_->GLImage2Box(p0.X, p0.Y, p0.X + width, p0.Y + height, dan) != 0) return;
    const LoadedImage img = LoadImageMemory(*e.bytes);
    if (!img.ok()) {
      g_->G2.Diag.Add("image-refused", "a bitmap object: " + img.error);
      return;
    }
    g_->GLImage2(p0.X, p0.Y, p0.X + width, p0.Y + height, 0, 0, 1, dan, img.bitmap);
  }

 private:
  void Colour(uint32_t palette, uint32_t own) { g_->GPenSetColor(ctx_.InkColour(own_ ? own : palette)); }

  // Fills take the object's own colour.
  uint32_t FillColour(uint32_t colour) {
    g_->GPenSetColor(ctx_.InkColour(colour));
    return g_->C.FillColor();
  }

  // The pen's colour, width (printed widths in the own colours' mode, one
  // pixel for auxiliary lines) and dash pattern.
  void LinePen(const scene::K4Pen& p) {
    Colour(p.palette, p.own);
    uint32_t w = 1;
    if (!p.aux && own_) {
      double x = p.width * g_->G2.View.DispScale;
      if (!(x > 1)) x = 1;
      if (x > 400) x = 400;
      w = static_cast<uint32_t>(std::nearbyint(x));
    }
    g_->GPenSetWidth(w);
    LinePattern(p);
  }

  void LinePattern(const scene::K4Pen& p) { SetK4LinePattern(*g_, p, g_->G2.View.DispScale); }

  // A mark as stored, put on paper at the group scale c.
  void Mark(const scene::K4Mark& m, double c, uint8_t dir) {
    g_->GLSymbol(m.x * c, m.y * c, m.len, m.ox * c, m.oy * c, m.r1 * c, m.r2 * c, m.ellipseAngle, m.angle, m.p1, m.p2,
                m.style, m.extype, m.exattr, dir);
  }

  const ConversionContext& ctx_;
  TGraph* g_;
  const bool own_;
  TextVisitor* visitor_;
};

}  // namespace

void SetK4LinePattern(TGraph& g, const scene::K4Pen& p, double dispScale) {
  g.GLSetDT();
  std::vector<double> pat = p.pattern;
  double b = pat.empty() ? 0.01 : *std::min_element(pat.begin(), pat.end());
  double x;
  if (p.aux) {
    pat = {0.25, 2};
    b = 0.25;
    x = 1 / dispScale;
  } else {
    x = p.width;
  }
  if (x / 2 > b && !pat.empty())
    for (double& e : pat) e += x;
  g.GLPenSetLtypePat(static_cast<int32_t>(pat.size()), pat);
}

namespace {

// Every item the context shows, in painting order, through the painter;
// stops early when the caller asks to cancel (checked every 256 items).
void Walk(const scene::Scene& s, const ConversionContext& ctx, Painter& painter) {
  const TgraAttribute& att = ctx.GAtt;
  unsigned n = 0;
  for (const scene::Item& item : s.items) {
    if (++n % 256 == 0 && ctx.CancelAsked()) return;
    const scene::Head& h = scene::HeadOf(item);
    if ((h.flags & scene::kNotDrawn) || h.layer < 0 || att.GetAttrLayerState(h.layer) == 3) continue;
    if ((h.flags & scene::kAux) && !att.GetDispHojo()) continue;
    painter.Paint(item);
  }
}

}  // namespace

void PaintK4Items(const scene::Scene& s, const ConversionContext& ctx, TGraph& g, bool ownColours) {
  g.GPenSet(ctx.InkColour(0xFF000000), 0, 1);
  Painter painter(ctx, &g, ownColours);
  Walk(s, ctx, painter);
}

void VisitK4Texts(const scene::Scene& s, const ConversionContext& ctx, TextVisitor& visitor) {
  Painter painter(ctx, nullptr, false, &visitor);
  Walk(s, ctx, painter);
}

}  // namespace zumen
