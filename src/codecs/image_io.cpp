#include "codecs/image_io.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <system_error>

#include "codecs/codecs.h"
#include "codecs/png_writer.h"
#include "codecs/row_encoder.h"

namespace zumen {

namespace {

std::string LowerExtension(const std::string& path) {
  const size_t slash = path.find_last_of("/\\");
  const size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
  std::string ext = path.substr(dot);
  for (char& c : ext) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return ext;
}

int ClampQuality(int q) { return std::clamp(q, 1, 100); }

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

}  // namespace

std::optional<ImageFormat> FormatFromExtension(const std::string& path) {
  const std::string ext = LowerExtension(path);
  if (ext == ".bmp") return ImageFormat::Bmp;
  if (ext == ".png") return ImageFormat::Png;
  if (ext == ".jpg" || ext == ".jpeg") return ImageFormat::Jpeg;
  if (ext == ".gif") return ImageFormat::Gif;
  if (ext == ".tif" || ext == ".tiff") return ImageFormat::Tiff;
  if (ext == ".webp") return ImageFormat::Webp;
  return std::nullopt;
}

std::optional<ImageFormat> FormatFromContent(std::span<const uint8_t> b) {
  auto starts = [&b](std::initializer_list<uint8_t> sig) {
    return b.size() >= sig.size() && std::equal(sig.begin(), sig.end(), b.begin());
  };
  if (starts({'B', 'M'})) return ImageFormat::Bmp;
  if (starts({0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A})) return ImageFormat::Png;
  if (starts({0xFF, 0xD8, 0xFF})) return ImageFormat::Jpeg;
  if (starts({'G', 'I', 'F', '8', '7', 'a'}) || starts({'G', 'I', 'F', '8', '9', 'a'})) return ImageFormat::Gif;
  if (starts({'I', 'I', 42, 0}) || starts({'M', 'M', 0, 42})) return ImageFormat::Tiff;
  if (b.size() >= 12 && starts({'R', 'I', 'F', 'F'}) && std::equal(b.begin() + 8, b.begin() + 12, "WEBP"))
    return ImageFormat::Webp;
  return std::nullopt;
}

bool MemoryOutput::WriteAt(uint64_t offset, std::span<const uint8_t> bytes) {
  try {
    if (offset + bytes.size() > bytes_.size()) bytes_.resize(static_cast<size_t>(offset + bytes.size()));
  } catch (const std::bad_alloc&) {
    return false;
  } catch (const std::length_error&) {
    return false;
  }
  std::copy(bytes.begin(), bytes.end(), bytes_.begin() + static_cast<std::ptrdiff_t>(offset));
  return true;
}

std::unique_ptr<RowEncoder> MakeRowEncoder(ImageFormat format, int width, int height, bool alpha,
                                           const EncodeSettings& settings, ByteOutput& out) {
  switch (format) {
    case ImageFormat::Png: return std::make_unique<PngWriter>(width, height, alpha, out, settings.threads);
    case ImageFormat::Tiff: return codec::MakeTiffWriter(width, height, alpha, out, settings.threads);
    case ImageFormat::Bmp: return codec::MakeBmpWriter(width, height, out);
    case ImageFormat::Jpeg: return codec::MakeJpegWriter(width, height, ClampQuality(settings.jpegQuality), out);
    default: return nullptr;
  }
}

std::string CheckFormatSize(ImageFormat format, uint64_t width, uint64_t height) {
  const char* name = "";
  uint64_t side = 0;
  switch (format) {
    case ImageFormat::Png: name = "PNG"; side = 0x7FFFFFFF; break;
    case ImageFormat::Tiff: name = "TIFF"; side = 0x7FFFFFFF; break;
    case ImageFormat::Jpeg: name = "JPEG"; side = 65500; break;
    case ImageFormat::Gif: name = "GIF"; side = 65535; break;
    case ImageFormat::Webp: name = "WebP"; side = kMaxWebpSide; break;
    case ImageFormat::Bmp:
      name = "BMP";
      side = 0x7FFFFFFF;
      // Its sizes are 32-bit: the file, header included, under 4 GiB.
      if (54 + ((width * 3 + 3) & ~uint64_t{3}) * height > 0xFFFFFFFFu) {
        return "a BMP picture of " + std::to_string(width) + " x " + std::to_string(height) +
               " pixels is too large: a BMP file holds at most 4 GiB";
      }
      break;
  }
  if (width > side || height > side) {
    return std::string("a ") + name + " picture of " + std::to_string(width) + " x " + std::to_string(height) +
           " pixels is too large: a side may have at most " + std::to_string(side) + " pixels";
  }
  return {};
}

ImageStatus EncodeImage(const PixelView& pixels, ImageFormat format, std::vector<uint8_t>& out,
                        const EncodeSettings& settings) {
  out.clear();
  if (pixels.empty()) return ImageStatus::Fail("the image has no pixels");
  // An opaque image is written without its alpha channel: a quarter smaller
  // before compression and the usual case for drawings.
  MemoryOutput sink(out);
  if (std::unique_ptr<RowEncoder> rows = MakeRowEncoder(format, pixels.width, pixels.height, !IsOpaque(pixels),
                                                         settings, sink)) {
    if (rows->WriteRows(pixels) && rows->Finish()) return {};
    out.clear();
    return ImageStatus::Fail(rows->error());
  }
  std::string error;
  bool ok = false;
  if (format == ImageFormat::Gif) {
    ok = codec::EncodeGif(pixels, out, error);
  } else {
    std::optional<int> quality;
    if (settings.webpQuality) quality = ClampQuality(*settings.webpQuality);
    ok = codec::EncodeWebp(pixels, quality, out, error);
  }
  if (!ok) {
    out.clear();
    return ImageStatus::Fail(error);
  }
  return {};
}

ImageStatus EncodeImageFor(const PixelView& pixels, const std::string& path, std::vector<uint8_t>& out) {
  const std::optional<ImageFormat> format = FormatFromExtension(path);
  if (!format) {
    const std::string ext = LowerExtension(path);
    return ImageStatus::Fail("no image encoder for the extension \"" + (ext.empty() ? std::string("(none)") : ext) +
                             "\" of " + path + " (use .bmp, .png, .jpg, .jpeg, .gif, .tif, .tiff or .webp)");
  }
  ImageStatus st = EncodeImage(pixels, *format, out);
  if (!st) return ImageStatus::Fail("cannot encode " + path + ": " + st.message);
  return {};
}

ImageStatus SaveImageFile(const PixelView& pixels, const std::string& path) {
  std::vector<uint8_t> bytes;
  if (ImageStatus st = EncodeImageFor(pixels, path, bytes); !st) return st;

  std::unique_ptr<std::FILE, FileCloser> f(std::fopen(path.c_str(), "wb"));
  if (!f) return ImageStatus::Fail("cannot create " + path + ": " + std::strerror(errno));
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f.get()) == bytes.size();
  const int err = errno;
  const bool closed = std::fclose(f.release()) == 0;
  if (!written || !closed) {
    std::remove(path.c_str());
    return ImageStatus::Fail("cannot write " + path + ": " + std::strerror(err));
  }
  return {};
}

ImageStatus SaveImageFile(const Bitmap& bmp, const std::string& path) {
  if (bmp.empty()) return ImageStatus::Fail("cannot save " + path + ": the image has no pixels");
  return SaveImageFile(ViewOf(bmp), path);
}

LoadedImage LoadImageMemory(std::span<const uint8_t> bytes) {
  LoadedImage r;
  const std::optional<ImageFormat> format = FormatFromContent(bytes);
  if (!format) {
    r.error = "not an image in a known format (BMP, PNG, JPEG, GIF, TIFF, WebP)";
    return r;
  }
  bool ok = false;
  switch (*format) {
    case ImageFormat::Bmp: ok = codec::DecodeBmp(bytes, r.bitmap, r.error); break;
    case ImageFormat::Png: ok = codec::DecodePng(bytes, r.bitmap, r.error); break;
    case ImageFormat::Jpeg: ok = codec::DecodeJpeg(bytes, r.bitmap, r.error); break;
    case ImageFormat::Gif: ok = codec::DecodeGif(bytes, r.bitmap, r.error); break;
    case ImageFormat::Tiff: ok = codec::DecodeTiff(bytes, r.bitmap, r.error); break;
    case ImageFormat::Webp: ok = codec::DecodeWebp(bytes, r.bitmap, r.error); break;
  }
  if (!ok) {
    r.bitmap = Bitmap();
    if (r.error.empty()) r.error = "the image cannot be decoded";
  }
  return r;
}

std::string ReadImageFile(const std::string& path, std::vector<uint8_t>& bytes) {
  std::error_code ec;
  const uintmax_t size = std::filesystem::file_size(path, ec);
  if (ec) return "cannot read " + path + ": " + ec.message();
  if (size > kMaxImageFileBytes) return "cannot read " + path + ": the file is too large for an image";
  std::unique_ptr<std::FILE, FileCloser> f(std::fopen(path.c_str(), "rb"));
  if (!f) return "cannot open " + path + ": " + std::strerror(errno);
  bytes.resize(static_cast<size_t>(size));
  const size_t got = std::fread(bytes.data(), 1, bytes.size(), f.get());
  bytes.resize(got);
  return {};
}

LoadedImage LoadImageFile(const std::string& path) {
  LoadedImage r;
  std::vector<uint8_t> bytes;
  r.error = ReadImageFile(path, bytes);
  if (!r.error.empty()) return r;
  r = LoadImageMemory(bytes);
  if (!r.ok()) r.error = path + ": " + r.error;
  return r;
}

namespace codec {

bool CheckImageSize(uint64_t width, uint64_t height, const char* format, std::string& error) {
  if (width == 0 || height == 0) {
    error = std::string(format) + " image has no pixels";
    return false;
  }
  if (width > kMaxImagePixels || height > kMaxImagePixels || width * height > kMaxImagePixels) {
    error = std::string(format) + " image of " + std::to_string(width) + " x " + std::to_string(height) +
            " pixels is larger than the limit of " + std::to_string(kMaxImagePixels) + " pixels";
    return false;
  }
  return true;
}

bool AllocateImage(uint64_t width, uint64_t height, const char* format, Bitmap& bmp, std::string& error) {
  if (!CheckImageSize(width, height, format, error)) return false;
  bmp = Bitmap(static_cast<int>(width), static_cast<int>(height), 0);
  return true;
}

}  // namespace codec

}  // namespace zumen
