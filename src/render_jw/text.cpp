// TGraph2 text: every glyph is placed in its own cell in drawing units, so a
// text keeps its size and spacing on paper whatever the fonts' own metrics.
#include <cmath>
#include <numbers>
#include <string_view>

#include "common/clip.h"
#include "common/cp932.h"
#include "common/geometry.h"
#include "common/text.h"
#include "render_jw/graph2.h"
#include "render_jw/macros.h"

namespace zumen {

namespace {

constexpr double kPi = std::numbers::pi;
// Characters of at most this many pixels are not drawn as glyphs.
constexpr double kMinPx = 2.0;
// Texts with characters above this many pixels are not drawn.
constexpr double kMaxPx = 3000.0;

// Vertical writing: characters that keep the line direction.
constexpr std::u16string_view kVertKeep = u"【＜≪〈《（｛〔［「『｜―－‐＝＿￣』」］〕｝）》〉≫＞】";
// Vertical writing: characters that keep the line direction and are mirrored.
constexpr std::u16string_view kVertMirror = u"。、ー～≠≒";
// Vertical writing: small marks turned upright with their centre raised.
constexpr std::u16string_view kVertRaise = u"．，°′″’”´゛゜";

bool In(std::u16string_view set, char16_t c) { return set.find(c) != std::u16string_view::npos; }

// Full-width: two bytes in code page 932.
bool IsFull(char16_t c) {
  if (c < 0x80) return false;
  return IsZenkaku(std::u16string_view(&c, 1));
}

// Half-width units: 2 per full-width, 1 per half-width character.
int HalfUnits(std::u16string_view s) {
  int n = 0;
  for (char16_t c : s) n += IsFull(c) ? 2 : 1;
  return n;
}

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
// Moves p by d along angle a.
Vec Along(Vec p, double a, double d) { return {p.x + d * std::cos(a), p.y + d * std::sin(a)}; }

// The trailing layout directives: "･" (stretch to the length with it), "・"s
// (stretch to the length with them) and "^" + digit (compress by that many
// half-width units). Changes s, w and sp.
void ApplyTrailingDirectives(std::u16string& s, double& w, double& sp) {
  double S = 0;
  int W = 0, V = 0, U = 0;
  const size_t n = s.size();
  for (size_t i = 0; i < n; ++i) {
    const char16_t c = s[i];
    const bool last = i + 1 == n;
    if (!last) S += IsFull(c) ? sp : sp / 2;
    if (c == u'･' && last) {
      W = 1;
      U = 0;
    } else if (c == u'・') {
      ++V;
    } else if (c == u'^') {
      U = 0;
    } else if (c >= u'1' && c <= u'9' && i > 0 && s[i - 1] == u'^') {
      U = c - u'0';
    } else {
      V = 0;
      U = 0;
    }
  }
  // Half-width units of all characters but the last.
  const auto unitsButLast = [&s] {
    return s.empty() ? 0 : HalfUnits(std::u16string_view(s).substr(0, s.size() - 1));
  };
  if (W) {
    s.pop_back();
    const int units = unitsButLast();
    if (units > 0) {
      sp = 2 * (w / 2 + S) / units;
      S += w / 2;
    }
  }
  if (V) {
    s.erase(s.size() - std::min<size_t>(V, s.size()));
    const int units = unitsButLast();
    if (units > 0) sp = 2 * (V * w + S) / units;
  }
  if (U) {
    s.erase(s.size() - std::min<size_t>(2, s.size()));
    const int units = HalfUnits(s);
    if (units - U >= 2) {
      const double f = static_cast<double>(units - U) / units;
      w *= f;
      sp *= f;
    }
  }
}

}  // namespace

int32_t TGraph2::GLAText3(double x1, double y1, double x2, double y2, double h, double w, double sp,
                          int32_t Ftyp, const std::u16string& f, const std::u16string& s) {
  if (const int32_t r = SizeCheck(s, h, w, sp, Ctx.DispScale)) {
    // The K4 renderer keeps a visible text that cannot be drawn as glyphs as a
    // line along its baseline.
    if (Text.lineForUndrawable && HasVisible(s)) GLLine(x1, y1, x2, y2);
    return r;
  }
  double ang = PtAngle(x2 - x1, y2 - y1);
  if (w < 0) {
    // Laid out from the other end, glyphs turned half round.
    w = -w;
    sp = -sp;
    ang += kPi;
    std::swap(x1, x2);
    std::swap(y1, y2);
  }
  std::u16string text = s;
  ApplyTrailingDirectives(text, w, sp);

  std::u16string value;
  if (ExpandTextMacro(Ctx, text, value, Text.macros))
    return GLAText2(x1, y1, ang, h, w, sp, Ftyp, f, value);
  if (text.find(u'^') == std::u16string::npos) return GLAText2(x1, y1, ang, h, w, sp, Ftyp, f, text);

  // Control sequences.
  enum class Width { None, Half, Full };
  Vec P{x1, y1};
  std::u16string run;
  int32_t runStyle = Ftyp, style = Ftyp;
  int pendingColour = 0;
  char16_t mode = 0;
  Width prev = Width::None;
  bool controls = true;
  bool drawn = false;
  const double up = ang + kPi / 2;  // towards the top of the text
  const double ah = std::fabs(h);

  const auto draw = [&](Vec at, double hh, double ww, double ss, const std::u16string& t) {
    if (GLAText2(at.x, at.y, ang, hh, ww, ss, runStyle, f, t) == 0) drawn = true;
  };
  const auto flush = [&] {
    if (!run.empty()) {
      draw(P, h, w, sp, run);
      P = Along(P, ang, HalfUnits(run) * (w + sp) / 2);
      run.clear();
    }
    runStyle = style;
    if (pendingColour) {
      const uint32_t col =
          Ctx.InkColour(Text.penColour ? Text.penColour(pendingColour) : Ctx.GAtt.GetAttrColcol(pendingColour));
      C.SetStrokeColor(col);
      C.SetFillSolid(col);
      pendingColour = 0;
    }
  };
  const auto literal = [&](char16_t k) {
    run += u'^';
    run += k;
    prev = Width::Half;
  };

  const size_t n = text.size();
  for (size_t i = 0; i < n; ++i) {
    const char16_t c = text[i];
    if (c == u'^') {
      if (i + 1 == n) {
        run += u'^';
        break;
      }
      const char16_t k = text[++i];
      if (!controls) {
        if (k == u'^') {
          flush();
          controls = true;
        } else {
          literal(k);
        }
        continue;
      }
      switch (k) {
        case u'!': style |= 1; flush(); break;
        case u'/': style |= 2; flush(); break;
        case u'_': style |= 4; flush(); break;
        case u'-': style |= 8; flush(); break;
        case u'#': style = Ftyp; flush(); break;
        case u'*': controls = false; flush(); break;
        case u'$':
          if (i + 1 == n) {
            literal(k);
            i = n;  // stop
            break;
          }
          if (const char16_t d = text[++i]; d >= u'1' && d <= u'9') {
            pendingColour = d - u'0';
            flush();
          } else {
            literal(k);
            run += d;
            prev = IsFull(d) ? Width::Full : Width::Half;
          }
          break;
        case u'u': case u'd': case u'o': case u'n': case u'b': case u'B': case u'c': case u'w':
          if (i + 1 == n || text[i + 1] == u'^') {
            literal(k);
          } else {
            mode = k;
            flush();
          }
          break;
        default: literal(k); break;
      }
      continue;
    }

    const bool full = IsFull(c);
    if (!mode) {
      run += c;
      prev = full ? Width::Full : Width::Half;
      continue;
    }
    const double m = prev == Width::Full ? 2 : prev == Width::Half ? 1 : 0;
    const double back0 = m * sp / 2 + m * w / 4;  // back to the centre of the previous cell
    const std::u16string one(1, c);
    switch (mode) {
      case u'u':
        draw(Along(P, up, ah / 2), h / 2, full ? w / 2 : w, sp, one);
        P = Along(P, ang, (w + sp) / 2);
        break;
      case u'd':
        draw(P, h / 2, full ? w / 2 : w, sp, one);
        P = Along(P, ang, (w + sp) / 2);
        break;
      case u'c':
        draw(Along(P, up, ah / 4), h / 2, full ? w / 2 : w, sp, one);
        P = Along(P, ang, (w + sp) / 2);
        break;
      case u'o':
        draw(Along(Along(P, ang, -(back0 + (full ? w / 4 : w / 8))), up, ah / 4), h / 2, w / 2, sp, one);
        break;
      case u'n':
        draw(Along(P, ang, -(back0 + (full ? w / 2 : w / 4))), h, w, sp, one);
        break;
      case u'b':
        draw(Along(P, ang, -(back0 + (full ? w / 4 : w / 8))), h, w, sp, one);
        break;
      case u'B':
        draw(Along(P, ang, -(back0 + (full ? 0.3 * w : 0.15 * w))), h, w, sp, one);
        break;
      case u'w':
        if (full) {
          run += u"^w";
          run += c;
        } else {
          std::u16string pair = one;
          if (i + 1 < n && !IsFull(text[i + 1])) pair += text[++i];
          const double L = static_cast<double>(pair.size());
          draw(Along(Along(P, ang, -(back0 + L * w / 8)), up, ah / 4), h / 2, w / 2, 0, pair);
        }
        break;
    }
    mode = 0;
    prev = full ? Width::Full : Width::Half;
  }
  if (!run.empty()) draw(P, h, w, sp, run);
  return drawn ? 0 : 1;
}

int32_t TGraph2::GLAText2(double xx, double yy, double ang, double h, double w, double sp, int32_t Ftyp,
                          const std::u16string& f, const std::u16string& s) {
  if (const int32_t r = SizeCheck(s, h, w, sp, Ctx.DispScale)) return r;
  double upright = ang;
  bool vertical = false;
  size_t at = 0;
  while (at < 4 && at < f.size() && f[at] == u'@') {
    ++at;
    upright += kPi / 2;
    if (upright >= 2 * kPi) upright -= 2 * kPi;
    vertical = true;
  }
  FontSpec font;
  font.family = f.substr(at);
  font.sizePx = std::fabs(h) * Ctx.DispScale;
  font.bold = Ftyp & 1;
  font.italic = Ftyp & 2;
  font.underline = Ftyp & 4;
  font.strikeout = Ftyp & 8;
  C.SetFont(font);

  const double ca0 = std::cos(ang), sa0 = std::sin(ang);
  bool drawn = false;
  for (char16_t c : s) {
    double hy = std::fabs(h) / 2, hd = h, ca = ang, hx;
    const bool full = IsFull(c);
    if (full) {
      hx = std::fabs(w) / 2;
      if (vertical) {
        if (In(kVertKeep, c)) {
          // along the line
        } else if (In(kVertMirror, c)) {
          hd = -h;
        } else {
          ca = upright;
          if (In(kVertRaise, c)) hy = 1.8 * std::fabs(h) / 2;
        }
      }
    } else {
      hx = std::fabs(w) / 4;
    }
    const double cx = xx + hx * ca0 - hy * sa0;
    const double cy = yy + hx * sa0 + hy * ca0;
    // The K4 renderer draws vertical glyphs with height and width exchanged.
    const bool swap = vertical && Text.swapVerticalCells;
    if (GLAText1(cx, cy, swap ? w : hd, swap ? hd : w, ca, 4, std::u16string(1, c)) == 0) drawn = true;
    const double adv = full ? w + sp : (w + sp) / 2;
    xx += adv * ca0;
    yy += adv * sa0;
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
    Hm = h * Ctx.DispScale;
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
  for (const Vec& p : corners) all &= OutCode(p.x, p.y, Ctx.DispX1, Ctx.DispY1, Ctx.DispX2, Ctx.DispY2);
  if (all != 0) return 1;

  double X, Y;
  GLTransPt(T.x, T.y, X, Y);
  const double pw = cw * Ctx.DispScale, ph = h * Ctx.DispScale;
  if (!(pw > kMinPx) || !(ph > kMinPx)) {
    GTen(X, Y);
    return 2;
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
