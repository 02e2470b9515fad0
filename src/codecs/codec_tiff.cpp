// TIFF through libtiff, in memory: Deflate-compressed RGB (or RGBA) strips
// for writing, at zlib level 3 without a predictor (on line drawings the
// horizontal predictor makes files larger and slower: measured with
// bench_png); libtiff's RGBA interface for reading, which covers its
// photometric variants. Errors and warnings go to
// per-file handlers, never to the terminal.
#include <tiffio.h>

#include <algorithm>
#include <cstring>

#include "codecs/codecs.h"

namespace zumen::codec {

namespace {

constexpr tmsize_t kTiffMaxAlloc = tmsize_t{1} << 30;

struct TiffStream {
  std::vector<uint8_t>* out = nullptr;     // writing
  std::span<const uint8_t> in;             // reading
  uint64_t pos = 0;
  std::string error;

  uint64_t size() const { return out ? out->size() : in.size(); }
};

tmsize_t TiffRead(thandle_t h, void* buf, tmsize_t n) {
  auto* s = static_cast<TiffStream*>(h);
  const uint64_t sz = s->size();
  if (n <= 0 || s->pos >= sz) return 0;
  const uint64_t take = std::min<uint64_t>(static_cast<uint64_t>(n), sz - s->pos);
  const uint8_t* src = s->out ? s->out->data() : s->in.data();
  std::memcpy(buf, src + s->pos, static_cast<size_t>(take));
  s->pos += take;
  return static_cast<tmsize_t>(take);
}

tmsize_t TiffWrite(thandle_t h, void* buf, tmsize_t n) {
  auto* s = static_cast<TiffStream*>(h);
  if (!s->out || n < 0) return -1;
  const uint64_t end = s->pos + static_cast<uint64_t>(n);
  if (end > s->out->size()) s->out->resize(static_cast<size_t>(end));
  std::memcpy(s->out->data() + s->pos, buf, static_cast<size_t>(n));
  s->pos = end;
  return n;
}

toff_t TiffSeek(thandle_t h, toff_t off, int whence) {
  auto* s = static_cast<TiffStream*>(h);
  uint64_t base = 0;
  if (whence == SEEK_CUR) base = s->pos;
  if (whence == SEEK_END) base = s->size();
  const uint64_t target = base + off;
  if (!s->out && target > s->size()) return static_cast<toff_t>(-1);
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

bool EncodeTiff(const PixelView& v, std::vector<uint8_t>& out, std::string& error) {
  out.clear();
  TiffStream s;
  s.out = &out;
  TIFF* tif = OpenTiff(s, "w");
  if (!tif) {
    error = "cannot start the TIFF encoder" + (s.error.empty() ? std::string() : ": " + s.error);
    return false;
  }
  const bool opaque = IsOpaque(v);
  const int channels = opaque ? 3 : 4;
  const size_t rowBytes = static_cast<size_t>(v.width) * static_cast<size_t>(channels);
  const uint32_t rowsPerStrip = static_cast<uint32_t>(std::max<size_t>(1, (size_t{256} << 10) / rowBytes));
  bool ok = TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, static_cast<uint32_t>(v.width)) &&
            TIFFSetField(tif, TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(v.height)) &&
            TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8) && TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, channels) &&
            TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB) &&
            TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) &&
            TIFFSetField(tif, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT) &&
            TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_ADOBE_DEFLATE) &&
            TIFFSetField(tif, TIFFTAG_ZIPQUALITY, 3) && TIFFSetField(tif, TIFFTAG_PREDICTOR, PREDICTOR_NONE) &&
            TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, rowsPerStrip);
  if (ok && !opaque) {
    const uint16_t extra[1] = {EXTRASAMPLE_UNASSALPHA};
    ok = TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, extra);
  }
  std::vector<uint8_t> line(rowBytes);
  std::vector<uint32_t> scratch;
  for (int y = 0; ok && y < v.height; ++y) {
    const uint32_t* src = StraightRow(v, y, scratch);
    uint8_t* d = line.data();
    for (int x = 0; x < v.width; ++x) {
      const uint32_t p = src[x];
      *d++ = static_cast<uint8_t>(p >> 16);
      *d++ = static_cast<uint8_t>(p >> 8);
      *d++ = static_cast<uint8_t>(p);
      if (!opaque) *d++ = static_cast<uint8_t>(p >> 24);
    }
    ok = TIFFWriteScanline(tif, line.data(), static_cast<uint32_t>(y), 0) == 1;
  }
  ok = ok && TIFFFlush(tif) == 1;
  TIFFClose(tif);
  if (!ok) {
    error = "TIFF encoder: " + (s.error.empty() ? std::string("cannot write the image") : s.error);
    out.clear();
  }
  return ok;
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
