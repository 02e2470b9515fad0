#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <numbers>
#include <string>
#include <tuple>
#include <variant>

#include "codecs/image_io.h"
#include "common/text.h"
#include "render_fixture.h"

namespace zumen::testing {
namespace {

namespace fs = std::filesystem;
constexpr uint32_t kBlue = 0xFF0000FF;

// The images a drawing carries, by name: "wide.png" (400 x 200) and friends.
class Images : public RenderTest {
 protected:
  Images() {
    const Bitmap wide(400, 200, 0xFF336699);
    Add("wide.png", wide, ImageFormat::Png);
    Add("photo.jpeg", wide, ImageFormat::Jpeg);
    const std::string text = "not an image";
    images_[u"broken.png"].bytes = std::make_shared<const std::vector<uint8_t>>(text.begin(), text.end());
    images_[u"notes.txt"].bytes = images_[u"broken.png"].bytes;
    facts_.Images = &images_;
    ctx.Facts = &facts_;
  }

  void Add(const std::string& name, const Bitmap& bmp, ImageFormat f) {
    std::vector<uint8_t> bytes;
    EXPECT_TRUE(EncodeImage(ViewOf(bmp), f, bytes));
    images_[Utf8ToUtf16(name)].bytes = std::make_shared<const std::vector<uint8_t>>(std::move(bytes));
  }

  static std::u16string Path(const std::string& name) { return Utf8ToUtf16(name); }

  RecBitmap OnlyBitmap() const {
    const auto b = canvas.All<RecBitmap>();
    EXPECT_EQ(b.size(), 1u);
    return b.empty() ? RecBitmap{} : b[0];
  }

  scene::ImageMap images_;
  DrawingFacts facts_;
};

void ExpectRect(const RecBitmap& b, double l, double t, double r, double bot) {
  EXPECT_NEAR(b.left, l, 1e-9);
  EXPECT_NEAR(b.top, t, 1e-9);
  EXPECT_NEAR(b.right, r, 1e-9);
  EXPECT_NEAR(b.bottom, bot, 1e-9);
}

TEST_F(Images, FittingModes) {
  struct Case {
    const char* name;
    double x1, y1, x2, y2;
    int fm;
    double left, top, right, bottom;  // device rectangle
  };
  // Image 400 x 200 (aspect 2); device x = 10 x, y = 1000 - 10 y.
  const Case cases[] = {
      {"height follows width", 10, 20, 90, 25, 1, 100, 400, 900, 800},
      {"height follows width, downwards", 10, 25, 90, 20, 1, 100, 750, 900, 1150},
      {"width follows height", 10, 20, 30, 60, 2, 100, 400, 900, 800},
      {"width follows height, leftwards", 90, 20, 70, 60, 2, 100, 400, 900, 800},
      {"fitted, centred vertically", 10, 10, 90, 90, 3, 100, 300, 900, 700},
      {"fitted, centred horizontally", 10, 10, 90, 30, 3, 300, 700, 700, 900},
      {"stretched", 10, 10, 90, 90, 0, 100, 100, 900, 900},
      {"stretched, corners swapped", 90, 90, 10, 10, 7, 100, 100, 900, 900},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    canvas.ClearCalls();
    EXPECT_EQ(g.GLImage(c.x1, c.y1, c.x2, c.y2, c.fm, Path("wide.png")), 0);
    const RecBitmap b = OnlyBitmap();
    ExpectRect(b, c.left, c.top, c.right, c.bottom);
    EXPECT_EQ(b.bmp.width, 400);
    EXPECT_EQ((std::vector<double>{b.sx, b.sy, b.sw, b.sh}), (std::vector<double>{0, 0, 400, 200}));
    EXPECT_EQ(b.opacity, 1.0);
  }
}

TEST_F(Images, NamesAndExtensions) {
  EXPECT_EQ(g.GLImage(10, 10, 90, 90, 0, u"wide.png"), 0);
  EXPECT_EQ(g.GLImage(10, 10, 90, 90, 0, u"photo.jpeg"), 0);  // lower-case ".JPEG"
  EXPECT_EQ(canvas.Count<RecBitmap>(), 2u);
  EXPECT_EQ(g.GLImage(10, 10, 90, 90, 0, u"missing.png"), 3);
  EXPECT_EQ(g.GLImage(10, 10, 90, 90, 0, u"notes.txt"), 3);
  EXPECT_EQ(g.GLImage2(10, 10, 90, 90, 0, 0, 1, 0, u"notes.txt"), 3);
  EXPECT_EQ(g.GLImage2(10, 10, 90, 90, 0, 0, 1, 0, u"missing.gif"), 3);
  facts_.Images = nullptr;
  EXPECT_EQ(g.GLImage(10, 10, 90, 90, 0, u"wide.png"), 3);
  EXPECT_EQ(canvas.Count<RecBitmap>(), 2u);
}

TEST_F(Images, Image2FromADecodedBitmapPlacesLikeTheFile) {
  const LoadedImage img = LoadImageMemory(*images_.at(u"wide.png").bytes);
  ASSERT_TRUE(img.ok());
  struct Case {
    const char* name;
    double x1, y1, x2, y2, drx, dry, drr, dan;
    int32_t result;
  };
  const Case cases[] = {
      {"crop", 10, 10, 50, 50, 0.5, 0, 0.5, 0, 0},
      {"turned", 50, 10, 90, 30, 0, 0, 1, 90, 0},
      {"tiny: blue frame", 10, 10, 40, 10.3, 0, 0, 1, 90, 0},
      {"outside", 110, 10, 190, 90, 0, 0, 1, 0, 1},
      {"too small", 10, 10, 10.15, 90, 0, 0, 1, 0, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    canvas.ClearCalls();
    EXPECT_EQ(g.GLImage2(c.x1, c.y1, c.x2, c.y2, c.drx, c.dry, c.drr, c.dan, Path("wide.png")), c.result);
    const auto fromFile = canvas.Calls();
    canvas.ClearCalls();
    EXPECT_EQ(g.GLImage2(c.x1, c.y1, c.x2, c.y2, c.drx, c.dry, c.drr, c.dan, img.bitmap), c.result);
    EXPECT_EQ(g.GLImage2Box(c.x1, c.y1, c.x2, c.y2, c.dan), c.result);  // the tests alone
    const auto fromMemory = canvas.Calls();
    ASSERT_EQ(fromMemory.size(), fromFile.size());
    for (size_t i = 0; i < fromFile.size(); ++i) {
      ASSERT_EQ(fromMemory[i].index(), fromFile[i].index());
      if (const auto* b = std::get_if<RecBitmap>(&fromFile[i])) {
        const auto& m = std::get<RecBitmap>(fromMemory[i]);
        EXPECT_EQ(m.bmp.pixels, b->bmp.pixels);
        EXPECT_EQ(std::tie(m.sx, m.sy, m.sw, m.sh), std::tie(b->sx, b->sy, b->sw, b->sh));
        ExpectRect(m, b->left, b->top, b->right, b->bottom);
        EXPECT_EQ(m.st.transform, b->st.transform);
      }
      if (const auto* p = std::get_if<RecPolyline>(&fromFile[i])) {
        const auto& m = std::get<RecPolyline>(fromMemory[i]);
        ASSERT_EQ(m.pts.size(), p->pts.size());
        for (size_t k = 0; k < m.pts.size(); ++k) {
          EXPECT_EQ(m.pts[k].X, p->pts[k].X);
          EXPECT_EQ(m.pts[k].Y, p->pts[k].Y);
        }
        EXPECT_EQ(m.st.strokeColor, kBlue);
      }
    }
  }
  EXPECT_EQ(g.GLImage2(10, 10, 50, 50, 0, 0, 1, 0, Bitmap{}), 3);  // no pixels
  EXPECT_EQ(canvas.DrawCount(), 0u);
}

TEST_F(Images, ResultsOfSizeWindowAndDecoding) {
  EXPECT_EQ(g.GLImage(10, 10, 10.15, 90, 0, Path("wide.png")), 2);   // 1.5 pixels wide
  EXPECT_EQ(g.GLImage(10, 10, 2e5, 90, 0, Path("wide.png")), 2);     // 2,000,000 pixels wide
  EXPECT_EQ(g.GLImage(110, 10, 190, 90, 0, Path("wide.png")), 1);
  EXPECT_EQ(g.GLImage2(110, 10, 190, 90, 0, 0, 1, 0, Path("wide.png")), 1);
  EXPECT_EQ(g.GLImage(10, 10, 90, 90, 0, Path("broken.png")), 0);   // skipped
  EXPECT_EQ(g.GLImage2(10, 10, 90, 90, 0, 0, 1, 0, Path("broken.png")), 0);
  EXPECT_EQ(canvas.DrawCount(), 0u);
}

TEST_F(Images, TinyImagesAreABlueFrame) {
  g.GPenSet(0xFF000000, 0, 1);
  EXPECT_EQ(g.GLImage(10, 10, 10.3, 40, 0, Path("wide.png")), 0);  // 3 x 300 pixels
  EXPECT_EQ(canvas.Count<RecBitmap>(), 0u);
  const auto rects = canvas.All<RecRect>();
  ASSERT_EQ(rects.size(), 1u);
  EXPECT_EQ(rects[0].st.strokeColor, kBlue);
  EXPECT_EQ(canvas.State().strokeColor, kBlue);  // until the next pen

  canvas.ClearCalls();
  EXPECT_EQ(g.GLImage2(10, 10, 40, 10.3, 0, 0, 1, 90, Path("wide.png")), 0);
  EXPECT_EQ(canvas.Count<RecBitmap>(), 0u);
  const auto frame = canvas.All<RecPolyline>();
  ASSERT_EQ(frame.size(), 1u);  // the box outline turned with the image
  EXPECT_EQ(frame[0].st.strokeColor, kBlue);
  EXPECT_NEAR(frame[0].pts[1].X, 100, 1e-3);  // (40, 10) turned a quarter: (10, 40)
  EXPECT_NEAR(frame[0].pts[1].Y, 600, 1e-3);
}

TEST_F(Images, CropOfImage2) {
  struct Case {
    const char* name;
    double x2, y2, drx, dry, drr;
    double sx, sy, sw, sh;
  };
  const Case cases[] = {
      {"right half, square box", 50, 50, 0.5, 0, 0.5, 200, 0, 200, 200},
      {"defaults: whole width", 50, 30, 0, 0, 0, 0, 0, 400, 200},
      {"raised from the bottom", 50, 50, 0, 0.25, 0.25, 0, 50, 100, 100},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    canvas.ClearCalls();
    EXPECT_EQ(g.GLImage2(10, 10, c.x2, c.y2, c.drx, c.dry, c.drr, 0, Path("wide.png")), 0);
    const RecBitmap b = OnlyBitmap();
    EXPECT_NEAR(b.sx, c.sx, 1e-9);
    EXPECT_NEAR(b.sy, c.sy, 1e-9);
    EXPECT_NEAR(b.sw, c.sw, 1e-9);
    EXPECT_NEAR(b.sh, c.sh, 1e-9);
    ExpectRect(b, 100, 1000 - 10 * c.y2, 10 * c.x2, 900);
    EXPECT_EQ(b.st.transform, Matrix{});
  }
}

TEST_F(Images, RotationTurnsAboutTheLowerLeftCorner) {
  const Matrix before = Matrix::Translate(3, 4);
  canvas.SetTransform(before);
  EXPECT_EQ(g.GLImage2(50, 10, 90, 30, 0, 0, 1, 90, Path("wide.png")), 0);
  const RecBitmap b = OnlyBitmap();
  ExpectRect(b, 500, 700, 900, 900);
  // The box's lower-right corner goes up the page, a quarter turn counter-clockwise.
  double x, y;
  b.st.transform.Apply(900, 900, x, y);
  EXPECT_NEAR(x, 500 + 3, 1e-9);
  EXPECT_NEAR(y, 500 + 4, 1e-9);
  EXPECT_EQ(canvas.GetTransform(), before);  // restored

  // A box right of the window turned half round into it is drawn.
  canvas.ClearCalls();
  EXPECT_EQ(g.GLImage2(110, 50, 130, 60, 0, 0, 1, 180, Path("wide.png")), 0);
  EXPECT_EQ(canvas.Count<RecBitmap>(), 1u);
  // A full turn draws without a transform.
  canvas.ClearCalls();
  EXPECT_EQ(g.GLImage2(10, 10, 50, 30, 0, 0, 1, -360, Path("wide.png")), 0);
  EXPECT_EQ(OnlyBitmap().st.transform, before);
}

}  // namespace
}  // namespace zumen::testing
