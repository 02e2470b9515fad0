// TIFF through libtiff: Deflate-compressed RGB (or RGBA) strips for writing,
// compressed by the project's parallel deflate without a predictor (on line
// drawings the horizontal predictor makes files larger and slower: measured
// with bench_png); libtiff's RGBA interface for reading, which covers its
// photometric variants. Errors and warnings go to
// per-file handlers, never to the terminal.
#include <tiffio.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>

#include "codecs/codecs.h"
#include "codecs/deflate.h"
#include "codecs/row_encoder.h"

namespace zumen::codec {

namespace {

constexpr tmsize_t kTiffMaxAlloc = tmsize_t{1} << 30;

struct TiffStream {
  ByteOutput* sink = nullptr;              // writing
  std::span<const uint8_t> in;             // reading
  uint64_t pos = 0;
  bool failed = false;                     // a write failed
  std::string error;

  uint64_t size() const { return sink ? sink->Size() : in.size(); }
};

tmsize_t TiffRead(thandle_t h, void* buf, tmsize_t n) {
  auto* s = static_cast<TiffStream*>(h);
  const uint64_t sz = s->size();
  if (n <= 0 || s->pos >= sz) return 0;
  const uint64_t take = std::min<uint64_t>(static_cast<uint64_t>(n), sz - s->pos);
  if (s->sink) return 0;  // written files are not read back
  std::memcpy(buf, s->in.data() + s->pos, static_cast<size_t>(take));
  s->pos += take;
  return static_cast<tmsize_t>(take);
}

tmsize_t TiffWrite(thandle_t h, void* buf, tmsize_t n) {
  auto* s = static_cast<TiffStream*>(h);
  if (!s->sink || n < 0) return -1;
  if (!s->sink->WriteAt(s->pos, {static_cast<const uint8_t*>(buf), static_cast<size_t>(n)})) {
    s->failed = true;
    return -1;
  }
  s->pos += static_cast<uint64_t>(n);
  return n;
}

toff_t TiffSeek(thandle_t h, toff_t off, int whence) {
  auto* s = static_cast<TiffStream*>(h);
  uint64_t base = 0;
  if (whence == SEEK_CUR) base = s->pos;
  if (whence == SEEK_END) base = s->size();
  const uint64_t target = base + off;
  if (!s->sink && target > s->size()) return static_cast<toff_t>(-1);
  if (target > (uint64_t{1} << 40)) return static_cast<toff_t>(-1);
  s->pos = target;
  return target;
}

int TiffClose(thandle_t) { return 0; }
toff_t TiffSize(thandle_t h) { return static_cast<TiffStream*>(h)->size(); }
int TiffMap(thandle_t, void**, toff_t*) { return 0; }
void TiffUnmap(thandle_t, void*, toff_t) {}

int TiffErrorHandler(TIFF*, void* user, const char* module, const char* fmt, va_list ap) {
  auto* s = static_cast<TiffStream*>(user);
  if (s->error.empty()) {
    char buf[512];
    std::vsnprintf(buf, sizeof buf, fmt, ap);
    s->error = buf;
    (void)module;
  }
  return 1;
}
int TiffWarningHandler(TIFF*, void*, const char*, const char*, va_list) { return 1; }

TIFF* OpenTiff(TiffStream& s, const char* mode) {
  TIFFOpenOptions* opts = TIFFOpenOptionsAlloc();
  if (!opts) return nullptr;
  TIFFOpenOptionsSetMaxSingleMemAlloc(opts, kTiffMaxAlloc);
  TIFFOpenOptionsSetErrorHandlerExtR(opts, TiffErrorHandler, &s);
  TIFFOpenOptionsSetWarningHandlerExtR(opts, TiffWarningHandler, &s);
  TIFF* tif = TIFFClientOpenExt("memory", mode, &s, TiffRead, TiffWrite, TiffSeek, TiffClose, TiffSize, TiffMap,
                                TiffUnmap, opts);
  TIFFOpenOptionsFree(opts);
  return tif;
}

}  // namespace

namespace {

// Strips of rows deflated on all cores at once and written raw, each its own
// zlib stream, as libtiff's Deflate codec would have written them.
class TiffWriter final : public RowEncoder {
 public:
  TiffWriter(int width, int height, bool alpha, ByteOutput& out, int threads)
      : width_(width), height_(height), alpha_(alpha), threads_(ThreadsFor(threads)) {
    s_.sink = &out;
    tif_ = OpenTiff(s_, "w");
    if (!tif_) {
      error_ = "cannot start the TIFF encoder" + (s_.error.empty() ? std::string() : ": " + s_.error);
      return;
    }
    const int channels = alpha ? 4 : 3;
    rowBytes_ = static_cast<size_t>(width) * static_cast<size_t>(channels);
    stripRows_ = StripRows(rowBytes_);
    bool ok = TIFFSetField(tif_, TIFFTAG_IMAGEWIDTH, static_cast<uint32_t>(width)) &&
              TIFFSetField(tif_, TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(height)) &&
              TIFFSetField(tif_, TIFFTAG_BITSPERSAMPLE, 8) && TIFFSetField(tif_, TIFFTAG_SAMPLESPERPIXEL, channels) &&
              TIFFSetField(tif_, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB) &&
              TIFFSetField(tif_, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) &&
              TIFFSetField(tif_, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT) &&
              TIFFSetField(tif_, TIFFTAG_COMPRESSION, COMPRESSION_ADOBE_DEFLATE) &&
              TIFFSetField(tif_, TIFFTAG_PREDICTOR, PREDICTOR_NONE) &&
              TIFFSetField(tif_, TIFFTAG_ROWSPERSTRIP, static_cast<uint32_t>(stripRows_));
    if (ok && alpha) {
      const uint16_t extra[1] = {EXTRASAMPLE_UNASSALPHA};
      ok = TIFFSetField(tif_, TIFFTAG_EXTRASAMPLES, 1, extra);
    }
    if (!ok) Fail();
  }
  ~TiffWriter() override {
    if (tif_) TIFFClose(tif_);
  }

  bool WriteRows(const PixelView& band) override {
    if (!error_.empty()) return false;
    const bool ends = rowsWritten_ + band.height == height_;
    if (band.width != width_ || band.height <= 0 || band.height > height_ - rowsWritten_ ||
        (!ends && band.height % stripRows_ != 0)) {
      error_ = "TIFF encoder: rows beyond the image";
      return false;
    }
    // A tall band goes in parts of a few strips per thread, each written
    // before the next is deflated, so that little compressed data is held
    // at once; the strips are the same.
    const int partRows = stripRows_ * 4 * std::max(threads_, 1);
    if (band.height > partRows) return WriteRowsInParts(band, partRows);
    const size_t count = static_cast<size_t>((band.height + stripRows_ - 1) / stripRows_);
    std::vector<std::vector<uint8_t>> strips(count);
    std::vector<char> ok(count, 0);
    if (work_.empty()) work_.resize(static_cast<size_t>(threads_));
    RunParallel(count, static_cast<int>(work_.size()), [&](size_t i, size_t worker) {
      const int y0 = static_cast<int>(i) * stripRows_;
      const int y1 = std::min(band.height, y0 + stripRows_);
      Work& w = work_[worker];
      try {
        const size_t bytes = static_cast<size_t>(y1 - y0) * rowBytes_;
        w.raw.resize(bytes + kDeflateInputPadding);
        std::fill(w.raw.begin() + static_cast<std::ptrdiff_t>(bytes), w.raw.end(), 0);
        for (int y = y0; y < y1; ++y) {
          const uint32_t* px = band.row(y);
          uint8_t* dst = w.raw.data() + static_cast<size_t>(y - y0) * rowBytes_;
          if (!alpha_ && (!band.premultiplied || RowOpaque(px, width_))) {
            UpFilterRgb(px, nullptr, width_, dst);  // straight R, G, B
          } else {
            StraightBytes(px, width_, band.premultiplied, alpha_, dst);
          }
        }
        const std::span<const uint8_t> raw = std::span(w.raw).first(bytes);
        strips[i] = UniformStrip(raw) ? UniformStream(raw, w.deflate) : ZlibStream(raw, w.deflate);
        ok[i] = !strips[i].empty();
      } catch (const std::bad_alloc&) {
      }
    });
    for (size_t i = 0; i < count; ++i) {
      if (!ok[i]) {
        error_ = "TIFF encoder: out of memory";
        return false;
      }
      if (TIFFWriteRawStrip(tif_, static_cast<uint32_t>(strip_++), strips[i].data(),
                            static_cast<tmsize_t>(strips[i].size())) < 0) {
        return Fail();
      }
      std::vector<uint8_t>().swap(strips[i]);
    }
    rowsWritten_ += band.height;
    return true;
  }

  bool Finish() override {
    if (!error_.empty()) return false;
    if (rowsWritten_ != height_) {
      error_ = "TIFF encoder: the image is missing rows";
      return false;
    }
    const bool ok = TIFFFlush(tif_) == 1 && !s_.failed;
    TIFFClose(tif_);
    tif_ = nullptr;
    return ok || Fail();
  }

  const std::string& error() const override { return error_; }

  // Strips of about 256 KiB, a power of two rows up to kBandRowAlignment.
  static int StripRows(size_t rowBytes) {
    int rows = 1;
    while (rows < kBandRowAlignment && static_cast<size_t>(rows) * 2 * rowBytes <= (size_t{256} << 10)) rows *= 2;
    return rows;
  }

 private:
  bool Fail() {
    if (error_.empty()) error_ = "TIFF encoder: " + (s_.error.empty() ? std::string("cannot write the image") : s_.error);
    return false;
  }

  // One thread's working memory, kept from band to band.
  struct Work {
    std::vector<uint8_t> raw;
    DeflateScratch deflate;
  };

  // Whether every pixel of the strip is the same (white paper, mostly).
  bool UniformStrip(std::span<const uint8_t> raw) const {
    const size_t px = alpha_ ? 4 : 3;
    return raw.size() <= px || std::memcmp(raw.data(), raw.data() + px, raw.size() - px) == 0;
  }

  // A uniform strip's stream, the same for every strip of its size and
  // colour: deflated once, then its bytes taken again.
  std::vector<uint8_t> UniformStream(std::span<const uint8_t> raw, DeflateScratch& scratch) {
    uint32_t colour = 0;
    std::memcpy(&colour, raw.data(), std::min<size_t>(raw.size(), alpha_ ? 4 : 3));
    const std::lock_guard<std::mutex> lock(uniformLock_);
    const auto key = std::make_pair(raw.size(), colour);
    auto it = uniform_.find(key);
    if (it == uniform_.end()) {
      std::vector<uint8_t> stream = ZlibStream(raw, scratch);
      if (stream.empty()) return stream;
      it = uniform_.emplace(key, std::move(stream)).first;
    }
    return it->second;
  }

  int width_, height_;
  bool alpha_;
  int threads_;
  size_t rowBytes_ = 0;
  int stripRows_ = 1;
  std::vector<Work> work_;
  std::mutex uniformLock_;
  std::map<std::pair<size_t, uint32_t>, std::vector<uint8_t>> uniform_;
  int rowsWritten_ = 0;
  size_t strip_ = 0;
  TiffStream s_;
  TIFF* tif_ = nullptr;
  std::string error_;
};

}  // namespace

std::unique_ptr<RowEncoder> MakeTiffWriter(int width, int height, bool alpha, ByteOutput& out, int threads) {
  return std::make_unique<TiffWriter>(width, height, alpha, out, threads);
}

bool DecodeTiff(std::span<const uint8_t> data, Bitmap& bmp, std::string& error) {
  TiffStream s;
  s.in = data;
  TIFF* tif = OpenTiff(s, "rm");  // "m": no memory mapping, the data is in memory already
  if (!tif) {
    error = "TIFF: " + (s.error.empty() ? std::string("not a readable TIFF file") : s.error);
    return false;
  }
  uint32_t w = 0, h = 0;
  TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &w);
  TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &h);
  char why[1024] = {};
  bool ok = CheckImageSize(w, h, "TIFF", error);
  if (ok && !TIFFRGBAImageOK(tif, why)) {
    error = std::string("TIFF: ") + why;
    ok = false;
  }
  ok = ok && AllocateImage(w, h, "TIFF", bmp, error);
  if (ok && !TIFFReadRGBAImageOriented(tif, w, h, bmp.pixels.data(), ORIENTATION_TOPLEFT, 1)) {
    error = "TIFF: " + (s.error.empty() ? std::string("cannot decode the image") : s.error);
    ok = false;
  }
  TIFFClose(tif);
  if (!ok) return false;
  // libtiff hands back A, B, G, R from the top byte down, alpha premultiplied.
  for (uint32_t& p : bmp.pixels) {
    const uint32_t abgr = p;
    const uint32_t argb = (abgr & 0xFF00FF00u) | ((abgr & 0xFF) << 16) | ((abgr >> 16) & 0xFF);
    p = Unpremultiply(argb);
  }
  return true;
}

}  // namespace zumen::codec
