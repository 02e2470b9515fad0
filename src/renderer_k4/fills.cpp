// TGraph fills: dot pattern tiles, linear and radial gradients and picture
// fills. They set the canvas's fill and draw nothing; the next filled figure
// uses them until GPenSet sets a plain fill again.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "attributes/graattribute.h"
#include "codecs/image_io.h"
#include "renderer_k4/graph.h"

namespace zumen {

void TGraph::GPolygonPattern(int32_t ptn, uint32_t col) {
  struct Tile {
    int w, h, x2, y2;
  };
  // Each step halves the density; the second dot sits half a tile off.
  static constexpr Tile kTiles[5] = {{2, 2, 1, 1}, {4, 2, 2, 1}, {4, 4, 2, 2}, {8, 4, 4, 2}, {8, 8, 4, 4}};
  if (ptn < 1 || ptn > 5) return;
  const Tile& t = kTiles[ptn - 1];
  // Dots on the picture's background (white unless another was chosen).
  Bitmap tile(t.w, t.h, Ctx.GAtt.GetBackColor());
  tile.at(0, 0) = col;
  tile.at(t.x2, t.y2) = col;
  C.SetFillBitmap(tile);
  fillPlain_ = false;
}

void TGraph::GPolygonGrad(int32_t typ, uint32_t col1, uint32_t col2, const TDPoint& p1, const TDPoint& p2,
                          double x1, double y1, double x2, double y2, double ang) {
  double w = x2 - x1, h = y2 - y1;
  if (!(w >= 1e-10)) w = 1e-10;
  if (!(h >= 1e-10)) h = 1e-10;
  // Fractions of the box, clamped into it (a NaN goes to 0).
  const auto frac = [](double v) { return v > 0 ? std::min(v, 1.0) : 0.0; };
  const double o = frac((p1.X - x1) / w);
  const double u = 1 - frac((p1.Y - y1) / h);  // measured from the top
  const double t = frac((p2.X - x1) / w);
  const double r = 1 - frac((p2.Y - y1) / h);
  const uint32_t c1 = RefToColor(static_cast<int32_t>(col1));
  const uint32_t c2 = RefToColor(static_cast<int32_t>(col2));
  switch (typ) {
    case 0:
      C.SetFillLinearGradient(o, u, t, r, {{0, c1}, {1, c2}});
      break;
    case 1:
      C.SetFillLinearGradient(o, u, t, r, {{0, c2}, {0.5, c1}, {1, c2}});
      break;
    case 2:
    case 3:
      C.SetFillRadialGradient(o, u, {{0, c1}, {1, c2}});
      break;
    default:
      return;  // no gradient to show: the fill stays as it is
  }
  fillPlain_ = false;
}

std::vector<uint8_t> TGraph::BmpFileImage(int32_t x, int32_t y, int32_t d, std::span<const uint8_t> bmp) {
  const uint32_t n = static_cast<uint32_t>(bmp.size()) + 54;
  std::vector<uint8_t> out;
  out.reserve(n);
  const auto put = [&out](auto v) {
    uint8_t b[sizeof v];
    std::memcpy(b, &v, sizeof v);
    out.insert(out.end(), b, b + sizeof v);
  };
  out.push_back('B');
  out.push_back('M');
  put(n);
  put(uint32_t{0});
  put(uint32_t{54});
  put(uint32_t{40});
  put(x);
  put(y);
  put(uint16_t{1});
  put(static_cast<uint16_t>(d));
  put(uint32_t{0});
  put(n);
  for (int i = 0; i < 4; ++i) put(uint32_t{0});
  out.insert(out.end(), bmp.begin(), bmp.end());
  return out;
}

void TGraph::GPolygonBmp(int32_t x, int32_t y, int32_t d, std::span<const uint8_t> bmp) {
  LoadedImage img = LoadImageMemory(BmpFileImage(x, y, d, bmp));
  Bitmap pic;
  if (img.ok() && !img.bitmap.empty()) {
    pic = std::move(img.bitmap);
    if (Ctx.GAtt.GetAll1ColorState()) GreyBitmap(pic);
  } else {
    G2.Diag.Add("image-refused", "a picture fill: " + (img.ok() ? std::string("no pixels") : img.error));
    // Data the decoder refuses leaves the picture blank. Its size comes from
    // the record, so it is believed only as far as the pixel bytes could
    // cover it.
    const uint64_t px = (x > 0 && y > 0) ? uint64_t(x) * uint64_t(y) : 0;
    const uint64_t covered = uint64_t(bmp.size()) * 8 / uint64_t(std::max(d, 1));
    if (px > 0 && px <= covered) pic = Bitmap(x, y, 0x00000000);
    else pic = Bitmap(1, 1, 0x00000000);
  }
  C.SetFillBitmap(pic);
  fillPlain_ = false;
}

}  // namespace zumen
