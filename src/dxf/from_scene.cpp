// The DXF export of scenes painted by the Jw renderer (JWW, JWS, JWC, JWK):
// every item in painting order, the definitions as blocks, the dimensions as
// DIMENSIONs with a block of their parts, the drawing's own instances as
// INSERTs after everything else.
#include "dxf/from_scene.h"

#include <cmath>
#include <filesystem>
#include <map>
#include <numbers>
#include <optional>

#include "codecs/image_io.h"
#include "common/text.h"
#include "dxf/jw_dxf.h"

namespace zumen {

namespace {

constexpr double kPi = std::numbers::pi;
// The name prefix of the drawing's own images.
constexpr std::u16string_view kOwnImage = u"%temp%";

class JwSceneDxf {
 public:
  JwSceneDxf(const scene::Scene& s, const ConversionContext& ctx, dxf::Document& doc)
      : s_(s), ctx_(ctx), doc_(doc), jw_(s, ctx, doc) {
    // A JWK symbol's paper is its drawing divided by its scale: paper sizes
    // (line types, texts) are that many millimetres of the drawing.
    paper_ = s.divisor > 1e-14 && std::isfinite(s.divisor) ? s.divisor : 1.0;
  }

  void Run() {
    Blocks();
    Items(s_.items, doc_.entities);
    // Instances are placed whatever their own layer, as the painter places them.
    for (const scene::Instance& ins : s_.instances)
      if (auto i = InsertOf(ins)) doc_.entities.push_back(*i);
    if (s_.basePoint) {
      const double u = s_.layers[0].groupScale;
      doc_.insbase = {s_.basePoint->X * u, s_.basePoint->Y * u};
    }
  }

 private:
  // Whether an item goes into the DXF: not on a layer the drawing does not
  // have; auxiliary ones as auxiliary lines are shown.
  bool Exported(const scene::Head& h) const {
    return h.layer >= 0 && (ctx_.GAtt.GetDispHojo() || !(h.flags & scene::kAux));
  }

  void Items(const std::vector<scene::Item>& items, std::vector<dxf::Entity>& out) {
    for (size_t i = 0; i < items.size();) {
      const scene::Head& h = scene::HeadOf(items[i]);
      if (h.flags & scene::kDimensionPart) {
        // The parts of one dimension follow each other.
        size_t end = i + 1;
        while (end < items.size() && scene::HeadOf(items[end]).dimension == h.dimension) ++end;
        if (h.layer >= 0) Dimension(items, i, end, out);
        i = end;
        continue;
      }
      if (Exported(h)) Item(items[i], out);
      ++i;
    }
  }

  void Item(const scene::Item& item, std::vector<dxf::Entity>& out) {
    scene::Visit([&](const auto& e) { Add(e, out); }, item);
  }

  // Items of the K4 renderer and the base mark have no DXF entity here.
  template <typename T>
  void Add(const T&, std::vector<dxf::Entity>&) {}

  dxf::Props LineProps(const scene::JwPen& p) { return jw_.LineProps(p.lay, p.col, p.typ, p.wid, p.unit * paper_); }

  void Add(const scene::Line& e, std::vector<dxf::Entity>& out) {
    if (!std::isfinite(e.p1.X + e.p1.Y + e.p2.X + e.p2.Y)) return;
    const double u = e.pen.unit;
    out.push_back(dxf::Line{LineProps(e.pen), {e.p1.X * u, e.p1.Y * u}, {e.p2.X * u, e.p2.Y * u}});
  }

  void Add(const scene::Arc& e, std::vector<dxf::Entity>& out) {
    JwDxf::AddCurve(out, LineProps(e.pen), e.c.X, e.c.Y, e.r, e.flat, e.tilt, e.start, e.sweep, e.whole, e.pen.unit);
  }

  void Add(const scene::Marker& e, std::vector<dxf::Entity>& out) {
    // A virtual point of a JWC drawing is drawn whatever its layer, and
    // written on the layer it names.
    jw_.AddMarker(out, e.lay >= 0 ? e.lay : e.h.layer, e.p.X, e.p.Y, e.kf, e.code, e.angle, e.scale, e.col, e.unit);
  }

  void Add(const scene::Text& e, std::vector<dxf::Entity>& out) {
    jw_.SetLgScale(e.macroScale);
    // Laid out on paper (the painter's units), then scaled to the drawing.
    const double paper = e.pen.unit * paper_, k = e.pen.unit / paper;
    jw_.AddText(out, jw_.PenProps(e.pen.lay, e.pen.col), e.p1.X * k, e.p1.Y * k, e.p2.X * k, e.p2.Y * k, e.height,
                e.width, e.spacing, e.style, e.font, e.text, paper);
  }

  void Add(const scene::Solid& e, std::vector<dxf::Entity>& out) {
    const dxf::Props p = e.own ? jw_.ColourProps(e.pen.lay, *e.own) : jw_.PenProps(e.pen.lay, e.pen.col);
    JwDxf::AddSolid(out, p, {e.p[0], e.p[1], e.p[2], e.p[3]}, e.pen.unit);
  }

  void Add(const scene::SolidArc& e, std::vector<dxf::Entity>& out) {
    const dxf::Props p = e.own ? jw_.ColourProps(e.pen.lay, *e.own) : jw_.PenProps(e.pen.lay, e.pen.col);
    const double* v = e.v;
    JwDxf::AddSolidArc(out, p, e.style, v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], e.pen.unit);
  }

  void Add(const scene::Image& e, std::vector<dxf::Entity>& out);

  // A dimension from its parts items[first, end): a DIMENSION whose block
  // holds the parts shown.
  void Dimension(const std::vector<scene::Item>& items, size_t first, size_t end, std::vector<dxf::Entity>& out);

  std::optional<dxf::Insert> InsertOf(const scene::Instance& b);
  void Blocks();

  const scene::Scene& s_;
  const ConversionContext& ctx_;
  dxf::Document& doc_;
  JwDxf jw_;
  double paper_ = 1;
  int dims_ = 0;
  std::vector<std::string> blockNames_;           // per definition
  std::map<std::string, size_t> imageOfSource_;  // image file -> its ImageDef
};

void JwSceneDxf::Add(const scene::Image& e, std::vector<dxf::Entity>& out) {
  const double s = e.pen.unit;
  const std::u16string& name = e.file;
  const std::string fn = Utf16ToUtf8(name);
  const dxf::Props p = jw_.PenProps(e.pen.lay, e.pen.col);
  const double x1 = e.p1.X, y1 = e.p1.Y;
  const double ar = e.A * kPi / 180;
  const double ca = std::cos(ar), sa = std::sin(ar);
  auto frame = [&](double w, double h) {
    std::vector<TDPoint> pts = {{x1, y1}, {x1 + w * ca, y1 + w * sa}, {x1 + w * ca - h * sa, y1 + w * sa + h * ca},
                                {x1 - h * sa, y1 + h * ca}, {x1, y1}};
    std::vector<dxf::Point> q;
    for (const TDPoint& v : pts) q.push_back({v.X * s, v.Y * s});
    out.push_back(dxf::Polyline{p, q, false});
  };
  std::error_code ec;
  std::string source = fn;
  if (!std::filesystem::is_regular_file(source, ec) && !ctx_.Facts->CurFileName.empty()) {
    source = (std::filesystem::path(Utf16ToUtf8(ctx_.Facts->CurFileName)).parent_path() / fn).string();
  }
  // One of the drawing's own images goes beside the DXF under its bare name.
  auto own = s_.images.find(name);
  if (own != s_.images.end() && !(own->second.path.empty() && name.starts_with(kOwnImage))) own = s_.images.end();
  if (own != s_.images.end()) source = fn;
  size_t def;
  if (auto it = imageOfSource_.find(source); it != imageOfSource_.end()) {
    def = it->second;
  } else {
    LoadedImage img{{}, "missing"};
    if (own != s_.images.end()) {
      if (own->second.bytes && FormatFromExtension(fn)) img = LoadImageMemory(*own->second.bytes);
    } else if (std::filesystem::is_regular_file(source, ec) && FormatFromExtension(source)) {
      img = LoadImageFile(source);
    }
    if (!img.ok() || img.bitmap.width <= 0 || img.bitmap.height <= 0) {
      frame(e.w, e.hgt);  // what the drawing shows without its image
      return;
    }
    def = doc_.images.size();
    if (own != s_.images.end()) {
      doc_.images.push_back(
          {Utf16ToUtf8(name.substr(kOwnImage.size())), img.bitmap.width, img.bitmap.height, {}, *own->second.bytes});
    } else {
      doc_.images.push_back({std::filesystem::path(source).filename().string(), img.bitmap.width, img.bitmap.height,
                             source, {}});
    }
    imageOfSource_[source] = def;
  }
  const double W = doc_.images[def].width, H = doc_.images[def].height;
  dxf::Image image;
  if (!e.longForm) {
    // The box's height follows its width and the image's aspect.
    const double px = e.w / W;
    image.insert = {x1 * s, y1 * s};
    image.u = {px * s, 0};
    image.v = {0, px * s};
  } else {
    const double bw = std::fabs(e.w), bh = std::fabs(e.hgt);
    if (!(bw > 0)) return;
    image = CroppedImage(x1, y1, bw, bh, ar, W, H, e.X, e.Y, e.R, s);
  }
  image.p = p;
  image.def = def;
  out.push_back(image);
}

void JwSceneDxf::Dimension(const std::vector<scene::Item>& items, size_t first, size_t end,
                           std::vector<dxf::Entity>& out) {
  const int32_t index = scene::HeadOf(items[first]).dimension;
  if (index < 0 || static_cast<size_t>(index) >= s_.dimensions.size()) return;
  const scene::Dimension& dim = s_.dimensions[static_cast<size_t>(index)];
  dxf::Block block;
  block.name = "*D" + std::to_string(++dims_);
  block.anonymous = true;
  const bool hide = !ctx_.GAtt.GetDispHojo();
  for (size_t i = first; i < end; ++i)
    if (!hide || !(scene::HeadOf(items[i]).flags & scene::kAux)) Item(items[i], block.entities);
  if (block.entities.empty()) return;
  const double s = dim.lineUnit;
  dxf::Dimension d;
  d.p.layer = jw_.Layer(dim.h.layer);
  d.block = block.name;
  d.ext1 = {dim.a.X * s, dim.a.Y * s};
  d.ext2 = {dim.b.X * s, dim.b.Y * s};
  d.defPoint = d.ext2;
  const double ms = dim.textUnit;
  d.textMid = {(dim.textA.X + dim.textB.X) / 2 * ms, (dim.textA.Y + dim.textB.Y) / 2 * ms};
  d.measurement = std::hypot(d.ext2.x - d.ext1.x, d.ext2.y - d.ext1.y);
  d.text = Utf16ToUtf8(DelCtrl(dim.text));
  if (!std::isfinite(d.measurement + d.textMid.x + d.textMid.y)) return;
  doc_.blocks.push_back(std::move(block));
  out.push_back(d);
}

std::optional<dxf::Insert> JwSceneDxf::InsertOf(const scene::Instance& b) {
  if (b.definition < 0 || static_cast<size_t>(b.definition) >= blockNames_.size() ||
      blockNames_[static_cast<size_t>(b.definition)].empty())
    return std::nullopt;
  if (!std::isfinite(b.at.X + b.at.Y + b.scaleX + b.scaleY + b.rotation)) return std::nullopt;
  // A block scaled to nothing shows nothing.
  if (std::fabs(b.scaleX) < 1e-12 || std::fabs(b.scaleY) < 1e-12) return std::nullopt;
  const double s = b.unit;
  dxf::Insert ins;
  ins.p.layer = jw_.Layer(b.h.layer);
  ins.block = blockNames_[static_cast<size_t>(b.definition)];
  ins.at = {b.at.X * s, b.at.Y * s};
  ins.sx = b.scaleX;
  ins.sy = b.scaleY;
  ins.rotationDeg = b.rotation * 180 / kPi;
  return ins;
}

void JwSceneDxf::Blocks() {
  const auto& defs = s_.definitions;
  const size_t n = defs.size();
  blockNames_.assign(n, std::string());
  // Instances place the first definition of their number; later twins of a
  // number are never placed and stay out.
  std::map<uint32_t, size_t> firstOf;
  for (size_t i = 0; i < n; ++i) firstOf.try_emplace(defs[i].number, i);
  // Names: the definition's own, made acceptable and unique.
  std::vector<std::string> taken;
  for (size_t i = 0; i < n; ++i) {
    if (firstOf[defs[i].number] != i) continue;
    const std::string fallback = "JW_BLOCK_" + std::to_string(defs[i].number);
    std::string name = dxf::SafeName(Utf16ToUtf8(defs[i].name), fallback);
    if (name[0] == '*') name[0] = '_';
    auto used = [&](const std::string& candidate) {
      for (const std::string& t : taken)
        if (dxf::SameName(t, candidate)) return true;
      return false;
    };
    if (used(name)) name += "_" + std::to_string(defs[i].number);
    for (int k = 2; used(name); ++k) name = fallback + "_" + std::to_string(k);
    taken.push_back(name);
    blockNames_[i] = name;
  }
  // A definition that places itself, directly or through others, cannot be a
  // DXF block: the instances that close such a circle are left out (the
  // painter's block tree stops them at its depth limit too).
  std::vector<int> state(n, 0);  // 0 new, 1 on the path, 2 done
  std::vector<std::vector<bool>> keep(n);
  for (size_t i = 0; i < n; ++i) keep[i].assign(defs[i].instances.size(), true);
  for (size_t root = 0; root < n; ++root) {
    if (state[root] != 0) continue;
    std::vector<std::pair<size_t, size_t>> stack = {{root, 0}};
    state[root] = 1;
    while (!stack.empty()) {
      auto& [d, k] = stack.back();
      if (k >= defs[d].instances.size()) {
        state[d] = 2;
        stack.pop_back();
        continue;
      }
      const size_t member = k++;
      const int32_t target = defs[d].instances[member].definition;
      if (target < 0 || static_cast<size_t>(target) >= n) continue;
      const size_t t = static_cast<size_t>(target);
      if (state[t] == 1) {
        keep[d][member] = false;
      } else if (state[t] == 0) {
        state[t] = 1;
        stack.push_back({t, 0});
      }
    }
  }
  for (size_t i = 0; i < n; ++i) {
    if (blockNames_[i].empty()) continue;
    dxf::Block block;
    block.name = blockNames_[i];
    Items(defs[i].items, block.entities);
    for (size_t k = 0; k < defs[i].instances.size(); ++k)
      if (keep[i][k])
        if (auto ins = InsertOf(defs[i].instances[k])) block.entities.push_back(*ins);
    doc_.blocks.push_back(std::move(block));
  }
}

}  // namespace

void ExportSceneDxf(const scene::Scene& s, const ConversionContext& ctx, dxf::Document& doc) {
  if (s.painter == scene::Painter::K4) {
    ExportK4SceneDxf(s, ctx, doc);
    return;
  }
  JwSceneDxf(s, ctx, doc).Run();
}

}  // namespace zumen
