// The DXF pass of JWW drawings and JWS symbols.
#include "formats/jww/dxf_pass.h"

#include <cmath>
#include <filesystem>
#include <map>
#include <numbers>

#include "codecs/image_io.h"
#include "common/geometry.h"
#include "common/text.h"
#include "dxf_jw/jw_dxf.h"
#include "formats/jww/lowering.h"
#include "formats/jww/image_text.h"

namespace zumen {

namespace {

constexpr double kPi = std::numbers::pi;
constexpr uint8_t kCodedMarker = 100;
constexpr uint16_t kOwnColour = 10;
constexpr uint16_t kVertical = 0x20;

class JwwDxfPass {
 public:
  JwwDxfPass(const TJwwBody& body, const std::array<TEntJwwLayerGroup, 16>& groups, scene::ImageMap images,
             ConversionContext& ctx, dxf::Document& doc)
      : body_(body), groups_(groups), images_(std::move(images)), jw_(ctx, doc), doc_(doc) {}

  JwDxf& jw() { return jw_; }
  void Run();

 private:
  struct Lists {
    const std::vector<TEntJwwMoji>& moji;
    const std::vector<TEntJwwSolid>& solid;
    const std::vector<TEntJwwLine>& line;
    const std::vector<TEntJwwEnko>& enko;
    const std::vector<TEntJwwTen>& ten;
    const std::vector<TEntJwwSunpo>& sunpo;
  };
  void Entities(const Lists& l, std::vector<dxf::Entity>& out);
  double Scale(const TEntJwwAttr& a) const;
  bool Exported(const TEntJwwAttr& a, bool lineLike) const;
  void Line(const TEntJwwLine& e, std::vector<dxf::Entity>& out);
  void Enko(const TEntJwwEnko& e, std::vector<dxf::Entity>& out);
  void Ten(const TEntJwwTen& e, std::vector<dxf::Entity>& out);
  void Moji(const TEntJwwMoji& e, std::vector<dxf::Entity>& out);
  void Image(const TEntJwwMoji& e, std::vector<dxf::Entity>& out);
  void Solid(const TEntJwwSolid& e, std::vector<dxf::Entity>& out);
  void Sunpo(const TEntJwwSunpo& e, std::vector<dxf::Entity>& out);
  void Blocks();
  std::optional<dxf::Insert> InsertOf(const TEntJwwBlock& b);

  const TJwwBody& body_;
  const std::array<TEntJwwLayerGroup, 16>& groups_;
  scene::ImageMap images_;  // the drawing's own
  JwDxf jw_;
  dxf::Document& doc_;
  int dims_ = 0;
  std::map<uint32_t, size_t> defOfNumber_;     // nNumber -> first definition
  std::vector<std::string> blockNames_;         // per definition
  std::map<std::string, size_t> imageOfSource_;  // image file -> its ImageDef
};

double JwwDxfPass::Scale(const TEntJwwAttr& a) const {
  const double s = a.nGLayer < 16 ? groups_[a.nGLayer].adScale : 1.0;
  return s > 0 && std::isfinite(s) ? s : 1.0;
}

bool JwwDxfPass::Exported(const TEntJwwAttr& a, bool lineLike) const {
  // Layers beyond 15 do not exist; auxiliary entities follow the display switch.
  if (a.nGLayer > 15 || a.nLayer > 15) return false;
  return jw_.ctx().GAtt.GetDispHojo() || !JwwIsAux(a, lineLike);
}

void JwwDxfPass::Entities(const Lists& l, std::vector<dxf::Entity>& out) {
  // The order of the drawing pass: what it paints first lies underneath.
  for (const TEntJwwMoji& e : l.moji)
    if (Exported(e.att, false) && IsImageText(e.str)) Image(e, out);
  for (const TEntJwwSolid& e : l.solid)
    if (Exported(e.att, false)) Solid(e, out);
  for (const TEntJwwLine& e : l.line)
    if (Exported(e.att, true)) Line(e, out);
  for (const TEntJwwEnko& e : l.enko)
    if (Exported(e.att, true)) Enko(e, out);
  for (const TEntJwwTen& e : l.ten)
    if (Exported(e.att, false)) Ten(e, out);
  for (const TEntJwwMoji& e : l.moji)
    if (Exported(e.att, false) && !IsImageText(e.str)) Moji(e, out);
  for (const TEntJwwSunpo& e : l.sunpo)
    if (e.att.nGLayer <= 15 && e.att.nLayer <= 15) Sunpo(e, out);
}

void JwwDxfPass::Line(const TEntJwwLine& e, std::vector<dxf::Entity>& out) {
  const double s = Scale(e.att);
  const double wid = e.att.nPenWidth != 0 ? e.att.nPenWidth * 0.01 : jw_.ctx().GAtt.GetAttrColwid(e.att.nPenColor);
  if (!std::isfinite(e.start_x + e.start_y + e.end_x + e.end_y)) return;
  out.push_back(dxf::Line{jw_.LineProps(e.att.LayerNo(), e.att.nPenColor, e.att.nPenStyle, wid, s),
                          {e.start_x * s, e.start_y * s},
                          {e.end_x * s, e.end_y * s}});
}

void JwwDxfPass::Enko(const TEntJwwEnko& e, std::vector<dxf::Entity>& out) {
  const double s = Scale(e.att);
  const double wid = e.att.nPenWidth != 0 ? e.att.nPenWidth * 0.01 : jw_.ctx().GAtt.GetAttrColwid(e.att.nPenColor);
  const dxf::Props p = jw_.LineProps(e.att.LayerNo(), e.att.nPenColor, e.att.nPenStyle, wid, s);
  JwDxf::AddCurve(out, p, e.start_x, e.start_y, e.dHankei, e.dHenpeiRitsu, e.radKatamukiKaku, e.radKaishiKaku,
                  e.radEnkoKaku, e.bZenEnFlg != 0, s);
}

void JwwDxfPass::Ten(const TEntJwwTen& e, std::vector<dxf::Entity>& out) {
  const bool coded = e.att.nPenStyle == kCodedMarker;
  jw_.AddMarker(out, e.att.LayerNo(), e.start_x, e.start_y, static_cast<int>(e.bKariten),
                coded ? static_cast<int>(e.nCode) : 0, coded ? e.radKaitenKaku : 0.0, coded ? e.dBairitsu : 1.0,
                e.att.nPenColor, Scale(e.att));
}

void JwwDxfPass::Moji(const TEntJwwMoji& e, std::vector<dxf::Entity>& out) {
  const double s = Scale(e.att);
  jw_.ctx().LgScale = e.att.nGLayer < 16 ? groups_[e.att.nGLayer].adScale : 1.0;
  double w = e.dSizeX, h = e.dSizeY;
  std::u16string font = e.strFontName;
  if (e.att.sFlg & kVertical) {
    std::swap(w, h);
    font = u"@" + font;
  }
  jw_.AddText(out, jw_.PenProps(e.att.LayerNo(), e.att.nPenColor), e.start_x, e.start_y, e.end_x, e.end_y, h, w,
              e.dKankaku, JwwMojiFtyp(e.nMojiShu), font, e.str, s);
}

void JwwDxfPass::Image(const TEntJwwMoji& e, std::vector<dxf::Entity>& out) {
  JwImageText im;
  if (!ParseImageText(e.str, im) || im.file.empty()) return;
  const double s = Scale(e.att);
  const std::u16string name = ResolveImageFile(im.file);
  const std::string fn = Utf16ToUtf8(name);
  const dxf::Props p = jw_.PenProps(e.att.LayerNo(), e.att.nPenColor);
  const double x1 = e.start_x, y1 = e.start_y;
  const double ar = im.A * kPi / 180;
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
  if (!std::filesystem::is_regular_file(source, ec) && !jw_.ctx().CurFileName.empty()) {
    source = (std::filesystem::path(Utf16ToUtf8(jw_.ctx().CurFileName)).parent_path() / fn).string();
  }
  // One of the drawing's own images goes beside the DXF under its bare name.
  const auto own = images_.find(name);
  if (own != images_.end()) source = fn;
  size_t def;
  if (auto it = imageOfSource_.find(source); it != imageOfSource_.end()) {
    def = it->second;
  } else {
    LoadedImage img{{}, "missing"};
    if (own != images_.end()) {
      if (own->second.bytes && FormatFromExtension(fn)) img = LoadImageMemory(*own->second.bytes);
    } else if (std::filesystem::is_regular_file(source, ec) && FormatFromExtension(source)) {
      img = LoadImageFile(source);
    }
    if (!img.ok() || img.bitmap.width <= 0 || img.bitmap.height <= 0) {
      frame(im.W, im.H);  // what the drawing shows without its image
      return;
    }
    def = doc_.images.size();
    if (own != images_.end()) {
      doc_.images.push_back({Utf16ToUtf8(name.substr(6)), img.bitmap.width, img.bitmap.height, {}, *own->second.bytes});
    } else {
      doc_.images.push_back({std::filesystem::path(source).filename().string(), img.bitmap.width, img.bitmap.height,
                             source, {}});
    }
    imageOfSource_[source] = def;
  }
  const double W = doc_.images[def].width, H = doc_.images[def].height;
  dxf::Image image;
  if (!im.LongForm()) {
    // The box's height follows its width and the image's aspect.
    const double px = im.W / W;
    image.insert = {x1 * s, y1 * s};
    image.u = {px * s, 0};
    image.v = {0, px * s};
  } else {
    const double bw = std::fabs(im.W), bh = std::fabs(im.H);
    if (!(bw > 0)) return;
    image = CroppedImage(x1, y1, bw, bh, ar, W, H, im.X, im.Y, im.R, s);
  }
  image.p = p;
  image.def = def;
  out.push_back(image);
}

void JwwDxfPass::Solid(const TEntJwwSolid& e, std::vector<dxf::Entity>& out) {
  const double s = Scale(e.att);
  const dxf::Props p = e.att.nPenColor == kOwnColour
                           ? jw_.ColourProps(e.att.LayerNo(), RefToColor(static_cast<int32_t>(e.Color)))
                           : jw_.PenProps(e.att.LayerNo(), e.att.nPenColor);
  if (e.att.nPenStyle > 100) {
    JwDxf::AddSolidArc(out, p, e.att.nPenStyle, e.start_x, e.start_y, e.end_x, e.end_y, e.DPoint2_x, e.DPoint2_y,
                       e.DPoint3_x, e.DPoint3_y, s);
    return;
  }
  JwDxf::AddSolid(out, p,
                  {{e.start_x, e.start_y}, {e.end_x, e.end_y}, {e.DPoint2_x, e.DPoint2_y}, {e.DPoint3_x, e.DPoint3_y}},
                  s);
}

void JwwDxfPass::Sunpo(const TEntJwwSunpo& e, std::vector<dxf::Entity>& out) {
  const bool hide = !jw_.ctx().GAtt.GetDispHojo();
  dxf::Block block;
  block.name = "*D" + std::to_string(++dims_);
  block.anonymous = true;
  if (e.bSxfMode != 0) {
    if (!hide || !JwwIsAux(e.Ho1.att, true)) Line(e.Ho1, block.entities);
    if (!hide || !JwwIsAux(e.Ho2.att, true)) Line(e.Ho2, block.entities);
    if (!hide || !JwwIsAux(e.Te1.att, false)) Ten(e.Te1, block.entities);
    if (!hide || !JwwIsAux(e.Te2.att, false)) Ten(e.Te2, block.entities);
  }
  if (!hide || !JwwIsAux(e.Sen.att, true)) Line(e.Sen, block.entities);
  if ((!hide || !JwwIsAux(e.Moji.att, false)) && !IsImageText(e.Moji.str)) Moji(e.Moji, block.entities);
  if (block.entities.empty()) return;
  const double s = Scale(e.Sen.att);
  dxf::Dimension d;
  d.p.layer = jw_.Layer(e.att.LayerNo());
  d.block = block.name;
  d.ext1 = {e.Sen.start_x * s, e.Sen.start_y * s};
  d.ext2 = {e.Sen.end_x * s, e.Sen.end_y * s};
  d.defPoint = d.ext2;
  const double ms = Scale(e.Moji.att);
  d.textMid = {(e.Moji.start_x + e.Moji.end_x) / 2 * ms, (e.Moji.start_y + e.Moji.end_y) / 2 * ms};
  d.measurement = std::hypot(d.ext2.x - d.ext1.x, d.ext2.y - d.ext1.y);
  d.text = Utf16ToUtf8(DelCtrl(e.Moji.str));
  if (!std::isfinite(d.measurement + d.textMid.x + d.textMid.y)) return;
  doc_.blocks.push_back(std::move(block));
  out.push_back(d);
}

std::optional<dxf::Insert> JwwDxfPass::InsertOf(const TEntJwwBlock& b) {
  const auto it = defOfNumber_.find(b.nNumber);
  if (it == defOfNumber_.end() || blockNames_[it->second].empty()) return std::nullopt;
  if (!std::isfinite(b.DPKijunTen_x + b.DPKijunTen_y + b.dBairitsuX + b.dBairitsuY + b.radKaitenKaku)) return std::nullopt;
  // A block scaled to nothing shows nothing.
  if (std::fabs(b.dBairitsuX) < 1e-12 || std::fabs(b.dBairitsuY) < 1e-12) return std::nullopt;
  const double s = Scale(b.att);
  dxf::Insert ins;
  ins.p.layer = jw_.Layer(b.att.LayerNo());
  ins.block = blockNames_[it->second];
  ins.at = {b.DPKijunTen_x * s, b.DPKijunTen_y * s};
  ins.sx = b.dBairitsuX;
  ins.sy = b.dBairitsuY;
  ins.rotationDeg = b.radKaitenKaku * 180 / kPi;
  return ins;
}

void JwwDxfPass::Blocks() {
  const auto& defs = body_.EntBlockDef;
  blockNames_.assign(defs.size(), std::string());
  for (size_t i = 0; i < defs.size(); ++i) defOfNumber_.try_emplace(defs[i].nNumber, i);
  // Names: the definition's own, made acceptable and unique.
  std::vector<std::string> taken;
  for (size_t i = 0; i < defs.size(); ++i) {
    if (defOfNumber_[defs[i].nNumber] != i) continue;  // never placed: a later twin of a number
    const std::string fallback = "JW_BLOCK_" + std::to_string(defs[i].nNumber);
    std::string name = dxf::SafeName(Utf16ToUtf8(defs[i].strName), fallback);
    if (name[0] == '*') name[0] = '_';
    auto used = [&](const std::string& n) {
      for (const std::string& t : taken)
        if (dxf::SameName(t, n)) return true;
      return false;
    };
    if (used(name)) name += "_" + std::to_string(defs[i].nNumber);
    for (int k = 2; used(name); ++k) name = fallback + "_" + std::to_string(k);
    taken.push_back(name);
    blockNames_[i] = name;
  }
  // A definition that places itself, directly or through others, cannot be a
  // DXF block: the insertions that close such a circle are left out (the
  // drawing pass stops them at its depth limit too).
  const size_t n = defs.size();
  std::vector<int> state(n, 0);  // 0 new, 1 on the path, 2 done
  std::vector<std::vector<bool>> keep(n);
  for (size_t i = 0; i < n; ++i) keep[i].assign(defs[i].mBlock.size(), true);
  for (size_t root = 0; root < n; ++root) {
    if (state[root] != 0) continue;
    std::vector<std::pair<size_t, size_t>> stack = {{root, 0}};
    state[root] = 1;
    while (!stack.empty()) {
      auto& [d, k] = stack.back();
      if (k >= defs[d].mBlock.size()) {
        state[d] = 2;
        stack.pop_back();
        continue;
      }
      const size_t member = k++;
      const auto it = defOfNumber_.find(defs[d].mBlock[member].nNumber);
      if (it == defOfNumber_.end()) continue;
      const size_t t = it->second;
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
    const TEntJwwBlockDef& def = defs[i];
    dxf::Block block;
    block.name = blockNames_[i];
    Entities({def.mMoji, def.mSolid, def.mLine, def.mEnko, def.mTen, def.mSunpo}, block.entities);
    for (size_t k = 0; k < def.mBlock.size(); ++k)
      if (keep[i][k])
        if (auto ins = InsertOf(def.mBlock[k])) block.entities.push_back(*ins);
    doc_.blocks.push_back(std::move(block));
  }
}

void JwwDxfPass::Run() {
  Blocks();
  Entities({body_.EntMoji, body_.EntSolid, body_.EntLine, body_.EntEnko, body_.EntTen, body_.EntSunpo},
           doc_.entities);
  // Instances are placed whatever their own layer, as the drawing pass does.
  for (const TEntJwwBlock& b : body_.EntBlock)
    if (auto ins = InsertOf(b)) doc_.entities.push_back(*ins);
}

}  // namespace

void JwwExportDxf(const TJwwData& d, ConversionContext& ctx, dxf::Document& doc) {
  JwwDxfPass pass(d.Body, d.EntLgrp, d.EmbeddedImages(), ctx, doc);
  for (int n = 0; n < 256; ++n)
    pass.jw().SetLocked(n, d.EntLay[static_cast<size_t>(n)].aanLayProtect != 0 ||
                               d.EntLgrp[static_cast<size_t>(n / 16)].anGLayProtect != 0);
  pass.Run();
}

void JwsExportDxf(const TJwsData& d, ConversionContext& ctx, dxf::Document& doc) {
  JwwDxfPass(d.Body, d.EntLgrp, {}, ctx, doc).Run();
  const double s = d.EntLgrp[0].adScale > 0 ? d.EntLgrp[0].adScale : 1.0;
  doc.insbase = {d.Enthd.BasePoint_x * s, d.Enthd.BasePoint_y * s};
}

}  // namespace zumen
