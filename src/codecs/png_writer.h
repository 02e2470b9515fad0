#pragma once
// A PNG written band by band, straight from the canvas's rows: each band is
// cut into segments of whole rows that are converted (straight RGB or RGBA),
// filtered ("up": mostly white rows repeat the row above) and deflated on all
// cores at once, then written as IDAT chunks in order. The image
// data is one zlib stream (see deflate.h); no copy of the whole image is made.
// Segments are cut at fixed rows, whatever the number of cores.
#include <cstdint>
#include <map>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "codecs/deflate.h"
#include "codecs/pixel_view.h"
#include "codecs/row_encoder.h"

namespace zumen {

class PngWriter final : public RowEncoder {
 public:
  // Starts the file (signature and header) of width x height pixels, with an
  // alpha channel or without; threads deflate its segments (0: one for each
  // core).
  PngWriter(int width, int height, bool alpha, ByteOutput& out, int threads = 0);

  // The rows of one deflate segment: a power of two up to 256, about 512 KiB
  // of pixels.
  static int SegmentRows(int width);

  bool WriteRows(const PixelView& band) override;
  bool Finish() override;
  const std::string& error() const override { return error_; }

 private:
  bool Chunk(const char type[4], std::span<const uint8_t> data);
  bool Fail(std::string why);
  // A segment (not the last) whose every row repeats the one above: its
  // filtered bytes are the filter type and zeros, the same for every such
  // segment of its length, so the first one is deflated and the others take
  // its bytes (deflating runs of zeros is most of the cost of white rows).
  DeflatedSegment UnchangedSegment(std::span<const uint8_t> input, DeflateScratch& scratch);

  int width_;
  int height_;
  bool alpha_;
  int threads_;
  ByteOutput& out_;
  int rowsWritten_ = 0;
  uint32_t adler_ = 1;
  std::vector<uint32_t> lastRow_;  // the previous band's last row, as pixels
  // One thread's working memory, kept from band to band.
  struct Work {
    std::vector<uint8_t> filtered;
    std::vector<uint8_t> rows[2];
    DeflateScratch deflate;
  };
  std::vector<Work> work_;
  std::mutex unchangedLock_;
  std::map<size_t, DeflatedSegment> unchanged_;  // by input length
  std::string error_;
};

}  // namespace zumen
