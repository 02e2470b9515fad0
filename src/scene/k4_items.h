#pragma once
// Items of the K4 renderer (TGraph): strokes with a pen of their own colour,
// printed width and dash pattern, end marks, symbols, points, texts, pattern,
// gradient and picture fills, and bitmaps. Coordinates are those the K4
// renderer's operations take: most already multiplied by the scale of the
// object's layer group, polylines, curves and polygons as stored with the
// scale beside them.
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/types.h"
#include "scene/head.h"

namespace zumen::scene {

// A K4 pen: its colour as the drawing's pen number shows it (palette) and as
// the object's own colour (own), each already grey for a greyed layer or an
// auxiliary line; its printed width and base dash pattern in millimetres
// (empty: solid). An auxiliary item's pen is one pixel wide with a dotted
// pattern of its own.
struct K4Pen {
  uint32_t palette = 0xFF000000, own = 0xFF000000;
  double width = 0;
  std::vector<double> pattern;
  bool aux = false;
};

// An end mark or symbol: a stem (straight, circular or elliptic arc) and the
// mark of its style at (x, y), turned by angle.
struct K4Mark {
  double x = 0, y = 0, len = 0, ox = 0, oy = 0, r1 = 0, r2 = 0, ellipseAngle = 0, angle = 0, p1 = 0, p2 = 0;
  uint8_t style = 0, extype = 0, exattr = 0;
};

enum class K4StrokeKind : uint8_t { Line, Ellipse, Polyline, Bezier };

// Lines, circles, ellipses and their arcs, polylines and Bezier curves, with
// the marks at their two ends when they have them.
struct K4Stroke {
  Head h;
  K4Pen pen;
  K4StrokeKind kind = K4StrokeKind::Line;
  TDPoint a, b;  // a line's ends; an ellipse's centre in a
  double r = 0, flat = 1, tilt = 0, start = 0, sweep = 0;
  bool full = false;
  std::vector<TDPoint> points;  // polyline and curve points as stored
  int32_t count = 0;
  double scale = 1;
  std::optional<std::array<K4Mark, 2>> edge;
};

struct K4Symbol {
  Head h;
  K4Pen pen;
  K4Mark mark;
};

// A point: a filled circle of radius r with its outline.
struct K4Point {
  Head h;
  uint32_t palette = 0xFF000000, own = 0xFF000000;
  TDPoint p;
  double r = 0;
};

struct K4Text {
  Head h;
  uint32_t palette = 0xFF000000, own = 0xFF000000;
  TDPoint p1, p2;
  double height = 0, width = 0, spacing = 0;
  int32_t style = 0;
  std::u16string font, text;
  double macroScale = 1;
};

enum class K4FillKind : uint8_t { Pattern, Gradient, Picture };

// A polygon filled with a dot pattern of its colour, a gradient between two
// file colours, or a picture of raw pixel rows; grey on a greyed layer.
struct K4Fill {
  Head h;
  K4FillKind kind = K4FillKind::Pattern;
  uint32_t colour = 0xFF000000;
  bool greyed = false;
  int32_t pattern = 0;
  std::vector<TDPoint> points;
  int32_t count = 0;
  double scale = 1;
  int32_t gradType = 0;
  uint32_t gradColour1 = 0, gradColour2 = 0;
  TDPoint gradP1, gradP2;
  double boxX1 = 0, boxY1 = 0, boxX2 = 0, boxY2 = 0, gradAngle = 0;
  int32_t pictureW = 0, pictureH = 0, pictureDepth = 0;
  std::shared_ptr<const std::vector<uint8_t>> picture;
};

// A raster image in its four corners (as stored), of an image type (1 JPEG,
// 2 PNG, 10 GIF, 11 TIFF, 12 BMP); a greyed one is a grey box.
struct K4Bitmap {
  Head h;
  uint32_t colour = 0xFF000000;
  bool greyed = false;
  int32_t type = 0;
  std::array<TDPoint, 4> corners;
  double scale = 1;
  std::shared_ptr<const std::vector<uint8_t>> bytes;
};

}  // namespace zumen::scene
