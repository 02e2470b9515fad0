// TGraph2 images: raster image files placed in a box of the drawing, fitted,
// cropped and turned through the canvas transform; a thin blue frame stands
// for an image that would be 4 pixels or smaller.
#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <string>

#include "canvas/image_io.h"
#include "common/files.h"
#include "common/geometry.h"
#include "common/text.h"
#include "render_jw/graph2.h"

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

// The file as named, else the same name in the folder of the drawing; empty
// when neither exists.
std::string FindImageFile(const std::u16string& fn, const std::u16string& drawing) {
  if (FileExist(fn)) return Utf16ToUtf8(fn);
  const size_t cut = drawing.find_last_of(u"/\\");
  if (cut == std::u16string::npos) return {};
  const std::u16string beside = drawing.substr(0, cut + 1) + fn;
  return FileExist(beside) ? Utf16ToUtf8(beside) : std::string{};
}

bool SizeRefused(double w, double h, double scale) {
  const double pw = std::fabs(w) * scale, ph = std::fabs(h) * scale;
  return pw < kMinPx || ph < kMinPx || pw > kMaxPx || ph > kMaxPx;
}

}  // namespace

int32_t TGraph2::GLImage(double x1, double y1, double x2, double y2, int32_t Fm, const std::u16string& fn) {
  if (!AcceptedExtension(fn)) return 3;
  const std::string path = FindImageFile(fn, Ctx.CurFileName);
  if (path.empty()) return 3;
  double dx = x2 - x1, dy = y2 - y1;
  if (SizeRefused(dx, dy, Ctx.DispScale)) return 2;
  if ((WinOutCode(x1, y1) & WinOutCode(x1, y2) & WinOutCode(x2, y2) & WinOutCode(x2, y1)) != 0) return 1;

  const LoadedImage img = LoadImageFile(path);
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
    C.DrawBitmap(bmp, 0, 0, bmp.width, bmp.height, X1, Y2, X2, Y1, 1.0);
  } else {
    C.SetStrokeColor(kFrameBlue);
    GBox(X1, Y1, X2, Y2);
  }
  return 0;
}

int32_t TGraph2::GLImage2(double x1, double y1, double x2, double y2, double drx, double dry, double drr,
                          double dan, const std::u16string& fn) {
  if (!AcceptedExtension(fn)) return 3;
  const std::string path = FindImageFile(fn, Ctx.CurFileName);
  if (path.empty()) return 3;
  const double bw = std::fabs(x2 - x1), bh = std::fabs(y2 - y1);
  if (SizeRefused(bw, bh, Ctx.DispScale)) return 2;
  const double left = std::min(x1, x2), right = std::max(x1, x2);
  const double bottom = std::min(y1, y2), top = std::max(y1, y2);
  const double k = bh / bw;

  // Culled by the corners of the box turned with the image.
  int all = WinOutCode(left, bottom);
  for (const auto& [cx, cy] : {std::pair{right, bottom}, std::pair{right, top}, std::pair{left, top}}) {
    double rx, ry;
    RotPtDeg(rx, ry, cx, cy, left, bottom, dan);
    all &= WinOutCode(rx, ry);
  }
  if (all != 0) return 1;

  if (drr <= 1e-14) drr = 1;
  if (drx <= 1e-14) drx = 0;
  if (dry <= 1e-14) dry = 0;

  const LoadedImage img = LoadImageFile(path);
  if (!img.ok()) return 0;
  const Bitmap& bmp = img.bitmap;
  if (bmp.width <= 0 || bmp.height <= 0) return 3;
  const double W = bmp.width, H = bmp.height;

  double X1, Y1, X2, Y2;
  GLTransPt(left, bottom, X1, Y1);
  GLTransPt(right, top, X2, Y2);
  // The crop: drr of the image width wide, with the box's aspect ratio;
  // rows counted from the top of the image.
  const double sx = W * drx;
  const double sy = H - W * k * drr - H * dry;
  const double sw = std::fabs(W * drr), sh = std::fabs(W * k * drr);

  if (std::fabs(X2 - X1) > kFramePx && std::fabs(Y2 - Y1) > kFramePx) {
    const double turn = std::fabs(dan);
    if (turn <= 1e-12 || std::fabs(turn - 360) <= 1e-12) {
      C.DrawBitmap(bmp, sx, sy, sw, sh, X1, Y2, X2, Y1, 1.0);
    } else {
      // Turned about the box's lower-left corner, counter-clockwise on the page.
      const Matrix saved = C.GetTransform();
      C.MultiplyTransform(Matrix::Translate(-X1, -Y1)
                              .Then(Matrix::Rotate(-dan * std::numbers::pi / 180))
                              .Then(Matrix::Translate(X1, Y1)));
      C.DrawBitmap(bmp, sx, sy, sw, sh, X1, Y2, X2, Y1, 1.0);
      C.SetTransform(saved);
    }
  } else {
    C.SetStrokeColor(kFrameBlue);
    GLBoxA(left, bottom, right, top, dan * std::numbers::pi / 180);
  }
  return 0;
}

}  // namespace zumen
