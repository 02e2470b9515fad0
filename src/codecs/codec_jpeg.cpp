// JPEG through libjpeg-turbo. Its fatal errors jump back here instead of
// ending the process; the decoder also bounds the number of progressive scans
// so that a hostile file cannot keep it busy for long.
// jpeglib.h needs size_t and FILE declared before it.
#include <csetjmp>
#include <cstdio>
#include <cstdlib>

#include <jerror.h>
#include <jpeglib.h>

#include "codecs/codecs.h"

namespace zumen::codec {

namespace {

constexpr int kMaxJpegScans = 1000;
constexpr long kJpegMaxMemory = 1L << 30;

struct JpegError {
  jpeg_error_mgr mgr{};
  std::jmp_buf jump{};
  char message[JMSG_LENGTH_MAX] = {};
};

[[noreturn]] void JpegErrorExit(j_common_ptr cinfo) {
  auto* err = reinterpret_cast<JpegError*>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, err->message);
  std::longjmp(err->jump, 1);
}
void JpegSilent(j_common_ptr, int) {}

void JpegScanLimit(j_common_ptr cinfo) {
  auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
  if (d->is_decompressor && d->input_scan_number > kMaxJpegScans) {
    auto* err = reinterpret_cast<JpegError*>(cinfo->err);
    std::snprintf(err->message, sizeof err->message, "more than %d scans", kMaxJpegScans);
    std::longjmp(err->jump, 1);
  }
}

void InstallErrors(JpegError& err) {
  jpeg_std_error(&err.mgr);
  err.mgr.error_exit = JpegErrorExit;
  err.mgr.emit_message = JpegSilent;
}

[[gnu::noinline]] void WriteJpegRows(jpeg_compress_struct& cinfo, const PixelView& v,
                                    std::vector<uint32_t>& scratch) {
  while (cinfo.next_scanline < cinfo.image_height) {
    const uint32_t* row = StraightRow(v, static_cast<int>(cinfo.next_scanline), scratch);
    JSAMPROW rows[1] = {const_cast<JSAMPROW>(reinterpret_cast<const JSAMPLE*>(row))};
    jpeg_write_scanlines(&cinfo, rows, 1);
  }
}

[[gnu::noinline]] void ReadJpegRows(jpeg_decompress_struct& cinfo, bool isCmyk, Bitmap& bmp,
                                   std::vector<uint8_t>& cmyk) {
  while (cinfo.output_scanline < cinfo.output_height) {
    const size_t y = cinfo.output_scanline;
    uint32_t* dst = bmp.pixels.data() + y * static_cast<size_t>(bmp.width);
    JSAMPROW rows[1] = {isCmyk ? cmyk.data() : reinterpret_cast<JSAMPLE*>(dst)};
    if (jpeg_read_scanlines(&cinfo, rows, 1) != 1) return;
    if (isCmyk) {
      // Adobe writes CMYK inverted: each byte is already 255 - ink.
      for (int x = 0; x < bmp.width; ++x) {
        const uint8_t* s = cmyk.data() + static_cast<size_t>(x) * 4;
        const uint32_t k = s[3];
        dst[x] = 0xFF000000u | ((s[0] * k / 255) << 16) | ((s[1] * k / 255) << 8) | (s[2] * k / 255);
      }
    }
  }
}

// The encoder's work; false when libjpeg jumped back with an error. Every
// object that changes here belongs to the caller, so nothing of this
// function's own is left indeterminate by the jump.
bool RunJpegEncoder(jpeg_compress_struct& cinfo, JpegError& err, const PixelView& v, int quality,
                    unsigned char*& buffer, unsigned long& size, std::vector<uint32_t>& scratch) {
  if (setjmp(err.jump)) return false;
  jpeg_create_compress(&cinfo);
  jpeg_mem_dest(&cinfo, &buffer, &size);
  cinfo.image_width = static_cast<JDIMENSION>(v.width);
  cinfo.image_height = static_cast<JDIMENSION>(v.height);
  cinfo.input_components = 4;
  cinfo.in_color_space = JCS_EXT_BGRX;  // native ARGB words, alpha dropped
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, quality, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  WriteJpegRows(cinfo, v, scratch);
  jpeg_finish_compress(&cinfo);
  return true;
}

// The decoder's work, on the same terms as RunJpegEncoder.
bool RunJpegDecoder(jpeg_decompress_struct& cinfo, JpegError& err, jpeg_progress_mgr& progress,
                    std::span<const uint8_t> data, Bitmap& bmp, std::vector<uint8_t>& cmyk, std::string& error) {
  if (setjmp(err.jump)) {
    error = std::string("JPEG: ") + err.message;
    return false;
  }
  jpeg_create_decompress(&cinfo);
  cinfo.mem->max_memory_to_use = kJpegMaxMemory;
  progress.progress_monitor = JpegScanLimit;
  cinfo.progress = &progress;
  jpeg_mem_src(&cinfo, data.data(), static_cast<unsigned long>(data.size()));
  jpeg_read_header(&cinfo, TRUE);
  if (!AllocateImage(cinfo.image_width, cinfo.image_height, "JPEG", bmp, error)) return false;
  const bool isCmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
  cinfo.out_color_space = isCmyk ? JCS_CMYK : JCS_EXT_BGRA;
  jpeg_start_decompress(&cinfo);
  if (cinfo.output_width != static_cast<JDIMENSION>(bmp.width) ||
      cinfo.output_height != static_cast<JDIMENSION>(bmp.height)) {
    error = "JPEG: unexpected output size";
    return false;
  }
  if (isCmyk) cmyk.resize(static_cast<size_t>(bmp.width) * 4);
  ReadJpegRows(cinfo, isCmyk, bmp, cmyk);
  jpeg_finish_decompress(&cinfo);
  return true;
}

}  // namespace

bool EncodeJpeg(const PixelView& v, int quality, std::vector<uint8_t>& out, std::string& error) {
  if (v.width > JPEG_MAX_DIMENSION || v.height > JPEG_MAX_DIMENSION) {
    error = "the image is too large for a JPEG file (at most " + std::to_string(JPEG_MAX_DIMENSION) + " pixels a side)";
    return false;
  }
  jpeg_compress_struct cinfo{};
  JpegError err;
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  std::vector<uint32_t> scratch;
  cinfo.err = &err.mgr;
  InstallErrors(err);
  const bool ok = RunJpegEncoder(cinfo, err, v, quality, buffer, size, scratch);
  if (ok) out.assign(buffer, buffer + size);
  jpeg_destroy_compress(&cinfo);
  std::free(buffer);
  if (!ok) error = std::string("JPEG encoder: ") + err.message;
  return ok;
}

bool DecodeJpeg(std::span<const uint8_t> data, Bitmap& bmp, std::string& error) {
  jpeg_decompress_struct cinfo{};
  JpegError err;
  jpeg_progress_mgr progress{};
  std::vector<uint8_t> cmyk;
  cinfo.err = &err.mgr;
  InstallErrors(err);
  const bool ok = RunJpegDecoder(cinfo, err, progress, data, bmp, cmyk, error);
  jpeg_destroy_decompress(&cinfo);
  return ok;
}

}  // namespace zumen::codec
