// WebP through libwebp: lossless, or lossy at a quality, and decoding into
// straight ARGB. libwebp reports every failure as a status code; nothing here
// jumps or aborts.
#include <webp/decode.h>
#include <webp/encode.h>

#include <algorithm>
#include <optional>

#include "codecs/codecs.h"

namespace zumen::codec {

namespace {

const char* EncodeErrorText(WebPEncodingError e) {
  switch (e) {
    case VP8_ENC_ERROR_OUT_OF_MEMORY:
    case VP8_ENC_ERROR_BITSTREAM_OUT_OF_MEMORY: return "out of memory";
    case VP8_ENC_ERROR_BAD_DIMENSION: return "the picture is too large for WebP";
    case VP8_ENC_ERROR_PARTITION0_OVERFLOW:
    case VP8_ENC_ERROR_PARTITION_OVERFLOW: return "the picture holds too much detail for lossy WebP";
    case VP8_ENC_ERROR_FILE_TOO_BIG: return "the WebP file would be larger than 4 GiB";
    default: return "the encoder failed";
  }
}

// Owns a WebPPicture and the memory writer's buffer.
struct WebPEncoding {
  WebPPicture picture{};
  WebPMemoryWriter writer{};
  WebPEncoding() { WebPMemoryWriterInit(&writer); }
  ~WebPEncoding() {
    WebPPictureFree(&picture);
    WebPMemoryWriterClear(&writer);
  }
  WebPEncoding(const WebPEncoding&) = delete;
  WebPEncoding& operator=(const WebPEncoding&) = delete;
};

}  // namespace

bool EncodeWebp(const PixelView& v, std::optional<int> quality, std::vector<uint8_t>& out, std::string& error) {
  if (v.width > kMaxWebpSide || v.height > kMaxWebpSide) {
    error = "WebP: a picture may have at most " + std::to_string(kMaxWebpSide) + " pixels a side";
    return false;
  }
  WebPConfig config;
  if (!WebPConfigInit(&config)) {
    error = "WebP: the encoder does not match its header";
    return false;
  }
  if (quality) {
    config.lossless = 0;
    config.quality = static_cast<float>(*quality);
  } else {
    // Lossless at the middle effort: on line drawings the highest levels save
    // a few per cent at several times the time.
    config.lossless = 1;
    config.quality = 50;
    config.method = 4;
  }
  WebPEncoding enc;
  if (!WebPPictureInit(&enc.picture)) {
    error = "WebP: the encoder does not match its header";
    return false;
  }
  enc.picture.use_argb = 1;
  enc.picture.width = v.width;
  enc.picture.height = v.height;
  // The encoder takes straight alpha in memory order B, G, R, A: the view's
  // own rows when they already are, else a converted copy row by row.
  bool imported = false;
  if (!v.premultiplied || IsOpaque(v)) {
    imported = WebPPictureImportBGRA(&enc.picture, reinterpret_cast<const uint8_t*>(v.data),
                                     static_cast<int>(v.stride * 4)) != 0;
  } else if (WebPPictureAlloc(&enc.picture)) {
    std::vector<uint32_t> scratch;
    for (int y = 0; y < v.height; ++y) {
      const uint32_t* row = StraightRow(v, y, scratch);
      std::copy(row, row + v.width, enc.picture.argb + static_cast<size_t>(y) * enc.picture.argb_stride);
    }
    imported = true;
  }
  if (!imported) {
    error = "WebP: out of memory";
    return false;
  }
  enc.picture.writer = WebPMemoryWrite;
  enc.picture.custom_ptr = &enc.writer;
  if (!WebPEncode(&config, &enc.picture)) {
    error = std::string("WebP: ") + EncodeErrorText(enc.picture.error_code);
    return false;
  }
  out.assign(enc.writer.mem, enc.writer.mem + enc.writer.size);
  return true;
}

bool DecodeWebp(std::span<const uint8_t> data, Bitmap& bmp, std::string& error) {
  WebPBitstreamFeatures features;
  if (WebPGetFeatures(data.data(), data.size(), &features) != VP8_STATUS_OK) {
    error = "WebP: not a WebP image, or its header is damaged";
    return false;
  }
  if (features.has_animation) {
    error = "WebP: animations are not read";
    return false;
  }
  if (features.width <= 0 || features.height <= 0) {
    error = "WebP image has no pixels";
    return false;
  }
  if (!AllocateImage(static_cast<uint64_t>(features.width), static_cast<uint64_t>(features.height), "WebP", bmp,
                     error))
    return false;
  // B, G, R, A in memory: the bytes of a native ARGB word.
  const size_t stride = static_cast<size_t>(bmp.width) * 4;
  if (!WebPDecodeBGRAInto(data.data(), data.size(), reinterpret_cast<uint8_t*>(bmp.pixels.data()),
                          stride * static_cast<size_t>(bmp.height), static_cast<int>(stride))) {
    error = "WebP: the image data is damaged";
    return false;
  }
  return true;
}

}  // namespace zumen::codec
