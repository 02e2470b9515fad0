// Compares two pictures pixel by pixel after decoding them: how many pixels
// differ, the largest difference of one channel, and where the differences
// lie. With --crop it also writes the part of both pictures (and of their
// difference, scaled up) around the first differing pixel, or at a given
// place, side by side into one PNG to look at.
//
//   pixel_diff A B [--crop OUT.png [X Y W H]]
// Exit status: 0 equal, 1 different, 2 a picture could not be read.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "codecs/image_io.h"

namespace {

int Channel(uint32_t p, int shift) { return static_cast<int>((p >> shift) & 0xFF); }

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 && argc != 5 && argc != 9) {
    std::fprintf(stderr, "usage: pixel_diff A B [--crop OUT.png [X Y W H]]\n");
    return 2;
  }
  const zumen::LoadedImage a = zumen::LoadImageFile(argv[1]);
  const zumen::LoadedImage b = zumen::LoadImageFile(argv[2]);
  for (const auto* img : {&a, &b}) {
    if (!img->ok()) {
      std::fprintf(stderr, "pixel_diff: %s\n", img->error.c_str());
      return 2;
    }
  }
  const zumen::Bitmap& A = a.bitmap;
  const zumen::Bitmap& B = b.bitmap;
  if (A.width != B.width || A.height != B.height) {
    std::printf("sizes differ: %d x %d against %d x %d\n", A.width, A.height, B.width, B.height);
    return 1;
  }
  long count = 0;
  int maxDiff = 0, firstX = -1, firstY = -1;
  int x0 = A.width, y0 = A.height, x1 = -1, y1 = -1;
  long histogram[5] = {};  // largest channel difference 1, 2-3, 4-15, 16-63, 64+
  for (int y = 0; y < A.height; ++y) {
    for (int x = 0; x < A.width; ++x) {
      const uint32_t p = A.at(x, y), q = B.at(x, y);
      if (p == q) continue;
      int d = 0;
      for (int s : {0, 8, 16, 24}) d = std::max(d, std::abs(Channel(p, s) - Channel(q, s)));
      ++count;
      maxDiff = std::max(maxDiff, d);
      histogram[d <= 1 ? 0 : d <= 3 ? 1 : d <= 15 ? 2 : d <= 63 ? 3 : 4]++;
      if (firstX < 0) {
        firstX = x;
        firstY = y;
      }
      x0 = std::min(x0, x);
      y0 = std::min(y0, y);
      x1 = std::max(x1, x);
      y1 = std::max(y1, y);
    }
  }
  std::printf("%d x %d: %ld pixels differ, largest channel difference %d", A.width, A.height, count, maxDiff);
  if (count > 0) {
    std::printf(" (by 1: %ld, 2-3: %ld, 4-15: %ld, 16-63: %ld, 64+: %ld; within x %d-%d, y %d-%d; first %d,%d)",
                histogram[0], histogram[1], histogram[2], histogram[3], histogram[4], x0, x1, y0, y1, firstX, firstY);
  }
  std::printf("\n");

  if (argc >= 5) {
    int w = 200, h = 150;
    int cx = std::max(0, firstX - w / 2), cy = std::max(0, firstY - h / 2);
    if (argc == 9) {
      cx = std::atoi(argv[5]);
      cy = std::atoi(argv[6]);
      w = std::atoi(argv[7]);
      h = std::atoi(argv[8]);
    }
    cx = std::clamp(cx, 0, std::max(0, A.width - 1));
    cy = std::clamp(cy, 0, std::max(0, A.height - 1));
    w = std::clamp(w, 1, A.width - cx);
    h = std::clamp(h, 1, A.height - cy);
    // A, B and the difference (amplified 16 times, black where equal).
    zumen::Bitmap out(3 * w + 4, h, 0xFF808080);
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        const uint32_t p = A.at(cx + x, cy + y), q = B.at(cx + x, cy + y);
        out.at(x, y) = p;
        out.at(w + 2 + x, y) = q;
        uint32_t d = 0xFF000000;
        for (int s : {0, 8, 16}) d |= static_cast<uint32_t>(std::min(255, 16 * std::abs(Channel(p, s) - Channel(q, s)))) << s;
        out.at(2 * w + 4 + x, y) = d;
      }
    }
    const zumen::ImageStatus st = zumen::SaveImageFile(out, argv[4]);
    if (!st) {
      std::fprintf(stderr, "pixel_diff: %s\n", st.message.c_str());
      return 2;
    }
  }
  return count == 0 ? 0 : 1;
}
