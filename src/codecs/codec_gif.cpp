// GIF through giflib. An image of at most 256 colours is written with its
// exact colours; any other gets a palette from libimagequant. Pixels less
// than half opaque become the one transparent colour GIF has. Reading takes
// the first frame only, record by record, so that a file of many frames
// costs no more than its first.
#include <gif_lib.h>
#include <libimagequant.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <new>
#include <unordered_map>

#include "codecs/codecs.h"

namespace zumen::codec {

namespace {

constexpr int kGifMaxSide = 0xFFFF;

struct GifReader {
  std::span<const uint8_t> data;
  size_t pos = 0;
};

int GifWriteBytes(GifFileType* gif, const GifByteType* bytes, int n) {
  auto* out = static_cast<std::vector<uint8_t>*>(gif->UserData);
  out->insert(out->end(), bytes, bytes + n);
  return n;
}

int GifReadBytes(GifFileType* gif, GifByteType* bytes, int n) {
  auto* r = static_cast<GifReader*>(gif->UserData);
  const size_t take = std::min(static_cast<size_t>(std::max(n, 0)), r->data.size() - r->pos);
  std::copy_n(r->data.data() + r->pos, take, bytes);
  r->pos += take;
  return static_cast<int>(take);
}

bool Transparent(uint32_t argb) { return (argb >> 24) < 0x80; }

std::string GifMessage(const char* what, int code) {
  const char* s = GifErrorString(code);
  return std::string(what) + ": " + (s ? s : "giflib error " + std::to_string(code));
}

struct Palette {
  std::vector<uint32_t> colours;  // RGB of each index
  int transparentIndex = -1;
};

// Exact palette and indices when the image has few enough colours.
bool ExactPalette(const PixelView& v, Palette& pal, std::vector<uint8_t>& indices) {
  std::unordered_map<uint32_t, uint8_t> lookup;
  std::vector<uint32_t> scratch;
  bool anyTransparent = false;
  uint32_t seen = 0xFFFFFFFF;  // runs of one colour (most of a drawing) skip the map
  for (int y = 0; y < v.height; ++y) {
    const uint32_t* row = StraightRow(v, y, scratch);
    for (int x = 0; x < v.width; ++x) {
      if (Transparent(row[x])) {
        anyTransparent = true;
        continue;
      }
      const uint32_t rgb = row[x] & 0xFFFFFF;
      if (rgb == seen) continue;
      seen = rgb;
      if (lookup.try_emplace(rgb, 0).second && lookup.size() + (anyTransparent ? 1 : 0) > 256) return false;
    }
  }
  if (lookup.size() + (anyTransparent ? 1 : 0) > 256) return false;
  for (auto& [rgb, index] : lookup) {
    index = static_cast<uint8_t>(pal.colours.size());
    pal.colours.push_back(rgb);
  }
  if (anyTransparent) {
    pal.transparentIndex = static_cast<int>(pal.colours.size());
    pal.colours.push_back(0);
  }
  indices.resize(static_cast<size_t>(v.width) * static_cast<size_t>(v.height));
  uint32_t lastRgb = 0xFFFFFFFF;
  uint8_t lastIndex = 0;
  for (int y = 0; y < v.height; ++y) {
    const uint32_t* row = StraightRow(v, y, scratch);
    uint8_t* dst = indices.data() + static_cast<size_t>(y) * static_cast<size_t>(v.width);
    for (int x = 0; x < v.width; ++x) {
      if (Transparent(row[x])) {
        dst[x] = static_cast<uint8_t>(pal.transparentIndex);
        continue;
      }
      const uint32_t rgb = row[x] & 0xFFFFFF;
      if (rgb != lastRgb) {
        lastRgb = rgb;
        lastIndex = lookup[rgb];
      }
      dst[x] = lastIndex;
    }
  }
  return true;
}

void LiqRow(liq_color out[], int row, int width, void* user) {
  const auto* v = static_cast<const PixelView*>(user);
  const uint32_t* src = v->row(row);
  for (int x = 0; x < width; ++x) {
    const uint32_t p = v->premultiplied ? Unpremultiply(src[x]) : src[x];
    out[x] = liq_color{static_cast<unsigned char>(p >> 16), static_cast<unsigned char>(p >> 8),
                       static_cast<unsigned char>(p), 255};
  }
}

// libimagequant 2.17 leaves a buffer of each image of more than about four
// million pixels unfreed when the image is destroyed. Its allocations go
// through this allocator, which remembers every block with the quantization
// it was made for (the one its thread runs); what the library still holds
// once that quantization's objects are destroyed is freed then.
class LiqBlocks {
 public:
  LiqBlocks() : previous_(current_) { current_ = this; }
  ~LiqBlocks() {
    current_ = previous_;
    const std::lock_guard<std::mutex> lock(Lock());
    for (auto it = Live().begin(); it != Live().end();) {
      if (it->second == this) {
        std::free(it->first);
        it = Live().erase(it);
      } else {
        ++it;
      }
    }
  }
  LiqBlocks(const LiqBlocks&) = delete;
  LiqBlocks& operator=(const LiqBlocks&) = delete;

  static void* Malloc(size_t n) {
    void* p = std::malloc(n);
    if (p && current_) {
      try {
        const std::lock_guard<std::mutex> lock(Lock());
        Live().emplace(p, current_);
      } catch (const std::bad_alloc&) {
        std::free(p);
        return nullptr;
      }
    }
    return p;
  }
  static void Free(void* p) {
    if (!p) return;
    {
      const std::lock_guard<std::mutex> lock(Lock());
      Live().erase(p);
    }
    std::free(p);
  }

 private:
  static std::mutex& Lock() {
    static std::mutex m;
    return m;
  }
  static std::unordered_map<void*, const LiqBlocks*>& Live() {
    static auto* live = new std::unordered_map<void*, const LiqBlocks*>;  // outlives every encoder
    return *live;
  }
  static thread_local const LiqBlocks* current_;
  const LiqBlocks* previous_;
};

thread_local const LiqBlocks* LiqBlocks::current_ = nullptr;

struct LiqDeleter {
  void operator()(liq_attr* p) const { liq_attr_destroy(p); }
  void operator()(liq_image* p) const { liq_image_destroy(p); }
  void operator()(liq_result* p) const { liq_result_destroy(p); }
};

bool QuantizedPalette(const PixelView& v, Palette& pal, std::vector<uint8_t>& indices, std::string& error) {
  bool anyTransparent = false;
  for (int y = 0; y < v.height && !anyTransparent; ++y) {
    const uint32_t* row = v.row(y);
    for (int x = 0; x < v.width && !anyTransparent; ++x) anyTransparent = Transparent(row[x]);
  }
  // Destroyed after the library's objects below, freeing what they left.
  const LiqBlocks blocks;
  std::unique_ptr<liq_attr, LiqDeleter> attr(liq_attr_create_with_allocator(LiqBlocks::Malloc, LiqBlocks::Free));
  if (!attr) {
    error = "cannot start the colour quantizer";
    return false;
  }
  liq_set_max_colors(attr.get(), anyTransparent ? 255 : 256);
  liq_set_speed(attr.get(), 8);
  PixelView view = v;
  std::unique_ptr<liq_image, LiqDeleter> image(liq_image_create_custom(attr.get(), LiqRow, &view, v.width, v.height, 0));
  liq_result* raw = nullptr;
  if (!image || liq_image_quantize(image.get(), attr.get(), &raw) != LIQ_OK || !raw) {
    error = "the colour quantizer failed";
    return false;
  }
  std::unique_ptr<liq_result, LiqDeleter> result(raw);
  // No dithering: lines stay crisp without speckles along their antialiased
  // edges, and remapping takes half the time (bench_png, A3 at 300 dpi).
  liq_set_dithering_level(result.get(), 0.0f);
  indices.resize(static_cast<size_t>(v.width) * static_cast<size_t>(v.height));
  if (liq_write_remapped_image(result.get(), image.get(), indices.data(), indices.size()) != LIQ_OK) {
    error = "the colour quantizer failed";
    return false;
  }
  const liq_palette* lp = liq_get_palette(result.get());
  for (unsigned i = 0; i < lp->count && i < 256; ++i) {
    const liq_color& c = lp->entries[i];
    pal.colours.push_back((uint32_t{c.r} << 16) | (uint32_t{c.g} << 8) | c.b);
  }
  if (anyTransparent) {
    pal.transparentIndex = static_cast<int>(pal.colours.size());
    pal.colours.push_back(0);
    for (int y = 0; y < v.height; ++y) {
      const uint32_t* row = v.row(y);
      uint8_t* dst = indices.data() + static_cast<size_t>(y) * static_cast<size_t>(v.width);
      for (int x = 0; x < v.width; ++x) {
        if (Transparent(row[x])) dst[x] = static_cast<uint8_t>(pal.transparentIndex);
      }
    }
  }
  return true;
}

}  // namespace

bool EncodeGif(const PixelView& v, std::vector<uint8_t>& out, std::string& error) {
  if (v.width > kGifMaxSide || v.height > kGifMaxSide) {
    error = "the image is too large for a GIF file (at most 65535 pixels a side)";
    return false;
  }
  Palette pal;
  std::vector<uint8_t> indices;
  if (!ExactPalette(v, pal, indices)) {
    pal = Palette();
    if (!QuantizedPalette(v, pal, indices, error)) return false;
  }
  int mapSize = 2;
  while (mapSize < static_cast<int>(pal.colours.size())) mapSize *= 2;
  std::vector<GifColorType> colours(static_cast<size_t>(mapSize), GifColorType{0, 0, 0});
  for (size_t i = 0; i < pal.colours.size(); ++i) {
    const uint32_t c = pal.colours[i];
    colours[i] = GifColorType{static_cast<GifByteType>(c >> 16), static_cast<GifByteType>(c >> 8),
                              static_cast<GifByteType>(c)};
  }

  int err = 0;
  GifFileType* gif = EGifOpen(&out, GifWriteBytes, &err);
  if (!gif) {
    error = GifMessage("cannot start the GIF encoder", err);
    return false;
  }
  ColorMapObject* map = GifMakeMapObject(mapSize, colours.data());
  bool ok = map != nullptr;
  if (ok && pal.transparentIndex >= 0) EGifSetGifVersion(gif, true);
  ok = ok && EGifPutScreenDesc(gif, v.width, v.height, GifBitSize(mapSize), 0, map) == GIF_OK;
  if (ok && pal.transparentIndex >= 0) {
    GraphicsControlBlock gcb{DISPOSAL_UNSPECIFIED, false, 0, pal.transparentIndex};
    GifByteType ext[4];
    const size_t n = EGifGCBToExtension(&gcb, ext);
    ok = EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(n), ext) == GIF_OK;
  }
  ok = ok && EGifPutImageDesc(gif, 0, 0, v.width, v.height, false, nullptr) == GIF_OK;
  for (int y = 0; ok && y < v.height; ++y) {
    ok = EGifPutLine(gif, indices.data() + static_cast<size_t>(y) * static_cast<size_t>(v.width), v.width) == GIF_OK;
  }
  if (!ok) err = gif->Error;
  int closeErr = 0;
  if (EGifCloseFile(gif, &closeErr) != GIF_OK && ok) {
    ok = false;
    err = closeErr;
  }
  if (map) GifFreeMapObject(map);
  if (!ok) error = GifMessage("GIF encoder", err);
  return ok;
}

bool DecodeGif(std::span<const uint8_t> data, Bitmap& bmp, std::string& error) {
  GifReader reader{data, 0};
  int err = 0;
  GifFileType* gif = DGifOpen(&reader, GifReadBytes, &err);
  if (!gif) {
    error = GifMessage("GIF", err);
    return false;
  }
  auto fail = [&](const std::string& why) {
    error = why;
    int e = 0;
    DGifCloseFile(gif, &e);
    return false;
  };
  int transparent = -1;
  for (;;) {
    GifRecordType type = UNDEFINED_RECORD_TYPE;
    if (DGifGetRecordType(gif, &type) != GIF_OK) return fail(GifMessage("GIF", gif->Error));
    if (type == TERMINATE_RECORD_TYPE) return fail("GIF file has no image");
    if (type == EXTENSION_RECORD_TYPE) {
      int code = 0;
      GifByteType* ext = nullptr;
      if (DGifGetExtension(gif, &code, &ext) != GIF_OK) return fail(GifMessage("GIF", gif->Error));
      if (code == GRAPHICS_EXT_FUNC_CODE && ext && ext[0] >= 4) {
        GraphicsControlBlock gcb{};
        if (DGifExtensionToGCB(ext[0], ext + 1, &gcb) == GIF_OK) transparent = gcb.TransparentColor;
      }
      while (ext) {
        if (DGifGetExtensionNext(gif, &ext) != GIF_OK) return fail(GifMessage("GIF", gif->Error));
      }
      continue;
    }
    if (type != IMAGE_DESC_RECORD_TYPE) continue;

    if (DGifGetImageDesc(gif) != GIF_OK) return fail(GifMessage("GIF", gif->Error));
    const GifImageDesc& d = gif->Image;
    const ColorMapObject* map = d.ColorMap ? d.ColorMap : gif->SColorMap;
    if (!map || !map->Colors || map->ColorCount <= 0) return fail("GIF image has no colour table");
    if (d.Width <= 0 || d.Height <= 0 || d.Left < 0 || d.Top < 0) return fail("GIF image has no pixels");
    // The frame is decoded row by row even where it lies off the screen, so
    // it is held to the size limit as well.
    if (!CheckImageSize(static_cast<uint64_t>(d.Width), static_cast<uint64_t>(d.Height), "GIF", error)) {
      return fail(error);
    }
    // A screen of zero size (seen in broken files) takes the frame's size.
    const int screenW = gif->SWidth > 0 ? gif->SWidth : d.Left + d.Width;
    const int screenH = gif->SHeight > 0 ? gif->SHeight : d.Top + d.Height;
    if (!AllocateImage(static_cast<uint64_t>(screenW), static_cast<uint64_t>(screenH), "GIF", bmp, error)) {
      return fail(error);
    }
    std::vector<GifPixelType> line(static_cast<size_t>(d.Width));
    auto readRow = [&](int row) {
      if (DGifGetLine(gif, line.data(), d.Width) != GIF_OK) return false;
      const int y = d.Top + row;
      if (y >= screenH) return true;
      uint32_t* dst = bmp.pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(screenW);
      for (int x = 0; x < d.Width && d.Left + x < screenW; ++x) {
        const int index = line[static_cast<size_t>(x)];
        uint32_t p = 0;
        if (index != transparent && index < map->ColorCount) {
          const GifColorType& c = map->Colors[index];
          p = 0xFF000000u | (uint32_t{c.Red} << 16) | (uint32_t{c.Green} << 8) | c.Blue;
        }
        dst[d.Left + x] = p;
      }
      return true;
    };
    if (d.Interlace) {
      static constexpr int kStart[4] = {0, 4, 2, 1};
      static constexpr int kStep[4] = {8, 8, 4, 2};
      for (int pass = 0; pass < 4; ++pass) {
        for (int row = kStart[pass]; row < d.Height; row += kStep[pass]) {
          if (!readRow(row)) return fail(GifMessage("GIF", gif->Error));
        }
      }
    } else {
      for (int row = 0; row < d.Height; ++row) {
        if (!readRow(row)) return fail(GifMessage("GIF", gif->Error));
      }
    }
    int e = 0;
    DGifCloseFile(gif, &e);
    return true;
  }
}

}  // namespace zumen::codec
