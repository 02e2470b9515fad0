#include "codecs/image_io.h"

#include <gtest/gtest.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "canvas/cairo_canvas.h"

// jpeglib.h needs size_t and FILE declared before it.
#include <jpeglib.h>

namespace zumen {
namespace {

namespace fs = std::filesystem;

class ImageIoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("zumen_image_io_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string Path(const std::string& name) const { return (dir_ / name).string(); }

  fs::path dir_;
};

std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), {});
}

// A small drawing: white, a black frame, a red diagonal and a blue block.
Bitmap Drawing(int w = 40, int h = 30) {
  Bitmap b(w, h, 0xFFFFFFFF);
  for (int x = 0; x < w; ++x) b.at(x, 0) = b.at(x, h - 1) = 0xFF000000;
  for (int y = 0; y < h; ++y) b.at(0, y) = b.at(w - 1, y) = 0xFF000000;
  for (int i = 2; i < std::min(w, h) - 2; ++i) b.at(i, i) = 0xFFFF0000;
  for (int y = 2; y < h / 3; ++y) {
    for (int x = w / 2; x < w - 2; ++x) b.at(x, y) = 0xFF0000FF;
  }
  return b;
}

double MeanChannelDiff(const Bitmap& a, const Bitmap& b) {
  double sum = 0;
  for (size_t i = 0; i < a.pixels.size(); ++i) {
    for (int s : {0, 8, 16}) {
      sum += std::abs(static_cast<int>((a.pixels[i] >> s) & 0xFF) - static_cast<int>((b.pixels[i] >> s) & 0xFF));
    }
  }
  return sum / (3.0 * static_cast<double>(a.pixels.size()));
}

int MaxChannelDiff(const Bitmap& a, const Bitmap& b) {
  int worst = 0;
  for (size_t i = 0; i < a.pixels.size(); ++i) {
    for (int s : {0, 8, 16, 24}) {
      worst = std::max(worst, std::abs(static_cast<int>((a.pixels[i] >> s) & 0xFF) -
                                       static_cast<int>((b.pixels[i] >> s) & 0xFF)));
    }
  }
  return worst;
}

struct FormatCase {
  const char* name;
  std::vector<uint8_t> signature;
  bool lossy;  // compared on average instead of pixel by pixel
};

TEST_F(ImageIoTest, EveryFormatRoundTrips) {
  const FormatCase cases[] = {
      {"out.bmp", {'B', 'M'}, false},
      {"out.png", {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A}, false},
      {"out.jpg", {0xFF, 0xD8, 0xFF}, true},
      {"out.JPEG", {0xFF, 0xD8, 0xFF}, true},
      {"out.gif", {'G', 'I', 'F', '8'}, false},
      {"out.tif", {'I', 'I', 42, 0}, false},
      {"out.TIFF", {'I', 'I', 42, 0}, false},
      {"OUT.Png", {0x89, 'P', 'N', 'G'}, false},
  };
  const Bitmap original = Drawing();
  for (const FormatCase& k : cases) {
    SCOPED_TRACE(k.name);
    const std::string path = Path(k.name);
    const ImageStatus st = SaveImageFile(original, path);
    ASSERT_TRUE(st) << st.message;
    const std::vector<uint8_t> bytes = ReadFile(path);
    ASSERT_GE(bytes.size(), k.signature.size());
    EXPECT_TRUE(std::equal(k.signature.begin(), k.signature.end(), bytes.begin()));
    const LoadedImage loaded = LoadImageFile(path);
    ASSERT_TRUE(loaded.ok()) << loaded.error;
    ASSERT_EQ(loaded.bitmap.width, original.width);
    ASSERT_EQ(loaded.bitmap.height, original.height);
    if (k.lossy) {
      EXPECT_LT(MeanChannelDiff(loaded.bitmap, original), 6.0);
    } else {
      EXPECT_EQ(MaxChannelDiff(loaded.bitmap, original), 0);
    }
  }
}

TEST_F(ImageIoTest, TransparencySurvivesWhereTheFormatHasIt) {
  Bitmap img = Drawing();
  img.at(5, 5) = 0x00000000;
  img.at(6, 5) = 0x80FF8000;
  for (const char* name : {"a.png", "a.tif"}) {
    ASSERT_TRUE(SaveImageFile(img, Path(name))) << name;
    const LoadedImage back = LoadImageFile(Path(name));
    ASSERT_TRUE(back.ok()) << back.error;
    EXPECT_EQ(MaxChannelDiff(back.bitmap, img), 0) << name;
  }
  // GIF: one fully transparent colour; the half-opaque pixel counts as opaque.
  ASSERT_TRUE(SaveImageFile(img, Path("a.gif")));
  const LoadedImage gif = LoadImageFile(Path("a.gif"));
  ASSERT_TRUE(gif.ok()) << gif.error;
  EXPECT_EQ(gif.bitmap.at(5, 5) >> 24, 0u);
  EXPECT_EQ(gif.bitmap.at(6, 5), 0xFFFF8000u);
  EXPECT_EQ(gif.bitmap.at(10, 20), 0xFFFFFFFFu);
}

TEST_F(ImageIoTest, GifOfManyColoursIsQuantized) {
  Bitmap img(64, 64);
  for (int y = 0; y < 64; ++y) {
    for (int x = 0; x < 64; ++x) img.at(x, y) = 0xFF000000u | (uint32_t(x * 4) << 16) | (uint32_t(y * 4) << 8) | 0x40;
  }
  ASSERT_TRUE(SaveImageFile(img, Path("q.gif")));
  const LoadedImage back = LoadImageFile(Path("q.gif"));
  ASSERT_TRUE(back.ok()) << back.error;
  EXPECT_LE(MaxChannelDiff(back.bitmap, img), 40);
}

// libimagequant keeps a row buffer of its own for images of more than about
// four million pixels and does not free it; the sanitizer build's leak check
// sees whether the encoder frees it, after a picture written and after one
// whose file cannot be written.
TEST_F(ImageIoTest, LargeQuantizedGifLeavesNothingAllocated) {
  Bitmap img(2400, 1800);
  for (int y = 0; y < img.height; ++y) {
    for (int x = 0; x < img.width; ++x) img.at(x, y) = 0xFF000000u | (uint32_t(x & 0xFF) << 16) | (uint32_t(y & 0xFF) << 8);
  }
  std::vector<uint8_t> gif;
  ASSERT_TRUE(EncodeImage(ViewOf(img), ImageFormat::Gif, gif));
  EXPECT_GT(gif.size(), 1000u);
  EXPECT_FALSE(SaveImageFile(img, Path("no such folder/q.gif")));
}

TEST_F(ImageIoTest, CanvasSurfaceIsSavedWithStraightAlpha) {
  CairoCanvasOrError c = CairoCanvas::Create(16, 8);
  ASSERT_TRUE(c.canvas);
  c.canvas->Clear(0x80FF0000);
  ASSERT_TRUE(SaveImageFile(c.canvas->Pixels(), Path("canvas.png")));
  const LoadedImage back = LoadImageFile(Path("canvas.png"));
  ASSERT_TRUE(back.ok()) << back.error;
  EXPECT_EQ(MaxChannelDiff(back.bitmap, c.canvas->ToBitmap()), 0);
  EXPECT_EQ(back.bitmap.at(3, 3) >> 24, 0x80u);
  EXPECT_EQ(back.bitmap.at(3, 3) & 0xFFFFFF, 0xFF0000u);
}

TEST_F(ImageIoTest, UnknownExtensionIsAClearError) {
  const Bitmap img = Drawing();
  for (const char* name : {"out.xyz", "out", "out.png.bak"}) {
    const ImageStatus st = SaveImageFile(img, Path(name));
    EXPECT_FALSE(st) << name;
    EXPECT_NE(st.message.find("no image encoder"), std::string::npos) << st.message;
    EXPECT_FALSE(fs::exists(Path(name)));
  }
  EXPECT_FALSE(SaveImageFile(Bitmap(), Path("empty.png")));
  EXPECT_FALSE(SaveImageFile(img, Path("missing-folder/out.png")));
}

TEST_F(ImageIoTest, LoadingReportsMissingAndUnknownData) {
  EXPECT_FALSE(LoadImageFile(Path("none.png")).ok());
  const std::vector<uint8_t> junk = {'h', 'e', 'l', 'l', 'o'};
  EXPECT_FALSE(LoadImageMemory(junk).ok());
  EXPECT_FALSE(LoadImageMemory({}).ok());
}

// A BMP assembled field by field.
std::vector<uint8_t> Bmp(int32_t w, int32_t h, uint16_t bpp, const std::vector<uint32_t>& palette,
                         const std::vector<uint8_t>& pixels, uint32_t compression = 0,
                         const std::vector<uint32_t>& masks = {}) {
  std::vector<uint8_t> out;
  auto u16 = [&out](uint16_t v) { out.insert(out.end(), {uint8_t(v), uint8_t(v >> 8)}); };
  auto u32 = [&out](uint32_t v) { out.insert(out.end(), {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)}); };
  const uint32_t off = 54 + static_cast<uint32_t>(masks.size() * 4 + palette.size() * 4);
  u16(0x4D42);
  u32(off + static_cast<uint32_t>(pixels.size()));
  u32(0);
  u32(off);
  u32(40);
  u32(static_cast<uint32_t>(w));
  u32(static_cast<uint32_t>(h));
  u16(1);
  u16(bpp);
  u32(compression);
  u32(0);
  u32(0);
  u32(0);
  u32(static_cast<uint32_t>(palette.size()));
  u32(0);
  for (uint32_t m : masks) u32(m);
  for (uint32_t p : palette) u32(p);
  out.insert(out.end(), pixels.begin(), pixels.end());
  return out;
}

TEST(BmpDecoderTest, ReadsTheCommonDepths) {
  struct Case {
    const char* name;
    std::vector<uint8_t> file;
    std::vector<uint32_t> expected;  // 3 × 2 pixels, top row first
  };
  const uint32_t R = 0xFFFF0000, G = 0xFF00FF00, B = 0xFF0000FF, K = 0xFF000000, W = 0xFFFFFFFF;
  const Case cases[] = {
      {"1-bit", Bmp(3, 2, 1, {0x000000, 0xFFFFFF}, {0xA0, 0, 0, 0, 0x40, 0, 0, 0}), {K, W, K, W, K, W}},
      {"4-bit", Bmp(3, 2, 4, {0xFF0000, 0x00FF00, 0x0000FF}, {0x21, 0x00, 0, 0, 0x01, 0x20, 0, 0}),
       {R, G, B, B, G, R}},
      {"8-bit top-down", Bmp(3, -2, 8, {0xFF0000, 0x00FF00, 0x0000FF}, {0, 1, 2, 0, 2, 2, 1, 0}),
       {R, G, B, B, B, G}},
      {"24-bit", Bmp(3, 2, 24, {}, {0, 0, 255, 0, 255, 0, 255, 0, 0, 0, 0, 0, 255, 255, 255, 0, 0, 0, 0, 0, 0, 0, 0, 0}),
       {W, K, K, R, G, B}},
      {"32-bit", Bmp(3, 1, 32, {}, {0, 0, 255, 0, 0, 255, 0, 0, 255, 0, 0, 0}), {R, G, B}},
      {"16-bit 5-5-5", Bmp(3, 1, 16, {}, {0x00, 0x7C, 0xE0, 0x03, 0x1F, 0x00, 0, 0}), {R, G, B}},
      {"16-bit 5-6-5 bit fields", Bmp(3, 1, 16, {}, {0x00, 0xF8, 0xE0, 0x07, 0x1F, 0x00, 0, 0}, 3, {0xF800, 0x07E0, 0x001F}),
       {R, G, B}},
      {"RLE8", Bmp(3, 2, 8, {0xFF0000, 0x00FF00, 0x0000FF}, {3, 0, 0, 0, 0, 3, 1, 2, 0, 0, 0, 1}, 1),
       {G, B, R, R, R, R}},
      // RLE4 with a move: the skipped pixel stays transparent.
      {"RLE4", Bmp(3, 2, 4, {0xFF0000, 0x00FF00, 0x0000FF}, {3, 0x12, 0, 0, 0, 2, 1, 0, 2, 0x20, 0, 1}, 2),
       {0, B, R, G, B, G}},
      // Assembled in memory without a colour table: grey levels.
      {"8-bit without table", Bmp(3, 1, 8, {}, {0, 128, 255, 0}), {K, 0xFF808080, W}},
  };
  for (const Case& k : cases) {
    const LoadedImage img = LoadImageMemory(k.file);
    ASSERT_TRUE(img.ok()) << k.name << ": " << img.error;
    ASSERT_EQ(img.bitmap.width, 3) << k.name;
    EXPECT_EQ(img.bitmap.pixels, k.expected) << k.name;
  }
}

TEST(BmpDecoderTest, RefusesTruncatedAndOversizedFiles) {
  std::vector<uint8_t> file = Bmp(3, 2, 24, {}, std::vector<uint8_t>(24, 0));
  file.resize(file.size() - 1);
  EXPECT_FALSE(LoadImageMemory(file).ok());
  EXPECT_FALSE(LoadImageMemory(Bmp(100000, 100000, 24, {}, {})).ok());
  EXPECT_FALSE(LoadImageMemory(Bmp(3, 2, 7, {}, std::vector<uint8_t>(24, 0))).ok());
  EXPECT_FALSE(LoadImageMemory(Bmp(3, 2, 24, {}, std::vector<uint8_t>(24, 0), 1)).ok());  // RLE8 needs 8 bits
  EXPECT_FALSE(LoadImageMemory(Bmp(3, 2, 8, {0xFF0000}, {0, 5, 1, 2}, 1)).ok());  // literal run cut short
  EXPECT_FALSE(LoadImageMemory(std::vector<uint8_t>{'B', 'M', 0, 0}).ok());
}

// A CMYK JPEG as print software writes it: Adobe marker, inverted inks.
TEST(JpegDecoderTest, ReadsAdobeCmyk) {
  jpeg_compress_struct cinfo{};
  jpeg_error_mgr err{};
  cinfo.err = jpeg_std_error(&err);
  jpeg_create_compress(&cinfo);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &buffer, &size);
  cinfo.image_width = 16;
  cinfo.image_height = 8;
  cinfo.input_components = 4;
  cinfo.in_color_space = JCS_CMYK;
  jpeg_set_defaults(&cinfo);
  jpeg_set_colorspace(&cinfo, JCS_YCCK);
  jpeg_set_quality(&cinfo, 95, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  // Left half red (no cyan ink, full magenta and yellow), right half 50 % grey (black ink only).
  std::vector<uint8_t> row(16 * 4);
  for (int x = 0; x < 16; ++x) {
    const uint8_t px[4] = {255, 0, 0, 255};
    const uint8_t grey[4] = {255, 255, 255, 128};
    std::memcpy(&row[x * 4], x < 8 ? px : grey, 4);
  }
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW r[1] = {row.data()};
    jpeg_write_scanlines(&cinfo, r, 1);
  }
  jpeg_finish_compress(&cinfo);
  const std::vector<uint8_t> bytes(buffer, buffer + size);
  jpeg_destroy_compress(&cinfo);
  std::free(buffer);

  const LoadedImage img = LoadImageMemory(bytes);
  ASSERT_TRUE(img.ok()) << img.error;
  const uint32_t left = img.bitmap.at(2, 4), right = img.bitmap.at(13, 4);
  EXPECT_GT((left >> 16) & 0xFF, 235u);
  EXPECT_LT((left >> 8) & 0xFF, 20u);
  EXPECT_NEAR(static_cast<int>(right & 0xFF), 128, 6);
  EXPECT_EQ(right >> 24, 0xFFu);
}

uint32_t Be32(const uint8_t* p) { return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3]; }
void PutBe32(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v >> 24);
  p[1] = uint8_t(v >> 16);
  p[2] = uint8_t(v >> 8);
  p[3] = uint8_t(v);
}

// Tall bands of one colour (whose strips are deflated once and shared) among
// rows with single pixels changed, at the start, the middle and the end of a
// row: every pixel reads back, opaque and with transparency.
TEST(TiffTest, StripsOfOneColourAmongOthersReadBack) {
  const int w = 301, h = 1200;
  for (const bool transparent : {false, true}) {
    SCOPED_TRACE(transparent ? "transparent" : "opaque");
    Bitmap src(w, h);
    for (int y = 0; y < h; ++y) {
      const uint32_t band = y < 300 ? 0xFFFFFFFF : y < 600 ? 0xFF000000 : y < 900 ? 0xFFFFFFFF : transparent ? 0x80FF8000 : 0xFF0000FF;
      std::fill_n(src.pixels.begin() + static_cast<ptrdiff_t>(y) * w, w, band);
    }
    src.pixels[static_cast<size_t>(450) * w] = 0xFF010000;
    src.pixels[static_cast<size_t>(750) * w + w - 1] = 0xFFFFFFFE;
    src.pixels[static_cast<size_t>(760) * w + 150] = 0xFFFFFEFF;
    src.pixels.back() = transparent ? 0x40FF8000 : 0xFF0000FE;
    std::vector<uint32_t> pre(src.pixels.size());
    for (size_t i = 0; i < pre.size(); ++i) pre[i] = Premultiply(src.pixels[i]);
    PixelView v = ViewOf(src);
    v.data = pre.data();
    v.premultiplied = true;
    std::vector<uint8_t> tif;
    ASSERT_TRUE(EncodeImage(v, ImageFormat::Tiff, tif));
    const LoadedImage back = LoadImageMemory(tif);
    ASSERT_TRUE(back.ok()) << back.error;
    ASSERT_EQ(back.bitmap.pixels.size(), pre.size());
    for (size_t i = 0; i < pre.size(); ++i) {
      ASSERT_EQ(back.bitmap.pixels[i], Unpremultiply(pre[i])) << "pixel " << i % w << ", " << i / w;
    }
  }
}

// Encoded images whose header claims a huge size: each decoder refuses them
// before it allocates.
TEST(HostileImageTest, HugeDimensionsAreRefused) {
  const Bitmap small = Drawing(8, 8);
  std::vector<uint8_t> png, gif, tif, jpg;
  ASSERT_TRUE(EncodeImage(ViewOf(small), ImageFormat::Png, png));
  ASSERT_TRUE(EncodeImage(ViewOf(small), ImageFormat::Gif, gif));
  ASSERT_TRUE(EncodeImage(ViewOf(small), ImageFormat::Tiff, tif));
  ASSERT_TRUE(EncodeImage(ViewOf(small), ImageFormat::Jpeg, jpg));

  // PNG: IHDR at 8; width and height at 16, CRC over type and data at 29.
  PutBe32(&png[16], 60000);
  PutBe32(&png[20], 60000);
  PutBe32(&png[29], static_cast<uint32_t>(crc32(0, &png[12], 17)));
  ASSERT_EQ(Be32(&png[16]), 60000u);
  const LoadedImage p = LoadImageMemory(png);
  EXPECT_FALSE(p.ok());

  // GIF: logical screen at 6, image descriptor after the colour table.
  gif[6] = gif[7] = gif[8] = gif[9] = 0xFF;
  EXPECT_FALSE(LoadImageMemory(gif).ok());

  // TIFF: width and length are the first two tags of the first directory.
  const uint32_t ifd = tif[4] | (tif[5] << 8) | (tif[6] << 16) | (uint32_t(tif[7]) << 24);
  for (int e = 0; e < 2; ++e) {
    uint8_t* entry = &tif[ifd + 2 + 12 * e];
    ASSERT_EQ(entry[0] | (entry[1] << 8), 256 + e);
    entry[8] = entry[9] = 0xFF;  // 65535, as SHORT or LONG
  }
  EXPECT_FALSE(LoadImageMemory(tif).ok());

  // JPEG: the frame header (FF C0) holds height and width.
  for (size_t i = 2; i + 9 < jpg.size(); ++i) {
    if (jpg[i] == 0xFF && jpg[i + 1] == 0xC0) {
      jpg[i + 5] = jpg[i + 6] = jpg[i + 7] = jpg[i + 8] = 0xFF;
      break;
    }
  }
  EXPECT_FALSE(LoadImageMemory(jpg).ok());

  // WebP (lossless): after "RIFF" size "WEBP" "VP8L" size and the signature
  // byte 0x2F, width - 1 and height - 1 in 14 bits each from byte 21.
  std::vector<uint8_t> webp;
  ASSERT_TRUE(EncodeImage(ViewOf(small), ImageFormat::Webp, webp));
  ASSERT_EQ(std::string(webp.begin() + 12, webp.begin() + 16), "VP8L");
  ASSERT_EQ(webp[20], 0x2F);
  webp[21] = webp[22] = webp[23] = 0xFF;
  webp[24] |= 0x0F;  // 16384 x 16384
  const LoadedImage w = LoadImageMemory(webp);
  EXPECT_FALSE(w.ok());
  EXPECT_NE(w.error.find("larger than the limit"), std::string::npos) << w.error;
}

TEST(HostileImageTest, TruncatedAndCorruptedFilesNeverCrash) {
  const Bitmap img = Drawing(33, 17);
  for (ImageFormat f : {ImageFormat::Bmp, ImageFormat::Png, ImageFormat::Jpeg, ImageFormat::Gif, ImageFormat::Tiff,
                        ImageFormat::Webp}) {
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(EncodeImage(ViewOf(img), f, bytes));
    for (size_t cut : {size_t{3}, size_t{10}, size_t{40}, bytes.size() / 2, bytes.size() - 1}) {
      const std::vector<uint8_t> part(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(cut));
      const LoadedImage r = LoadImageMemory(part);
      if (r.ok()) {
        EXPECT_EQ(r.bitmap.pixels.size(), size_t(r.bitmap.width) * size_t(r.bitmap.height));
      }
    }
    uint32_t seed = 12345;
    for (int round = 0; round < 50; ++round) {
      std::vector<uint8_t> bad = bytes;
      for (int k = 0; k < 8; ++k) {
        seed = seed * 1103515245 + 12345;
        const size_t at = 4 + (seed >> 8) % (bad.size() - 4);
        bad[at] = static_cast<uint8_t>(seed >> 24);
      }
      const LoadedImage r = LoadImageMemory(bad);
      if (r.ok()) {
        EXPECT_LE(uint64_t(r.bitmap.width) * uint64_t(r.bitmap.height), kMaxImagePixels);
      }
    }
  }
}

// ------------------------------------------------------------------ WebP

// Lossless WebP gives every pixel back, translucent ones with their straight
// colour; the canvas's premultiplied pixels are straightened first.
TEST(WebpTest, LosslessGivesEveryPixelBack) {
  Bitmap b = Drawing(57, 31);
  b.at(5, 20) = 0x80FF0000;
  b.at(6, 20) = 0x01123456;
  b.at(7, 20) = 0x00000000;
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(EncodeImage(ViewOf(b), ImageFormat::Webp, bytes));
  const LoadedImage back = LoadImageMemory(bytes);
  ASSERT_TRUE(back.ok()) << back.error;
  ASSERT_EQ(back.bitmap.width, 57);
  ASSERT_EQ(back.bitmap.height, 31);
  EXPECT_EQ(back.bitmap.pixels, b.pixels);

  CairoCanvasOrError made = CairoCanvas::Create(20, 10);
  ASSERT_TRUE(made.canvas);
  CairoCanvas& c = *made.canvas;
  c.Clear(0x00000000);
  c.SetFillSolid(0x80336699);
  c.FillPolygon({{2, 2}, {15, 2}, {15, 8}, {2, 8}}, 1.0);
  ASSERT_TRUE(EncodeImage(c.Pixels(), ImageFormat::Webp, bytes));
  const LoadedImage canvas = LoadImageMemory(bytes);
  ASSERT_TRUE(canvas.ok()) << canvas.error;
  EXPECT_EQ(canvas.bitmap.pixels, c.ToBitmap().pixels);
}

// With a quality the encoder is lossy: smaller at a lower quality, close to
// the original at a high one.
TEST(WebpTest, LossyFollowsTheQuality) {
  Bitmap photo(96, 64);
  for (int y = 0; y < photo.height; ++y) {
    for (int x = 0; x < photo.width; ++x) {
      const uint32_t r = static_cast<uint32_t>(x * 255 / 95), g = static_cast<uint32_t>(y * 255 / 63);
      const uint32_t b = static_cast<uint32_t>((x + y) * 255 / 158);
      photo.at(x, y) = 0xFF000000u | (r << 16) | (g << 8) | b;
    }
  }
  std::vector<uint8_t> high, low, lossless;
  EncodeSettings s;
  s.webpQuality = 95;
  ASSERT_TRUE(EncodeImage(ViewOf(photo), ImageFormat::Webp, high, s));
  s.webpQuality = 5;
  ASSERT_TRUE(EncodeImage(ViewOf(photo), ImageFormat::Webp, low, s));
  ASSERT_TRUE(EncodeImage(ViewOf(photo), ImageFormat::Webp, lossless));
  EXPECT_LT(low.size(), high.size());
  // Lossy WebP is a "VP8 " chunk, lossless a "VP8L" one.
  EXPECT_EQ(std::string(high.begin() + 12, high.begin() + 16), "VP8 ");
  EXPECT_EQ(std::string(lossless.begin() + 12, lossless.begin() + 16), "VP8L");
  const LoadedImage h = LoadImageMemory(high), l = LoadImageMemory(low);
  ASSERT_TRUE(h.ok() && l.ok());
  ASSERT_EQ(h.bitmap.width, 96);
  ASSERT_EQ(h.bitmap.height, 64);
  EXPECT_LT(MeanChannelDiff(photo, h.bitmap), 4.0);
  EXPECT_GT(MeanChannelDiff(photo, l.bitmap), MeanChannelDiff(photo, h.bitmap));
  // Qualities out of range are taken as the nearest one.
  std::vector<uint8_t> over;
  s.webpQuality = 1000;
  ASSERT_TRUE(EncodeImage(ViewOf(photo), ImageFormat::Webp, over, s));
  s.webpQuality = 100;
  std::vector<uint8_t> top;
  ASSERT_TRUE(EncodeImage(ViewOf(photo), ImageFormat::Webp, top, s));
  EXPECT_EQ(over, top);
}

TEST(WebpTest, SidesBeyondTheFormatAreRefused) {
  std::vector<uint32_t> row(static_cast<size_t>(kMaxWebpSide) + 1, 0xFF000000);
  PixelView v;
  v.data = row.data();
  v.height = 1;
  v.stride = row.size();
  v.width = kMaxWebpSide;
  std::vector<uint8_t> bytes;
  EXPECT_TRUE(EncodeImage(v, ImageFormat::Webp, bytes));
  v.width = kMaxWebpSide + 1;
  const ImageStatus st = EncodeImage(v, ImageFormat::Webp, bytes);
  EXPECT_FALSE(st);
  EXPECT_NE(st.message.find("16383"), std::string::npos) << st.message;
  EXPECT_TRUE(bytes.empty());
}

TEST(WebpTest, KnownByExtensionAndContent) {
  EXPECT_EQ(FormatFromExtension("dir/Plan.WEBP"), ImageFormat::Webp);
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(EncodeImage(ViewOf(Drawing()), ImageFormat::Webp, bytes));
  EXPECT_EQ(FormatFromContent(bytes), ImageFormat::Webp);
  std::vector<uint8_t> wave = bytes;
  std::memcpy(wave.data() + 8, "WAVE", 4);
  EXPECT_EQ(FormatFromContent(wave), std::nullopt);
  EXPECT_FALSE(LoadImageMemory(std::span<const uint8_t>(bytes.data(), 11)).ok());
}

}  // namespace
}  // namespace zumen
