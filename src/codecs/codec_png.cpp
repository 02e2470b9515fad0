// PNG through libpng: the full interface for writing (so that the compression
// settings can be chosen) and the simplified one for reading, which keeps
// libpng's error jumps inside the library.
#include <png.h>
#include <zlib.h>

#include <csetjmp>

#include "codecs/codecs.h"

namespace zumen {

namespace {

struct PngWriteState {
  std::vector<uint8_t>* out = nullptr;
  std::string error;
};

void PngWrite(png_structp png, png_bytep data, size_t n) {
  auto* st = static_cast<PngWriteState*>(png_get_io_ptr(png));
  st->out->insert(st->out->end(), data, data + n);
}
void PngFlush(png_structp) {}
[[noreturn]] void PngError(png_structp png, png_const_charp msg) {
  auto* st = static_cast<PngWriteState*>(png_get_error_ptr(png));
  st->error = msg ? msg : "libpng error";
  png_longjmp(png, 1);
}
void PngWarning(png_structp, png_const_charp) {}

int FilterMask(PngFilter f) {
  switch (f) {
    case PngFilter::None: return PNG_FILTER_NONE;
    case PngFilter::Sub: return PNG_FILTER_SUB;
    case PngFilter::Up: return PNG_FILTER_UP;
    case PngFilter::Average: return PNG_FILTER_AVG;
    case PngFilter::Paeth: return PNG_FILTER_PAETH;
    case PngFilter::Adaptive: return PNG_ALL_FILTERS;
  }
  return PNG_FILTER_NONE;
}

// The rows, outside the function that holds the jump target so that no
// variable of that function changes after setjmp.
[[gnu::noinline]] void WritePngRows(png_structp png, const PixelView& v, std::vector<uint32_t>& scratch) {
  for (int y = 0; y < v.height; ++y) {
    png_write_row(png, reinterpret_cast<png_const_bytep>(StraightRow(v, y, scratch)));
  }
}

// Every libpng call that may jump back on an error; false when one did.
bool RunPngWriter(png_structp png, png_infop info, const PixelView& v, const PngSettings& settings, bool opaque,
                  std::vector<uint32_t>& scratch) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_IHDR(png, info, static_cast<png_uint_32>(v.width), static_cast<png_uint_32>(v.height), 8,
               opaque ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_set_filter(png, PNG_FILTER_TYPE_BASE, FilterMask(settings.filter));
  png_set_compression_level(png, settings.zlibLevel);
  png_set_compression_strategy(png, settings.zlibStrategy);
  png_write_info(png, info);
  // Pixels are B, G, R, A bytes in memory.
  png_set_bgr(png);
  if (opaque) png_set_filler(png, 0, PNG_FILLER_AFTER);
  WritePngRows(png, v, scratch);
  png_write_end(png, info);
  return true;
}

}  // namespace

ImageStatus EncodePng(const PixelView& v, const PngSettings& settings, std::vector<uint8_t>& out) {
  out.clear();
  if (v.empty()) return ImageStatus::Fail("the image has no pixels");
  // An opaque image is written without its alpha channel: a quarter smaller
  // before compression and the usual case for drawings.
  const bool opaque = IsOpaque(v);
  PngWriteState st;
  st.out = &out;
  std::vector<uint32_t> scratch;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &st, PngError, PngWarning);
  if (!png) return ImageStatus::Fail("cannot start the PNG encoder");
  png_infop info = png_create_info_struct(png);
  if (!info) {
    png_destroy_write_struct(&png, nullptr);
    return ImageStatus::Fail("cannot start the PNG encoder");
  }
  png_set_write_fn(png, &st, PngWrite, PngFlush);
  const bool ok = RunPngWriter(png, info, v, settings, opaque, scratch);
  png_destroy_write_struct(&png, &info);
  if (!ok) {
    out.clear();
    return ImageStatus::Fail("PNG encoder: " + st.error);
  }
  return {};
}

namespace codec {

bool DecodePng(std::span<const uint8_t> data, Bitmap& bmp, std::string& error) {
  png_image img{};
  img.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&img, data.data(), data.size())) {
    error = std::string("PNG: ") + img.message;
    png_image_free(&img);
    return false;
  }
  if (!AllocateImage(img.width, img.height, "PNG", bmp, error)) {
    png_image_free(&img);
    return false;
  }
  img.format = PNG_FORMAT_BGRA;  // the bytes of a native ARGB word
  if (!png_image_finish_read(&img, nullptr, bmp.pixels.data(), 0, nullptr)) {
    error = std::string("PNG: ") + img.message;
    png_image_free(&img);
    return false;
  }
  png_image_free(&img);
  return true;
}

}  // namespace codec

}  // namespace zumen
