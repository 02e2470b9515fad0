#include "output/target.h"

#include <cairo-pdf.h>
#include <cairo-svg.h>
#include <cairo.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <map>
#include <new>
#include <random>
#include <string_view>

#include "canvas/cairo_canvas.h"
#include "codecs/image_io.h"
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

// Hands encoded bytes to a memory or file output.
std::string Deliver(const Output& output, std::vector<uint8_t> bytes) {
  if (output.kind() == Output::Kind::Memory) {
    *output.bytes() = std::move(bytes);
    return {};
  }
  return WriteFileAtomically(output.path(), bytes);
}

// A Cairo image surface, delivered encoded or as straight RGBA pixels.
class RasterTarget final : public PictureTarget {
 public:
  RasterTarget(std::unique_ptr<CairoCanvas> canvas, const Output& output, OutputType type,
               const RenderOptions& options)
      : canvas_(std::move(canvas)), output_(output), type_(type) {
    encode_.jpegQuality = options.encoder.quality.value_or(90);
    encode_.webpQuality = options.encoder.quality;
  }

  Canvas& canvas() override { return *canvas_; }

  std::string Finish() override {
    const PixelView v = canvas_->Pixels();
    if (output_.kind() == Output::Kind::Pixels) {
      CopyRgba(v);
      return {};
    }
    std::vector<uint8_t> bytes;
    if (ImageStatus st = EncodeImage(v, CodecFormat(type_), bytes, encode_); !st) return st.message;
    return Deliver(output_, std::move(bytes));
  }

 private:
  void CopyRgba(const PixelView& v) const {
    for (int y = 0; y < v.height; ++y) {
      const uint32_t* src = v.row(y);
      uint8_t* dst = output_.pixels() + static_cast<size_t>(y) * output_.stride();
      for (int x = 0; x < v.width; ++x) {
        const uint32_t p = Unpremultiply(src[x]);
        dst[0] = static_cast<uint8_t>(p >> 16);
        dst[1] = static_cast<uint8_t>(p >> 8);
        dst[2] = static_cast<uint8_t>(p);
        dst[3] = static_cast<uint8_t>(p >> 24);
        dst += 4;
      }
    }
  }

  std::unique_ptr<CairoCanvas> canvas_;
  Output output_;
  OutputType type_;
  EncodeSettings encode_;
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
                                            const VectorPage& page, std::string& error) {
    if (!(page.width_mm <= kMaxPageMm && page.height_mm <= kMaxPageMm)) {
      char size[80];
      std::snprintf(size, sizeof size, "%.0f x %.0f mm", page.width_mm, page.height_mm);
      error = std::string("a page of ") + size + " is too large: a side may have at most " +
              std::to_string(static_cast<int>(kMaxPageMm)) + " mm";
      return nullptr;
    }
    std::unique_ptr<VectorTarget> t(new VectorTarget(output, type));
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

  Canvas& canvas() override { return *canvas_; }

  std::string Finish() override {
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
  VectorTarget(const Output& output, OutputType type) : output_(output), type_(type) {}

  Output output_;
  OutputType type_;
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
                                          std::string& error, const VectorPage& page) {
  OutputType type = OutputType::Png;
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
      VectorPage p = page;
      if (!(p.px_per_mm > 0)) {
        p.px_per_mm = options.dpi / 25.4;
        p.width_mm = width / p.px_per_mm;
        p.height_mm = height / p.px_per_mm;
      }
      return VectorTarget::Make(output, type, width, height, p, error);
    }
    if (type == OutputType::Webp && (width > kMaxWebpSide || height > kMaxWebpSide)) {
      error = "a WebP picture of " + std::to_string(width) + " x " + std::to_string(height) +
              " pixels is too large: a side may have at most " + std::to_string(kMaxWebpSide) + " pixels";
      return nullptr;
    }
  }
  CairoCanvasOrError made = CairoCanvas::Create(width, height);
  if (!made.canvas) {
    error = "cannot create a bitmap of " + std::to_string(width) + " x " + std::to_string(height) +
            " pixels: " + made.error;
    return nullptr;
  }
  made.canvas->SetFontConfigFile(options.fonts_config);
  return std::make_unique<RasterTarget>(std::move(made.canvas), output, type, options);
}

std::string WriteFileAtomically(const std::string& path, std::span<const uint8_t> bytes) {
  const size_t slash = path.find_last_of('/');
  const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  const std::string tmp = folder + ".zumen-" + std::to_string(::getpid()) + "-" +
                          std::to_string(std::random_device{}()) + ".tmp";
  // The temporary file is removed should a signal stop the process before
  // it is renamed.
  RemovedOnSignal guard;
  const int fd = CreateFileRemovedOnSignal(tmp, O_WRONLY | O_EXCL, guard);
  if (fd < 0) return "cannot write \"" + path + "\"";
  if (!WriteAllAndClose(fd, bytes) || std::rename(tmp.c_str(), path.c_str()) != 0) {
    DelFile(tmp);
    return "cannot write \"" + path + "\"";
  }
  return {};
}

}  // namespace zumen
