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
#include "codecs/row_encoder.h"

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

namespace {

constexpr size_t kJpegBufferBytes = size_t{64} << 10;

// libjpeg's destination: a buffer emptied into the output.
struct JpegDestination {
  jpeg_destination_mgr mgr{};
  ByteOutput* out = nullptr;
  std::vector<JOCTET> buffer = std::vector<JOCTET>(kJpegBufferBytes);
  bool failed = false;
};

void JpegInitDestination(j_compress_ptr cinfo) {
  auto* d = reinterpret_cast<JpegDestination*>(cinfo->dest);
  d->mgr.next_output_byte = d->buffer.data();
  d->mgr.free_in_buffer = d->buffer.size();
}

boolean JpegEmptyBuffer(j_compress_ptr cinfo) {
  auto* d = reinterpret_cast<JpegDestination*>(cinfo->dest);
  d->failed = d->failed || !d->out->Append(d->buffer);
  d->mgr.next_output_byte = d->buffer.data();
  d->mgr.free_in_buffer = d->buffer.size();
  return TRUE;
}

void JpegTermDestination(j_compress_ptr cinfo) {
  auto* d = reinterpret_cast<JpegDestination*>(cinfo->dest);
  const size_t n = d->buffer.size() - d->mgr.free_in_buffer;
  d->failed = d->failed || !d->out->Append(std::span<const uint8_t>(d->buffer.data(), n));
}

// Every libjpeg call that may jump back on an error is made in a function of
// its own that holds the jump target; the objects it changes belong to the
// writer, so none is left indeterminate by the jump.
class JpegWriter final : public RowEncoder {
 public:
  JpegWriter(int width, int height, int quality, ByteOutput& out) : height_(height) {
    dest_.out = &out;
    dest_.mgr.init_destination = JpegInitDestination;
    dest_.mgr.empty_output_buffer = JpegEmptyBuffer;
    dest_.mgr.term_destination = JpegTermDestination;
    cinfo_.err = &err_.mgr;
    InstallErrors(err_);
    if (width > JPEG_MAX_DIMENSION || height > JPEG_MAX_DIMENSION) {
      error_ = "the image is too large for a JPEG file (at most " + std::to_string(JPEG_MAX_DIMENSION) +
               " pixels a side)";
      return;
    }
    if (!Start(width, height, quality)) Failed();
  }
  ~JpegWriter() override {
    if (created_) jpeg_destroy_compress(&cinfo_);
  }

  bool WriteRows(const PixelView& band) override {
    if (!error_.empty()) return false;
    if (band.height <= 0 || band.height > height_ - rowsWritten_) {
      error_ = "JPEG encoder: rows beyond the image";
      return false;
    }
    if (!Rows(band)) return Failed();
    rowsWritten_ += band.height;
    return true;
  }

  bool Finish() override {
    if (!error_.empty()) return false;
    if (rowsWritten_ != height_) {
      error_ = "JPEG encoder: the image is missing rows";
      return false;
    }
    if (!End()) return Failed();
    return true;
  }

  const std::string& error() const override { return error_; }

 private:
  [[gnu::noinline]] bool Start(int width, int height, int quality) {
    if (setjmp(err_.jump)) return false;
    jpeg_create_compress(&cinfo_);
    created_ = true;
    cinfo_.dest = &dest_.mgr;
    cinfo_.image_width = static_cast<JDIMENSION>(width);
    cinfo_.image_height = static_cast<JDIMENSION>(height);
    cinfo_.input_components = 4;
    cinfo_.in_color_space = JCS_EXT_BGRX;  // native ARGB words, alpha dropped
    jpeg_set_defaults(&cinfo_);
    jpeg_set_quality(&cinfo_, quality, TRUE);
    jpeg_start_compress(&cinfo_, TRUE);
    return true;
  }

  [[gnu::noinline]] bool Rows(const PixelView& band) {
    if (setjmp(err_.jump)) return false;
    for (int y = 0; y < band.height; ++y) {
      const uint32_t* row = StraightRow(band, y, scratch_);
      JSAMPROW rows[1] = {const_cast<JSAMPROW>(reinterpret_cast<const JSAMPLE*>(row))};
      jpeg_write_scanlines(&cinfo_, rows, 1);
    }
    return !dest_.failed;
  }

  [[gnu::noinline]] bool End() {
    if (setjmp(err_.jump)) return false;
    jpeg_finish_compress(&cinfo_);
    return !dest_.failed;
  }

  bool Failed() {
    if (error_.empty()) {
      error_ = dest_.failed ? std::string("cannot write the image") : std::string("JPEG encoder: ") + err_.message;
    }
    return false;
  }

  int height_;
  int rowsWritten_ = 0;
  bool created_ = false;
  jpeg_compress_struct cinfo_{};
  JpegError err_;
  JpegDestination dest_;
  std::vector<uint32_t> scratch_;
  std::string error_;
};

}  // namespace

std::unique_ptr<RowEncoder> MakeJpegWriter(int width, int height, int quality, ByteOutput& out) {
  return std::make_unique<JpegWriter>(width, height, quality, out);
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
