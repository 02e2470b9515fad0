#include "output/target.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <random>

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
    default: return ImageFormat::Png;
  }
}

// A Cairo image surface, delivered encoded or as straight RGBA pixels.
class RasterTarget final : public PictureTarget {
 public:
  RasterTarget(std::unique_ptr<CairoCanvas> canvas, const Output& output, OutputType type,
               const RenderOptions& options)
      : canvas_(std::move(canvas)), output_(output), type_(type) {
    encode_.jpegQuality = options.encoder.quality.value_or(90);
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
    if (output_.kind() == Output::Kind::Memory) {
      *output_.bytes() = std::move(bytes);
      return {};
    }
    return WriteFileAtomically(output_.path(), bytes);
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

}  // namespace

std::optional<OutputType> TypeOfOutput(const Output& output) {
  if (output.type()) return output.type();
  if (output.kind() == Output::Kind::File) return OutputTypeFromName(output.path());
  return std::nullopt;
}

std::unique_ptr<PictureTarget> MakeTarget(const Output& output, int width, int height, const RenderOptions& options,
                                          std::string& error) {
  OutputType type = OutputType::Png;
  if (output.kind() != Output::Kind::Pixels) {
    const std::optional<OutputType> t = TypeOfOutput(output);
    if (!t) {
      error = "unknown image type of \"" + output.path() +
              "\" (use .bmp, .png, .jpg, .jpeg, .gif, .tif or .tiff)";
      return nullptr;
    }
    type = *t;
    if (type == OutputType::Dxf) {  // a drawing for other programs, written by the DXF export
      error = "a DXF drawing is not a picture";
      return nullptr;
    }
    if (type == OutputType::Webp || IsVector(type)) {
      error = std::string("writing ") + OutputTypeName(type) + " is not built yet";
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
