// Lowering of JWW drawings and JWS symbols into their scene: which entities
// are shown and when (layer, auxiliary), the order in which kinds are
// painted, the pen of each entity, coded markers, vertical texts, image
// texts and dimensions, and the placements of the block tree.
#include "formats/jww/lowering.h"

#include <cmath>
#include <numbers>
#include <utility>

#include "common/cp932.h"
#include "common/geometry.h"
#include "common/text.h"
#include "common/values.h"
#include "formats/jww/image_text.h"
#include "formats/jww/jws_data.h"
#include "formats/jww/jww_data.h"

namespace zumen {

namespace {

constexpr uint16_t kOwnColour = 10;  // solid pen colour: the solid carries its own colour
constexpr uint8_t kCodedMarker = 100;
constexpr uint16_t kVertical = 0x20;  // sFlg bit of vertical writing

// Entity kinds as the scene's items name their source.
enum SourceKind : uint8_t { kLine = 1, kEnko, kTen, kMoji, kSunpo, kSolid, kBlock };

class JwwLowering {
 public:
  JwwLowering(const TJwwBody& body, const std::array<TEntJwwLayerGroup, 16>& groups, scene::Scene& s)
      : body_(body), groups_(groups), s_(s) {}

  void Run() {
    Lists(body_.EntLine, body_.EntEnko, body_.EntTen, body_.EntMoji, body_.EntSunpo, body_.EntSolid, s_.items);
    for (const TEntJwwBlockDef& def : body_.EntBlockDef) {
      scene::Definition d;
      d.number = def.nNumber;
      d.name = def.strName;
      Lists(def.mLine, def.mEnko, def.mTen, def.mMoji, def.mSunpo, def.mSolid, d.items);
      s_.definitions.push_back(std::move(d));
    }
    // The block tree: each node places its definition's members through
    // the node's transform, after everything else.
    for (size_t i = 0; i < body_.EntBlockTree.size(); ++i) {
      const TEntJwwBlockTree& node = body_.EntBlockTree[i];
      scene::Placement p;
      p.h = HeadOf(node.att, false, kBlock, static_cast<int32_t>(i));
      p.groupScale = GroupScale(node.att.nGLayer);
      p.definition = node.defno >= 0 && static_cast<size_t>(node.defno) < body_.EntBlockDef.size() ? node.defno : -1;
      p.xf = {node.x, node.y, node.r1, node.r2, node.r3, node.r4, 1.0};
      p.ownScale = (node.att.nPenStyle & 0x40) != 0;
      p.parent = node.parent;
      s_.placements.push_back(p);
    }
  }

 private:
  template <class L, class E, class K, class M, class S, class O>
  void Lists(const L& lines, const E& arcs, const K& points, const M& texts, const S& dims, const O& solids,
             std::vector<scene::Item>& out) {
    // Room for every item at once (a dimension gives up to five): a list grown
    // step by step would copy its items each time and touch twice the memory.
    out.reserve(out.size() + lines.size() + arcs.size() + points.size() + texts.size() + solids.size() +
                5 * dims.size());
    for (size_t i = 0; i < texts.size(); ++i) ImageOf(texts[i], i, out);
    for (size_t i = 0; i < solids.size(); ++i) SolidOf(solids[i], i, out);
    for (size_t i = 0; i < lines.size(); ++i) out.push_back(LineOf(lines[i], HeadOf(lines[i].att, true, kLine, i)));
    for (size_t i = 0; i < arcs.size(); ++i) ArcOf(arcs[i], i, out);
    for (size_t i = 0; i < points.size(); ++i) out.push_back(MarkerOf(points[i], HeadOf(points[i].att, false, kTen, i)));
    for (size_t i = 0; i < texts.size(); ++i) TextOf(texts[i], HeadOf(texts[i].att, false, kMoji, i), out);
    for (size_t i = 0; i < dims.size(); ++i) DimensionOf(dims[i], i, out);
  }

  // The layer an entity is shown with (-1 beyond the 256 the model has) and
  // whether it is auxiliary: pen colour 9, for lines and arcs also pen style 9.
  static scene::Head HeadOf(const TEntJwwAttr& a, bool lineLike, uint8_t kind, size_t index) {
    scene::Head h;
    h.layer = a.nGLayer <= 15 && a.nLayer <= 15 ? static_cast<int16_t>(a.LayerNo()) : int16_t{-1};
    h.flags = JwwIsAux(a, lineLike) ? scene::kAux : 0;
    h.sourceKind = kind;
    h.source = static_cast<int32_t>(index);
    return h;
  }

  double GroupScale(int group) const { return group >= 0 && group < 16 ? groups_[group].adScale : 1.0; }

  // Pen of lines and arcs: the entity's own width, else its pen colour's.
  scene::JwPen LinePen(const TEntJwwAttr& a) const {
    const double wid = a.nPenWidth != 0 ? a.nPenWidth * 0.01 : s_.model.GetAttrColwid(a.nPenColor);
    return {a.LayerNo(), a.nPenColor, a.nPenStyle, wid};
  }
  // Pen of texts, solids and image frames.
  static scene::JwPen PlainPen(const TEntJwwAttr& a) { return {a.LayerNo(), a.nPenColor, 1, 0.0}; }

  scene::Line LineOf(const TEntJwwLine& e, const scene::Head& h) const {
    return scene::Line{h, LinePen(e.att), {e.start_x, e.start_y}, {e.end_x, e.end_y}};
  }

  void ArcOf(const TEntJwwEnko& e, size_t i, std::vector<scene::Item>& out) const {
    scene::Arc a;
    a.h = HeadOf(e.att, true, kEnko, i);
    a.pen = LinePen(e.att);
    a.c = {e.start_x, e.start_y};
    a.r = e.dHankei;
    a.flat = e.dHenpeiRitsu;
    a.tilt = e.radKatamukiKaku;
    a.whole = e.bZenEnFlg != 0;
    a.start = a.whole ? 0.0 : e.radKaishiKaku;
    a.sweep = a.whole ? 2 * std::numbers::pi : e.radEnkoKaku;
    out.push_back(a);
  }

  static scene::Marker MarkerOf(const TEntJwwTen& e, const scene::Head& h) {
    scene::Marker m;
    m.h = h;
    m.p = {e.start_x, e.start_y};
    m.kf = static_cast<int32_t>(e.bKariten);
    m.coded = e.att.nPenStyle == kCodedMarker;
    if (m.coded) {
      m.code = static_cast<int32_t>(e.nCode);
      m.angle = e.radKaitenKaku;
      m.scale = e.dBairitsu;
    }
    m.lay = e.att.LayerNo();
    m.col = e.att.nPenColor;
    m.width = e.att.nPenWidth;
    return m;
  }

  void SolidOf(const TEntJwwSolid& e, size_t i, std::vector<scene::Item>& out) const {
    const scene::Head h = HeadOf(e.att, false, kSolid, i);
    std::optional<uint32_t> own;
    if (e.att.nPenColor == kOwnColour) own = RefToColor(static_cast<int32_t>(e.Color));
    if (e.att.nPenStyle > 100) {
      scene::SolidArc a{h, PlainPen(e.att), own, e.att.nPenStyle,
                        {e.start_x, e.start_y, e.end_x, e.end_y, e.DPoint2_x, e.DPoint2_y, e.DPoint3_x, e.DPoint3_y}};
      out.push_back(a);
      return;
    }
    out.push_back(scene::Solid{h,
                               PlainPen(e.att),
                               own,
                               {{e.start_x, e.start_y}, {e.end_x, e.end_y}, {e.DPoint2_x, e.DPoint2_y},
                                {e.DPoint3_x, e.DPoint3_y}}});
  }

  // A text record as drawn: vertical writing exchanges the character's
  // height and width and turns the font; the scale macros print the scale
  // of the text's layer group.
  scene::Text TextItem(const TEntJwwMoji& e, const scene::Head& h) const {
    scene::Text t;
    t.h = h;
    t.pen = PlainPen(e.att);
    t.p1 = {e.start_x, e.start_y};
    t.p2 = {e.end_x, e.end_y};
    t.width = e.dSizeX;
    t.height = e.dSizeY;
    if (e.att.sFlg & kVertical) std::swap(t.width, t.height);
    t.spacing = e.dKankaku;
    t.style = JwwMojiFtyp(e.nMojiShu);
    t.font = (e.att.sFlg & kVertical) ? u"@" + e.strFontName : e.strFontName;
    t.text = e.str;
    t.macroScale = GroupScale(e.att.nGLayer);
    return t;
  }

  // Image texts are images; a text beginning with "^@BM" without a comma
  // is an ordinary text.
  void TextOf(const TEntJwwMoji& e, const scene::Head& h, std::vector<scene::Item>& out) const {
    if (IsImageText(e.str)) return;
    out.push_back(TextItem(e, h));
  }

  void ImageOf(const TEntJwwMoji& e, size_t i, std::vector<scene::Item>& out) const {
    JwImageText im;
    if (!ParseImageText(e.str, im) || im.file.empty()) return;
    scene::Image img;
    img.h = HeadOf(e.att, false, kMoji, i);
    img.pen = PlainPen(e.att);
    img.p1 = {e.start_x, e.start_y};
    img.textEnd = {e.end_x, e.end_y};
    img.w = im.W;
    img.hgt = im.H;
    img.longForm = im.LongForm();
    img.X = im.X;
    img.Y = im.Y;
    img.R = im.R;
    img.A = im.A;
    img.baseAngle = PtAngle(e.end_x - e.start_x, e.end_y - e.start_y);
    img.file = ResolveImageFile(im.file);
    out.push_back(std::move(img));
  }

  // A dimension is shown by its own layer; its parts are drawn each with its
  // own pen, and the auxiliary ones only when auxiliary lines are shown. The
  // extension lines and end markers come only in its SXF form.
  void DimensionOf(const TEntJwwSunpo& e, size_t i, std::vector<scene::Item>& out) {
    scene::Dimension dim;
    dim.h = HeadOf(e.att, true, kSunpo, i);
    dim.a = {e.Sen.start_x, e.Sen.start_y};
    dim.b = {e.Sen.end_x, e.Sen.end_y};
    dim.text = e.Moji.str;
    const int32_t index = static_cast<int32_t>(s_.dimensions.size());
    s_.dimensions.push_back(dim);
    const auto part = [&](const TEntJwwAttr& a, bool lineLike) {
      scene::Head h;
      h.layer = dim.h.layer;
      h.flags = scene::kDimensionPart | (JwwIsAux(a, lineLike) ? scene::kAux : 0);
      h.sourceKind = kSunpo;
      h.source = static_cast<int32_t>(i);
      h.dimension = index;
      return h;
    };
    if (e.bSxfMode != 0) {
      out.push_back(LineOf(e.Ho1, part(e.Ho1.att, true)));
      out.push_back(LineOf(e.Ho2, part(e.Ho2.att, true)));
      out.push_back(MarkerOf(e.Te1, part(e.Te1.att, false)));
      out.push_back(MarkerOf(e.Te2, part(e.Te2.att, false)));
    }
    out.push_back(LineOf(e.Sen, part(e.Sen.att, true)));
    if (IsImageText(e.Moji.str)) return;
    scene::Text t = TextItem(e.Moji, part(e.Moji.att, false));
    // Its value: a turned or scaled block writes the length it measures there.
    if (e.Moji.att.nPenWidth & 0x2) {
      double s = GroupScale(e.Sen.att.nGLayer);
      if (!(s > 0)) s = 1;
      t.value = scene::DimensionValue{{e.Sen.start_x, e.Sen.start_y}, {e.Sen.end_x, e.Sen.end_y}, s,
                                      e.Moji.att.nPenWidth, e.Moji.att.sFlg, &SunpoValueText};
    }
    out.push_back(std::move(t));
  }

  const TJwwBody& body_;
  const std::array<TEntJwwLayerGroup, 16>& groups_;
  scene::Scene& s_;
};

}  // namespace

int32_t JwwMojiFtyp(uint32_t nMojiShu) {
  if (nMojiShu < 10000) return 0;
  if (nMojiShu < 20000) return 2;
  if (nMojiShu < 30000) return 1;
  return 3;
}

std::u16string SunpoValueText(double len, uint32_t f, uint32_t g) {
  if (f & 0x10) len /= 1000;  // metres
  const int d = static_cast<int>((f / 4096) % 10);
  int mode = 2;  // half away from zero
  if ((f & 0x100) && !(f & 0x200)) mode = 0;
  if ((f & 0x200) && !(f & 0x100)) mode = 1;
  const double v = RoundDec(d, mode, len);

  std::u16string s;
  if (f & 0x40) {
    s = FloatStrN(d, v);
    if (!(f & 0x80) && s.find(u'.') != std::u16string::npos)
      while (!s.empty() && s.back() == u'0') s.pop_back();
  } else if (f & 0x80) {
    s = FloatStrF(d, v);
  } else {
    s = FloatStrG(v);
  }

  auto mark = [&](const std::u16string& m) {
    if (f & 0x400)
      s = m + s;
    else if (f & 0x800)
      s += m;
  };
  if (g & 0x100)
    mark(u"R");
  else if (g & 0x200)
    mark(u"\u03C6");

  if (f & 0x8) s = HanToZen(s);
  if (f & 0x20) s += (f & 0x10) ? u"\uFF4D" : u"mm";
  return s;
}

void LowerJww(const TJwwData& d, scene::Scene& s) {
  s.drawn = d.Enthd.n1 > 0;
  s.paperFrame = scene::Frame{-s.papx / 2, -s.papy / 2, s.papx / 2, s.papy / 2};
  LowerJwwBody(d.Body, d.EntLgrp, s);
}

void LowerJws(const TJwsData& d, scene::Scene& s) {
  s.drawn = d.Enthd.n1 > 0;
  LowerJwwBody(d.Body, d.EntLgrp, s);
  scene::BaseMark mark;
  mark.p = {d.Enthd.BasePoint_x, d.Enthd.BasePoint_y};
  s.overlay.push_back(mark);
}

void LowerJwwBody(const TJwwBody& body, const std::array<TEntJwwLayerGroup, 16>& groups, scene::Scene& s) {
  JwwLowering(body, groups, s).Run();
}

}  // namespace zumen
