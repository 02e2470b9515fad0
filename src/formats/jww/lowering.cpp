// Lowering of JWW drawings and JWS symbols into their scene: which entities
// are shown and when (layer, auxiliary), the order in which kinds are
// painted, the pen of each entity, coded markers, vertical texts, image
// texts and dimensions, and the placements of the block tree.
#include "formats/jww/lowering.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <unordered_map>
#include <utility>

#include "common/cp932.h"
#include "common/memory.h"
#include "common/geometry.h"
#include "common/text.h"
#include "common/values.h"
#include "common/box.h"
#include "common/paper.h"
#include "formats/jww/file_pens.h"
#include "formats/jww/image_text.h"
#include "formats/jww/jws_data.h"
#include "formats/jww/jww_data.h"

namespace zumen {

namespace {

constexpr double kPi = std::numbers::pi;
constexpr uint16_t kOwnColour = 10;  // solid pen colour: the solid carries its own colour
constexpr uint8_t kCodedMarker = 100;
constexpr uint16_t kVertical = 0x20;  // sFlg bit of vertical writing

// Entity kinds as the scene's items name their source.
enum SourceKind : uint8_t { kLine = 1, kEnko, kTen, kMoji, kSunpo, kSolid, kBlock };

// Hands every defining point of the entities of one set of lists to add(x, y).
template <class Add>
class PointWalker {
 public:
  explicit PointWalker(Add& add) : add_(add) {}

  // Point at parameter t of the ellipse with centre (cx, cy), radius r,
  // flattening h and tilt a.
  void EllipsePt(double cx, double cy, double r, double h, double a, double t) {
    const double x = r * std::cos(t), y = r * h * std::sin(t);
    add_(cx + x * std::cos(a) - y * std::sin(a), cy + x * std::sin(a) + y * std::cos(a));
  }
  void Quadrants(double cx, double cy, double r, double h, double a) {
    for (int q = 0; q < 4; ++q) EllipsePt(cx, cy, r, h, a, q * kPi / 2);
  }

  void Line(const TEntJwwLine& e) {
    add_(e.start_x, e.start_y);
    add_(e.end_x, e.end_y);
  }
  void Enko(const TEntJwwEnko& e) {
    const double cx = e.start_x, cy = e.start_y, r = e.dHankei, h = e.dHenpeiRitsu, a = e.radKatamukiKaku;
    if (e.bZenEnFlg != 0) {
      Quadrants(cx, cy, r, h, a);
      return;
    }
    EllipsePt(cx, cy, r, h, a, e.radKaishiKaku);
    EllipsePt(cx, cy, r, h, a, e.radKaishiKaku + e.radEnkoKaku);
    // Each quadrant direction that the sweep passes adds its ellipse point.
    double s = e.radKaishiKaku * 180 / kPi, d = e.radEnkoKaku * 180 / kPi;
    if (d < 0) {
      s += d;
      d = -d;
    }
    s = std::fmod(s, 360.0);
    if (s < 0) s += 360;
    for (int q = 0; q < 4; ++q) {
      double off = std::fmod(q * 90.0 - s, 360.0);
      if (off < 0) off += 360;
      if (off <= d) EllipsePt(cx, cy, r, h, a, q * kPi / 2);
    }
  }
  void Ten(const TEntJwwTen& e) { add_(e.start_x, e.start_y); }
  void Moji(const TEntJwwMoji& e) {
    add_(e.start_x, e.start_y);
    add_(e.end_x, e.end_y);
    if (HasImagePrefix(e.str)) {
      JwImageText im;  // W = H = 0 for a text without a comma
      ParseImageText(e.str, im);
      add_(e.start_x + im.W, e.start_y + im.H);
    }
  }
  void Sunpo(const TEntJwwSunpo& e) {
    add_(e.Sen.start_x, e.Sen.start_y);
    add_(e.Sen.end_x, e.Sen.end_y);
    add_(e.Moji.start_x, e.Moji.start_y);
    add_(e.Moji.end_x, e.Moji.end_y);
    if (e.bSxfMode != 0) {
      Line(e.Ho1);
      Line(e.Ho2);
    }
  }
  void Solid(const TEntJwwSolid& e) {
    if (e.att.nPenStyle > 100) {  // arc solid: centre and the whole ellipse's quadrant points
      add_(e.start_x, e.start_y);
      Quadrants(e.start_x, e.start_y, e.end_x, e.end_y, e.DPoint2_x);
      return;
    }
    add_(e.start_x, e.start_y);
    add_(e.end_x, e.end_y);
    add_(e.DPoint2_x, e.DPoint2_y);
    add_(e.DPoint3_x, e.DPoint3_y);
  }

  template <class L, class E, class K, class M, class S, class O>
  void All(const L& lines, const E& arcs, const K& points, const M& texts, const S& dims, const O& solids) {
    for (const auto& e : lines) Line(e);
    for (const auto& e : arcs) Enko(e);
    for (const auto& e : points) Ten(e);
    for (const auto& e : texts) Moji(e);
    for (const auto& e : dims) Sunpo(e);
    for (const auto& e : solids) Solid(e);
  }

 private:
  Add& add_;
};

// The first point of the first kind that has an element; false when the
// drawing has no entity at all.
bool FirstPoint(const TJwwBody& b, double& x, double& y) {
  auto take = [&](double px, double py) {
    x = px;
    y = py;
    return true;
  };
  if (!b.EntLine.empty()) return take(b.EntLine[0].start_x, b.EntLine[0].start_y);
  if (!b.EntEnko.empty()) return take(b.EntEnko[0].start_x, b.EntEnko[0].start_y);
  if (!b.EntTen.empty()) return take(b.EntTen[0].start_x, b.EntTen[0].start_y);
  if (!b.EntMoji.empty()) return take(b.EntMoji[0].start_x, b.EntMoji[0].start_y);
  if (!b.EntSunpo.empty()) return take(b.EntSunpo[0].Sen.start_x, b.EntSunpo[0].Sen.start_y);
  if (!b.EntSolid.empty()) return take(b.EntSolid[0].start_x, b.EntSolid[0].start_y);
  if (!b.EntBlock.empty()) return take(b.EntBlock[0].DPKijunTen_x, b.EntBlock[0].DPKijunTen_y);
  return false;
}

// The box around the defining points of every entity and block instance
// (whatever the layer states), seeded with (sx, sy). Text heights, line
// widths and marker sizes do not count.
ExtentBox Extents(const TJwwBody& b, double sx, double sy) {
  ExtentBox box;
  BoxStart(box, sx, sy, 1);
  auto add = [&](double x, double y) { BoxAdd(box, x, y, 1); };
  PointWalker<decltype(add)> walk(add);
  walk.All(b.EntLine, b.EntEnko, b.EntTen, b.EntMoji, b.EntSunpo, b.EntSolid);
  for (const TEntJwwBlockTree& node : b.EntBlockTree) {
    if (node.defno < 0 || static_cast<size_t>(node.defno) >= b.EntBlockDef.size()) continue;
    const TEntJwwBlockDef& def = b.EntBlockDef[node.defno];
    auto addT = [&](double x, double y) { BoxAddT(box, x, y, node.x, node.y, node.r1, node.r2, node.r3, node.r4, 1); };
    PointWalker<decltype(addT)> inner(addT);
    inner.All(def.mLine, def.mEnko, def.mTen, def.mMoji, def.mSunpo, def.mSolid);
  }
  return box;
}

// Surveys the entities of a body and its block instances that a picture
// shows, leaving out the auxiliary ones.
void Survey(const TJwwBody& b, const TgraAttribute& att, EntitySurvey& survey) {
  const auto shown = [&](const TEntJwwAttr& a, bool lineLike) {
    return a.nGLayer <= 15 && a.nLayer <= 15 && att.GetAttrLayerState(a.LayerNo()) != 3 && !JwwIsAux(a, lineLike);
  };
  auto add = [&](double x, double y) { survey.Add(x, y); };
  PointWalker<decltype(add)> walk(add);
  using Walker = PointWalker<decltype(add)>;
  const auto each = [&](const auto& list, auto member, bool lineLike) {
    for (const auto& e : list) {
      if (!shown(e.att, lineLike)) continue;
      survey.Begin();
      (walk.*member)(e);
      survey.End();
    }
  };
  each(b.EntLine, &Walker::Line, true);
  each(b.EntEnko, &Walker::Enko, true);
  each(b.EntTen, &Walker::Ten, false);
  each(b.EntMoji, &Walker::Moji, false);
  each(b.EntSunpo, &Walker::Sunpo, true);
  each(b.EntSolid, &Walker::Solid, false);
  for (const TEntJwwBlockTree& node : b.EntBlockTree) {
    if (node.defno < 0 || static_cast<size_t>(node.defno) >= b.EntBlockDef.size()) continue;
    const TEntJwwBlockDef& def = b.EntBlockDef[node.defno];
    auto addT = [&](double x, double y) {
      survey.Add(node.x + node.r1 * x + node.r2 * y, node.y + node.r3 * x + node.r4 * y);
    };
    PointWalker<decltype(addT)> inner(addT);
    const auto members = [&](const auto& list, auto member, bool lineLike) {
      for (const auto& e : list)
        if (shown(e.att, lineLike)) (inner.*member)(e);
    };
    using Inner = PointWalker<decltype(addT)>;
    survey.Begin();
    members(def.mLine, &Inner::Line, true);
    members(def.mEnko, &Inner::Enko, true);
    members(def.mTen, &Inner::Ten, false);
    members(def.mMoji, &Inner::Moji, false);
    members(def.mSunpo, &Inner::Sunpo, true);
    members(def.mSolid, &Inner::Solid, false);
    survey.End();
  }
}


class JwwLowering {
 public:
  JwwLowering(const TJwwBody& body, const std::array<TEntJwwLayerGroup, 16>& groups, scene::Scene& s)
      : body_(body), groups_(groups), s_(s) {}

  void Run() {
    for (int n = 0; n < 256; ++n) {
      const double g = groups_[static_cast<size_t>(n / 16)].adScale;
      s_.layers[static_cast<size_t>(n)].groupScale = g > 0 && std::isfinite(g) ? g : 1.0;
    }
    // Instances resolve to the first definition carrying their number.
    for (size_t i = 0; i < body_.EntBlockDef.size(); ++i)
      firstDef_.try_emplace(body_.EntBlockDef[i].nNumber, static_cast<int32_t>(i));
    Lists(body_.EntLine, body_.EntEnko, body_.EntTen, body_.EntMoji, body_.EntSunpo, body_.EntSolid, s_.items);
    for (size_t i = 0; i < body_.EntBlock.size(); ++i) s_.instances.push_back(InstanceOf(body_.EntBlock[i], i));
    for (const TEntJwwBlockDef& def : body_.EntBlockDef) {
      scene::Definition d;
      d.number = def.nNumber;
      d.name = def.strName;
      Lists(def.mLine, def.mEnko, def.mTen, def.mMoji, def.mSunpo, def.mSolid, d.items);
      for (size_t i = 0; i < def.mBlock.size(); ++i) d.instances.push_back(InstanceOf(def.mBlock[i], i));
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
    ReserveLarge(out, out.size() + lines.size() + arcs.size() + points.size() + texts.size() + solids.size() +
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
  // Millimetres of the drawing per drawing unit of an entity: the scale of
  // its layer group, 1 for a scale that is not a positive number.
  double Unit(const TEntJwwAttr& a) const {
    const double s = GroupScale(a.nGLayer);
    return s > 0 && std::isfinite(s) ? s : 1.0;
  }

  scene::Instance InstanceOf(const TEntJwwBlock& b, size_t index) const {
    scene::Instance ins;
    ins.h.layer = static_cast<int16_t>(std::clamp(b.att.LayerNo(), -1, 32767));
    ins.h.sourceKind = kBlock;
    ins.h.source = static_cast<int32_t>(index);
    const auto it = firstDef_.find(b.nNumber);
    ins.definition = it == firstDef_.end() ? -1 : it->second;
    ins.number = b.nNumber;
    ins.at = {b.DPKijunTen_x, b.DPKijunTen_y};
    ins.scaleX = b.dBairitsuX;
    ins.scaleY = b.dBairitsuY;
    ins.rotation = b.radKaitenKaku;
    ins.unit = Unit(b.att);
    return ins;
  }

  // Pen of lines and arcs: the entity's own width, else its pen colour's.
  scene::JwPen LinePen(const TEntJwwAttr& a) const {
    const double wid = a.nPenWidth != 0 ? a.nPenWidth * 0.01 : s_.model.GetAttrColwid(a.nPenColor);
    return {a.LayerNo(), a.nPenColor, a.nPenStyle, wid, Unit(a)};
  }
  // Pen of texts, solids and image frames.
  scene::JwPen PlainPen(const TEntJwwAttr& a) const { return {a.LayerNo(), a.nPenColor, 1, 0.0, Unit(a)}; }

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

  scene::Marker MarkerOf(const TEntJwwTen& e, const scene::Head& h) const {
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
    m.unit = Unit(e.att);
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
    dim.lineLayer = e.Sen.att.LayerNo();
    dim.textA = {e.Moji.start_x, e.Moji.start_y};
    dim.textB = {e.Moji.end_x, e.Moji.end_y};
    dim.textLayer = e.Moji.att.LayerNo();
    dim.text = e.Moji.str;
    dim.lineUnit = Unit(e.Sen.att);
    dim.textUnit = Unit(e.Moji.att);
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
  std::unordered_map<uint32_t, int32_t> firstDef_;
};

// What a picture of the paper shows, entity by entity (a block instance as
// one), auxiliary entities left out: for fitting the extents and telling of
// entities far outside the paper.
void SurveyBody(const TJwwBody& b, scene::Scene& s) {
  const double gx = s.papx / 2, gy = s.papy / 2;
  EntitySurvey survey({s.frame.x1 - gx, s.frame.y1 - gy, s.frame.x2 + gx, s.frame.y2 + gy});
  Survey(b, s.model, survey);
  s.surveyAny = survey.any();
  s.surveyBox = survey.box();
  s.surveyOutside = survey.outside();
}

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

void LowerJww(const TJwwData& d, bool complete, scene::Scene& s) {
  if (complete) {
    JwwFileColorSet(d, s.model);
    JwwFileLtypeSet(d, s.model);
    JwwSetGAttLayer(d, s.model);
    double x = 0, y = 0;
    if (FirstPoint(d.Body, x, y)) s.extents = Extents(d.Body, x, y);
    const PaperSize p = PaperSizeOfCode(d.Enthd.nZumen);
    s.papx = p.width;
    s.papy = p.height;
  }
  s.drawn = d.Enthd.n1 > 0;
  s.frame = {-s.papx / 2, -s.papy / 2, s.papx / 2, s.papy / 2};
  s.paperFrame = s.frame;
  LowerJwwBody(d.Body, d.EntLgrp, s);
  for (int n = 0; n < 256; ++n) {
    s.layers[static_cast<size_t>(n)].locked = d.EntLay[static_cast<size_t>(n)].aanLayProtect != 0 || d.EntLgrp[static_cast<size_t>(n / 16)].anGLayProtect != 0;
  }
  if (complete) SurveyBody(d.Body, s);
}

void LowerJws(const TJwsData& d, bool complete, scene::Scene& s) {
  if (complete) {
    DefaultFileColorSet(s.model);
    DefaultFileLtypeSet(s.model);
    JwsSetGAttLayer(d, s.model);
    s.extents = Extents(d.Body, d.Enthd.BasePoint_x, d.Enthd.BasePoint_y);
    s.papx = std::abs(s.extents.maxx - s.extents.minx);
    s.papy = std::abs(s.extents.maxy - s.extents.miny);
  }
  s.drawn = d.Enthd.n1 > 0;
  s.frame = {s.extents.minx, s.extents.miny, s.extents.maxx, s.extents.maxy};
  LowerJwwBody(d.Body, d.EntLgrp, s);
  scene::BaseMark mark;
  mark.p = {d.Enthd.BasePoint_x, d.Enthd.BasePoint_y};
  s.overlay.push_back(mark);
  s.basePoint = mark.p;
}

void LowerJwwBody(const TJwwBody& body, const std::array<TEntJwwLayerGroup, 16>& groups, scene::Scene& s) {
  JwwLowering(body, groups, s).Run();
}

}  // namespace zumen
