#include "output/target.h"

#include <cairo-pdf.h>
#include <cairo-svg.h>
#include <cairo.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <map>
#include <new>
#include <random>
#include <string_view>

#include "canvas/cairo_canvas.h"
#include "canvas/tiled_canvas.h"
#include "codecs/deflate.h"
#include "codecs/image_io.h"
#include "codecs/row_encoder.h"
#include "common/cleanup.h"
#include "common/files.h"

namespace zumen {

namespace {

ImageFormat CodecFormat(OutputType t) {
  switch (t) {
    case OutputType::Bmp: return ImageFormat::Bmp;
    case OutputType::Png: return ImageFormat::Png;
    case OutputType::Jpeg: return ImageFormat::Jpeg;
    case OutputType::Gif: return ImageFormat::Gif;
    case OutputType::Tiff: return ImageFormat::Tiff;
    case OutputType::Webp: return ImageFormat::Webp;
    default: return ImageFormat::Png;
  }
}

// The largest picture that is drawn in one piece although its type could be
// drawn in bands (GIF takes its palette from the whole image; WebP's sides
// are short anyway): 1 GiB of bitmap.
constexpr uint64_t kMaxWholePixels = uint64_t{1} << 28;

// The largest band of whole tile rows: 256 rows of 262,144 pixels.
constexpr uint64_t kMaxTileRowBytes = uint64_t{256} << 20;

// A file written through a temporary file beside it that is renamed over it
// once complete; removed should anything fail before (or a signal stop the
// process).
class FileOutput final : public ByteOutput {
 public:
  explicit FileOutput(std::string path) : path_(std::move(path)) {
    const size_t slash = path_.find_last_of('/');
    const std::string folder = slash == std::string::npos ? std::string() : path_.substr(0, slash + 1);
    tmp_ = folder + ".zumen-" + std::to_string(::getpid()) + "-" + std::to_string(std::random_device{}()) + ".tmp";
    fd_ = CreateFileRemovedOnSignal(tmp_, O_WRONLY | O_EXCL, guard_);
    created_ = fd_ >= 0;
  }
  ~FileOutput() override {
    if (fd_ >= 0) ::close(fd_);
    if (created_ && !committed_) DelFile(tmp_);
  }
  FileOutput(const FileOutput&) = delete;
  FileOutput& operator=(const FileOutput&) = delete;

  bool ok() const { return fd_ >= 0; }

  bool WriteAt(uint64_t offset, std::span<const uint8_t> bytes) override {
    if (fd_ < 0) return false;
    while (!bytes.empty()) {
      const ssize_t n = ::pwrite(fd_, bytes.data(), bytes.size(), static_cast<off_t>(offset));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      bytes = bytes.subspan(static_cast<size_t>(n));
      offset += static_cast<uint64_t>(n);
    }
    size_ = std::max(size_, offset);
    return true;
  }
  uint64_t Size() const override { return size_; }

  // Closes the file and puts it in place; an error message on failure.
  std::string Commit() {
    const int fd = fd_;
    fd_ = -1;
    if (fd < 0 || ::close(fd) != 0 || std::rename(tmp_.c_str(), path_.c_str()) != 0) {
      return "cannot write \"" + path_ + "\"";
    }
    committed_ = true;
    return {};
  }

  std::string Error() const { return "cannot write \"" + path_ + "\""; }

 private:
  std::string path_;
  std::string tmp_;
  RemovedOnSignal guard_;
  int fd_ = -1;
  uint64_t size_ = 0;
  bool created_ = false;
  bool committed_ = false;
};

// Rows into the caller's buffer as straight R, G, B, A bytes.
class PixelsWriter final : public RowEncoder {
 public:
  explicit PixelsWriter(const Output& output) : output_(output) {}
  bool WriteRows(const PixelView& band) override {
    for (int y = 0; y < band.height; ++y) {
      uint8_t* dst = output_.pixels() + static_cast<size_t>(row_ + y) * output_.stride();
      StraightBytes(band.row(y), band.width, band.premultiplied, true, dst);
    }
    row_ += band.height;
    return true;
  }
  bool Finish() override { return true; }
  const std::string& error() const override { return error_; }

 private:
  Output output_;
  int row_ = 0;
  std::string error_;
};

// Hands encoded bytes to a memory or file output.
std::string Deliver(const Output& output, std::vector<uint8_t> bytes) {
  if (output.kind() == Output::Kind::Memory) {
    *output.bytes() = std::move(bytes);
    return {};
  }
  return WriteFileAtomically(output.path(), bytes);
}

EncodeSettings EncodeSettingsOf(const RenderOptions& options) {
  EncodeSettings e;
  e.jpegQuality = options.encoder.quality.value_or(90);
  e.webpQuality = options.encoder.quality;
  e.threads = options.threads;
  return e;
}

// Why an encoder writing into file (if any) failed: the file's own message
// when its bytes could not be written, else the encoder's.
std::string EncoderFailure(const RowEncoder& encoder, const FileOutput* file) {
  if (file && encoder.error() == "cannot write the image") return file->Error();
  return encoder.error();
}

StrokeRasteriser StrokesOf(const RenderOptions& options) {
  return options.rasteriser == Rasteriser::Cairo ? StrokeRasteriser::Cairo : StrokeRasteriser::Zumen;
}

// A picture in one bitmap, drawn in tiles on every thread, delivered encoded
// or as straight RGBA pixels.
class RasterTarget final : public PictureTarget {
 public:
  RasterTarget(std::unique_ptr<TiledCanvas> canvas, const Output& output, OutputType type,
               const RenderOptions& options)
      : canvas_(std::move(canvas)),
        output_(output),
        type_(type),
        encode_(EncodeSettingsOf(options)),
        cancelled_(options.cancelled) {}

  std::string Paint(const std::function<void(Canvas&)>& draw) override {
    draw(*canvas_);
    if (cancelled_ && cancelled_()) return std::string(kCancelledMessage);
    const PixelView v = canvas_->Pixels();
    if (output_.kind() == Output::Kind::Pixels) {
      PixelsWriter(output_).WriteRows(v);
      return {};
    }
    if (output_.kind() == Output::Kind::File) {
      // Types written row by row go straight into the file (through its
      // temporary name), not first into memory: a dense drawing's PNG can
      // be half as large as its bitmap.
      FileOutput file(output_.path());
      std::unique_ptr<RowEncoder> rows =
          MakeRowEncoder(CodecFormat(type_), v.width, v.height, !IsOpaque(v), encode_, file);
      if (rows) {
        if (!file.ok()) return file.Error();
        if (!rows->WriteRows(v) || !rows->Finish()) return EncoderFailure(*rows, &file);
        return file.Commit();
      }
    }
    std::vector<uint8_t> bytes;
    if (ImageStatus st = EncodeImage(v, CodecFormat(type_), bytes, encode_); !st) return st.message;
    return Deliver(output_, std::move(bytes));
  }

 private:
  std::unique_ptr<TiledCanvas> canvas_;
  Output output_;
  OutputType type_;
  EncodeSettings encode_;
  std::function<bool()> cancelled_;
};

// A picture too large for one bitmap: drawn in bands of rows, each encoded
// as soon as it is drawn. The drawing is recorded once and every band drawn
// from the recording, its tiles those of the whole picture's grid, so a band
// holds the whole picture's rows; a recording that would grow too large is
// given up, and the drawing is then drawn anew into each band.
class BandedTarget final : public PictureTarget {
 public:
  BandedTarget(const Output& output, OutputType type, int width, int height, const RenderOptions& options,
               const Banding& banding)
      : output_(output),
        type_(type),
        width_(width),
        height_(height),
        alpha_(options.background == Background::Transparent),
        encode_(EncodeSettingsOf(options)),
        banding_(banding),
        threads_(ThreadsFor(options.threads)),
        strokes_(StrokesOf(options)),
        fontConfig_(options.fonts_config),
        cancelled_(options.cancelled) {}

  std::string Paint(const std::function<void(Canvas&)>& draw) override {
    std::unique_ptr<FileOutput> file;
    std::unique_ptr<ByteOutput> memory;
    std::unique_ptr<RowEncoder> encoder;
    if (output_.kind() == Output::Kind::Pixels) {
      encoder = std::make_unique<PixelsWriter>(output_);
    } else {
      ByteOutput* sink = nullptr;
      if (output_.kind() == Output::Kind::Memory) {
        memory = std::make_unique<MemoryOutput>(*output_.bytes());
        sink = memory.get();
      } else {
        file = std::make_unique<FileOutput>(output_.path());
        if (!file->ok()) return file->Error();
        sink = file.get();
      }
      encoder = MakeRowEncoder(CodecFormat(type_), width_, height_, alpha_, encode_, *sink);
      if (!encoder) return "no encoder of bands for this picture type";
    }
    if (!encoder->error().empty()) return Failed(*encoder, file.get());

    // Bands of about band_bytes of bitmap whatever the picture's shape, in
    // whole rows of tiles (one at least), so that every tile is drawn as in
    // the whole picture; for rows so wide that a row of tiles would take more
    // than kMaxTileRowBytes, whole units of the encoder's rows (one row at
    // least).
    const uint64_t rowBytes = uint64_t{4} * static_cast<uint64_t>(width_);
    uint64_t unit = static_cast<uint64_t>(BandRowUnit(width_));
    if (rowBytes * TiledCanvas::kTile <= kMaxTileRowBytes) unit = TiledCanvas::kTile;
    const uint64_t rows = std::max(unit, banding_.band_bytes / rowBytes / unit * unit);
    const int bandRows = static_cast<int>(std::min<uint64_t>(rows, static_cast<uint64_t>(height_)));
    std::vector<uint32_t> band;
    try {
      band.resize(static_cast<size_t>(width_) * static_cast<size_t>(bandRows));
    } catch (const std::bad_alloc&) {
      return "cannot create a band of " + std::to_string(width_) + " x " + std::to_string(bandRows) + " pixels";
    }
    std::unique_ptr<TiledCanvas> canvas =
        TiledCanvas::Recorder(width_, height_, threads_, strokes_, banding_.record_bytes);
    if (!canvas) return "cannot draw a picture of " + std::to_string(width_) + " x " + std::to_string(height_) + " pixels";
    canvas->SetFontConfigFile(fontConfig_);
    draw(*canvas);
    canvas->EndScene();
    const bool recorded = !canvas->Overflowed();
    for (int y0 = 0; y0 < height_; y0 += bandRows) {
      if (cancelled_ && cancelled_()) return Cancelled();
      const PixelBand b{band.data(), width_, y0, std::min(bandRows, height_ - y0)};
      // Bands start as the whole picture does, transparent black; a drawing
      // that begins by clearing the picture paints every pixel anyway.
      if (!recorded || !canvas->BeginsWithClear())
        std::fill_n(band.data(), static_cast<size_t>(width_) * static_cast<size_t>(b.rows), 0u);
      if (recorded) {
        const auto start = std::chrono::steady_clock::now();
        canvas->DrawBand(b);
        drawingOutsideMs_ += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
      } else {
        canvas->TargetBand(b);
        draw(*canvas);
        canvas->EndScene();
      }
      PixelView v;
      v.width = width_;
      v.height = b.rows;
      v.stride = static_cast<size_t>(width_);
      v.data = band.data();
      v.premultiplied = true;
      if (!encoder->WriteRows(v)) return Failed(*encoder, file.get());
    }
    if (cancelled_ && cancelled_()) return Cancelled();
    if (!encoder->Finish()) return Failed(*encoder, file.get());
    return file ? file->Commit() : std::string();
  }

 private:
  // Stopped: the temporary file goes with its FileOutput, memory is emptied.
  std::string Cancelled() const {
    if (output_.kind() == Output::Kind::Memory) output_.bytes()->clear();
    return std::string(kCancelledMessage);
  }

  std::string Failed(const RowEncoder& encoder, const FileOutput* file) const {
    if (output_.kind() == Output::Kind::Memory) output_.bytes()->clear();
    return EncoderFailure(encoder, file);
  }

  Output output_;
  OutputType type_;
  int width_, height_;
  bool alpha_;
  EncodeSettings encode_;
  Banding banding_;
  int threads_;
  StrokeRasteriser strokes_;
  std::string fontConfig_;
  std::function<bool()> cancelled_;
};

constexpr double kPointsPerMm = 72 / 25.4;
// The smallest side of a page: a symbol of one point or one straight line
// has no extent across, and viewers refuse a page without area.
constexpr double kMinPageMm = 1;
// The largest: ten times the largest paper of the drawings (100 m). A frame
// beyond it comes from damaged extents, and Cairo fails on such pages.
constexpr double kMaxPageMm = 1e6;

cairo_status_t AppendBytes(void* closure, const unsigned char* data, unsigned int length) {
  try {
    auto* out = static_cast<std::vector<uint8_t>*>(closure);
    out->insert(out->end(), data, data + length);
    return CAIRO_STATUS_SUCCESS;
  } catch (const std::bad_alloc&) {
    return CAIRO_STATUS_NO_MEMORY;
  }
}

// Cairo gives the SVG page's width and height in points; they are rewritten
// in millimetres, the paper's own unit, so that the document says the size it
// is printed at. The view box stays in points, so nothing drawn moves.
void SvgSizeInMillimetres(std::vector<uint8_t>& bytes, double width_mm, double height_mm) {
  const std::string_view text(reinterpret_cast<const char*>(bytes.data()), std::min<size_t>(bytes.size(), 1024));
  const size_t svg = text.find("<svg ");
  if (svg == std::string_view::npos) return;
  const size_t from = text.find(" width=\"", svg);
  const size_t heightAt = text.find(" height=\"", svg);
  if (from == std::string_view::npos || heightAt == std::string_view::npos || heightAt < from) return;
  const size_t to = text.find('"', heightAt + 9);
  if (to == std::string_view::npos) return;
  char size[96];
  std::snprintf(size, sizeof size, " width=\"%.3fmm\" height=\"%.3fmm", width_mm, height_mm);
  bytes.erase(bytes.begin() + static_cast<std::ptrdiff_t>(from), bytes.begin() + static_cast<std::ptrdiff_t>(to));
  bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(from), size, size + std::strlen(size));
}

// Cairo names the SVG's page group and its images by numbers that count the
// surfaces of the whole process ("surface80", "image84"), so the same page
// would come out differently after other conversions in the same process.
// The names are numbered afresh in the order they first appear; every other
// name in the document is already counted within it.
std::vector<uint8_t> RenumberSvgIds(std::span<const uint8_t> bytes) {
  static constexpr std::string_view kKinds[] = {"surface", "image"};
  const std::string_view svg(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  std::vector<uint8_t> out;
  out.reserve(svg.size());
  auto append = [&out](std::string_view piece) { out.insert(out.end(), piece.begin(), piece.end()); };
  std::map<std::string_view, std::string> renamed;
  int counts[std::size(kKinds)] = {};
  size_t i = 0;
  while (i < svg.size()) {
    // Names stand at the start of an attribute value (id="image84") or
    // after a reference's '#' (xlink:href="#image84", url(#surface80)).
    const size_t at = svg.find_first_of("\"#", i);
    if (at == std::string_view::npos) {
      append(svg.substr(i));
      break;
    }
    append(svg.substr(i, at + 1 - i));
    i = at + 1;
    for (size_t k = 0; k < std::size(kKinds); ++k) {
      if (svg.substr(i, kKinds[k].size()) != kKinds[k]) continue;
      size_t end = i + kKinds[k].size();
      while (end < svg.size() && svg[end] >= '0' && svg[end] <= '9') ++end;
      if (end == i + kKinds[k].size() || end == svg.size() || (svg[end] != '"' && svg[end] != ')')) break;
      auto [name, fresh] = renamed.try_emplace(svg.substr(i, end - i));
      if (fresh) name->second = std::string(kKinds[k]) + std::to_string(++counts[k]);
      append(name->second);
      i = end;
      break;
    }
  }
  return out;
}

// An SVG or PDF page drawn by the renderer in its pixel grid. The surface's
// device scale turns the grid's pixels into points at the frame's true size,
// and its device offset puts the frame's centre, which is the grid's centre,
// at the page's centre. The document is written into memory and delivered
// whole, so that a file is replaced only by a complete page.
class VectorTarget final : public PictureTarget {
 public:
  static std::unique_ptr<VectorTarget> Make(const Output& output, OutputType type, int width, int height,
                                            const VectorPage& page, const RenderOptions& options,
                                            std::string& error) {
    if (!(page.width_mm <= kMaxPageMm && page.height_mm <= kMaxPageMm)) {
      char size[80];
      std::snprintf(size, sizeof size, "%.0f x %.0f mm", page.width_mm, page.height_mm);
      error = std::string("a page of ") + size + " is too large: a side may have at most " +
              std::to_string(static_cast<int>(kMaxPageMm)) + " mm";
      return nullptr;
    }
    std::unique_ptr<VectorTarget> t(new VectorTarget(output, type, options.cancelled));
    t->page_width_mm_ = std::max(page.width_mm, kMinPageMm);
    t->page_height_mm_ = std::max(page.height_mm, kMinPageMm);
    const double pageW = t->page_width_mm_ * kPointsPerMm;
    const double pageH = t->page_height_mm_ * kPointsPerMm;
    if (type == OutputType::Svg) {
      t->surface_ = cairo_svg_surface_create_for_stream(AppendBytes, &t->bytes_, pageW, pageH);
      // Width and height in points (rewritten in millimetres when finished):
      // viewers and printers take the page at its size.
      cairo_svg_surface_set_document_unit(t->surface_, CAIRO_SVG_UNIT_PT);
    } else {
      t->surface_ = cairo_pdf_surface_create_for_stream(AppendBytes, &t->bytes_, pageW, pageH);
      cairo_pdf_surface_set_metadata(t->surface_, CAIRO_PDF_METADATA_CREATOR, "zumen");
      // No creation time: a page is the same bytes whenever it is made.
      cairo_pdf_surface_set_metadata(t->surface_, CAIRO_PDF_METADATA_CREATE_DATE, "");
    }
    const double scale = kPointsPerMm / page.px_per_mm;
    cairo_surface_set_device_scale(t->surface_, scale, scale);
    cairo_surface_set_device_offset(t->surface_, pageW / 2 - width / 2.0 * scale, pageH / 2 - height / 2.0 * scale);
    CairoCanvasOrError made = CairoCanvas::CreateOn(t->surface_, width, height);
    if (!made.canvas) {
      error = std::string("cannot start the ") + OutputTypeName(type) + " page: " + made.error;
      return nullptr;
    }
    t->canvas_ = std::move(made.canvas);
    return t;
  }

  ~VectorTarget() override {
    canvas_.reset();
    cairo_surface_destroy(surface_);
  }

  std::string Paint(const std::function<void(Canvas&)>& draw) override {
    draw(*canvas_);
    if (cancelled_ && cancelled_()) return std::string(kCancelledMessage);
    cairo_surface_finish(surface_);
    if (const cairo_status_t st = cairo_surface_status(surface_); st != CAIRO_STATUS_SUCCESS) {
      return std::string("cannot make the ") + OutputTypeName(type_) + " page: " + cairo_status_to_string(st);
    }
    if (type_ == OutputType::Svg) {
      bytes_ = RenumberSvgIds(bytes_);
      SvgSizeInMillimetres(bytes_, page_width_mm_, page_height_mm_);
    }
    return Deliver(output_, std::move(bytes_));
  }

 private:
  VectorTarget(const Output& output, OutputType type, std::function<bool()> cancelled)
      : output_(output), type_(type), cancelled_(std::move(cancelled)) {}

  Output output_;
  OutputType type_;
  std::function<bool()> cancelled_;
  double page_width_mm_ = 0;
  double page_height_mm_ = 0;
  std::vector<uint8_t> bytes_;
  cairo_surface_t* surface_ = nullptr;
  std::unique_ptr<CairoCanvas> canvas_;
};

}  // namespace

std::string UnknownOutputMessage(const Output& output) {
  return "unknown image type of \"" + output.path() +
         "\" (use .bmp, .png, .jpg, .jpeg, .gif, .tif, .tiff, .webp, .svg, .pdf or .dxf)";
}

std::optional<OutputType> TypeOfOutput(const Output& output) {
  if (output.type()) return output.type();
  if (output.kind() == Output::Kind::File) return OutputTypeFromName(output.path());
  return std::nullopt;
}

std::unique_ptr<PictureTarget> MakeTarget(const Output& output, int width, int height, const RenderOptions& options,
                                          std::string& error, const VectorPage& page, const Banding& banding) {
  OutputType type = OutputType::Png;
  const auto sideTooLong = [&](int side) {
    error = "a bitmap of " + std::to_string(width) + " x " + std::to_string(height) +
            " pixels is too large: a side may have at most " + std::to_string(side) + " pixels";
  };
  if (output.kind() != Output::Kind::Pixels) {
    const std::optional<OutputType> t = TypeOfOutput(output);
    if (!t) {
      error = UnknownOutputMessage(output);
      return nullptr;
    }
    type = *t;
    if (type == OutputType::Dxf) {  // a drawing for other programs, written by the DXF export
      error = "a DXF drawing is not a picture";
      return nullptr;
    }
    if (IsVector(type)) {
      // The grid's coordinates stay where Cairo's fixed point is exact.
      if (width > CairoCanvas::kMaxSide || height > CairoCanvas::kMaxSide) {
        sideTooLong(CairoCanvas::kMaxSide);
        return nullptr;
      }
      VectorPage p = page;
      if (!(p.px_per_mm > 0)) {
        p.px_per_mm = options.dpi / 25.4;
        p.width_mm = width / p.px_per_mm;
        p.height_mm = height / p.px_per_mm;
      }
      return VectorTarget::Make(output, type, width, height, p, options, error);
    }
    error = CheckFormatSize(CodecFormat(type), static_cast<uint64_t>(width), static_cast<uint64_t>(height));
    if (!error.empty()) return nullptr;
  }
  const bool bandable = output.kind() == Output::Kind::Pixels || type == OutputType::Png ||
                        type == OutputType::Tiff || type == OutputType::Bmp || type == OutputType::Jpeg;
  const uint64_t pixels = static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
  const bool whole = pixels * 4 <= banding.max_bitmap_bytes;
  if (bandable && !whole) return std::make_unique<BandedTarget>(output, type, width, height, options, banding);
  if (!bandable && (width > CairoCanvas::kMaxSide || height > CairoCanvas::kMaxSide)) {
    sideTooLong(CairoCanvas::kMaxSide);
    return nullptr;
  }
  if (pixels > kMaxWholePixels) {
    error = "a " + std::string(OutputTypeName(type)) + " picture of " + std::to_string(width) + " x " +
            std::to_string(height) + " pixels is too large: it is made in one piece of at most " +
            std::to_string(kMaxWholePixels) + " pixels";
    return nullptr;
  }
  TiledCanvasOrError made = TiledCanvas::Create(width, height, ThreadsFor(options.threads), StrokesOf(options));
  if (!made.canvas) {
    error = made.error;
    return nullptr;
  }
  made.canvas->SetFontConfigFile(options.fonts_config);
  return std::make_unique<RasterTarget>(std::move(made.canvas), output, type, options);
}

std::string WriteFileAtomically(const std::string& path, std::span<const uint8_t> bytes) {
  FileOutput file(path);
  if (!file.ok() || !file.Append(bytes)) return file.Error();
  return file.Commit();
}

}  // namespace zumen
