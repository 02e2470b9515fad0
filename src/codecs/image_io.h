#pragma once
// Saving and loading raster images: BMP, PNG, JPEG, GIF, TIFF and WebP.
//
// Saving picks the encoder by the destination's extension (case-insensitive);
// loading recognises the format by the file's content. Every failure comes
// back as a message, never as a crash: decoders refuse images larger than
// kMaxImagePixels and stop at the end of their input.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "codecs/bitmap.h"
#include "codecs/pixel_view.h"

namespace zumen {

enum class ImageFormat { Bmp, Png, Jpeg, Gif, Tiff, Webp };

// Largest image a decoder accepts (width × height): 64 Mpixels, 256 MiB
// decoded. Images placed in drawings are photos and scans far below this; a
// tiny file that claims a huge canvas (GIF's logical screen, say) must not
// make the decoder allocate gigabytes before its data proves anything.
inline constexpr uint64_t kMaxImagePixels = uint64_t{1} << 26;
// Largest image file read into memory for decoding.
inline constexpr uint64_t kMaxImageFileBytes = uint64_t{1} << 30;
// Longest side of a WebP image: the format stores sides in 14 bits.
inline constexpr int kMaxWebpSide = 16383;

struct ImageStatus {
  bool ok = true;
  std::string message;  // why it failed; empty on success

  static ImageStatus Fail(std::string why) { return {false, std::move(why)}; }
  explicit operator bool() const { return ok; }
};

struct LoadedImage {
  Bitmap bitmap;      // straight ARGB
  std::string error;  // empty on success

  bool ok() const { return error.empty(); }
};

// The format that a file name's extension selects: ".bmp", ".png", ".jpg",
// ".jpeg", ".gif", ".tif", ".tiff", ".webp" in any case; nullopt for any other.
std::optional<ImageFormat> FormatFromExtension(const std::string& path);
// The format that the first bytes of an image announce.
std::optional<ImageFormat> FormatFromContent(std::span<const uint8_t> bytes);

// Settings of the encoders that have any.
struct EncodeSettings {
  int jpegQuality = 90;  // 1..100
  // WebP: lossy at this quality (1..100); empty: lossless.
  std::optional<int> webpQuality;
  // Threads that deflate PNG and TIFF data; 0: one for each core.
  int threads = 0;
};

// Encodes into out (replacing its content).
ImageStatus EncodeImage(const PixelView& pixels, ImageFormat format, std::vector<uint8_t>& out,
                        const EncodeSettings& settings = {});
// Encodes into out in the format of path's extension (replacing out's
// content); fails with a message naming path.
ImageStatus EncodeImageFor(const PixelView& pixels, const std::string& path, std::vector<uint8_t>& out);
// Writes the image to path in the format of its extension. A file that could
// not be written completely is removed.
ImageStatus SaveImageFile(const PixelView& pixels, const std::string& path);
ImageStatus SaveImageFile(const Bitmap& bmp, const std::string& path);

LoadedImage LoadImageMemory(std::span<const uint8_t> bytes);
// Reads an image file's bytes (at most kMaxImageFileBytes); an error message
// naming the path, empty on success.
std::string ReadImageFile(const std::string& path, std::vector<uint8_t>& bytes);
LoadedImage LoadImageFile(const std::string& path);

// libpng's encoder under chosen settings, kept for measuring the alternatives
// against the project's own PNG writer (png_writer.h), which EncodeImage and
// SaveImageFile use. On line drawings the "up" filter at zlib level 3 gives
// the size of libpng's defaults (adaptive filters, level 6) in a third of the
// time: mostly white rows repeat the row above.
enum class PngFilter { None, Sub, Up, Average, Paeth, Adaptive };
struct PngSettings {
  int zlibLevel = 3;
  int zlibStrategy = 0;  // a zlib Z_* strategy (0: the default one)
  PngFilter filter = PngFilter::Up;
};
ImageStatus EncodePng(const PixelView& pixels, const PngSettings& settings, std::vector<uint8_t>& out);

}  // namespace zumen
