#include "codecs/png_writer.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "codecs/deflate.h"

namespace zumen {

namespace {

constexpr uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
constexpr uint8_t kFilterUp = 2;
constexpr size_t kSegmentBytes = size_t{512} << 10;

void Put32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v >> 24);
  p[1] = static_cast<uint8_t>(v >> 16);
  p[2] = static_cast<uint8_t>(v >> 8);
  p[3] = static_cast<uint8_t>(v);
}

}  // namespace

PngWriter::PngWriter(int width, int height, bool alpha, ByteOutput& out, int threads)
    : width_(width), height_(height), alpha_(alpha), threads_(ThreadsFor(threads)), out_(out) {
  if (width <= 0 || height <= 0) {
    Fail("the image has no pixels");
    return;
  }
  uint8_t ihdr[13] = {};
  Put32(ihdr, static_cast<uint32_t>(width));
  Put32(ihdr + 4, static_cast<uint32_t>(height));
  ihdr[8] = 8;                // bits per sample
  ihdr[9] = alpha ? 6 : 2;    // RGBA or RGB
  // Compression, filter method and interlacing: the only ones (0).
  if (!out_.Append(kSignature)) {
    Fail("cannot write the image");
    return;
  }
  Chunk("IHDR", ihdr);
}

int PngWriter::SegmentRows(int width) {
  const size_t rowBytes = static_cast<size_t>(std::max(width, 1)) * 4 + 1;
  int rows = 1;
  while (rows < 256 && static_cast<size_t>(rows) * 2 * rowBytes <= kSegmentBytes) rows *= 2;
  return rows;
}

bool PngWriter::Fail(std::string why) {
  if (error_.empty()) error_ = std::move(why);
  return false;
}

bool PngWriter::Chunk(const char type[4], std::span<const uint8_t> data) {
  if (!error_.empty()) return false;
  uint8_t head[8];
  Put32(head, static_cast<uint32_t>(data.size()));
  std::memcpy(head + 4, type, 4);
  uLong crc = crc32_z(0, head + 4, 4);
  // (zlib answers its initial value for a null buffer, so none is passed.)
  if (!data.empty()) crc = crc32_z(crc, data.data(), data.size());
  uint8_t tail[4];
  Put32(tail, static_cast<uint32_t>(crc));
  if (!out_.Append(head) || !out_.Append(data) || !out_.Append(tail)) return Fail("cannot write the image");
  return true;
}

bool PngWriter::WriteRows(const PixelView& band) {
  if (!error_.empty()) return false;
  if (band.width != width_ || band.height <= 0 || band.height > height_ - rowsWritten_) {
    return Fail("rows beyond the image");
  }
  const size_t rowBytes = static_cast<size_t>(width_) * (alpha_ ? 4 : 3);
  const int segRows = SegmentRows(width_);
  // A tall band goes in parts of a few segments per thread, each written
  // before the next is deflated, so that the compressed data held at once
  // stays small (a noisy picture's is as large as a good part of its
  // bitmap). The parts start on segment boundaries: the bytes are the same.
  const int partRows = segRows * 4 * std::max(threads_, 1);
  if (band.height > partRows) return WriteRowsInParts(band, partRows);
  const size_t count = static_cast<size_t>((band.height + segRows - 1) / segRows);
  const bool endsImage = rowsWritten_ + band.height == height_;
  std::vector<DeflatedSegment> segs(count);
  if (work_.empty()) work_.resize(static_cast<size_t>(threads_));
  RunParallel(count, static_cast<int>(work_.size()), [&](size_t i, size_t worker) {
    const int y0 = static_cast<int>(i) * segRows;
    const int y1 = std::min(band.height, y0 + segRows);
    Work& w = work_[worker];
    try {
      std::vector<uint8_t>& filtered = w.filtered;
      std::vector<uint8_t>* rows = w.rows;
      const size_t bytes = static_cast<size_t>(y1 - y0) * (rowBytes + 1);
      filtered.resize(bytes + kDeflateInputPadding + kDeflateInputAlignment);
      // igzip's choices depend on where its input lies: every segment starts
      // at the same alignment, so the bytes do not depend on the thread.
      const size_t skip = (kDeflateInputAlignment - reinterpret_cast<uintptr_t>(filtered.data()) % kDeflateInputAlignment) %
                          kDeflateInputAlignment;
      std::fill(filtered.begin() + static_cast<std::ptrdiff_t>(skip + bytes), filtered.end(), 0);
      rows[0].resize(rowBytes);
      rows[1].resize(rowBytes);
      // The row above the segment's first: PNG takes zeros above the image.
      const uint32_t* above = y0 > 0 ? band.row(y0 - 1) : (lastRow_.empty() ? nullptr : lastRow_.data());
      bool aboveOpaque = !above || !band.premultiplied || RowOpaque(above, width_);
      // Opaque rows of an RGB image are filtered straight from the pixels;
      // others are converted first (straight alpha), each row once: rows[cur]
      // gets this row, rows[cur ^ 1] holds the row above once converted.
      bool aboveConverted = false;
      bool changed = false;  // some row differs from the one above
      int cur = 0;
      uint8_t* out = filtered.data() + skip;
      for (int y = y0; y < y1; ++y) {
        const uint32_t* px = band.row(y);
        const bool opaque = !band.premultiplied || RowOpaque(px, width_);
        *out++ = kFilterUp;
        if (!alpha_ && opaque && aboveOpaque) {
          changed = UpFilterRgb(px, above, width_, out) || changed;
          aboveConverted = false;
        } else {
          uint8_t* c = rows[cur].data();
          uint8_t* a = rows[cur ^ 1].data();
          StraightBytes(px, width_, band.premultiplied, alpha_, c);
          if (!aboveConverted) {
            if (above) {
              StraightBytes(above, width_, band.premultiplied, alpha_, a);
            } else {
              std::fill_n(a, rowBytes, uint8_t{0});
            }
          }
          uint8_t any = 0;
          for (size_t k = 0; k < rowBytes; ++k) {
            out[k] = static_cast<uint8_t>(c[k] - a[k]);
            any |= out[k];
          }
          changed = changed || any != 0;
          cur ^= 1;
          aboveConverted = true;
        }
        out += rowBytes;
        above = px;
        aboveOpaque = opaque;
      }
      const std::span<const uint8_t> input = std::span(filtered).subspan(skip, bytes);
      const bool last = endsImage && i + 1 == count;
      segs[i] = changed || last ? DeflateSegment(input, last, w.deflate) : UnchangedSegment(input, w.deflate);
    } catch (const std::bad_alloc&) {
      segs[i].ok = false;
    }
  });
  try {
    const uint32_t* last = band.row(band.height - 1);
    lastRow_.assign(last, last + width_);
  } catch (const std::bad_alloc&) {
    return Fail("out of memory");
  }
  std::vector<uint8_t> first;
  for (size_t i = 0; i < count; ++i) {
    DeflatedSegment& s = segs[i];
    if (!s.ok) return Fail("out of memory");
    if (rowsWritten_ == 0 && i == 0) {
      // The stream's header goes with the first segment.
      s.bytes.insert(s.bytes.begin(), std::begin(kZlibHeader), std::end(kZlibHeader));
    }
    if (!Chunk("IDAT", s.bytes)) return false;
    adler_ = CombineAdler(adler_, s.adler, s.inputBytes);
    std::vector<uint8_t>().swap(s.bytes);
  }
  rowsWritten_ += band.height;
  return true;
}

DeflatedSegment PngWriter::UnchangedSegment(std::span<const uint8_t> input, DeflateScratch& scratch) {
  const std::lock_guard<std::mutex> lock(unchangedLock_);
  auto it = unchanged_.find(input.size());
  if (it == unchanged_.end()) {
    DeflatedSegment seg = DeflateSegment(input, false, scratch);
    if (!seg.ok) return seg;
    it = unchanged_.emplace(input.size(), std::move(seg)).first;
  }
  return it->second;
}

bool PngWriter::Finish() {
  if (!error_.empty()) return false;
  if (rowsWritten_ != height_) return Fail("the image is missing rows");
  uint8_t adler[4];
  Put32(adler, adler_);
  return Chunk("IDAT", adler) && Chunk("IEND", {});
}

}  // namespace zumen
