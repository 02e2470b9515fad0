// The text query: the painters' own walk over the scene hands every text it
// would draw to a visitor, which lays it out with the renderer's layout code
// (directives, macros, control sequences) and measures the glyph cells.
#include "driver/texts.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <string>

#include "common/text.h"
#include "renderer/paint_scene.h"
#include "renderer/text_layout.h"
#include "renderer_k4/paint_scene.h"

namespace zumen {

namespace {

constexpr double kPi = std::numbers::pi;

bool IsBlank(char16_t c) { return c < 0x20 || c == u' ' || c == u'\u3000'; }

// The runs of one text: their words joined, where the first starts, and the
// box around the cells of their visible characters.
class RunCollector final : public TextRunSink {
 public:
  RunCollector(const std::u16string& font, bool swapCells) : font_(font), swap_(swapCells) {}

  int32_t Run(const TextRun& run) override {
    if (!started_) {
      started_ = true;
      first_ = run;
    }
    text_ += run.text;
    GlyphWalker walk(run, font_, swap_);
    for (char16_t c : run.text) {
      const GlyphCell g = walk.Next(c);
      if (IsBlank(c)) continue;
      // The cell centred on (cx, cy), its base line along a: a full-width
      // character's is w wide, a half-width one's w / 2.
      const double cw = (IsFullWidthChar(c) ? std::fabs(g.w) : std::fabs(g.w) / 2) / 2;
      const double ch = std::fabs(g.h) / 2;
      const double ux = std::cos(g.a), uy = std::sin(g.a);
      for (const double su : {-1.0, 1.0})
        for (const double sv : {-1.0, 1.0}) Add(g.cx + su * cw * ux - sv * ch * uy, g.cy + su * cw * uy + sv * ch * ux);
    }
    return 0;
  }
  void Colour(int32_t) override {}

  bool visible() const { return any_; }
  const std::u16string& text() const { return text_; }
  const TextRun& first() const { return first_; }
  const Box& box() const { return box_; }

 private:
  void Add(double x, double y) {
    if (!std::isfinite(x) || !std::isfinite(y)) return;
    if (!any_) box_ = {x, y, x, y};
    box_.min_x = std::min(box_.min_x, x);
    box_.min_y = std::min(box_.min_y, y);
    box_.max_x = std::max(box_.max_x, x);
    box_.max_y = std::max(box_.max_y, y);
    any_ = true;
  }

  const std::u16string& font_;
  const bool swap_;
  bool started_ = false, any_ = false;
  TextRun first_;
  std::u16string text_;
  Box box_;
};

class Collector final : public TextVisitor {
 public:
  Collector(const scene::Scene& s, const ConversionContext& ctx, std::vector<Text>& out) : s_(s), ctx_(ctx), out_(out) {}

  void Visit(const ShownText& t) override {
    RunCollector runs(t.font, t.swapVerticalCells);
    LayOutText(ctx_, t.lgScale, t.rules, t.p1.X, t.p1.Y, t.p2.X, t.p2.Y, t.height, t.width, t.spacing, t.style, t.text, runs);
    if (!runs.visible()) return;  // nothing a picture would show
    zumen::Text r;
    r.text = Utf16ToUtf8(runs.text());
    r.x = runs.first().x;
    r.y = runs.first().y;
    r.height = std::fabs(t.height);
    double deg = runs.first().ang * 180 / kPi;
    deg = std::fmod(deg, 360.0);
    if (deg < 0) deg += 360;
    if (deg >= 360) deg = 0;
    r.angle = deg;
    r.vertical = GlyphWalker::Turns(t.font) > 0;
    r.box = runs.box();
    r.layer = t.head.layer;
    r.group = t.head.layer >= 0 ? t.head.layer / 16 : -1;
    if (t.head.layer >= 0 && static_cast<size_t>(t.head.layer) < s_.layers.size()) {
      const scene::LayerDef& l = s_.layers[static_cast<size_t>(t.head.layer)];
      r.layer_name = OwnLayerName(l.name, u'(', u')');
      r.group_name = OwnLayerName(l.groupName, u'[', u']');
    }
    for (const scene::Placement* p = t.placement; p;) {
      r.block_path.push_back(BlockName(p->definition));
      p = p->parent >= 0 && static_cast<size_t>(p->parent) < s_.placements.size()
              ? &s_.placements[static_cast<size_t>(p->parent)]
              : nullptr;
    }
    std::reverse(r.block_path.begin(), r.block_path.end());
    out_.push_back(std::move(r));
  }

 private:
  std::string BlockName(int32_t definition) const {
    if (definition < 0 || static_cast<size_t>(definition) >= s_.definitions.size()) return "#";
    const scene::Definition& d = s_.definitions[static_cast<size_t>(definition)];
    return d.name.empty() ? "#" + std::to_string(d.number) : Utf16ToUtf8(d.name);
  }

  const scene::Scene& s_;
  const ConversionContext& ctx_;
  std::vector<zumen::Text>& out_;
};

}  // namespace

std::vector<Text> CollectTexts(const LoadedDrawing& d, const RenderOptions& options, const Clock* clock) {
  std::vector<Text> out;
  const scene::Scene& s = *d.scene;
  if (!s.drawn) return out;
  ConversionContext ctx;
  SetUpContext(d, options, ctx, clock);
  Collector collector(s, ctx, out);
  if (s.painter == scene::Painter::K4) VisitK4Texts(s, ctx, collector);
  else VisitJwTexts(s, ctx, collector);
  return out;
}

}  // namespace zumen
