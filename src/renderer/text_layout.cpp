// The layout of a text entity into runs: direction, trailing layout
// directives, whole-text macros and "^" control sequences.
#include "renderer/text_layout.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string_view>

#include "common/cp932.h"
#include "common/geometry.h"

namespace zumen {

bool IsFullWidthChar(char16_t c) {
  if (c < 0x80) return false;
  return IsZenkaku(std::u16string_view(&c, 1));
}

namespace {

constexpr double kPi = std::numbers::pi;

// Vertical writing: characters that keep the line direction.
constexpr std::u16string_view kVertKeep = u"【＜≪〈《（｛〔［「『｜―－‐＝＿￣』」］〕｝）》〉≫＞】";
// Vertical writing: characters that keep the line direction and are mirrored.
constexpr std::u16string_view kVertMirror = u"。、ー～≠≒";
// Vertical writing: small marks turned upright with their centre raised.
constexpr std::u16string_view kVertRaise = u"．，°′″’”´゛゜";

bool In(std::u16string_view set, char16_t c) { return set.find(c) != std::u16string_view::npos; }

// Half-width units: 2 per full-width, 1 per half-width character.
int HalfUnits(std::u16string_view s) {
  int n = 0;
  for (char16_t c : s) n += IsFullWidthChar(c) ? 2 : 1;
  return n;
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
    if (!last) S += IsFullWidthChar(c) ? sp : sp / 2;
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

size_t GlyphWalker::Turns(const std::u16string& font) {
  size_t at = 0;
  while (at < 4 && at < font.size() && font[at] == u'@') ++at;
  return at;
}

GlyphWalker::GlyphWalker(const TextRun& run, const std::u16string& font, bool swapCells)
    : x_(run.x), y_(run.y), ang_(run.ang), h_(run.h), w_(run.w), sp_(run.sp), upright_(run.ang),
      turns_(Turns(font)), swap_(swapCells) {
  for (size_t i = 0; i < turns_; ++i) {
    upright_ += kPi / 2;
    if (upright_ >= 2 * kPi) upright_ -= 2 * kPi;
  }
}

GlyphCell GlyphWalker::Next(char16_t c) {
  const bool vertical = turns_ > 0;
  double hy = std::fabs(h_) / 2, hd = h_, ca = ang_, hx;
  const bool full = IsFullWidthChar(c);
  if (full) {
    hx = std::fabs(w_) / 2;
    if (vertical) {
      if (In(kVertKeep, c)) {
        // along the line
      } else if (In(kVertMirror, c)) {
        hd = -h_;
      } else {
        ca = upright_;
        if (In(kVertRaise, c)) hy = 1.8 * std::fabs(h_) / 2;
      }
    }
  } else {
    hx = std::fabs(w_) / 4;
  }
  const double ca0 = std::cos(ang_), sa0 = std::sin(ang_);
  GlyphCell g;
  g.cx = x_ + hx * ca0 - hy * sa0;
  g.cy = y_ + hx * sa0 + hy * ca0;
  const bool swap = vertical && swap_;
  g.h = swap ? w_ : hd;
  g.w = swap ? hd : w_;
  g.a = ca;
  const double adv = full ? w_ + sp_ : (w_ + sp_) / 2;
  x_ += adv * ca0;
  y_ += adv * sa0;
  return g;
}

int32_t LayOutText(const ConversionContext& ctx, double lgScale, MacroRules rules, double x1, double y1, double x2, double y2,
                   double h, double w, double sp, int32_t Ftyp, const std::u16string& s, TextRunSink& sink) {
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
  if (ExpandTextMacro(ctx, lgScale, text, value, rules)) return sink.Run({x1, y1, ang, h, w, sp, Ftyp, value});
  if (text.find(u'^') == std::u16string::npos) return sink.Run({x1, y1, ang, h, w, sp, Ftyp, text});

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
    if (sink.Run({at.x, at.y, ang, hh, ww, ss, runStyle, t}) == 0) drawn = true;
  };
  const auto flush = [&] {
    if (!run.empty()) {
      draw(P, h, w, sp, run);
      P = Along(P, ang, HalfUnits(run) * (w + sp) / 2);
      run.clear();
    }
    runStyle = style;
    if (pendingColour) {
      sink.Colour(pendingColour);
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
            prev = IsFullWidthChar(d) ? Width::Full : Width::Half;
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

    const bool full = IsFullWidthChar(c);
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
          if (i + 1 < n && !IsFullWidthChar(text[i + 1])) pair += text[++i];
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


}  // namespace zumen
