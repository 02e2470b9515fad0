// The public interface over the driver: opening drawings, describing them and
// rendering them to the outputs.
#include "zumen/zumen.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <mutex>
#include <utility>
#include <vector>

#include "api/impl.h"
#include "common/cleanup.h"
#include "common/clock.h"
#include "common/files.h"
#include "common/text.h"
#include "context/context.h"
#include "driver/conversion.h"
#include "driver/dxf_export.h"
#include "driver/reference.h"
#include "driver/sizing.h"
#include "driver/texts.h"
#include "formats/jwc/jwc_data.h"
#include "formats/jwc/jwk_data.h"
#include "formats/jww/jws_data.h"
#include "formats/jww/jww_data.h"
#include "output/target.h"

#ifndef ZUMEN_VERSION
#define ZUMEN_VERSION "0.0.0"
#endif

namespace zumen {

namespace {

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

// The extension of a path without its dot, or the whole text when it has no
// folder and no dot (a short name such as "png"), in lower case.
std::string NameOrExtension(std::string_view s) {
  const size_t slash = s.find_last_of("/\\");
  const size_t dot = s.find_last_of('.');
  if (dot != std::string_view::npos && (slash == std::string_view::npos || dot > slash)) {
    return Lower(s.substr(dot + 1));
  }
  if (slash != std::string_view::npos) return {};
  return Lower(s);
}

double Milliseconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - since).count();
}

// Reads a drawing file within the size limit, with a message for every way
// it can fail.
Status ReadSource(const std::string& path, uint64_t maxBytes, std::vector<uint8_t>& bytes) {
  std::error_code ec;
  const auto st = std::filesystem::status(path, ec);
  if (ec && ec != std::errc::no_such_file_or_directory && ec != std::errc::not_a_directory) {
    // A loop of symbolic links, a folder that may not be searched, ...
    return Status::Error(StatusCode::NotFound, "cannot read \"" + path + "\": " + ec.message());
  }
  if (ec || !std::filesystem::exists(st)) {
    return Status::Error(StatusCode::NotFound, "cannot read \"" + path + "\": no such file");
  }
  if (std::filesystem::is_directory(st)) {
    return Status::Error(StatusCode::NotAFile, "cannot read \"" + path + "\": it is a folder, not a drawing");
  }
  const auto size = std::filesystem::file_size(path, ec);
  if (!ec && size > maxBytes) {
    return Status::Error(StatusCode::TooLarge, "\"" + path + "\" is larger than the limit of " +
                                                   std::to_string(maxBytes) + " bytes");
  }
  std::string why;
  if (!ReadFileBytes(path, static_cast<size_t>(maxBytes), bytes, &why)) {
    return Status::Error(StatusCode::NotFound, "cannot read \"" + path + "\"" + (why.empty() ? "" : ": " + why));
  }
  return {};
}

// Options no picture can honour: refused with a message rather than drawn
// as something else.
Status CheckOptions(const RenderOptions& o) {
  const auto invalid = [](std::string m) { return Status::Error(StatusCode::InvalidArgument, std::move(m)); };
  if (o.width < 0 || o.height < 0 || (o.width > 0) != (o.height > 0)) {
    return invalid("the picture size needs a width and a height of at least 1 pixel, not " +
                   std::to_string(o.width) + " x " + std::to_string(o.height));
  }
  if (!std::isfinite(o.margin) || o.margin < 0) {
    return invalid("the margin must be a number of 0 or more (0.05: 2.5 % on each side)");
  }
  if (o.encoder.quality && (*o.encoder.quality < 1 || *o.encoder.quality > 100)) {
    return invalid("the quality must be a whole number from 1 to 100");
  }
  if (o.max_side == 0) return invalid("the longest side allowed must be at least 1 pixel");
  if (o.layers) {
    for (int n : *o.layers)
      if (n < 0 || n > 255) return invalid("a layer number must be from 0 to 255 (group x 16 + layer), not " + std::to_string(n));
  }
  return {};
}

Opened Load(Family family, std::span<const uint8_t> bytes, const std::string& path, const LoadOptions& options) {
  auto impl = std::make_shared<Drawing::Impl>();
  Opened r;
  r.status = LoadDrawing(family, bytes, path, options, impl->loaded);
  if (!r.status) {
    if (!path.empty()) r.status.message = "\"" + path + "\": " + r.status.message;
    return r;
  }
  r.drawing = Drawing(std::move(impl));
  return r;
}

// A DXF drawing of the drawing, into a file (with its images beside it) or
// into memory.
RenderResult RenderDxf(const LoadedDrawing& loaded, const ConversionContext& ctx, const Output& output,
                       std::chrono::steady_clock::time_point start) {
  RenderResult r;
  std::vector<DxfImageCopy> copies;
  const bool toFile = output.kind() == Output::Kind::File;
  const std::string text = BuildDxf(loaded, ctx, toFile ? output.path() : std::string(), copies);
  r.draw_ms = Milliseconds(start);
  if (ctx.CancelAsked()) {
    r.status = Status::Error(StatusCode::Cancelled, "cancelled");
    return r;
  }
  const auto saving = std::chrono::steady_clock::now();
  const auto bytes = std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size());
  if (!toFile) {
    output.bytes()->assign(bytes.begin(), bytes.end());
  } else {
    for (DxfImageCopy& c : copies) {
      std::vector<uint8_t> image = std::move(c.content);
      if (!c.source.empty() && !ReadFileBytes(c.source, size_t{1} << 30, image, nullptr))
        continue;  // left out, as a missing image
      if (std::string e = WriteFileAtomically(c.target, image); !e.empty()) {
        r.status = Status::Error(StatusCode::WriteFailed, e);
        return r;
      }
    }
    if (std::string e = WriteFileAtomically(output.path(), bytes); !e.empty()) {
      r.status = Status::Error(StatusCode::WriteFailed, e);
      return r;
    }
  }
  r.save_ms = Milliseconds(saving);
  return r;
}

}  // namespace

// ---------------------------------------------------------------- formats

const char* FormatName(Format f) { return FamilyName(FamilyOf(f)); }

std::optional<Format> FormatFromName(std::string_view pathOrName) {
  const std::string e = NameOrExtension(pathOrName);
  if (e == "jww") return Format::Jww;
  if (e == "jws") return Format::Jws;
  if (e == "jwc") return Format::Jwc;
  if (e == "jwk") return Format::Jwk;
  if (e == "k4") return Format::K4;
  return std::nullopt;
}

std::optional<Format> FormatFromSignature(std::span<const uint8_t> bytes) {
  if (TJwwData::FileCheckBytes(bytes)) return Format::Jww;
  if (TJwsData::FileCheckBytes(bytes)) return Format::Jws;
  if (TJwcData::FileCheck(bytes)) return Format::Jwc;
  if (TJwkData::FileCheck(bytes)) return Format::Jwk;
  return std::nullopt;
}

bool IsSymbol(Format f) { return f == Format::Jws || f == Format::Jwk; }

std::optional<OutputType> OutputTypeFromName(std::string_view pathOrName) {
  const std::string e = NameOrExtension(pathOrName);
  if (e == "bmp") return OutputType::Bmp;
  if (e == "png") return OutputType::Png;
  if (e == "jpg" || e == "jpeg") return OutputType::Jpeg;
  if (e == "gif") return OutputType::Gif;
  if (e == "tif" || e == "tiff") return OutputType::Tiff;
  if (e == "webp") return OutputType::Webp;
  if (e == "svg") return OutputType::Svg;
  if (e == "pdf") return OutputType::Pdf;
  if (e == "dxf") return OutputType::Dxf;
  return std::nullopt;
}

const char* OutputTypeExtension(OutputType t) {
  switch (t) {
    case OutputType::Bmp: return ".bmp";
    case OutputType::Png: return ".png";
    case OutputType::Jpeg: return ".jpg";
    case OutputType::Gif: return ".gif";
    case OutputType::Tiff: return ".tif";
    case OutputType::Webp: return ".webp";
    case OutputType::Svg: return ".svg";
    case OutputType::Pdf: return ".pdf";
    case OutputType::Dxf: return ".dxf";
  }
  return "";
}

const char* OutputTypeName(OutputType t) { return OutputTypeExtension(t) + 1; }

bool IsVector(OutputType t) { return t == OutputType::Svg || t == OutputType::Pdf; }

std::span<const OutputType> OutputTypes() {
  static constexpr OutputType kAll[] = {OutputType::Bmp,  OutputType::Png, OutputType::Jpeg, OutputType::Gif,
                                        OutputType::Tiff, OutputType::Webp, OutputType::Svg, OutputType::Pdf, OutputType::Dxf};
  return kAll;
}

std::string ReferenceFileOf(const std::string& folder) {
  ConversionContext ctx;
  std::string f = folder;
  if (!f.empty() && f.back() != '/') f += '/';
  GetRefFileName(ctx, f);
  return Utf16ToUtf8(ctx.RefFileName);
}

// ---------------------------------------------------------------- drawings

Drawing::Drawing() = default;
Drawing::~Drawing() = default;
Drawing::Drawing(const Drawing&) = default;
Drawing& Drawing::operator=(const Drawing&) = default;
Drawing::Drawing(Drawing&&) noexcept = default;
Drawing& Drawing::operator=(Drawing&&) noexcept = default;
Drawing::Drawing(std::shared_ptr<const Impl> impl) : impl_(std::move(impl)) {}

Opened Drawing::Open(const std::string& path, const LoadOptions& options) {
  const std::optional<Format> format = options.format ? options.format : FormatFromName(path);
  std::vector<uint8_t> bytes;
  Opened r;
  r.status = ReadSource(path, options.max_file_bytes, bytes);
  if (!r.status) return r;
  if (!format) {
    r.status = Status::Error(StatusCode::UnknownFormat,
                             "\"" + path + "\" is not a drawing zumen reads (use .jww, .jws, .jwc, .jwk or .k4)");
    return r;
  }
  return Load(FamilyOf(*format), bytes, path, options);
}

Opened Drawing::OpenBytes(std::span<const uint8_t> bytes, const LoadOptions& options) {
  std::optional<Format> format = options.format;
  if (!format && !options.name.empty()) format = FormatFromName(options.name);
  if (!format) format = FormatFromSignature(bytes);
  if (!format) {
    Opened r;
    r.status = Status::Error(StatusCode::UnknownFormat, "the drawing's format is not known (name it)");
    return r;
  }
  if (bytes.size() > options.max_file_bytes) {
    Opened r;
    r.status = Status::Error(StatusCode::TooLarge, "the drawing is larger than the limit of " +
                                                       std::to_string(options.max_file_bytes) + " bytes");
    return r;
  }
  return Load(FamilyOf(*format), bytes, options.name, options);
}

Drawing Drawing::Empty(Format f) {
  auto impl = std::make_shared<Impl>();
  EmptyDrawing(FamilyOf(f), impl->loaded);
  return Drawing(std::move(impl));
}

Format Drawing::format() const { return impl_->loaded.info.format; }
const DrawingInfo& Drawing::Info() const { return impl_->loaded.info; }
const std::vector<Diagnostic>& Drawing::Diagnostics() const { return impl_->loaded.diagnostics; }
const std::vector<Layer>& Drawing::Layers() const { return impl_->loaded.layers; }
std::vector<Text> Drawing::Texts(const RenderOptions& options) const {
  if (!impl_) return {};
  return CollectTexts(impl_->loaded, options);
}

// ---------------------------------------------------------------- rendering

Output Output::File(std::string path, std::optional<OutputType> type) {
  Output o;
  o.kind_ = Kind::File;
  o.path_ = std::move(path);
  o.type_ = type;
  return o;
}

Output Output::Memory(OutputType type, std::vector<uint8_t>& bytes) {
  Output o;
  o.kind_ = Kind::Memory;
  o.type_ = type;
  o.bytes_ = &bytes;
  return o;
}

Output Output::Pixels(uint8_t* rgba, int width, int height, size_t stride) {
  Output o;
  o.kind_ = Kind::Pixels;
  o.pixels_ = rgba;
  o.width_ = width;
  o.height_ = height;
  o.stride_ = stride;
  return o;
}

Status PictureSize(const Drawing& d, const RenderOptions& options, int& width, int& height) {
  if (!d.valid()) return Status::Error(StatusCode::InvalidArgument, "no drawing");
  if (Status s = CheckOptions(options); !s) return s;
  return PictureSizeOf(d.impl().loaded, options, width, height);
}

RenderResult RenderWith(const Drawing& d, const RenderOptions& asked, const Output& output, const Banding& banding) {
  RenderResult r;
  if (!d.valid()) {
    r.status = Status::Error(StatusCode::InvalidArgument, "no drawing");
    return r;
  }
  if (Status s = CheckOptions(asked); !s) {
    r.status = s;
    return r;
  }
  if (asked.cancelled && asked.cancelled()) {
    r.status = Status::Error(StatusCode::Cancelled, "cancelled");
    return r;
  }
  const RenderOptions options =
      OptionsForOutput(asked, output.kind() == Output::Kind::Pixels ? std::nullopt : TypeOfOutput(output));
  const auto start = std::chrono::steady_clock::now();
  const LoadedDrawing& loaded = d.impl().loaded;
  // Every context of this picture sees the same moment: a picture drawn in
  // bands may be drawn once for each band, and its date texts must agree.
  const FixedClock now(SystemClock().Now());
  ConversionContext ctx;
  SetUpContext(loaded, options, ctx, &now);
  if (output.kind() != Output::Kind::Pixels && TypeOfOutput(output) == OutputType::Dxf) {
    if (output.kind() == Output::Kind::Memory && !output.bytes()) {
      r.status = Status::Error(StatusCode::InvalidArgument, "no buffer for the DXF");
      return r;
    }
    return RenderDxf(loaded, ctx, output, start);
  }
  int width = output.width(), height = output.height();
  if (output.kind() == Output::Kind::Pixels) {
    if (!output.pixels() || width <= 0 || height <= 0 || output.stride() < static_cast<size_t>(width) * 4) {
      r.status = Status::Error(StatusCode::InvalidArgument, "the pixel buffer is empty or its rows are too short");
      return r;
    }
  } else if (Status s = PictureSizeOf(loaded, options, width, height); !s) {
    r.status = s;
    return r;
  }
  const std::optional<OutputType> type = TypeOfOutput(output);
  if (output.kind() != Output::Kind::Pixels && !type) {
    r.status = Status::Error(StatusCode::UnknownOutput, UnknownOutputMessage(output));
    return r;
  }
  // A vector page is the frame at 1:1, so that it prints at the paper's true
  // size: the paper is the sheet. The margin, which keeps the frame off the
  // edges of a raster picture, would there either shrink the drawing below
  // 1:1 or make the sheet larger than the paper, so vector pages have none.
  RenderOptions drawn = options;
  VectorPage page;
  if (output.kind() != Output::Kind::Pixels && IsVector(*type)) {
    drawn.margin = 0;
    const FrameBox f = FittedFrame(loaded, drawn.fit, drawn.fit_drawn);
    page = {std::fabs(f.x2 - f.x1), std::fabs(f.y2 - f.y1), FitScale(f, width, height, 0)};
  }
  std::string error;
  std::unique_ptr<PictureTarget> target = MakeTarget(output, width, height, drawn, error, page, banding);
  if (!target) {
    r.status = Status::Error(StatusCode::TooLarge, error);
    return r;
  }
  // Every band or strip of the picture draws on a canvas of its own, with a
  // view of its own, from the one context set up above, which drawing only
  // reads (a banded picture whose drawing is too large to record is drawn
  // again for every band). The canvas draws what it recorded at the end of
  // the scene. Diagnostics are those of the first drawing: further bands
  // draw the same entities again. The drawing time is the time while any drawing
  // went on.
  std::atomic<int> passes{0};
  std::mutex spansLock;
  std::vector<std::pair<double, double>> spans;
  DiagnosticSink diag;
  DeviceView firstView;
  const double before = Milliseconds(start);
  const auto painting = std::chrono::steady_clock::now();
  const std::string e = target->Paint([&](Canvas& canvas) {
    const double from = Milliseconds(painting);
    if (passes++ == 0) {
      firstView = DrawOnCanvas(loaded, ctx, drawn, canvas, diag);
    } else {
      DiagnosticSink ignored;
      DrawOnCanvas(loaded, ctx, drawn, canvas, ignored);
    }
    canvas.EndScene();
    const std::lock_guard<std::mutex> lock(spansLock);
    spans.emplace_back(from, Milliseconds(painting));
  });
  std::sort(spans.begin(), spans.end());
  double drawing = 0, reached = 0;
  for (const auto& [from, to] : spans) {
    drawing += std::max(0.0, to - std::max(from, reached));
    reached = std::max(reached, to);
  }
  if (e == kCancelledMessage) {
    r.status = Status::Error(StatusCode::Cancelled, "cancelled");
    return r;
  }
  if (!e.empty()) {
    r.status = Status::Error(StatusCode::WriteFailed, e);
    return r;
  }
  r.diagnostics = diag.List();
  r.window = Box{firstView.DispX1, firstView.DispY1, firstView.DispX2, firstView.DispY2};
  r.scale = firstView.DispScale;
  drawing += target->DrawingOutsideMs();
  r.draw_ms = before + drawing;
  r.save_ms = std::max(0.0, Milliseconds(painting) - drawing);
  r.width = width;
  r.height = height;
  return r;
}

RenderResult Render(const Drawing& d, const RenderOptions& options, const Output& output) {
  return RenderWith(d, options, output, Banding{});
}

// ---------------------------------------------------------------- front-ends

void InstallSignalCleanup() { RemoveCreatedFilesOnSignals(); }

const char* Version() { return ZUMEN_VERSION; }

}  // namespace zumen
