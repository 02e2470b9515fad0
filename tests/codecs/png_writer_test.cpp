#include "codecs/png_writer.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <random>

#include "codecs/codecs.h"
#include "codecs/deflate.h"
#include "codecs/image_io.h"

namespace zumen {
namespace {

uint32_t Be32(const uint8_t* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

// The chunks of a PNG file, checked for their CRC; the IDAT data joined.
struct Chunks {
  std::vector<std::string> types;
  std::vector<uint8_t> idat;
  bool crcsOk = true;
};

Chunks ReadChunks(const std::vector<uint8_t>& png) {
  Chunks c;
  size_t at = 8;
  while (at + 12 <= png.size()) {
    const uint32_t n = Be32(&png[at]);
    if (at + 12 + n > png.size()) break;
    c.types.emplace_back(reinterpret_cast<const char*>(&png[at + 4]), 4);
    const uint32_t crc = static_cast<uint32_t>(crc32_z(0, &png[at + 4], size_t{n} + 4));
    c.crcsOk = c.crcsOk && crc == Be32(&png[at + 8 + n]);
    if (c.types.back() == "IDAT") c.idat.insert(c.idat.end(), &png[at + 8], &png[at + 8 + n]);
    at += 12 + n;
  }
  return c;
}

// Inflates a zlib stream with zlib itself, which checks the Adler-32 at its
// end; nullopt when the stream is not valid or has bytes after its end.
std::optional<std::vector<uint8_t>> Inflate(const std::vector<uint8_t>& stream, size_t expected) {
  std::vector<uint8_t> out(expected + 1);
  z_stream z{};
  if (inflateInit(&z) != Z_OK) return std::nullopt;
  z.next_in = const_cast<uint8_t*>(stream.data());
  z.avail_in = static_cast<uInt>(stream.size());
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  const int rc = inflate(&z, Z_FINISH);
  const size_t got = z.total_out;
  const bool rest = z.avail_in != 0;
  inflateEnd(&z);
  if (rc != Z_STREAM_END || rest) return std::nullopt;
  out.resize(got);
  return out;
}

// Pixels of every kind: opaque colours, half-transparent and fully
// transparent ones, stored premultiplied as on the canvas when asked.
Bitmap Pattern(int w, int h, bool alpha, uint32_t seed) {
  Bitmap b(w, h);
  std::mt19937 rng(seed);
  for (uint32_t& p : b.pixels) {
    const uint32_t r = rng();
    if (r % 3 == 0) continue;  // white runs, as on paper
    p = alpha ? r : (r | 0xFF000000);
  }
  return b;
}

std::vector<uint32_t> Premultiplied(const Bitmap& b) {
  std::vector<uint32_t> out(b.pixels.size());
  for (size_t i = 0; i < out.size(); ++i) out[i] = Premultiply(b.pixels[i]);
  return out;
}

// What decoding gives for a straight pixel: fully transparent ones carry no colour.
uint32_t Decoded(uint32_t argb) { return (argb >> 24) == 0 ? 0 : argb; }

TEST(PngWriterTest, LibpngReadsBackEveryPixel) {
  struct Case {
    int w, h;
    bool alpha, premultiplied;
  };
  const Case cases[] = {
      {1, 1, false, false},    {1, 1, true, true},        {1000, 1, false, true}, {1, 700, true, false},
      {37, 53, true, true},    {37, 53, false, false},    {301, 517, false, true}, {4097, 3, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.w) + " x " + std::to_string(c.h) + (c.alpha ? " alpha" : "") +
                 (c.premultiplied ? " premultiplied" : ""));
    const Bitmap src = Pattern(c.w, c.h, c.alpha, static_cast<uint32_t>(c.w * 7 + c.h));
    const std::vector<uint32_t> pre = Premultiplied(src);
    PixelView v = ViewOf(src);
    if (c.premultiplied) {
      v.data = pre.data();
      v.premultiplied = true;
    }
    std::vector<uint8_t> png;
    ASSERT_TRUE(EncodeImage(v, ImageFormat::Png, png));
    const Chunks chunks = ReadChunks(png);
    EXPECT_TRUE(chunks.crcsOk);
    EXPECT_EQ(chunks.types.front(), "IHDR");
    EXPECT_EQ(chunks.types.back(), "IEND");
    // An opaque image is written as RGB, one with any transparency as RGBA.
    ASSERT_EQ(png[25], IsOpaque(v) ? 2 : 6);
    const size_t rowBytes = static_cast<size_t>(c.w) * (png[25] == 6 ? 4 : 3) + 1;
    const auto raw = Inflate(chunks.idat, rowBytes * static_cast<size_t>(c.h));
    ASSERT_TRUE(raw.has_value());
    EXPECT_EQ(raw->size(), rowBytes * static_cast<size_t>(c.h));

    const LoadedImage back = LoadImageMemory(png);
    ASSERT_TRUE(back.ok()) << back.error;
    ASSERT_EQ(back.bitmap.width, c.w);
    ASSERT_EQ(back.bitmap.height, c.h);
    int wrong = 0;
    for (size_t i = 0; i < src.pixels.size(); ++i) {
      // Premultiplying loses colour where alpha is low; the canvas's own
      // unpremultiplied value is what the file must hold.
      const uint32_t want = c.premultiplied ? Unpremultiply(pre[i]) : src.pixels[i];
      wrong += Decoded(want) != Decoded(back.bitmap.pixels[i]);
    }
    EXPECT_EQ(wrong, 0);
  }
}

TEST(PngWriterTest, BandsGiveTheSamePixelsAndAlignedBandsTheSameBytes) {
  const int w = 211, h = 1000;
  const Bitmap src = Pattern(w, h, false, 5);
  std::vector<uint8_t> whole;
  ASSERT_TRUE(EncodeImage(ViewOf(src), ImageFormat::Png, whole));
  const int seg = PngWriter::SegmentRows(w);
  ASSERT_LT(seg, h);
  for (const std::vector<int>& bands : {std::vector<int>{seg, seg * 2, h - 3 * seg}, std::vector<int>{1, 2, 997},
                                        std::vector<int>{h / 2 + 1, h / 2 - 1}}) {
    std::vector<uint8_t> banded;
    MemoryOutput sink(banded);
    PngWriter writer(w, h, false, sink);
    int y = 0;
    for (int rows : bands) {
      PixelView band = ViewOf(src);
      band.data = src.pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(w);
      band.height = rows;
      ASSERT_TRUE(writer.WriteRows(band)) << writer.error();
      y += rows;
    }
    ASSERT_TRUE(writer.Finish()) << writer.error();
    const bool aligned = bands[0] % seg == 0 && bands[1] % seg == 0;
    if (aligned) {
      EXPECT_EQ(banded, whole);
    }
    const LoadedImage back = LoadImageMemory(banded);
    ASSERT_TRUE(back.ok()) << back.error;
    EXPECT_EQ(back.bitmap.pixels, src.pixels);
  }
}

// White paper with single pixels changed in one channel here and there:
// most segments repeat the row above throughout (their deflated bytes are
// shared), and a change anywhere in a row, in the first pixels, the middle
// or the last ones, must keep its segment from being taken for such a one.
TEST(PngWriterTest, EveryChangeSurvivesAmongRowsThatRepeatTheRowAbove) {
  const int w = 301;
  const int seg = PngWriter::SegmentRows(w);
  const int h = seg * 6 + 5;
  struct Change {
    int x, y;
    uint32_t argb;
  };
  const Change changes[] = {
      {0, seg + 3, 0xFFFFFFFE},          {5, seg * 2 + 7, 0xFFFEFFFF}, {w - 1, seg * 4, 0xFFFFFEFF},
      {w - 5, seg * 4 + 9, 0xFF000000},  {w - 1, h - 1, 0xFFFFFFFE},
  };
  for (const bool transparent : {false, true}) {
    SCOPED_TRACE(transparent ? "with a transparent pixel" : "opaque");
    Bitmap src(w, h);
    std::fill(src.pixels.begin(), src.pixels.end(), 0xFFFFFFFF);
    for (const Change& c : changes) src.pixels[static_cast<size_t>(c.y) * w + static_cast<size_t>(c.x)] = c.argb;
    if (transparent) src.pixels[static_cast<size_t>(seg) * 3 * w + 17] = 0x80402010;
    const std::vector<uint32_t> pre = Premultiplied(src);
    PixelView v = ViewOf(src);
    v.data = pre.data();
    v.premultiplied = true;
    std::vector<uint8_t> png;
    ASSERT_TRUE(EncodeImage(v, ImageFormat::Png, png));
    const size_t rowBytes = static_cast<size_t>(w) * (transparent ? 4 : 3) + 1;
    ASSERT_TRUE(Inflate(ReadChunks(png).idat, rowBytes * h).has_value());  // Adler-32 included
    const LoadedImage back = LoadImageMemory(png);
    ASSERT_TRUE(back.ok()) << back.error;
    for (size_t i = 0; i < src.pixels.size(); ++i) {
      ASSERT_EQ(Decoded(back.bitmap.pixels[i]), Decoded(Unpremultiply(pre[i]))) << "pixel " << i % w << ", " << i / w;
    }
  }
}

TEST(PngWriterTest, MissingOrExtraRowsAreErrors) {
  const Bitmap src = Pattern(8, 8, false, 1);
  std::vector<uint8_t> out;
  MemoryOutput sink(out);
  PngWriter shortOne(8, 9, false, sink);
  ASSERT_TRUE(shortOne.WriteRows(ViewOf(src)));
  EXPECT_FALSE(shortOne.Finish());
  PngWriter longOne(8, 7, false, sink);
  EXPECT_FALSE(longOne.WriteRows(ViewOf(src)));
  struct Full final : ByteOutput {
    bool WriteAt(uint64_t, std::span<const uint8_t>) override { return false; }
    uint64_t Size() const override { return 0; }
  } full;
  PngWriter failing(8, 8, false, full);
  EXPECT_FALSE(failing.WriteRows(ViewOf(src)));
  EXPECT_FALSE(failing.error().empty());
}

TEST(DeflateTest, SegmentedStreamInflatesToItsInput) {
  std::mt19937 rng(3);
  std::vector<uint8_t> data(300000);
  for (size_t i = 0; i < data.size(); ++i) data[i] = i % 5000 < 2500 ? 0 : static_cast<uint8_t>(rng());
  for (size_t segment : {size_t{1} << 20, size_t{65536}, size_t{7777}, size_t{1}}) {
    const std::span<const uint8_t> input =
        segment == 1 ? std::span<const uint8_t>(data).first(3000) : std::span<const uint8_t>(data);
    SCOPED_TRACE(segment);
    const std::vector<uint8_t> z = ZlibCompress(input, segment);
    const auto back = Inflate(z, input.size());
    ASSERT_TRUE(back.has_value());
    EXPECT_TRUE(std::equal(back->begin(), back->end(), input.begin(), input.end()));
  }
  const auto empty = Inflate(ZlibCompress({}), 0);
  ASSERT_TRUE(empty.has_value());
  EXPECT_TRUE(empty->empty());
}

}  // namespace
}  // namespace zumen
