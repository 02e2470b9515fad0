// Windows bitmap files, written and read by hand: 24-bit bottom-up output;
// input of 1, 4, 8, 16, 24 and 32 bits per pixel, uncompressed, with bit
// fields or run-length encoded (8 and 4 bits), bottom-up or top-down.
#include <algorithm>
#include <array>
#include <cstring>

#include "codecs/codecs.h"
#include "common/bytes.h"

namespace zumen::codec {

namespace {

void Put16(std::vector<uint8_t>& out, size_t at, uint16_t v) { std::memcpy(out.data() + at, &v, 2); }
void Put32(std::vector<uint8_t>& out, size_t at, uint32_t v) { std::memcpy(out.data() + at, &v, 4); }

// One channel described by a bit mask, scaled to 8 bits.
struct MaskChannel {
  uint32_t mask = 0;
  int shift = 0;
  int bits = 0;

  explicit MaskChannel(uint32_t m = 0) : mask(m) {
    if (m == 0) return;
    while (((m >> shift) & 1) == 0) ++shift;
    while (bits < 32 - shift && ((m >> (shift + bits)) & 1) != 0) ++bits;
  }
  uint32_t Get(uint32_t v) const {
    if (bits == 0) return 0;
    const uint32_t raw = (v & mask) >> shift;
    const uint32_t maxv = bits >= 32 ? 0xFFFFFFFFu : ((1u << bits) - 1);
    return static_cast<uint32_t>((static_cast<uint64_t>(raw) * 255 + maxv / 2) / maxv);
  }
};

// Run-length encoded pixels (RLE8, RLE4), rows bottom-up. Pixels that the
// codes skip stay transparent.
bool DecodeRle(ByteReader& r, int bpp, const std::vector<uint32_t>& palette, Bitmap& bmp, std::string& error) {
  const int64_t w = bmp.width, h = bmp.height;
  int64_t x = 0, row = 0;
  auto put = [&](unsigned index) {
    if (x < w && row < h) {
      const size_t y = static_cast<size_t>(h - 1 - row);
      bmp.pixels[y * static_cast<size_t>(w) + static_cast<size_t>(x)] =
          index < palette.size() ? palette[index] : 0xFF000000u;
    }
    ++x;
  };
  for (;;) {
    uint8_t count = 0, value = 0;
    if (!r.u8(count) || !r.u8(value)) break;  // a missing end code ends the image too
    if (count > 0) {
      for (int i = 0; i < count; ++i) put(bpp == 8 ? value : (i % 2 == 0 ? value >> 4 : value & 0x0F));
      continue;
    }
    if (value == 0) {  // end of line
      x = 0;
      ++row;
    } else if (value == 1) {  // end of image
      break;
    } else if (value == 2) {  // move right and up
      uint8_t dx = 0, dy = 0;
      if (!r.u8(dx) || !r.u8(dy)) break;
      x += dx;
      row += dy;
    } else {  // a literal run of `value` pixels, padded to a 16-bit boundary
      const size_t bytes = bpp == 8 ? value : (value + 1u) / 2;
      std::span<const uint8_t> lit;
      if (!r.view(bytes, lit) || !r.skip(bytes % 2)) {
        error = "BMP run-length data is truncated";
        return false;
      }
      for (int i = 0; i < value; ++i) {
        put(bpp == 8 ? lit[static_cast<size_t>(i)] : (i % 2 == 0 ? lit[i / 2] >> 4 : lit[i / 2] & 0x0F));
      }
    }
    if (row >= h) break;
  }
  return true;
}

}  // namespace

namespace {

// 24-bit rows, bottom-up: each band goes straight to its place in the file.
class BmpWriter final : public RowEncoder {
 public:
  BmpWriter(int width, int height, ByteOutput& out) : width_(width), height_(height), out_(out) {
    rowBytes_ = (static_cast<uint64_t>(width) * 3 + 3) & ~uint64_t{3};
    const uint64_t dataBytes = rowBytes_ * static_cast<uint64_t>(height);
    if (dataBytes + 54 > 0xFFFFFFFFu) {
      error_ = "the image is too large for a BMP file";
      return;
    }
    std::vector<uint8_t> head(54, 0);
    head[0] = 'B';
    head[1] = 'M';
    Put32(head, 2, static_cast<uint32_t>(54 + dataBytes));
    Put32(head, 10, 54);
    Put32(head, 14, 40);
    Put32(head, 18, static_cast<uint32_t>(width));
    Put32(head, 22, static_cast<uint32_t>(height));  // positive: rows bottom-up
    Put16(head, 26, 1);
    Put16(head, 28, 24);
    Put32(head, 34, static_cast<uint32_t>(dataBytes));
    Put32(head, 38, 2835);  // 72 dpi
    Put32(head, 42, 2835);
    if (!out_.WriteAt(0, head)) error_ = "cannot write the image";
  }

  bool WriteRows(const PixelView& band) override {
    if (!error_.empty()) return false;
    if (band.width != width_ || band.height <= 0 || band.height > height_ - rowsWritten_) {
      error_ = "BMP encoder: rows beyond the image";
      return false;
    }
    // The band's rows, last first, are one run of bytes in the file.
    std::vector<uint8_t> rows(static_cast<size_t>(rowBytes_) * static_cast<size_t>(band.height), 0);
    for (int y = 0; y < band.height; ++y) {
      const uint32_t* src = band.row(y);
      uint8_t* dst = rows.data() + static_cast<size_t>(band.height - 1 - y) * rowBytes_;
      for (int x = 0; x < width_; ++x) {
        const uint32_t p = band.premultiplied ? Unpremultiply(src[x]) : src[x];
        *dst++ = static_cast<uint8_t>(p);
        *dst++ = static_cast<uint8_t>(p >> 8);
        *dst++ = static_cast<uint8_t>(p >> 16);
      }
    }
    const uint64_t at = 54 + rowBytes_ * static_cast<uint64_t>(height_ - rowsWritten_ - band.height);
    if (!out_.WriteAt(at, rows)) {
      error_ = "cannot write the image";
      return false;
    }
    rowsWritten_ += band.height;
    return true;
  }

  bool Finish() override {
    if (error_.empty() && rowsWritten_ != height_) error_ = "BMP encoder: the image is missing rows";
    return error_.empty();
  }

  const std::string& error() const override { return error_; }

 private:
  int width_, height_;
  ByteOutput& out_;
  uint64_t rowBytes_ = 0;
  int rowsWritten_ = 0;
  std::string error_;
};

}  // namespace

std::unique_ptr<RowEncoder> MakeBmpWriter(int width, int height, ByteOutput& out) {
  return std::make_unique<BmpWriter>(width, height, out);
}

bool DecodeBmp(std::span<const uint8_t> data, Bitmap& bmp, std::string& error) {
  ByteReader r(data);
  uint16_t magic = 0;
  uint32_t fileSize = 0, reserved = 0, offBits = 0, headerSize = 0;
  if (!r.u16(magic) || magic != 0x4D42 || !r.u32(fileSize) || !r.u32(reserved) || !r.u32(offBits) ||
      !r.u32(headerSize)) {
    error = "BMP file header is truncated";
    return false;
  }
  int64_t width = 0, height = 0;
  uint16_t planes = 0, bpp = 0;
  uint32_t compression = 0, colorsUsed = 0;
  std::array<uint32_t, 4> masks{};  // red, green, blue, alpha
  bool core = false;
  if (headerSize == 12) {  // OS/2 core header
    core = true;
    uint16_t w = 0, h = 0;
    if (!r.u16(w) || !r.u16(h) || !r.u16(planes) || !r.u16(bpp)) {
      error = "BMP information header is truncated";
      return false;
    }
    width = w;
    height = h;
  } else if (headerSize >= 40 && headerSize <= 0xFFFF) {
    int32_t w = 0, h = 0;
    uint32_t sizeImage = 0, xppm = 0, yppm = 0, important = 0;
    if (!r.i32(w) || !r.i32(h) || !r.u16(planes) || !r.u16(bpp) || !r.u32(compression) || !r.u32(sizeImage) ||
        !r.u32(xppm) || !r.u32(yppm) || !r.u32(colorsUsed) || !r.u32(important)) {
      error = "BMP information header is truncated";
      return false;
    }
    width = w;
    height = h;
    if (compression == 3 || compression == 6) {  // bit fields, in the header (V2+) or after it
      const int count = compression == 6 || headerSize >= 56 ? 4 : 3;
      for (int i = 0; i < count; ++i) {
        if (!r.u32(masks[static_cast<size_t>(i)])) {
          error = "BMP bit fields are truncated";
          return false;
        }
      }
    } else if (headerSize >= 56) {
      // A V3+ header carries an alpha mask even for uncompressed data.
      if (!r.skip(12) || !r.u32(masks[3])) {
        error = "BMP information header is truncated";
        return false;
      }
    }
  } else {
    error = "BMP information header of " + std::to_string(headerSize) + " bytes is not supported";
    return false;
  }

  const bool topDown = height < 0;
  if (topDown) height = -height;
  if (width <= 0 || height <= 0) {
    error = "BMP image has no pixels";
    return false;
  }
  const bool rle = (compression == 1 && bpp == 8) || (compression == 2 && bpp == 4);
  if (rle && topDown) {
    error = "BMP run-length data must be stored bottom-up";
    return false;
  }
  if (compression != 0 && compression != 3 && compression != 6 && !rle) {
    error = "BMP compression " + std::to_string(compression) + " is not supported";
    return false;
  }
  if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) {
    error = "BMP with " + std::to_string(bpp) + " bits per pixel is not supported";
    return false;
  }
  if ((compression == 3 || compression == 6) && bpp != 16 && bpp != 32) {
    error = "BMP bit fields need 16 or 32 bits per pixel";
    return false;
  }

  // Colour table: between the headers and the pixel data. A file that leaves
  // no room for one (as bitmaps assembled in memory do) gets a grey ramp.
  std::vector<uint32_t> palette;
  if (bpp <= 8) {
    const size_t maxEntries = size_t{1} << bpp;
    const size_t entrySize = core ? 3 : 4;
    const size_t tableStart = 14 + headerSize + ((compression == 3 || compression == 6) && headerSize == 40 ? 12 : 0);
    const size_t room = offBits > tableStart ? (offBits - tableStart) / entrySize : 0;
    size_t entries = colorsUsed != 0 && colorsUsed < maxEntries ? colorsUsed : maxEntries;
    if (room == 0) {
      palette.resize(maxEntries);
      for (size_t i = 0; i < maxEntries; ++i) {
        const uint32_t g = static_cast<uint32_t>(i * 255 / (maxEntries - 1));
        palette[i] = 0xFF000000u | (g << 16) | (g << 8) | g;
      }
    } else {
      entries = std::min(entries, room);
      palette.assign(maxEntries, 0xFF000000u);
      if (!r.seek(tableStart)) {
        error = "BMP colour table is truncated";
        return false;
      }
      for (size_t i = 0; i < entries; ++i) {
        uint8_t bgr[4] = {0, 0, 0, 0};
        for (size_t k = 0; k < entrySize; ++k) {
          if (!r.u8(bgr[k])) {
            error = "BMP colour table is truncated";
            return false;
          }
        }
        palette[i] = 0xFF000000u | (uint32_t{bgr[2]} << 16) | (uint32_t{bgr[1]} << 8) | bgr[0];
      }
    }
  }

  if (!CheckImageSize(static_cast<uint64_t>(width), static_cast<uint64_t>(height), "BMP", error)) return false;
  if (rle) {
    if (!AllocateImage(static_cast<uint64_t>(width), static_cast<uint64_t>(height), "BMP", bmp, error)) return false;
    if (!r.seek(offBits)) {
      error = "BMP pixel data is missing";
      return false;
    }
    return DecodeRle(r, bpp, palette, bmp, error);
  }
  const uint64_t rowBytes = ((static_cast<uint64_t>(width) * bpp + 31) / 32) * 4;
  if (offBits > data.size() || rowBytes * static_cast<uint64_t>(height) > data.size() - offBits) {
    error = "BMP pixel data is truncated";
    return false;
  }
  if (!AllocateImage(static_cast<uint64_t>(width), static_cast<uint64_t>(height), "BMP", bmp, error)) return false;

  MaskChannel red, green, blue, alpha;
  if (compression == 3 || compression == 6) {
    red = MaskChannel(masks[0]);
    green = MaskChannel(masks[1]);
    blue = MaskChannel(masks[2]);
    alpha = MaskChannel(masks[3]);
  } else if (bpp == 16) {
    red = MaskChannel(0x7C00);
    green = MaskChannel(0x03E0);
    blue = MaskChannel(0x001F);
  }
  // Uncompressed 32-bit pixels have an unused fourth byte unless a header
  // names it alpha.
  const bool bgrAlpha = bpp == 32 && compression == 0 && masks[3] == 0xFF000000u;

  const int w = static_cast<int>(width);
  const size_t paletteSize = palette.size();
  for (int64_t row = 0; row < height; ++row) {
    const uint8_t* src = data.data() + offBits + static_cast<size_t>(row) * rowBytes;
    const int y = static_cast<int>(topDown ? row : height - 1 - row);
    uint32_t* dst = bmp.pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(w);
    for (int x = 0; x < w; ++x) {
      uint32_t p = 0;
      switch (bpp) {
        case 1:
        case 4:
        case 8: {
          const size_t bit = static_cast<size_t>(x) * bpp;
          const unsigned index = (src[bit / 8] >> (8 - bpp - bit % 8)) & ((1u << bpp) - 1);
          p = index < paletteSize ? palette[index] : 0xFF000000u;
          break;
        }
        case 24: {
          const uint8_t* s = src + static_cast<size_t>(x) * 3;
          p = 0xFF000000u | (uint32_t{s[2]} << 16) | (uint32_t{s[1]} << 8) | s[0];
          break;
        }
        case 16:
        case 32: {
          uint32_t raw = 0;
          if (bpp == 16) {
            raw = uint32_t{src[x * 2]} | (uint32_t{src[x * 2 + 1]} << 8);
          } else {
            std::memcpy(&raw, src + static_cast<size_t>(x) * 4, 4);
          }
          if (bpp == 32 && compression == 0) {
            p = bgrAlpha ? raw : (raw | 0xFF000000u);
          } else {
            const uint32_t a = alpha.bits ? alpha.Get(raw) : 0xFF;
            p = (a << 24) | (red.Get(raw) << 16) | (green.Get(raw) << 8) | blue.Get(raw);
          }
          break;
        }
        default: break;
      }
      dst[x] = p;
    }
  }
  return true;
}

}  // namespace zumen::codec
