// TGraph2 images: raster images (files, or bitmaps already decoded) placed in
// a box of the drawing, fitted, cropped and turned through the canvas
// transform; a thin blue frame stands for an image that would be 4 pixels or
// smaller.
#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <string>

#include "codecs/image_io.h"
#include "common/clip.h"
#include "common/diagnostics.h"
#include "common/files.h"
#include "common/geometry.h"
#include "common/text.h"
#include "renderer/graph2.h"

namespace zumen {

namespace {

constexpr uint32_t kFrameBlue = 0xFF0000FF;
constexpr double kMinPx = 2;        // smaller boxes are not drawn
constexpr double kMaxPx = 1000000;  // neither are larger ones
constexpr double kFramePx = 4;      // at most this size the frame is drawn instead

bool AcceptedExtension(const std::u16string& fn) {
  static constexpr std::array<std::u16string_view, 7> kExts = {u".bmp", u".png", u".tif", u".tiff",
                                                                u".jpg", u".jpeg", u".gif"};
  const std::u16string ext = FileExtLower(fn);
  return std::find(kExts.begin(), kExts.end(), ext) != kExts.end();
}

// The name of an image for a message, as the drawing writes it.
std::string NameForMessage(const std::u16string& fn) { return QuotedText(fn, 80); }

// The image an image text names, or null after reporting why there is none.
const scene::ImageSource* ImageOf(const std::u16string& fn, const scene::ImageMap* images, DiagnosticSink& diag) {
  if (!AcceptedExtension(fn)) {
    diag.Add("image-refused", NameForMessage(fn) + " is of a type zumen does not read");
    return nullptr;
  }
  const scene::ImageSource* found = nullptr;
  if (images) {
    const auto it = images->find(fn);
    if (it != images->end()) found = &it->second;
  }
  if (!found || (!found->bytes && found->error.empty())) {
    diag.Add("image-missing", NameForMessage(fn));
    return nullptr;
  }
  return found;
}

// Decodes an image text's image; an image that cannot be read or does not
// decode is reported.
LoadedImage LoadImageText(const scene::ImageSource& src, const std::u16string& fn, DiagnosticSink& diag) {
  LoadedImage img;
  if (src.bytes) {
    img = LoadImageMemory(*src.bytes);
    if (!img.ok() && !src.path.empty()) img.error = src.path + ": " + img.error;
  } else {
    img.error = src.error;
  }
  if (!img.ok()) diag.Add("image-refused", NameForMessage(fn) + ": " + img.error);
  return img;
}

bool SizeRefused(double w, double h, double scale) {
  const double pw = std::fabs(w) * scale, ph = std::fabs(h) * scale;
  return pw < kMinPx || ph < kMinPx || pw > kMaxPx || ph > kMaxPx;
}

}  // namespace

void GreyBitmap(Bitmap& bmp) {
  for (uint32_t& p : bmp.pixels) {
    const uint32_t r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
    const uint32_t y = (299 * r + 587 * g + 114 * b + 500) / 1000;
    p = (p & 0xFF000000u) | (y << 16) | (y << 8) | y;
  }
}

const Bitmap& TGraph2::ShownBitmap(const Bitmap& bmp, Bitmap& grey) const {
  if (!Ctx.GAtt.GetAll1ColorState()) return bmp;
  grey = bmp;
  GreyBitmap(grey);
  return grey;
}

int32_t TGraph2::GLImage(double x1, double y1, double x2, double y2, int32_t Fm, const std::u16string& fn) {
  const scene::ImageSource* src = ImageOf(fn, Ctx.Facts->Images, Diag);
  if (!src) return 3;
  double dx = x2 - x1, dy = y2 - y1;
  if (SizeRefused(dx, dy, View.DispScale)) return 2;
  if ((WinOutCode(x1, y1) & WinOutCode(x1, y2) & WinOutCode(x2, y2) & WinOutCode(x2, y1)) != 0) return 1;

  const LoadedImage img = LoadImageText(*src, fn, Diag);
  if (!img.ok()) return 0;  // a file that cannot be decoded is skipped
  const Bitmap& bmp = img.bitmap;
  if (bmp.width <= 0 || bmp.height <= 0) return 3;
  const double aspect = static_cast<double>(bmp.width) / bmp.height;

  double left, right, bottom, top;
  if (dx > 0) {
    left = x1;
    right = Fm == 2 ? x1 + std::fabs(dy) * aspect : x2;
  } else {
    right = x1;
    left = Fm == 2 ? x1 - std::fabs(dy) * aspect : x2;
    dx = -dx;
  }
  if (dy > 0) {
    bottom = y1;
    top = Fm == 1 ? y1 + std::fabs(dx) / aspect : y2;
  } else {
    top = y1;
    bottom = Fm == 1 ? y1 - std::fabs(dx) / aspect : y2;
    dy = -dy;
  }
  if (Fm == 3) {
    // Fitted inside the box, centred on the short side.
    const double w = std::fabs(dy) * aspect;
    if (w <= dx) {
      left += (dx - w) / 2;
      right = left + w;
    } else {
      const double h = std::fabs(dx) / aspect;
      bottom += (dy - h) / 2;
      top = bottom + h;
    }
  }

  double X1, Y1, X2, Y2;
  GLTransPt(left, bottom, X1, Y1);
  GLTransPt(right, top, X2, Y2);
  if (std::fabs(X2 - X1) > kFramePx && std::fabs(Y2 - Y1) > kFramePx) {
    Bitmap grey;
    C.DrawBitmap(ShownBitmap(bmp, grey), 0, 0, bmp.width, bmp.height, X1, Y2, X2, Y1, 1.0);
  } else {
    C.SetStrokeColor(Ctx.InkColour(kFrameBlue));
    GBox(X1, Y1, X2, Y2);
  }
  return 0;
}

namespace {

// The box of GLImage2 in drawing units, ordered, with its turn in degrees.
struct Image2Box {
  double left = 0, right = 0, bottom = 0, top = 0, dan = 0;
};

// The size and window tests of GLImage2: 0 go on (box filled), else the result.
int32_t Image2Place(const DeviceView& view, double x1, double y1, double x2, double y2, double dan,
                    Image2Box& box) {
  if (SizeRefused(x2 - x1, y2 - y1, view.DispScale)) return 2;
  box = {std::min(x1, x2), std::max(x1, x2), std::min(y1, y2), std::max(y1, y2), dan};
  // Culled by the corners of the box turned with the image.
  const auto out = [&view](double x, double y) {
    return OutCode(x, y, view.DispX1, view.DispY1, view.DispX2, view.DispY2);
  };
  int all = out(box.left, box.bottom);
  for (const auto& [cx, cy] :
       {std::pair{box.right, box.bottom}, std::pair{box.right, box.top}, std::pair{box.left, box.top}}) {
    double rx, ry;
    RotPtDeg(rx, ry, cx, cy, box.left, box.bottom, dan);
    all &= out(rx, ry);
  }
  return all != 0 ? 1 : 0;
}

// Draws the crop of bmp into the box (turned with it), or the blue frame when
// the box is 4 pixels or smaller.
int32_t DrawImage2(TGraph2& g, const Image2Box& box, double drx, double dry, double drr, const Bitmap& original) {
  if (original.width <= 0 || original.height <= 0) return 3;
  Bitmap grey;
  const Bitmap& bmp = g.ShownBitmap(original, grey);
  if (drr <= 1e-14) drr = 1;
  if (drx <= 1e-14) drx = 0;
  if (dry <= 1e-14) dry = 0;
  const double W = bmp.width, H = bmp.height;
  const double k = (box.top - box.bottom) / (box.right - box.left);  // box aspect

  double X1, Y1, X2, Y2;
  g.GLTransPt(box.left, box.bottom, X1, Y1);
  g.GLTransPt(box.right, box.top, X2, Y2);
  // The crop: drr of the image width wide, with the box's aspect ratio;
  // rows counted from the top of the image.
  const double sx = W * drx;
  const double sy = H - W * k * drr - H * dry;
  const double sw = std::fabs(W * drr), sh = std::fabs(W * k * drr);

  const double dan = box.dan;
  if (std::fabs(X2 - X1) > kFramePx && std::fabs(Y2 - Y1) > kFramePx) {
    const double turn = std::fabs(dan);
    if (turn <= 1e-12 || std::fabs(turn - 360) <= 1e-12) {
      g.C.DrawBitmap(bmp, sx, sy, sw, sh, X1, Y2, X2, Y1, 1.0);
    } else {
      // Turned about the box's lower-left corner, counter-clockwise on the page.
      const Matrix saved = g.C.GetTransform();
      g.C.MultiplyTransform(Matrix::Translate(-X1, -Y1)
                                .Then(Matrix::Rotate(-dan * std::numbers::pi / 180))
                                .Then(Matrix::Translate(X1, Y1)));
      g.C.DrawBitmap(bmp, sx, sy, sw, sh, X1, Y2, X2, Y1, 1.0);
      g.C.SetTransform(saved);
    }
  } else {
    g.C.SetStrokeColor(g.Ctx.InkColour(kFrameBlue));
    g.GLBoxA(box.left, box.bottom, box.right, box.top, dan * std::numbers::pi / 180);
  }
  return 0;
}

}  // namespace

int32_t TGraph2::GLImage2(double x1, double y1, double x2, double y2, double drx, double dry, double drr,
                          double dan, const std::u16string& fn) {
  const scene::ImageSource* src = ImageOf(fn, Ctx.Facts->Images, Diag);
  if (!src) return 3;
  Image2Box box;
  if (const int32_t r = Image2Place(View, x1, y1, x2, y2, dan, box)) return r;
  // Decoded only once the box is known to be seen.
  const LoadedImage img = LoadImageText(*src, fn, Diag);
  if (!img.ok()) return 0;  // a file that cannot be decoded is skipped
  return DrawImage2(*this, box, drx, dry, drr, img.bitmap);
}

int32_t TGraph2::GLImage2(double x1, double y1, double x2, double y2, double drx, double dry, double drr,
                          double dan, const Bitmap& bmp) {
  Image2Box box;
  if (const int32_t r = Image2Place(View, x1, y1, x2, y2, dan, box)) return r;
  return DrawImage2(*this, box, drx, dry, drr, bmp);
}

int32_t TGraph2::GLImage2Box(double x1, double y1, double x2, double y2, double dan) const {
  Image2Box box;
  return Image2Place(View, x1, y1, x2, y2, dan, box);
}

}  // namespace zumen
