#include "formats/jwc/extents.h"

#include <cmath>
#include <numbers>

namespace zumen {

namespace {

// x taken into [0, 360).
double Norm360(double x) {
  double r = std::fmod(x, 360.0);
  if (r < 0) r += 360.0;
  if (r >= 360.0) r -= 360.0;
  return r;
}

}  // namespace

void JwcWidenArc(ExtentBox& box, const TEntJwcArc2& e, double scale) {
  constexpr double kDeg = std::numbers::pi / 180.0;
  const double a = e.r, b = double{e.r} * e.h, t = e.tt * kDeg;
  const double ct = std::cos(t), stt = std::sin(t);
  auto add = [&](double th) {
    const double c = std::cos(th), s = std::sin(th);
    BoxAdd(box, e.x + a * c * ct - b * s * stt, e.y + a * c * stt + b * s * ct, scale);
  };
  const double s = Norm360(e.st);
  const double d = Norm360(e.et - s);
  if (std::fabs(d) < 1e-14 || std::fabs(d - 360.0) < 1e-14) {
    for (int q = 0; q < 4; ++q) add(q * std::numbers::pi / 2);
    return;
  }
  add(e.st * kDeg);
  add(e.et * kDeg);
  for (int q = 0; q < 4; ++q) {
    const double dist = q == 0 ? 360.0 - s : Norm360(q * 90.0 - s);
    if (dist <= d) add(q * std::numbers::pi / 2);
  }
}

void JwcWidenExtents(ExtentBox& box, bool start, const JwcExtentInput& in, double scale) {
  if (start) {
    if (!in.lines.empty()) {
      BoxStart(box, in.lines[0].x1, in.lines[0].y1, scale);
    } else if (!in.arcs.empty()) {
      BoxStart(box, in.arcs[0].x, in.arcs[0].y, scale);
    } else if (!in.mojis.empty()) {
      BoxStart(box, in.mojis[0].x1, in.mojis[0].y1, scale);
    } else if (!in.tens.empty()) {
      BoxStart(box, in.tens[0].x, in.tens[0].y, scale);
    } else if (!in.vtens.empty()) {
      BoxStart(box, in.vtens[0].x, in.vtens[0].y, scale);
    } else {
      return;
    }
  }
  for (const TEntJwcLine& e : in.lines) {
    BoxAdd(box, e.x1, e.y1, scale);
    BoxAdd(box, e.x2, e.y2, scale);
  }
  for (const TEntJwcMoji2& e : in.mojis) {
    BoxAdd(box, e.x1, e.y1, scale);
    BoxAdd(box, e.x2, e.y2, scale);
  }
  for (const TEntJwcTen& e : in.tens) BoxAdd(box, e.x, e.y, scale);
  for (const TEntJwcVten& e : in.vtens) BoxAdd(box, e.x, e.y, scale);
  for (const TEntJwcArc2& e : in.arcs) JwcWidenArc(box, e, scale);
}

void JwcSurveyEntities(const JwcExtentInput& in, const TgraAttribute& att, EntitySurvey& survey) {
  constexpr int kAux = 9;  // line type of auxiliary lines
  const auto shown = [&](int lay) { return att.GetAttrLayerState(lay) != 3; };
  // Each entity measured on its own: an input holding just that entity.
  const auto each = [&](const auto& list, auto kind, auto drawn) {
    for (const auto& e : list) {
      if (!drawn(e)) continue;
      JwcExtentInput one;
      one.*kind = std::span(&e, 1);
      ExtentBox box;
      JwcWidenExtents(box, true, one, 1.0);
      survey.Begin();
      survey.Add(box.minx, box.miny);
      survey.Add(box.maxx, box.maxy);
      survey.End();
    }
  };
  const auto line = [&](const auto& e) { return shown(e.lay) && e.typ != kAux; };
  const auto other = [&](const auto& e) { return shown(e.lay); };
  each(in.lines, &JwcExtentInput::lines, line);
  each(in.arcs, &JwcExtentInput::arcs, line);
  each(in.mojis, &JwcExtentInput::mojis, other);
  each(in.tens, &JwcExtentInput::tens, other);
  each(in.vtens, &JwcExtentInput::vtens, other);
}

}  // namespace zumen
