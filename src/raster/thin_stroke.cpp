#include "raster/thin_stroke.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cmath>
#include <numbers>

#include "raster/composite.h"
#include "raster/dash_pattern.h"
#include "raster/path_clip.h"

namespace zumen {

namespace {

using Vec = ThinStroker::Vec;

// Cairo's defaults: the mitre limit, and the tolerance its round pen is
// flattened to.
constexpr double kMitreLimit = 10;
constexpr double kTolerance = 0.1;
// A dash step that leaves less than this of the dash ends it (Cairo's
// fixed-point error).
constexpr double kDashEpsilon = 1.0 / 512;
// Points closer than this in both coordinates are one point (Cairo's
// fixed-point resolution).
constexpr double kSamePoint = 1.0 / 256;
// Device coordinates a subpath may have (what the canvas calls leave after
// clipping far points is well inside); pixel indices stay within int.
constexpr double kLargestDeviceCoord = 1 << 26;
// A vertex this close to the line through its neighbours may be dropped.
constexpr double kStraight = 1e-3;
// Cairo approximates a dash pattern shorter than this on the device by a
// fainter solid line; such strokes are left to Cairo.
constexpr double kShortestDashPeriod = kTolerance;
// Sample lines per pixel row on which overlapping pieces are scanned.
constexpr int kSubRows = 16;
// Cells accumulated at once; taller strokes are drawn in bands of rows.
constexpr size_t kMaxCells = size_t{1} << 18;
// Coverage below this is nothing (what floating point leaves of a sum that
// should be zero).
constexpr double kNoCoverage = 1e-9;

inline Vec operator+(Vec a, Vec b) { return {a.x + b.x, a.y + b.y}; }
inline Vec operator-(Vec a, Vec b) { return {a.x - b.x, a.y - b.y}; }
inline Vec operator*(Vec a, double k) { return {a.x * k, a.y * k}; }
inline double Dot(Vec a, Vec b) { return a.x * b.x + a.y * b.y; }
inline double Cross(Vec a, Vec b) { return a.x * b.y - a.y * b.x; }
// The direction turned by a quarter towards positive angles.
inline Vec Normal(Vec d) { return {-d.y, d.x}; }

// The vertices of Cairo's pen for a circle of this radius on the device.
int PenVertexCount(double radius) {
  if (kTolerance >= 4 * radius) return 1;
  if (kTolerance >= radius) return 4;
  int n = static_cast<int>(std::ceil(2 * std::numbers::pi / std::acos(1 - kTolerance / radius)));
  if (n % 2) ++n;
  return std::max(n, 4);
}

// A number that grows with the angle of d, from 0 to 4 over a full turn, a
// half turn adding exactly 2: turning is followed without trigonometry.
double PseudoAngle(Vec d) {
  const double ax = std::abs(d.x), ay = std::abs(d.y);
  const double p = ay / (ax + ay);
  if (d.x >= 0) return d.y >= 0 ? p : 4 - p;
  return d.y >= 0 ? 2 - p : 2 + p;
}

double ClampOpacity(double opacity) { return std::isfinite(opacity) ? std::clamp(opacity, 0.0, 1.0) : 0.0; }

bool Finite(const Matrix& m) {
  return std::isfinite(m.m11) && std::isfinite(m.m12) && std::isfinite(m.m21) && std::isfinite(m.m22) &&
         std::isfinite(m.dx) && std::isfinite(m.dy);
}

// The width SetStroke keeps: a positive number, else 1.
double UsableWidth(double w) { return std::isfinite(w) && w > 0 ? w : 1.0; }

struct DPoint {
  double X, Y;
};

}  // namespace

bool CanRasterise(const Matrix& m, const StrokePen& pen) {
  if (!Finite(m) || m.m12 != 0 || m.m21 != 0 || m.m11 == 0 || std::abs(m.m11) != std::abs(m.m22)) return false;
  const double scale = std::abs(m.m11);
  const double width = UsableWidth(pen.width);
  if (width * scale > kMaxThinStrokePx) return false;
  double d[6];
  const int count = DashPattern(pen.dash, width, d);
  double period = 0;
  for (int i = 0; i < count; ++i) period += d[i];
  return count == 0 || period * scale >= kShortestDashPeriod;
}

ThinStroker::ThinStroker() = default;
ThinStroker::~ThinStroker() = default;

void ThinStroker::StrokePolyline(const PixelTarget& t, const Matrix& m, const StrokePen& pen, double opacity,
                                 const FPoint* pts, size_t n) {
  StrokeUser(t, m, pen, opacity, pts, n, false);
}

void ThinStroker::StrokeLine(const PixelTarget& t, const Matrix& m, const StrokePen& pen, double opacity, double x1,
                             double y1, double x2, double y2) {
  const DPoint p[2] = {{x1, y1}, {x2, y2}};
  StrokeUser(t, m, pen, opacity, p, 2, false);
}

void ThinStroker::StrokeRect(const PixelTarget& t, const Matrix& m, const StrokePen& pen, double opacity, double left,
                             double top, double right, double bottom) {
  const DPoint p[4] = {{left, top}, {right, top}, {right, bottom}, {left, bottom}};
  StrokeUser(t, m, pen, opacity, p, 4, true);
}

// The Cairo canvas's path: the points under the transform, or, when some lie
// so far out that Cairo's coordinates would wrap, the path clipped to a band
// around the picture wider than the stroke (an open path falls into pieces).
// A point that is not a number draws nothing.
template <typename Point>
void ThinStroker::StrokeUser(const PixelTarget& t, const Matrix& m, const StrokePen& pen, double opacity,
                             const Point* pts, size_t n, bool closed) {
  opacity = ClampOpacity(opacity);
  if (opacity <= 0 || n < 2 || !CanRasterise(m, pen)) return;
  const double scale = std::abs(m.m11);
  const double width = UsableWidth(pen.width);
  double d[6];
  const int count = DashPattern(pen.dash, width, d);
  for (int i = 0; i < count; ++i) d[i] *= scale;

  dev_.resize(n);
  bool safe = true;
  for (size_t i = 0; i < n; ++i) {
    m.Apply(pts[i].X, pts[i].Y, dev_[i].x, dev_[i].y);
    safe = safe && std::abs(dev_[i].x) < kSafeDeviceCoord && std::abs(dev_[i].y) < kSafeDeviceCoord;
  }
  if (!safe) {
    for (const Vec& p : dev_)
      if (!std::isfinite(p.x) || !std::isfinite(p.y)) return;
  }
  BeginStroke(t, pen.argb, opacity, width * scale, d, count);
  if (safe) {
    AddSubpath(dev_.data(), n, closed);
  } else {
    std::vector<DevicePoint> far(n);
    for (size_t i = 0; i < n; ++i) far[i] = {dev_[i].x, dev_[i].y};
    const double matrixScale = std::sqrt(m.m11 * m.m11 + m.m12 * m.m12 + m.m21 * m.m21 + m.m22 * m.m22);
    const double margin = width * matrixScale + 16;
    const double x0 = -margin, y0 = -margin, x1 = t.width + margin, y1 = t.height + margin;
    const auto add = [this](const std::vector<DevicePoint>& p, bool isClosed) {
      std::vector<Vec> v(p.size());
      for (size_t i = 0; i < p.size(); ++i) v[i] = {p[i].x, p[i].y};
      AddSubpath(v.data(), v.size(), isClosed);
    };
    if (closed) {
      const std::vector<DevicePoint> poly = ClipPolygon(far, x0, y0, x1, y1);
      if (!poly.empty()) add(poly, true);
    } else {
      for (const std::vector<DevicePoint>& piece : ClipOpenPath(far, x0, y0, x1, y1)) add(piece, false);
    }
  }
  EndStroke();
}

void ThinStroker::BeginStroke(const PixelTarget& t, uint32_t argb, double opacity, double widthPx,
                              const double* dashes, int dashCount) {
  target_ = t;
  target_.clip.x0 = std::max(t.clip.x0, 0);
  target_.clip.y0 = std::max(t.clip.y0, 0);
  target_.clip.x1 = std::min(t.clip.x1, t.width);
  target_.clip.y1 = std::min(t.clip.y1, t.height);
  src_ = SolidPixel(argb, ClampOpacity(opacity));
  opaque_ = (src_ >> 24) == 0xFF;
  half_ = widthPx / 2;
  dashCount_ = 0;
  if (dashCount > 0 && dashCount <= 6 && dashCount % 2 == 0) {
    double period = 0;
    for (int i = 0; i < dashCount; ++i) {
      dashes_[i] = std::max(dashes[i], 0.0);
      period += dashes_[i];
    }
    if (period > 0 && std::isfinite(period)) dashCount_ = dashCount;
  }
  if (half_ != penHalf_) {
    penHalf_ = half_;
    penCount_ = std::min(PenVertexCount(half_), static_cast<int>(std::size(pen_)));
    for (int i = 0; i < penCount_; ++i) {
      const double a = 2 * std::numbers::pi * i / penCount_;
      pen_[i] = {half_ * std::cos(a), half_ * std::sin(a)};
    }
  }
  complex_ = false;
  runPts_.clear();
  runDirs_.clear();
  runs_.clear();
}

uint32_t ThinStroker::StartRun(Vec p, Vec dir) {
  Run r;
  r.first = static_cast<uint32_t>(runPts_.size());
  r.count = 1;
  runPts_.push_back(p);
  runDirs_.push_back(dir);
  runs_.push_back(r);
  return static_cast<uint32_t>(runs_.size() - 1);
}

void ThinStroker::AddRunPoint(Vec p, Vec dir) {
  runDirs_.back() = dir;
  runPts_.push_back(p);
  runDirs_.push_back(dir);
  ++runs_.back().count;
}

void ThinStroker::AddSubpath(const Vec* in, size_t n, bool closed) {
  if (src_ == 0) return;  // a colour Cairo leaves out: nothing would change
  path_.clear();
  for (size_t i = 0; i < n; ++i) {
    if (!(std::abs(in[i].x) < kLargestDeviceCoord) || !(std::abs(in[i].y) < kLargestDeviceCoord)) return;
    if (!path_.empty() && std::abs(in[i].x - path_.back().x) < kSamePoint &&
        std::abs(in[i].y - path_.back().y) < kSamePoint)
      continue;
    path_.push_back(in[i]);
  }
  if (path_.empty()) return;
  RunKind kind = closed ? RunKind::Closed : RunKind::Open;
  // An open path that ends where it began: its two caps meet there and make
  // a round join.
  if (path_.size() >= 2 && std::abs(path_.back().x - path_.front().x) < kSamePoint &&
      std::abs(path_.back().y - path_.front().y) < kSamePoint) {
    if (closed) {
      path_.pop_back();
    } else if (path_.size() >= 3) {
      path_.pop_back();
      kind = RunKind::ClosedRound;
    }
  }
  const size_t size = path_.size();
  if (size == 1) {  // a dot, whatever the dashes
    StartRun(path_[0], {1, 0});
    return;
  }
  const size_t segs = kind == RunKind::Open ? size - 1 : size;
  dirs_.resize(segs);
  lens_.resize(segs);
  for (size_t k = 0; k < segs; ++k) {
    const Vec d = path_[(k + 1) % size] - path_[k];
    const double len = std::hypot(d.x, d.y);
    lens_[k] = len;
    dirs_[k] = d * (1 / len);
  }
  if (!GloballySimple(segs, kind != RunKind::Open)) complex_ = true;
  if (dashCount_ == 0) {
    StartRun(path_[0], dirs_[0]);
    for (size_t k = 1; k < size; ++k) AddRunPoint(path_[k], dirs_[k - 1]);
    runDirs_.back() = dirs_[segs - 1];
    runs_.back().kind = kind;
    return;
  }
  DashRuns(size, segs, kind);
}

// Whether no two parts of the path that are not neighbours can come near
// each other: the directions of its segments lie within a half turn (the path
// goes steadily one way), or it turns one way only, once round when closed
// (a convex figure), less than once with its ends apart when open.
bool ThinStroker::GloballySimple(size_t segs, bool closed) const {
  if (segs <= 1) return true;
  double prev = PseudoAngle(dirs_[0]);
  double cum = 0, lo = 0, hi = 0;
  int sign = 0;
  bool convex = true;
  const auto turn = [&](Vec d) {
    const double p = PseudoAngle(d);
    double delta = p - prev;
    if (delta > 2) delta -= 4;
    if (delta < -2) delta += 4;
    prev = p;
    if (std::abs(delta) > 2 - 1e-12) return false;  // straight back
    cum += delta;
    lo = std::min(lo, cum);
    hi = std::max(hi, cum);
    const int s = delta > 0 ? 1 : delta < 0 ? -1 : 0;
    if (s != 0 && sign != 0 && s != sign) convex = false;
    if (s != 0) sign = s;
    return true;
  };
  for (size_t k = 1; k < segs; ++k)
    if (!turn(dirs_[k])) return false;
  if (!closed) {
    if (hi - lo < 2 - 1e-9) return true;
    const Vec gap = path_.back() - path_.front();
    return convex && std::abs(cum) < 4 - 1e-9 && std::hypot(gap.x, gap.y) > 2 * half_ + 2;
  }
  if (!turn(dirs_[0])) return false;
  return convex && std::abs(std::abs(cum) - 4) < 1e-6;
}

// Walks the dash pattern along the path as Cairo's stroker does: a dash that
// reaches the end of a segment goes on round the join, one that ends
// elsewhere gets a cap, one that begins exactly at a vertex begins with a cap
// facing back along the segment before it; a closed path whose first and
// last dashes meet at its start joins them.
void ThinStroker::DashRuns(size_t size, size_t segs, RunKind kind) {
  const size_t firstRun = runs_.size();
  int index = 0;
  bool on = true;
  double remain = dashes_[0];
  bool current = false;  // a dash is open at the current point
  for (size_t k = 0; k < segs; ++k) {
    const Vec p1 = path_[k], p2 = path_[(k + 1) % size], u = dirs_[k];
    const double len = lens_[k];
    double rest = len, done = 0;
    while (rest > 0) {
      const double step = std::min(remain, rest);
      rest -= step;
      const double t = len - rest;
      const Vec end = rest > 0 ? p1 + u * t : p2;
      if (on) {
        if (!current) StartRun(done > 0 ? p1 + u * done : p1, u);
        AddRunPoint(end, u);
        current = rest <= 0;
      } else {
        current = false;
      }
      remain -= step;
      if (remain < kDashEpsilon) {
        if (++index == dashCount_) index = 0;
        on = !on;
        remain += dashes_[index];
      }
      done = t;
    }
    if (on && !current) {
      StartRun(p2, u);
      runs_.back().hasLead = true;
      runs_.back().lead = u;
      current = true;
    }
  }
  if (kind == RunKind::Open || runs_.size() == firstRun) return;
  if (!current) {
    // The last dash ends short of the start, where the first begins: if
    // their caps meet, the union needs the pieces.
    const Vec gap = runPts_.back() - runPts_[runs_[firstRun].first];
    if (std::hypot(gap.x, gap.y) < 2 * half_ + 1) complex_ = true;
    return;
  }
  // The path's last dash reaches its start, where the first dash begins.
  const size_t last = runs_.size() - 1;
  if (last == firstRun) {
    Run& r = runs_[last];
    if (r.hasLead || r.count < 2) return;
    --r.count;  // its last point is its first
    runPts_.pop_back();
    runDirs_.pop_back();
    r.kind = kind;
    return;
  }
  // A dot at the start of an open path that ends there is a full disc over
  // the first dash's start; the pieces give that union.
  if (kind == RunKind::ClosedRound && runs_[last].count < 2) {
    complex_ = true;
    return;
  }
  const Run head = runs_[firstRun];
  Run& tail = runs_[last];
  const uint32_t junction = tail.count - 1;
  runDirs_.back() = runDirs_[head.first];
  for (uint32_t i = 1; i < head.count; ++i) {
    runPts_.push_back(runPts_[head.first + i]);
    runDirs_.push_back(runDirs_[head.first + i]);
  }
  tail.count += head.count - 1;
  if (kind == RunKind::ClosedRound) tail.roundAt = static_cast<int>(junction);
  runs_[firstRun].count = 0;  // now part of the last
}

Vec ThinStroker::RunDir(const Run& r, uint32_t seg) const { return runDirs_[r.first + seg]; }

uint32_t ThinStroker::RunSegs(const Run& r) const { return r.kind == RunKind::Open ? r.count - 1 : r.count; }

namespace {

// The pen's vertices strictly inside the arc from `from` to `to` through
// `mid` (for a cap: the half facing mid), in order from `from`, given to emit.
template <typename Emit>
void PenFan(const Vec* pen, int count, Vec from, Vec to, Vec mid, bool cap, Emit emit) {
  const double turn = Cross(from, to);
  const auto inside = [&](int i) {
    const Vec v = pen[i];
    if (Dot(v, mid) <= 0) return false;
    return cap || (Cross(from, v) * turn > 0 && Cross(v, to) * turn > 0);
  };
  const int step = Cross(from, mid) > 0 ? 1 : count - 1;
  int start = -1;
  for (int i = 0; i < count; ++i) {
    if (inside(i) && !inside((i + count - step) % count)) {
      start = i;
      break;
    }
  }
  if (start < 0) return;
  for (int i = start, n = 0; n < count && inside(i); i = (i + step) % count, ++n) emit(pen[i]);
}

}  // namespace

// The offset points of one side (+1: towards Normal(d), -1: away) of a run,
// from its start to its end: where the sides of two segments meet at a join,
// on the inside the intersection of their offset lines, on the outside the
// mitre tip, the bevel's two corners, or for a round join the pen's arc.
// False when the run turns straight back.
bool ThinStroker::BuildSide(const Run& r, int side, std::vector<SidePoint>& out) const {
  out.clear();
  const Vec* q = runPts_.data() + r.first;
  const uint32_t c = r.count, segs = RunSegs(r);
  const bool open = r.kind == RunKind::Open;
  const double h = side * half_;
  if (open) out.push_back({q[0] + Normal(RunDir(r, 0)) * h, 0});
  for (uint32_t v = open ? 1 : 0; v < (open ? c - 1 : c); ++v) {
    const uint32_t a = (v + segs - 1) % segs, b = v;
    const Vec da = RunDir(r, a), db = RunDir(r, b);
    const Vec na = Normal(da), nb = Normal(db);
    const double cosine = Dot(da, db), cross = Cross(da, db);
    if (1 + cosine < 1e-12) return false;
    const Vec mitre = (na + nb) * (1 / (1 + cosine));
    const bool outer = side * cross < 0;
    const bool round = static_cast<int>(v) == r.roundAt || (r.kind == RunKind::ClosedRound && v == 0);
    if (!outer || (!round && 2 <= kMitreLimit * kMitreLimit * (1 + cosine))) {
      out.push_back({q[v] + mitre * h, static_cast<int>(b)});
    } else {
      out.push_back({q[v] + na * h, -1});
      if (round) {
        const Vec from = na * side, to = nb * side;
        const Vec mid = from + to;
        PenFan(pen_, penCount_, from, to, mid, false, [&](Vec p) { out.push_back({q[v] + p, -1}); });
      }
      out.push_back({q[v] + nb * h, static_cast<int>(b)});
    }
  }
  if (open) out.push_back({q[c - 1] + Normal(RunDir(r, segs - 1)) * h, -1});
  return true;
}

// The ends of a side of an open run. Where the first (last) segment is
// shorter than its join needs, the inside of the join lies behind the start
// (beyond the end) face: the side runs back from the face to the join's
// point and on along the next segment. When that point is the only one
// behind the face, the little triangle it adds lies in the next segment's
// own band, outside the cap, so the outline is still the stroke's boundary
// and that one backward stretch is let be. False when more than that lies
// behind a face.
bool ThinStroker::AllowEndDetours(const Run& r, std::vector<SidePoint>& s) const {
  const size_t n = s.size();
  if (n < 3) return true;
  const Vec* q = runPts_.data() + r.first;
  const Vec start = q[0], d0 = RunDir(r, 0);
  const Vec end = q[r.count - 1], d1 = RunDir(r, RunSegs(r) - 1);
  const bool startDetour = Dot(s[1].p - start, d0) < 0;
  const bool endDetour = Dot(s[n - 2].p - end, d1) > 0;
  if (startDetour) {
    if (n < 4 && endDetour) return false;
    if (Dot(s[2].p - start, d0) < 0) return false;
    s[0].seg = -1;
  }
  if (endDetour) {
    if (Dot(s[n - 3].p - end, d1) > 0) return false;
    s[n - 2].seg = -1;
  }
  return true;
}

// Whether every stretch of the side along a segment goes forwards along it:
// then the side never doubles back over the stroke.
bool ThinStroker::SideProgresses(const Run& r, const std::vector<SidePoint>& s, bool closed) const {
  const size_t n = s.size();
  for (size_t i = 0; i < (closed ? n : n - 1); ++i) {
    if (s[i].seg < 0) continue;
    if (Dot(s[(i + 1) % n].p - s[i].p, RunDir(r, static_cast<uint32_t>(s[i].seg))) < -1e-9) return false;
  }
  return true;
}

// Appends the contour of a cap facing d at q: from the face's point on the
// Normal(d) side round the pen's front half to the other.
void ThinStroker::Cap(Vec q, Vec d) {
  const Vec n = Normal(d);
  PushPoint(q + n * half_);
  PenFan(pen_, penCount_, n, n * -1, d, true, [&](Vec p) { PushPoint(q + p); });
  PushPoint(q - n * half_);
}

// Drops the inner vertices of an open run that lie within kStraight of the
// line through their neighbours (a dash a hundredth of a pixel long across a
// vertex, a sliver of a segment left at a dash's end): their joins matter
// to nobody, but would keep the outline from being simple. True when any went.
bool ThinStroker::Straighten(Run& r) {
  if (r.kind != RunKind::Open || r.count < 3) return false;
  Vec* q = runPts_.data() + r.first;
  Vec* dir = runDirs_.data() + r.first;
  uint32_t kept = 1;
  for (uint32_t v = 1; v + 1 < r.count; ++v) {
    const Vec a = q[kept - 1], chord = q[v + 1] - a;
    const double len = std::hypot(chord.x, chord.y);
    if (len > 0 && std::abs(Cross(q[v] - a, chord)) / len < kStraight) {
      if (len > 1e-9) dir[kept - 1] = chord * (1 / len);
      continue;
    }
    q[kept] = q[v];
    dir[kept] = dir[v];
    ++kept;
  }
  if (kept == r.count - 1) return false;
  q[kept] = q[r.count - 1];
  dir[kept] = dir[r.count - 1];
  r.count = kept + 1;
  return true;
}

// The outline of a run as the stroke's boundary (see the header); false,
// with nothing added, when that boundary would not be simple.
bool ThinStroker::Outline(Run& r) {
  const size_t firstContour = ends_.size();
  if (r.count == 1) {
    const Vec d = r.hasLead ? r.lead : Vec{1, 0};
    Cap(runPts_[r.first], d);
    Cap(runPts_[r.first], d * -1);
    EndContour();
    OrientContours(firstContour);
    return true;
  }
  if (r.hasLead) return false;
  const bool closed = r.kind != RunKind::Open;
  const auto simple = [&] {
    if (!BuildSide(r, 1, sideA_) || !BuildSide(r, -1, sideB_)) return false;
    if (!closed && (!AllowEndDetours(r, sideA_) || !AllowEndDetours(r, sideB_))) return false;
    return SideProgresses(r, sideA_, closed) && SideProgresses(r, sideB_, closed);
  };
  if (!simple() && (closed || !Straighten(r) || !simple())) return false;
  for (const SidePoint& p : sideA_) PushPoint(p.p);
  if (closed) {
    EndContour();
  } else {
    const Vec end = runPts_[r.first + r.count - 1], dEnd = RunDir(r, RunSegs(r) - 1);
    PenFan(pen_, penCount_, Normal(dEnd), Normal(dEnd) * -1, dEnd, true, [&](Vec p) { PushPoint(end + p); });
  }
  for (size_t i = sideB_.size(); i-- > 0;) PushPoint(sideB_[i].p);
  if (!closed) {
    const Vec start = runPts_[r.first], d0 = RunDir(r, 0);
    PenFan(pen_, penCount_, Normal(d0) * -1, Normal(d0), d0 * -1, true, [&](Vec p) { PushPoint(start + p); });
  }
  EndContour();
  OrientContours(firstContour);
  return true;
}

// The run as convex pieces that together cover the stroke, overlapping where
// they meet: a quad per segment, a wedge per join on its outside, the caps.
void ThinStroker::Pieces(const Run& r) {
  const Vec* q = runPts_.data() + r.first;
  const double h = half_;
  const auto piece = [this] {
    EndContour();
    OrientContours(ends_.size() - 1);
  };
  if (r.count == 1) {
    const Vec d = r.hasLead ? r.lead : Vec{1, 0};
    Cap(q[0], d);
    Cap(q[0], d * -1);
    piece();
    return;
  }
  const uint32_t c = r.count, segs = RunSegs(r);
  const bool open = r.kind == RunKind::Open;
  for (uint32_t k = 0; k < segs; ++k) {
    const Vec a = q[k], b = q[(k + 1) % c], n = Normal(RunDir(r, k)) * h;
    PushPoint(a + n);
    PushPoint(b + n);
    PushPoint(b - n);
    PushPoint(a - n);
    piece();
  }
  const auto wedge = [&](Vec p, Vec da, Vec db, bool round) {
    const double cosine = Dot(da, db), cross = Cross(da, db);
    if (cross == 0 || 1 + cosine < 1e-12) return;  // straight on, or straight back (a bevel of no area)
    const double side = cross > 0 ? -1 : 1;
    const Vec na = Normal(da) * side, nb = Normal(db) * side;
    PushPoint(p);
    PushPoint(p + na * h);
    if (round) {
      PenFan(pen_, penCount_, na, nb, na + nb, false, [&](Vec v) { PushPoint(p + v); });
    } else if (2 <= kMitreLimit * kMitreLimit * (1 + cosine)) {
      PushPoint(p + (na + nb) * (h / (1 + cosine)));
    }
    PushPoint(p + nb * h);
    piece();
  };
  for (uint32_t v = open ? 1 : 0; v < (open ? c - 1 : c); ++v) {
    const bool round = static_cast<int>(v) == r.roundAt || (r.kind == RunKind::ClosedRound && v == 0);
    wedge(q[v], RunDir(r, (v + segs - 1) % segs), RunDir(r, v), round);
  }
  if (!open) return;
  Cap(q[c - 1], RunDir(r, segs - 1));
  piece();
  if (r.hasLead) {
    Cap(q[0], r.lead * -1);
    piece();
    wedge(q[0], r.lead, RunDir(r, 0), false);
  } else {
    Cap(q[0], RunDir(r, 0) * -1);
    piece();
  }
}

// Turns the contours from firstContour on so that together they enclose a
// positive area: every stroke's winding has one sign.
void ThinStroker::OrientContours(size_t firstContour) {
  double area = 0;
  for (size_t c = firstContour; c < ends_.size(); ++c) {
    const uint32_t b = c ? ends_[c - 1] : 0, e = ends_[c];
    for (uint32_t i = b; i < e; ++i) area += Cross(pts_[i], pts_[i + 1 < e ? i + 1 : b]);
  }
  if (area >= 0) return;
  for (size_t c = firstContour; c < ends_.size(); ++c) {
    const uint32_t b = c ? ends_[c - 1] : 0, e = ends_[c];
    std::reverse(pts_.begin() + b, pts_.begin() + e);
  }
}

void ThinStroker::EndStroke() {
  pts_.clear();
  ends_.clear();
  if (runs_.empty() || target_.clip.empty() || src_ == 0) return;
  // Which runs reach the clip: the others are checked (the decision between
  // outline and pieces must not depend on where the picture is cut) but not
  // drawn.
  const auto nearClip = [this](const Run& r) {
    const double margin = (r.count > 2 ? kMitreLimit : 1) * half_ + 2;
    double x0 = INFINITY, y0 = INFINITY, x1 = -INFINITY, y1 = -INFINITY;
    for (uint32_t i = 0; i < r.count; ++i) {
      const Vec p = runPts_[r.first + i];
      x0 = std::min(x0, p.x);
      y0 = std::min(y0, p.y);
      x1 = std::max(x1, p.x);
      y1 = std::max(y1, p.y);
    }
    return x1 + margin > target_.clip.x0 && x0 - margin < target_.clip.x1 && y1 + margin > target_.clip.y0 &&
           y0 - margin < target_.clip.y1;
  };
  if (!complex_) {
    for (Run& r : runs_) {
      if (r.count == 0) continue;
      const bool draw = nearClip(r);
      const size_t points = pts_.size(), contours = ends_.size();
      if (!draw && r.count == 2 && !r.hasLead) continue;  // a single segment: always simple
      if (!Outline(r)) {
        complex_ = true;
        break;
      }
      if (!draw) {
        pts_.resize(points);
        ends_.resize(contours);
      }
    }
  }
  if (complex_) {
    pts_.clear();
    ends_.clear();
    for (const Run& r : runs_)
      if (r.count > 0 && nearClip(r)) Pieces(r);
  }
  Rasterise();
}

void ThinStroker::Rasterise() {
  if (ends_.empty()) return;
  double bx0 = INFINITY, by0 = INFINITY, bx1 = -INFINITY, by1 = -INFINITY;
  for (const Vec& p : pts_) {
    bx0 = std::min(bx0, p.x);
    by0 = std::min(by0, p.y);
    bx1 = std::max(bx1, p.x);
    by1 = std::max(by1, p.y);
  }
  const PixelRect& clip = target_.clip;
  if (!(bx1 > clip.x0 && bx0 < clip.x1 && by1 > clip.y0 && by0 < clip.y1)) return;
  col0_ = std::max(clip.x0, static_cast<int>(std::floor(bx0)));
  const int colEnd = std::min(clip.x1, static_cast<int>(std::ceil(bx1)));
  const int yBegin = std::max(clip.y0, static_cast<int>(std::floor(by0)));
  const int yEnd = std::min(clip.y1, static_cast<int>(std::ceil(by1)));
  if (colEnd <= col0_ || yEnd <= yBegin) return;
  width_ = colEnd - col0_;
  if (complex_) {
    ScanUnion(yBegin, yEnd);
    return;
  }
  words_ = (width_ + 63) / 64;
  const int bandPixels = static_cast<int>(std::max<size_t>(1, kMaxCells / static_cast<size_t>(width_)));
  for (int y = yBegin; y < yEnd; y += bandPixels) {
    row0_ = y;
    rows_ = std::min(bandPixels, yEnd - y);
    const size_t rows = static_cast<size_t>(rows_);
    if (cells_.size() < rows * static_cast<size_t>(width_)) cells_.resize(rows * static_cast<size_t>(width_), 0.0);
    if (bits_.size() < rows * static_cast<size_t>(words_)) bits_.resize(rows * static_cast<size_t>(words_), 0);
    if (carry_.size() < rows) carry_.resize(rows, 0.0);
    if (wordLo_.size() < rows) {
      wordLo_.resize(rows, INT_MAX);
      wordHi_.resize(rows, -1);
    }
    uint32_t b = 0;
    for (const uint32_t e : ends_) {
      for (uint32_t i = b; i < e; ++i) Edge(pts_[i], pts_[i + 1 < e ? i + 1 : b]);
      b = e;
    }
    SweepBand();
  }
}

// Accumulates the edge from a to b (device pixels) into the band's cells,
// one cell row at a time. The crossings of each row are computed from the
// edge's ends, never stepped, so that a cell gets the same value whatever
// band or clip it is drawn in.
void ThinStroker::Edge(Vec a, Vec b) {
  double x0 = a.x, y0 = a.y, x1 = b.x, y1 = b.y;
  if (y0 == y1) return;
  double dir = 1;
  if (y0 > y1) {
    std::swap(x0, x1);
    std::swap(y0, y1);
    dir = -1;
  }
  if (y1 <= row0_ || y0 >= row0_ + rows_ || std::min(x0, x1) >= col0_ + width_) return;
  const double dxdy = (x1 - x0) / (y1 - y0);
  const int r0 = std::max(row0_, static_cast<int>(std::floor(y0)));
  const int r1 = std::min(row0_ + rows_, static_cast<int>(std::ceil(y1)));
  for (int r = r0; r < r1; ++r) {
    const double ya = std::max(y0, static_cast<double>(r)), yb = std::min(y1, static_cast<double>(r + 1));
    const double xa = ya == y0 ? x0 : x0 + (ya - y0) * dxdy;
    const double xb = yb == y1 ? x1 : x0 + (yb - y0) * dxdy;
    Cell(r - row0_, xa, xb, (yb - ya) * dir);
  }
}

namespace {

// floor and ceil of coordinates well inside the int range, without the
// library's general rounding.
inline int FloorInt(double v) {
  const int i = static_cast<int>(v);
  return i - (v < i);
}
inline int CeilInt(double v) {
  const int i = static_cast<int>(v);
  return i + (v > i);
}

}  // namespace

// Marks the band's columns [c0, c1] of a row as touched.
inline void ThinStroker::Mark(size_t row, int c0, int c1) {
  uint64_t* bits = &bits_[row * static_cast<size_t>(words_)];
  const int w0 = c0 >> 6, w1 = c1 >> 6;
  if (w0 == w1) {
    bits[w0] |= (~uint64_t{0} >> (63 - (c1 - c0))) << (c0 & 63);
  } else {
    bits[w0] |= ~uint64_t{0} << (c0 & 63);
    for (int w = w0 + 1; w < w1; ++w) bits[w] = ~uint64_t{0};
    bits[w1] |= ~uint64_t{0} >> (63 - (c1 & 63));
  }
  int& lo = wordLo_[row];
  int& hi = wordHi_[row];
  if (w0 < lo) lo = w0;
  if (w1 > hi) hi = w1;
}

// The part of an edge inside one row, from x = xa to x = xb over a height d
// (signed by the edge's direction): the area it leaves on its right in each
// cell it crosses, as the change of coverage from the cell before (so that a
// running sum along the row gives each cell's coverage). Cells left of the
// band add to the row's carry, cells right of it are dropped. Columns are
// counted from the band's left edge: x - col0_ is exact there, so a cell's
// value does not depend on where the band begins.
[[gnu::always_inline]] inline void ThinStroker::Cell(int row, double xa, double xb, double d) {
  const size_t r = static_cast<size_t>(row);
  const double x0 = std::min(xa, xb) - col0_, x1 = std::max(xa, xb) - col0_;
  if (x1 <= 0) {
    carry_[r] += d;
    return;
  }
  if (x0 >= width_) return;
  const int c0 = FloorInt(x0);
  if (x1 <= c0 + 1) {  // within one cell (then c0 >= 0)
    double* cells = &cells_[r * static_cast<size_t>(width_)];
    const double right = d * (0.5 * (x0 + x1) - c0);
    cells[c0] += d - right;
    if (c0 + 1 < width_) {
      cells[c0 + 1] += right;
      Mark(r, c0, c0 + 1);
    } else {
      Mark(r, c0, c0);
    }
    return;
  }
  CellSpan(r, x0, x1, c0, d);
}

// Cell for a piece of edge that crosses several cells of its row.
void ThinStroker::CellSpan(size_t r, double x0, double x1, int c0, double d) {
  double* cells = &cells_[r * static_cast<size_t>(width_)];
  double& carry = carry_[r];
  const int c1 = CeilInt(x1);
  const double s = 1 / (x1 - x0);
  const double x0f = x0 - c0;
  const double a0 = 0.5 * s * (1 - x0f) * (1 - x0f);
  const double x1f = x1 - c1 + 1;
  const double am = 0.5 * s * x1f * x1f;
  if (c0 >= 0 && c1 < width_) {  // all inside the band, the usual case
    cells[c0] += d * a0;
    if (c1 == c0 + 2) {
      cells[c0 + 1] += d * (1 - a0 - am);
    } else {
      const double a1 = s * (1.5 - x0f), ds = d * s;
      cells[c0 + 1] += d * (a1 - a0);
      for (int k = c0 + 2; k < c1 - 1; ++k) cells[k] += ds;
      cells[c1 - 1] += d * (1 - (a1 + (c1 - c0 - 3) * s) - am);
    }
    cells[c1] += d * am;
    Mark(r, c0, c1);
    return;
  }
  const auto add = [&](int k, double v) {
    if (k < 0) {
      carry += v;
    } else if (k < width_) {
      cells[k] += v;
    }
  };
  add(c0, d * a0);
  if (c1 == c0 + 2) {
    add(c0 + 1, d * (1 - a0 - am));
  } else {
    const double a1 = s * (1.5 - x0f);
    add(c0 + 1, d * (a1 - a0));
    int k = c0 + 2;
    const int middleEnd = c1 - 1;
    if (k < 0) {
      const int stop = std::min(middleEnd, 0);
      carry += d * s * (stop - k);
      k = stop;
    }
    for (const int stop = std::min(middleEnd, width_); k < stop; ++k) cells[k] += d * s;
    const double a2 = a1 + (c1 - c0 - 3) * s;
    add(c1 - 1, d * (1 - a2 - am));
  }
  add(c1, d * am);
  const int m0 = std::max(c0, 0), m1 = std::min(c1, width_ - 1);
  if (m0 <= m1) Mark(r, m0, m1);
}

// Sweeps one cell row: sums the cells along it into coverage (absolute,
// at most 1) and composites the pixels.
void ThinStroker::SweepRow(int row) {
  const size_t r = static_cast<size_t>(row);
  double* cells = &cells_[r * static_cast<size_t>(width_)];
  uint64_t* bits = &bits_[r * static_cast<size_t>(words_)];
  uint32_t* line = target_.At(col0_, row0_ + row);
  const uint32_t src = src_;
  const bool opaque = opaque_;
  const auto level = [](double acc) { return static_cast<uint32_t>(std::min(std::abs(acc), 1.0) * 255.0 + 0.5); };
  const auto span = [&](int from, int to, double acc) {
    if (std::abs(acc) <= kNoCoverage) return;
    const uint32_t m = level(acc);
    if (m == 0) return;
    if (m == 255 && opaque) {
      std::fill(line + from, line + to, src);
      return;
    }
    for (int x = from; x < to; ++x) line[x] = CompositeSolid(line[x], src, m, opaque);
  };
  double acc = carry_[r];
  carry_[r] = 0;
  int next = 0;
  for (int w = wordLo_[r]; w <= wordHi_[r]; ++w) {
    uint64_t word = bits[w];
    bits[w] = 0;
    while (word) {
      const int c = w * 64 + std::countr_zero(word);
      word &= word - 1;
      if (c > next) span(next, c, acc);
      acc += cells[c];
      cells[c] = 0;
      if (const uint32_t m = level(acc)) line[c] = CompositeSolid(line[c], src, m, opaque);
      next = c + 1;
    }
  }
  if (next < width_) span(next, width_, acc);
  wordLo_[r] = INT_MAX;
  wordHi_[r] = -1;
}

void ThinStroker::SweepBand() {
  // The pixels of a row further down are fetched while this one is swept:
  // rows of a large picture lie pages apart.
  constexpr int kAhead = 2;
  for (int r = 0; r < rows_; ++r) {
    if (r + kAhead < rows_ && wordHi_[static_cast<size_t>(r + kAhead)] >= 0) {
      const int col = wordLo_[static_cast<size_t>(r + kAhead)] * 64 +
                      std::countr_zero(bits_[static_cast<size_t>(r + kAhead) * static_cast<size_t>(words_) +
                                             static_cast<size_t>(wordLo_[static_cast<size_t>(r + kAhead)])]);
      __builtin_prefetch(target_.At(col0_ + col, row0_ + r + kAhead), 1);
    }
    SweepRow(r);
  }
}

// The union of overlapping pieces: on kSubRows sample lines per pixel row,
// the crossings of all edges sorted along the line and the stretches of
// non-zero winding between them added to each pixel's coverage, exactly in
// x. Every edge is taken, wherever it lies, so that the coverage of a pixel
// does not depend on the clip.
void ThinStroker::ScanUnion(int yBegin, int yEnd) {
  if (cov_.size() < static_cast<size_t>(width_)) cov_.resize(static_cast<size_t>(width_), 0.0);
  const double share = 1.0 / kSubRows;
  const int bandPixels = static_cast<int>(std::max<size_t>(1, kMaxCells / (static_cast<size_t>(width_) * kSubRows)));
  for (int y = yBegin; y < yEnd; y += bandPixels) {
    const int rowEnd = std::min(yEnd, y + bandPixels);
    const int s0 = y * kSubRows, s1 = rowEnd * kSubRows;
    crossings_.clear();
    uint32_t b = 0;
    for (const uint32_t e : ends_) {
      for (uint32_t i = b; i < e; ++i) {
        Vec p = pts_[i], q = pts_[i + 1 < e ? i + 1 : b];
        if (p.y == q.y) continue;
        int dir = 1;
        if (p.y > q.y) {
          std::swap(p, q);
          dir = -1;
        }
        // Sample lines at (k + 0.5) / kSubRows with p.y <= line < q.y.
        const int k0 = std::max(s0, static_cast<int>(std::ceil(p.y * kSubRows - 0.5)));
        const int k1 = std::min(s1, static_cast<int>(std::ceil(q.y * kSubRows - 0.5)));
        const double dxdy = (q.x - p.x) / (q.y - p.y);
        for (int k = k0; k < k1; ++k) {
          const double ys = (k + 0.5) / kSubRows;
          crossings_.push_back({k, p.x + (ys - p.y) * dxdy, dir});
        }
      }
      b = e;
    }
    std::sort(crossings_.begin(), crossings_.end(), [](const Crossing& a, const Crossing& c) {
      return a.line != c.line ? a.line < c.line : a.x != c.x ? a.x < c.x : a.dir < c.dir;
    });
    const auto add = [&](double xa, double xb) {
      const double a = std::max(xa - col0_, 0.0), z = std::min(xb - col0_, static_cast<double>(width_));
      if (!(z > a)) return;
      const int ia = static_cast<int>(a), iz = static_cast<int>(z);
      if (ia == iz) {
        cov_[static_cast<size_t>(ia)] += (z - a) * share;
        return;
      }
      cov_[static_cast<size_t>(ia)] += (ia + 1 - a) * share;
      for (int i = ia + 1; i < iz; ++i) cov_[static_cast<size_t>(i)] += share;
      if (iz < width_) cov_[static_cast<size_t>(iz)] += (z - iz) * share;
    };
    size_t i = 0;
    for (int row = y; row < rowEnd; ++row) {
      for (int k = row * kSubRows; k < (row + 1) * kSubRows; ++k) {
        int winding = 0;
        double start = 0;
        for (; i < crossings_.size() && crossings_[i].line == k; ++i) {
          const int before = winding;
          winding += crossings_[i].dir;
          if (before == 0 && winding != 0) start = crossings_[i].x;
          if (before != 0 && winding == 0) add(start, crossings_[i].x);
        }
      }
      uint32_t* line = target_.At(col0_, row);
      for (int x = 0; x < width_; ++x) {
        double& c = cov_[static_cast<size_t>(x)];
        if (c == 0) continue;
        const uint32_t m = static_cast<uint32_t>(std::min(c, 1.0) * 255.0 + 0.5);
        c = 0;
        if (m) line[x] = CompositeSolid(line[x], src_, m, opaque_);
      }
    }
  }
}

}  // namespace zumen
