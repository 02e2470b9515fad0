#pragma once
// The individual image encoders and decoders behind image_io.h. Encoders
// replace out's content; decoders fill bmp with straight ARGB. All answer
// false with a message in error instead of failing loudly.
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "codecs/bitmap.h"
#include "codecs/image_io.h"
#include "codecs/pixel_view.h"
#include "codecs/row_encoder.h"

namespace zumen::codec {

std::unique_ptr<RowEncoder> MakeBmpWriter(int width, int height, ByteOutput& out);
std::unique_ptr<RowEncoder> MakeJpegWriter(int width, int height, int quality, ByteOutput& out);
// threads: that deflate strips, 0 for one for each core.
std::unique_ptr<RowEncoder> MakeTiffWriter(int width, int height, bool alpha, ByteOutput& out, int threads = 0);
bool EncodeGif(const PixelView& v, std::vector<uint8_t>& out, std::string& error);
// Lossy at quality (1..100), lossless when it is empty.
bool EncodeWebp(const PixelView& v, std::optional<int> quality, std::vector<uint8_t>& out, std::string& error);

bool DecodeBmp(std::span<const uint8_t> data, Bitmap& bmp, std::string& error);
bool DecodePng(std::span<const uint8_t> data, Bitmap& bmp, std::string& error);
bool DecodeJpeg(std::span<const uint8_t> data, Bitmap& bmp, std::string& error);
bool DecodeGif(std::span<const uint8_t> data, Bitmap& bmp, std::string& error);
bool DecodeTiff(std::span<const uint8_t> data, Bitmap& bmp, std::string& error);
bool DecodeWebp(std::span<const uint8_t> data, Bitmap& bmp, std::string& error);

// Checks a decoded size against the limits.
bool CheckImageSize(uint64_t width, uint64_t height, const char* format, std::string& error);
// Checks a decoded size against the limits and allocates bmp for it.
bool AllocateImage(uint64_t width, uint64_t height, const char* format, Bitmap& bmp, std::string& error);

}  // namespace zumen::codec
