#pragma once
// Encoders that take a picture band by band, top to bottom, and write what
// is done at once, so that no whole image needs to be in memory: PNG, TIFF,
// BMP and JPEG. GIF (its palette comes from the whole image) and WebP are
// encoded from a whole image only.
#include <algorithm>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "codecs/image_io.h"
#include "codecs/pixel_view.h"

namespace zumen {

// Where an encoder writes: bytes at an offset (BMP stores its rows bottom-up,
// TIFF comes back to its header), usually at the end.
class ByteOutput {
 public:
  virtual ~ByteOutput() = default;
  virtual bool WriteAt(uint64_t offset, std::span<const uint8_t> bytes) = 0;
  virtual uint64_t Size() const = 0;
  bool Append(std::span<const uint8_t> bytes) { return WriteAt(Size(), bytes); }
};

// Into a vector (which it fills from empty).
class MemoryOutput final : public ByteOutput {
 public:
  explicit MemoryOutput(std::vector<uint8_t>& bytes) : bytes_(bytes) { bytes_.clear(); }
  bool WriteAt(uint64_t offset, std::span<const uint8_t> bytes) override;
  uint64_t Size() const override { return bytes_.size(); }

 private:
  std::vector<uint8_t>& bytes_;
};

// Every band but the last must have a multiple of BandRowUnit(width) rows:
// TIFF's strips and PNG's deflate segments are cut at fixed rows, a power of
// two of them up to kBandRowAlignment, with at most 512 KiB of data each.
inline constexpr int kBandRowAlignment = 256;
// kBandRowAlignment rows, or for rows so wide that 256 of them hold more than
// a MiB of 32-bit pixels the largest power of two of rows that holds at most
// that (at least one): always a multiple of the rows of a strip or segment.
inline int BandRowUnit(int width) {
  int unit = kBandRowAlignment;
  while (unit > 1 && uint64_t{4} * static_cast<uint64_t>(width) * static_cast<uint64_t>(unit) > (uint64_t{1} << 20))
    unit /= 2;
  return unit;
}

class RowEncoder {
 public:
  virtual ~RowEncoder() = default;
  // The next band.height rows of the image (band.width is the image's).
  virtual bool WriteRows(const PixelView& band) = 0;
  // Ends the file once every row is written.
  virtual bool Finish() = 0;
  // Why the last call failed.
  virtual const std::string& error() const = 0;

 protected:
  // Hands band to WriteRows in consecutive parts of at most partRows rows,
  // so that an encoder holds the compressed data of one part at a time.
  bool WriteRowsInParts(const PixelView& band, int partRows) {
    for (int y = 0; y < band.height; y += partRows) {
      PixelView part = band;
      part.data = band.row(y);
      part.height = std::min(partRows, band.height - y);
      if (!WriteRows(part)) return false;
    }
    return true;
  }
};

// The encoder of a width x height image with or without an alpha channel
// (the formats that have one); null for GIF and WebP.
std::unique_ptr<RowEncoder> MakeRowEncoder(ImageFormat format, int width, int height, bool alpha,
                                           const EncodeSettings& settings, ByteOutput& out);

// The largest image a format holds, as width x height; an error message
// when it cannot hold this one.
std::string CheckFormatSize(ImageFormat format, uint64_t width, uint64_t height);

}  // namespace zumen
