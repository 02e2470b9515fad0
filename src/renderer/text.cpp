// TGraph2 text: every glyph is placed in its own cell in drawing units, so a
// text keeps its size and spacing on paper whatever the fonts' own metrics.
#include <cmath>
#include <numbers>
#include <string_view>

#include "common/clip.h"
#include "common/cp932.h"
#include "common/geometry.h"
#include "common/text.h"
#include "renderer/graph2.h"
#include "renderer/macros.h"
#include "renderer/text_layout.h"

namespace zumen {

namespace {

constexpr double kPi = std::numbers::pi;
// Characters of at most this many pixels are not drawn as glyphs.
constexpr double kMinPx = 2.0;
// Texts with characters above this many pixels are not drawn.
constexpr double kMaxPx = 3000.0;

// Full-width: two bytes in code page 932.
bool IsFull(char16_t c) { return IsFullWidthChar(c); }

bool IsBlankOrCtrl(char16_t c) { return c < 0x20 || c == u' ' || c == u'　'; }
bool HasVisible(std::u16string_view s) {
  for (char16_t c : s)
    if (!IsBlankOrCtrl(c)) return true;
  return false;
}

// The too-small / too-large tests shared by GLAText3 and GLAText2:
// 0 go on, else the result to answer.
int32_t SizeCheck(std::u16string_view s, double h, double w, double sp, double scale) {
  if (!HasVisible(s) || !(std::fabs(h) * scale > kMinPx)) return 2;
  if (!(std::fabs(AnsiTextWidth(s, w, sp) * scale) > kMinPx)) return 2;
  if (std::fabs(h) * scale > kMaxPx || std::fabs(w) * scale > kMaxPx) return 1;
  return 0;
}

struct Vec {
  double x = 0, y = 0;
};

}  // namespace

int32_t TGraph2::GLAText3(double x1, double y1, double x2, double y2, double h, double w, double sp,
                          int32_t Ftyp, const std::u16string& f, const std::u16string& s) {
  if (const int32_t r = SizeCheck(s, h, w, sp, View.DispScale)) {
    // The K4 renderer keeps a visible text that cannot be drawn as glyphs as a
    // line along its baseline.
    if (Text.lineForUndrawable && HasVisible(s)) GLLine(x1, y1, x2, y2);
    return r;
  }
  struct Drawer final : TextRunSink {
    TGraph2& g;
    const std::u16string& font;
    Drawer(TGraph2& graph, const std::u16string& f) : g(graph), font(f) {}
    int32_t Run(const TextRun& r) override { return g.GLAText2(r.x, r.y, r.ang, r.h, r.w, r.sp, r.style, font, r.text); }
    void Colour(int32_t d) override {
      const uint32_t col = g.Ctx.InkColour(g.Text.penColour ? g.Text.penColour(d) : g.Ctx.GAtt.GetAttrColcol(d));
      g.C.SetStrokeColor(col);
      g.C.SetFillSolid(col);
    }
  } drawer(*this, f);
  return LayOutText(Ctx, LgScale, Text.macros, x1, y1, x2, y2, h, w, sp, Ftyp, s, drawer);
}

int32_t TGraph2::GLAText2(double xx, double yy, double ang, double h, double w, double sp, int32_t Ftyp,
                          const std::u16string& f, const std::u16string& s) {
  if (const int32_t r = SizeCheck(s, h, w, sp, View.DispScale)) return r;
  const size_t turns = GlyphWalker::Turns(f);
  FontSpec font;
  font.family = f.substr(turns);
  font.sizePx = std::fabs(h) * View.DispScale;
  font.bold = Ftyp & 1;
  font.italic = Ftyp & 2;
  font.underline = Ftyp & 4;
  font.strikeout = Ftyp & 8;
  C.SetFont(font);

  GlyphWalker walk({xx, yy, ang, h, w, sp, Ftyp, {}}, f, Text.swapVerticalCells);
  bool drawn = false;
  for (char16_t c : s) {
    const GlyphCell g = walk.Next(c);
    if (GLAText1(g.cx, g.cy, g.h, g.w, g.a, 4, std::u16string(1, c)) == 0) drawn = true;
  }
  return drawn ? 0 : 1;
}

int32_t TGraph2::GLAText1(double x, double y, double h, double w, double a, int32_t Fm,
                          const std::u16string& s) {
  if (s.empty() || s == u" " || s == u"　") return 2;
  if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(a) || !std::isfinite(h) || !std::isfinite(w))
    return 3;  // would poison the canvas transform
  if (Fm < 0 || Fm > 8) Fm = 0;
  double sy = 1, Hm = 0;
  if (h < 0) {
    // Mirrored upside down in its own cell: the base point row flips.
    sy = -1;
    Hm = h * View.DispScale;
    h = -h;
    if (Fm <= 2) Fm += 6;
    else if (Fm >= 6) Fm -= 6;
  }
  const double cw = IsFull(s[0]) ? std::fabs(w) : std::fabs(w) / 2;
  const int col = Fm % 3, row = Fm / 3;
  const double dx = col == 0 ? 0 : col == 1 ? -cw / 2 : -cw;
  const double dy = row == 0 ? h : row == 1 ? h / 2 : 0;
  const double ca = std::cos(a), sa = std::sin(a);
  const Vec T{x + dx * ca - dy * sa, y + dx * sa + dy * ca};

  // Cull: only a cell wholly beyond one edge of the window is skipped (a cell
  // larger than the window can cover it with all four corners outside).
  const Vec right{T.x + cw * ca, T.y + cw * sa};
  const double downX = h * std::cos(a - kPi / 2), downY = h * std::sin(a - kPi / 2);
  const Vec corners[4] = {T, right, {T.x + downX, T.y + downY}, {right.x + downX, right.y + downY}};
  int all = 15;
  for (const Vec& p : corners) all &= OutCode(p.x, p.y, View.DispX1, View.DispY1, View.DispX2, View.DispY2);
  if (all != 0) return 1;

  double X, Y;
  GLTransPt(T.x, T.y, X, Y);
  const double pw = cw * View.DispScale, ph = h * View.DispScale;
  if (!(pw > kMinPx) || !(ph > kMinPx)) {
    GTen(X, Y);
    return 2;
  }
  if (ph < Ctx.TextBarsBelowPx) {
    // A bar over the middle of the cell, from 30 % to 70 % of its height.
    std::vector<FPoint> bar(4);
    const Vec at[4] = {{T.x + 0.3 * downX, T.y + 0.3 * downY},
                       {right.x + 0.3 * downX, right.y + 0.3 * downY},
                       {right.x + 0.7 * downX, right.y + 0.7 * downY},
                       {T.x + 0.7 * downX, T.y + 0.7 * downY}};
    for (int i = 0; i < 4; ++i) {
      double bx, by;
      GLTransPt(at[i].x, at[i].y, bx, by);
      bar[static_cast<size_t>(i)] = {static_cast<float>(bx), static_cast<float>(by)};
    }
    C.FillPolygon(bar, 1.0);
    return 0;
  }
  if (C.Font().sizePx != ph) {
    FontSpec font = C.Font();
    font.sizePx = ph;
    C.SetFont(font);
  }
  Matrix m = Matrix::Translate(-X, -Y).Then(Matrix::Scale(std::fabs(w / h), sy));
  if (sy < 0) m = m.Then(Matrix::Translate(0, -Hm));
  m = m.Then(Matrix::Rotate(-a)).Then(Matrix::Translate(X, Y));
  const Matrix saved = C.GetTransform();
  C.MultiplyTransform(m);
  C.FillText(X, Y, X + 2 * pw, Y + 2 * ph, s, 1.0);
  C.SetTransform(saved);
  return 0;
}

}  // namespace zumen
