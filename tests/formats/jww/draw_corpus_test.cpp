// Every real drawing of the corpus draws on the recording canvas: its extents
// are an ordered, finite box, something is drawn, texts come out where the
// drawing has visible texts, and no drawing call carries a coordinate that is
// not finite.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <memory>

#include "canvas/recording_canvas.h"
#include "common/paper.h"
#include "driver/sizing.h"
#include "formats/jww/file_pens.h"
#include "formats/jww/jww_data.h"
#include "formats/jww/lowering.h"
#include "renderer/paint_scene.h"

namespace zumen {
namespace {

namespace fs = std::filesystem;

bool Finite(const std::vector<FPoint>& pts) {
  for (const FPoint& p : pts)
    if (!std::isfinite(p.X) || !std::isfinite(p.Y)) return false;
  return true;
}

TEST(JwwCorpusDraw, EveryDrawingDraws) {
  const fs::path root = fs::path(ZUMEN_CORPUS_DIR) / "jww";
  if (!fs::is_directory(root)) GTEST_SKIP() << "no corpus at " << root;
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    if (!e.is_regular_file() || e.path().extension() != ".jww") continue;
    const std::string path = e.path().string();
    SCOPED_TRACE(path);
    auto d = std::make_unique<TJwwData>();
    ASSERT_TRUE(d->FileIn(path)) << d->LastError();
    scene::Scene s;
    LowerJww(*d, true, s);
    const ExtentBox& x = s.extents;
    EXPECT_LE(x.minx, x.maxx);
    EXPECT_LE(x.miny, x.maxy);
    EXPECT_TRUE(std::isfinite(x.minx) && std::isfinite(x.maxx) && std::isfinite(x.miny) && std::isfinite(x.maxy));
    const PaperSize paper = PaperSizeOfCode(d->Enthd.nZumen);
    EXPECT_EQ(s.papx, paper.width);
    EXPECT_EQ(s.papy, paper.height);
    ConversionContext ctx;
    ctx.GAtt = s.model;
    RecordingCanvas canvas(1600, 1131);
    TGraph2 g(ctx, canvas);
    g.View = FitView(FrameBox{-s.papx / 2, -s.papy / 2, s.papx / 2, s.papy / 2}, 1600, 1131);
    PaintJwItems(s, ctx, g);
    EXPECT_GT(canvas.DrawCount(), 0u);

    bool visibleText = false;
    for (const TEntJwwMoji& m : d->Body.EntMoji)
      visibleText |= m.att.nPenColor != 9 && m.att.nGLayer < 16 && m.att.nLayer < 16 &&
                     ctx.GAtt.GetAttrLayerState(m.att.LayerNo()) != 3 && !m.str.empty();
    if (visibleText) {
      EXPECT_GT(canvas.Count<RecText>(), 0u);
    }

    for (const RecLine& l : canvas.All<RecLine>())
      EXPECT_TRUE(std::isfinite(l.x1) && std::isfinite(l.y1) && std::isfinite(l.x2) && std::isfinite(l.y2));
    for (const RecPolyline& p : canvas.All<RecPolyline>()) EXPECT_TRUE(Finite(p.pts));
    for (const RecPolygon& p : canvas.All<RecPolygon>()) EXPECT_TRUE(Finite(p.pts));
  }
}

}  // namespace
}  // namespace zumen
