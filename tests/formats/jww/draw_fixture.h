#pragma once
// Drawings written with JwwWriter, read back and drawn on a recording canvas.
// The window is (0, 0)-(100, 100) drawing units at 10 pixels per unit on a
// 1000 x 1000 canvas: device x = 10 x, device y = 1000 - 10 y. Every layer is
// normal unless a test changes the written tables.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "canvas/recording_canvas.h"
#include "common/text.h"
#include "context/context.h"
#include "formats/jww/file_pens.h"
#include "formats/jww/jww_data.h"
#include "formats/jww/lowering.h"
#include "renderer/graph2.h"
#include "renderer/paint_scene.h"
#include "support/jww_writer.h"

namespace zumen::testing {

// One line of text per recorded call, coordinates rounded to 0.01 pixel,
// with the colours and width in force: two canvases that got the same calls
// describe alike.
inline std::vector<std::string> Describe(const RecordingCanvas& c) {
  std::vector<std::string> out;
  char buf[160];
  auto st = [&](const CanvasState& s) {
    std::snprintf(buf, sizeof buf, " s%08X f%08X w%.2f", s.strokeColor, s.fillColor, s.strokeWidth);
    return std::string(buf);
  };
  auto pts = [&](const std::vector<FPoint>& p) {
    std::string r;
    for (const FPoint& q : p) {
      std::snprintf(buf, sizeof buf, " %.2f,%.2f", q.X, q.Y);
      r += buf;
    }
    return r;
  };
  for (const CanvasCall& call : c.Calls()) {
    if (const auto* l = std::get_if<RecLine>(&call)) {
      std::snprintf(buf, sizeof buf, "line %.2f,%.2f %.2f,%.2f", l->x1, l->y1, l->x2, l->y2);
      std::string line = buf;
      out.push_back(line + st(l->st));
    } else if (const auto* p = std::get_if<RecPixel>(&call)) {
      std::snprintf(buf, sizeof buf, "pixel %.2f,%.2f %08X", p->x, p->y, p->argb);
      out.push_back(buf);
    } else if (const auto* r = std::get_if<RecRect>(&call)) {
      std::snprintf(buf, sizeof buf, "rect %.2f,%.2f %.2f,%.2f", r->left, r->top, r->right, r->bottom);
      std::string line = buf;
      out.push_back(line + st(r->st));
    } else if (const auto* pl = std::get_if<RecPolyline>(&call)) {
      out.push_back("polyline" + pts(pl->pts) + st(pl->st));
    } else if (const auto* pg = std::get_if<RecPolygon>(&call)) {
      out.push_back("polygon" + pts(pg->pts) + st(pg->st));
    } else if (const auto* t = std::get_if<RecText>(&call)) {
      const Matrix& m = t->st.transform;
      std::snprintf(buf, sizeof buf, "text %.2f,%.2f %.2f,%.2f m %.3f %.3f %.3f %.3f %.2f %.2f size %.2f ", t->left,
                    t->top, t->right, t->bottom, m.m11, m.m12, m.m21, m.m22, m.dx, m.dy, t->st.font.sizePx);
      std::string line = buf + Utf16ToUtf8(t->text);
      out.push_back(line + st(t->st));
    } else if (const auto* b = std::get_if<RecBitmap>(&call)) {
      std::snprintf(buf, sizeof buf, "bitmap %dx%d %.2f,%.2f %.2f,%.2f", b->bmp.width, b->bmp.height, b->left,
                    b->top, b->right, b->bottom);
      out.push_back(buf);
    } else if (const auto* cl = std::get_if<RecClear>(&call)) {
      std::snprintf(buf, sizeof buf, "clear %08X", cl->argb);
      out.push_back(buf);
    }
  }
  return out;
}

// Compares two call descriptions and reports the first difference only.
inline ::testing::AssertionResult SameCalls(const std::vector<std::string>& got,
                                            const std::vector<std::string>& expected) {
  for (size_t i = 0; i < got.size() && i < expected.size(); ++i)
    if (got[i] != expected[i])
      return ::testing::AssertionFailure() << "call " << i << "\n  drawn:    " << got[i].substr(0, 300)
                                           << "\n  expected: " << expected[i].substr(0, 300);
  if (got.size() != expected.size())
    return ::testing::AssertionFailure() << got.size() << " calls drawn, " << expected.size() << " expected";
  return ::testing::AssertionSuccess();
}

// The text of every text call, in order.
inline std::u16string DrawnText(const RecordingCanvas& c) {
  std::u16string s;
  for (const RecText& t : c.All<RecText>()) s += t.text;
  return s;
}

// One drawing to write, read and draw; tables of cases make one per case.
struct JwwDrawing {
  JwwDrawing() {
    for (auto& grp : w.head.EntLgrp) grp.anGLay = 2;
    for (auto& lay : w.head.EntLay) lay.aanLay = 2;
    Window(view);
    ctx.Facts = &facts;
  }

  static void Window(DeviceView& c) {
    c.DispX1 = 0;
    c.DispY1 = 0;
    c.DispX2 = 100;
    c.DispY2 = 100;
    c.DispScale = 10;
    c.DotW = 1000;
    c.DotH = 1000;
  }

  // Reads what was written and draws it on `canvas`, with the images of
  // `images` besides the drawing's own.
  void Draw() {
    ASSERT_TRUE(d.FileInBytes(w.Finish())) << d.LastError();
    JwwSetGAttLayer(d, ctx.GAtt);
    canvas.ClearCalls();
    TGraph2 g(ctx, canvas);
    g.View = view;
    scene = scene::Scene{};
    scene.model = ctx.GAtt;
    LowerJww(d, false, scene);
    scene.images = d.EmbeddedImages();
    for (const auto& [name, src] : images) scene.images[name] = src;
    facts.Images = &scene.images;
    PaintJwItems(scene, ctx, g);
    lgScale = g.LgScale;
  }

  // The calls that `draw` makes directly on a renderer with the same
  // attribute model, for comparison with what the pass drew.
  std::vector<std::string> Expected(const std::function<void(TGraph2&)>& draw) {
    ConversionContext ref;
    ref.GAtt = ctx.GAtt;
    ref.Facts = &facts;
    RecordingCanvas rc(1000, 1000);
    TGraph2 g(ref, rc);
    g.View = view;
    draw(g);
    return Describe(rc);
  }

  JwwWriter w{700};
  scene::ImageMap images;
  scene::Scene scene;
  TJwwData d;
  DrawingFacts facts;
  ConversionContext ctx;
  DeviceView view;
  // The scale of the layer group that the painter drew last.
  double lgScale = 1;
  RecordingCanvas canvas{1000, 1000};
};

class JwwDrawTest : public ::testing::Test, public JwwDrawing {};

}  // namespace zumen::testing
