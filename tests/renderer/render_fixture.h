#pragma once
// A renderer on a recording canvas with a simple device transform: the window
// (0, 0)-(100, 100) drawing units at 10 pixels per unit on a 1000 x 1000
// canvas, so device x = 10 x and device y = 1000 - 10 y.
#include <gtest/gtest.h>

#include <vector>

#include "canvas/recording_canvas.h"
#include "context/context.h"
#include "renderer/graph2.h"

namespace zumen::testing {

class RenderTest : public ::testing::Test {
 protected:
  RenderTest() { SetWindow(0, 0, 100, 100, 10); }

  // Window (x1, y1)-(x2, y2) in drawing units at `scale` pixels per unit.
  void SetWindow(double x1, double y1, double x2, double y2, double scale) {
    g.View.DispX1 = x1;
    g.View.DispY1 = y1;
    g.View.DispX2 = x2;
    g.View.DispY2 = y2;
    g.View.DispScale = scale;
    g.View.DotW = (x2 - x1) * scale;
    g.View.DotH = (y2 - y1) * scale;
  }

  void SetPoints(std::vector<TDPoint> pts) { g.GLPt = std::move(pts); }

  ConversionContext ctx;
  RecordingCanvas canvas{1000, 1000};
  TGraph2 g{ctx, canvas};
};

// Device point of a drawing point for the default window.
inline FPoint Dev(double x, double y) { return {static_cast<float>(10 * x), static_cast<float>(1000 - 10 * y)}; }

}  // namespace zumen::testing
