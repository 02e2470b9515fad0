// Builds examples/example.jww, the drawing that the README converts: a small
// house plan on A3 with walls, doors, windows placed as blocks, centre lines,
// dimensions, a hatched column, Japanese texts and a title block.
//
//   make_example OUT.jww
#include <cmath>
#include <cstdio>
#include <numbers>

#include "support/jww_writer.h"

namespace {

using zumen::JwwWriter;

constexpr double kPi = std::numbers::pi;

void Pen(JwwWriter& w, int colour, int style = 1, int width = 0) {
  w.att.nPenColor = static_cast<uint16_t>(colour);
  w.att.nPenStyle = static_cast<uint8_t>(style);
  w.att.nPenWidth = static_cast<uint16_t>(width);
}

void Rect(JwwWriter& w, double x1, double y1, double x2, double y2) {
  w.Line(x1, y1, x2, y1);
  w.Line(x2, y1, x2, y2);
  w.Line(x2, y2, x1, y2);
  w.Line(x1, y2, x1, y1);
}

// A wall as two parallel lines, thickness t, between two points on its axis.
void Wall(JwwWriter& w, double x1, double y1, double x2, double y2, double t = 3.6) {
  const double len = std::hypot(x2 - x1, y2 - y1);
  const double nx = -(y2 - y1) / len * t / 2, ny = (x2 - x1) / len * t / 2;
  w.Line(x1 + nx, y1 + ny, x2 + nx, y2 + ny);
  w.Line(x1 - nx, y1 - ny, x2 - nx, y2 - ny);
}

// A door leaf and its swing.
void Door(JwwWriter& w, double x, double y, double width, double angle) {
  const double c = std::cos(angle), s = std::sin(angle);
  w.Line(x, y, x - s * width, y + c * width);
  w.Arc(x, y, width, angle, kPi / 2);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_example OUT.jww\n");
    return 2;
  }
  JwwWriter w(600);
  w.head.Enthd.nZumen = 3;  // A3, centred on the origin: x -210..210, y -148.5..148.5
  w.head.Enthd.strMemo = u"zumen example drawing";
  for (auto& g : w.head.EntLgrp) {
    g.anGLay = 2;
    g.adScale = 100;
  }
  for (auto& l : w.head.EntLay) l.aanLay = 2;
  w.head.EntLgrp[0].aStrGLayName = u"平面図";

  // Print pens 1-8 (colours stored as 0x00BBGGRR, widths in steps of
  // 0.042 mm) on a white background, and the standard line types 2-9 as bit
  // patterns of 0.35 mm per bit.
  const int32_t colours[9] = {0xFFFFFF, 0xC0C000, 0x000000, 0x00C000, 0x00C0C0, 0xC000C0, 0xFF0000, 0x808000, 0x8000FF};
  const int32_t widths[9] = {0, 4, 6, 5, 5, 5, 5, 5, 5};
  for (int i = 0; i < 9; ++i) {
    w.head.EntCol[static_cast<size_t>(i)].aPrtPenColor = colours[i];
    w.head.EntCol[static_cast<size_t>(i)].anPrtPenWidth = widths[i];
    w.head.EntCol[static_cast<size_t>(i)].adPrtTenHankei = 0.5;
  }
  const uint32_t patterns[8] = {0xFFFFFF00u, 0xFFFF0000u, 0xFFF0FFF0u, 0xFFFFFF18u,
                                0xFFFF1818u, 0xFFFFF0F0u, 0xFF18FF18u, 0xF0F0F0F0u};
  for (int i = 0; i < 8; ++i) {
    w.head.EntLtp1[static_cast<size_t>(i)].alLType = static_cast<int32_t>(patterns[i]);
    w.head.EntLtp1[static_cast<size_t>(i)].anPrtTokushuSenPich = 10;
  }

  // Sheet border and title block.
  Pen(w, 2, 1, 50);
  Rect(w, -200, -138.5, 200, 138.5);
  Pen(w, 2);
  Rect(w, 90, -138.5, 200, -108.5);
  w.Line(90, -123.5, 200, -123.5);
  w.Line(150, -138.5, 150, -123.5);
  Pen(w, 2);
  w.Text(95, -118, u"木造住宅　１階平面図", 5);
  w.Text(95, -133, u"縮尺 1:60", 3.5);
  w.Text(155, -133, u"zumen 2026", 3.5);

  // Walls of a 12 m x 8 m plan at 1:60 , lower-left corner at (x0, y0).
  const double k = 1.6, x0 = -185, y0 = -85;
  Pen(w, 2, 1, 35);
  Wall(w, x0, y0, x0 + k * 120, y0);
  Wall(w, x0 + k * 120, y0, x0 + k * 120, y0 + k * 80);
  Wall(w, x0 + k * 120, y0 + k * 80, x0, y0 + k * 80);
  Wall(w, x0, y0 + k * 80, x0, y0);
  Wall(w, x0 + k * 60, y0, x0 + k * 60, y0 + k * 80);
  Wall(w, x0 + k * 60, y0 + k * 45, x0 + k * 120, y0 + k * 45);
  Wall(w, x0, y0 + k * 35, x0 + k * 25, y0 + k * 35);

  // Centre lines (dash-dot) through the grid.
  Pen(w, 6, 5);
  for (double gx : {x0, x0 + k * 60, x0 + k * 120}) w.Line(gx, y0 - k * 18, gx, y0 + k * 92);
  for (double gy : {y0, y0 + k * 80}) w.Line(x0 - k * 12, gy, x0 + k * 132, gy);

  // Doors.
  Pen(w, 3);
  Door(w, x0 + k * 60, y0 + k * 10, k * 9, 0);
  Door(w, x0 + k * 75, y0 + k * 45, k * 9, -kPi / 2);
  Door(w, x0 + k * 10, y0 + k * 35, k * 8, kPi);

  // A window symbol, defined once and placed along the walls.
  Pen(w, 5);
  w.BeginBlockDef(1, u"窓");
  w.Line(-6, -1.2, 6, -1.2);
  w.Line(-6, 1.2, 6, 1.2);
  w.Line(-6, 0, 6, 0);
  w.Line(-6, -1.2, -6, 1.2);
  w.Line(6, -1.2, 6, 1.2);
  w.EndBlockDef();
  w.Insert(1, x0 + k * 30, y0, k, k);
  w.Insert(1, x0 + k * 90, y0, k, k);
  w.Insert(1, x0 + k * 30, y0 + k * 80, k, k);
  w.Insert(1, x0 + k * 120, y0 + k * 20, k, k, kPi / 2);
  w.Insert(1, x0 + k * 120, y0 + k * 62, 1.5 * k, k, kPi / 2);

  // Hatched columns and a round table.
  Pen(w, 8);
  w.Solid(x0 - k * 2, y0 - k * 2, x0 + k * 2, y0 - k * 2, x0 + k * 2, y0 + k * 2, x0 - k * 2, y0 + k * 2);
  w.Solid(x0 + k * 118, y0 + k * 78, x0 + k * 122, y0 + k * 78, x0 + k * 122, y0 + k * 82, x0 + k * 118, y0 + k * 82);
  Pen(w, 4);
  w.Circle(x0 + k * 30, y0 + k * 60, k * 7);
  w.Circle(x0 + k * 30, y0 + k * 60, k);

  // Room names.
  Pen(w, 2);
  w.Text(x0 + k * 22, y0 + k * 48, u"居間", 5);
  w.Text(x0 + k * 8, y0 + k * 15, u"玄関", 4);
  w.Text(x0 + k * 80, y0 + k * 20, u"寝室", 5);
  w.Text(x0 + k * 80, y0 + k * 62, u"台所・食堂", 4);

  // Dimensions above the plan.
  Pen(w, 7);
  w.Dimension(x0, y0 + k * 100, x0 + k * 60, y0 + k * 100, u"6000");
  w.Dimension(x0 + k * 60, y0 + k * 100, x0 + k * 120, y0 + k * 100, u"6000");
  w.Dimension(x0, y0 + k * 108, x0 + k * 120, y0 + k * 108, u"12000");

  // North mark and a survey point.
  Pen(w, 1);
  w.Circle(150, 40, 12);
  w.Line(150, 28, 150, 56);
  w.Text(147.5, 58, u"N", 5);
  Pen(w, 2);
  w.Marker(150, -20, 1, 0, 1);

  if (!w.Save(argv[1])) {
    std::fprintf(stderr, "cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
