#pragma once
// Thin antialiased strokes drawn straight into premultiplied ARGB32 pixels,
// without Cairo, looking as the Cairo canvas's strokes do: round caps (Cairo's
// polygonal pen at its default tolerance), mitred joins (Cairo's mitre limit,
// 10), the canvas's dash patterns with the phase carried along the path, far
// points clipped in device space the way the Cairo canvas clips them, and the
// colour composited with Cairo's 8-bit arithmetic.
//
// Coverage is exact area: a stroke becomes closed outlines in device space,
// every edge is accumulated into the cells it crosses as signed area and
// cover, and a sweep along each row sums them to the coverage of each pixel
// (non-zero winding: the absolute sum, at most 1). A stroke is accumulated
// whole before it is composited, so its pieces never ink a pixel twice.
//
// The outline of a polyline is built as the boundary of the stroke itself:
// the two offset sides meet at the intersection of their offset lines on the
// inside of a join and at the mitre tip (or the bevel) outside, so abutting
// segments meet along one boundary and leave neither seam nor overlap. Where that
// boundary is not simple (segments shorter than the join needs, a path that
// turns back on itself or crosses itself) the stroke is drawn as overlapping
// convex pieces instead (segment quads, join wedges, caps), and their union
// is scanned as Cairo's own scan converter does it: on 16 sample lines per
// pixel row, exact along each line.
//
// One ThinStroker is used by one thread at a time; it keeps its buffers from
// stroke to stroke, so drawing allocates nothing once they have grown.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "raster/device.h"
#include "raster/pixel_rect.h"

namespace zumen {

// The pixels drawn on: the picture's pixel (x, y) is
// data[(y - y0) * stride + (x - x0)], premultiplied ARGB32 (Cairo's layout),
// so that data may hold only a part of the picture (a band of rows, a tile);
// only the clip's pixels change, and the clip lies within that part. The
// picture's size places the band far points are clipped to, so that a stroke
// is the same figure whatever part of the picture is drawn.
struct PixelTarget {
  uint32_t* data = nullptr;
  ptrdiff_t stride = 0;  // pixels from one row to the next
  int width = 0;
  int height = 0;
  PixelRect clip;  // within [0, width) × [0, height)
  int x0 = 0, y0 = 0;  // the picture's pixel at data[0]

  uint32_t* At(int x, int y) const { return data + (static_cast<ptrdiff_t>(y - y0) * stride + (x - x0)); }
};

// A stroke as the canvas gives it: colour (straight alpha), width in user
// units, dash style.
struct StrokePen {
  uint32_t argb = 0xFF000000;
  double width = 1;
  DashStyle dash = DashStyle::Solid;
};

// The widest stroke, in device pixels, that the rasteriser draws.
inline constexpr double kMaxThinStrokePx = 4.0;

// Whether the rasteriser draws strokes of this pen under the transform as
// Cairo would: the transform a translation with a uniform scale (a mirror or
// a half turn allowed), the stroke at most kMaxThinStrokePx wide on the
// device, and a dash period that Cairo does not approximate by a fainter
// solid line (under a tenth of a pixel). Otherwise the caller strokes with
// Cairo.
bool CanRasterise(const Matrix& m, const StrokePen& pen);

class ThinStroker {
 public:
  struct Vec {
    double x, y;
  };

  ThinStroker();
  ~ThinStroker();
  ThinStroker(const ThinStroker&) = delete;
  ThinStroker& operator=(const ThinStroker&) = delete;

  // The Canvas calls, in user space under m (CanRasterise(m, pen) must hold):
  // an open path through the points, a line, a rectangle's outline.
  void StrokePolyline(const PixelTarget& t, const Matrix& m, const StrokePen& pen, double opacity, const FPoint* pts,
                      size_t n);
  void StrokeLine(const PixelTarget& t, const Matrix& m, const StrokePen& pen, double opacity, double x1, double y1,
                  double x2, double y2);
  void StrokeRect(const PixelTarget& t, const Matrix& m, const StrokePen& pen, double opacity, double left, double top,
                  double right, double bottom);

  // One stroke in device space, of one or more subpaths: BeginStroke, then
  // AddSubpath for each, then EndStroke draws it. dashes: on/off lengths in
  // device pixels (count even, 0 for solid). The round caps are Cairo's pen
  // for half the width at its default tolerance. A subpath with a point that
  // is not a number or lies 2^26 pixels or more out is left out (the canvas
  // calls clip far points first, as the Cairo canvas does).
  void BeginStroke(const PixelTarget& t, uint32_t argb, double opacity, double widthPx, const double* dashes,
                   int dashCount);
  void AddSubpath(const Vec* pts, size_t n, bool closed);
  void EndStroke();

 private:
  enum class RunKind : uint8_t { Open, Closed, ClosedRound };
  // A piece of a subpath stroked without a break: a dash, or the whole path.
  struct Run {
    uint32_t first = 0, count = 0;  // points in runPts_; one point: a dot
    RunKind kind = RunKind::Open;
    int roundAt = -1;       // an interior vertex joined round (two caps meeting there)
    bool hasLead = false;   // begins at a vertex with a cap facing back along lead
    Vec lead{1, 0};
  };
  struct SidePoint {
    Vec p;
    int seg;  // the segment the side runs along from here; -1: an edge not along a segment
  };

  template <typename Point>
  void StrokeUser(const PixelTarget& t, const Matrix& m, const StrokePen& pen, double opacity, const Point* pts,
                  size_t n, bool closed);

  void DashRuns(size_t size, size_t segs, RunKind kind);
  uint32_t StartRun(Vec p, Vec dir);
  void AddRunPoint(Vec p, Vec dir);
  bool GloballySimple(size_t segs, bool closed) const;

  // Geometry of a run.
  Vec RunDir(const Run& r, uint32_t seg) const;
  uint32_t RunSegs(const Run& r) const;
  bool BuildSide(const Run& r, int side, std::vector<SidePoint>& out) const;
  bool AllowEndDetours(const Run& r, std::vector<SidePoint>& s) const;
  bool SideProgresses(const Run& r, const std::vector<SidePoint>& s, bool closed) const;
  bool Straighten(Run& r);
  bool Outline(Run& r);
  void Pieces(const Run& r);
  void Fan(Vec q, Vec from, Vec to, Vec mid, bool cap);
  void Cap(Vec q, Vec d);
  void PushPoint(Vec p) { pts_.push_back(p); }
  void EndContour() { ends_.push_back(static_cast<uint32_t>(pts_.size())); }
  void OrientContours(size_t firstContour);

  // Accumulation and sweep.
  void Rasterise();
  void Edge(Vec a, Vec b);
  void Cell(int row, double xa, double xb, double d);
  void CellSpan(size_t row, double x0, double x1, int c0, double d);
  void Mark(size_t row, int c0, int c1);
  void SweepBand();
  void SweepRow(int row);
  void ScanUnion(int yBegin, int yEnd);

  // The stroke being drawn.
  PixelTarget target_;
  uint32_t src_ = 0;
  bool opaque_ = true;
  double half_ = 0.5;  // half the width, device pixels
  double dashes_[6] = {};
  int dashCount_ = 0;
  int penCount_ = 0;
  double penHalf_ = -1;  // the half width pen_ was made for
  Vec pen_[64] = {};
  bool complex_ = false;

  // Working memory, kept between strokes.
  std::vector<Vec> dev_;     // the points on the device
  std::vector<Vec> path_;    // the cleaned subpath
  std::vector<Vec> dirs_;    // unit direction of each of its segments
  std::vector<double> lens_;
  std::vector<Vec> runPts_;  // the runs' points, with the direction leaving each
  std::vector<Vec> runDirs_;
  std::vector<Run> runs_;
  std::vector<SidePoint> sideA_, sideB_;
  std::vector<Vec> pts_;        // closed contours, in device pixels
  std::vector<uint32_t> ends_;  // end of each contour in pts_

  // The accumulation band: columns [col0_, col0_ + width_) of the picture,
  // rows [row0_, row0_ + rows_).
  int col0_ = 0, width_ = 0, row0_ = 0, rows_ = 0, words_ = 0;
  std::vector<double> cells_;  // per cell: the change of coverage from the cell before
  std::vector<double> carry_;  // per row: what lies left of the band
  std::vector<uint64_t> bits_;  // cells touched
  std::vector<int> wordLo_, wordHi_;  // per row: first and last word of bits_ touched
  // The union of overlapping pieces: crossings of the sample lines, coverage of a row.
  struct Crossing {
    int line;
    double x;
    int dir;
  };
  std::vector<Crossing> crossings_;
  std::vector<double> cov_;
};

}  // namespace zumen
