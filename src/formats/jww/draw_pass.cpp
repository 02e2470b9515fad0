// The JWW drawing pass: which entities are visible, the order in which kinds
// are painted, the pen of each entity and its mapping onto the renderer.
#include <cmath>
#include <numbers>
#include <utility>

#include "attributes/graattribute.h"
#include "formats/jww/draw_entities.h"
#include "formats/jww/draw_pass.h"
#include "formats/jww/image_text.h"

namespace zumen {

namespace {

constexpr uint16_t kOwnColour = 10;  // solid pen colour: the solid carries its own colour
constexpr uint8_t kCodedMarker = 100;
constexpr uint16_t kVertical = 0x20;  // sFlg bit of vertical writing

// Layer state stored in the attribute model for group state g and layer state l.
int32_t JwwLayerState(int32_t g, int32_t l) {
  if (g == 0 || l == 0) return 3;
  if (g == 1 || l == 1) return 2;
  return 1;
}

}  // namespace

int32_t JwwMojiFtyp(uint32_t nMojiShu) {
  if (nMojiShu < 10000) return 0;
  if (nMojiShu < 20000) return 2;
  if (nMojiShu < 30000) return 1;
  return 3;
}

// ---- layer states -------------------------------------------------------------

void JwwSetGAttLayer(const TJwwData& d, ConversionContext& ctx) {
  ctx.GAtt.SetDefaultLayer();
  for (int n = 0; n < 256; ++n) {
    const TEntJwwLayerGroup& grp = d.EntLgrp[n / 16];
    // A zero or negative group scale would give an infinite layer scale; the
    // model then keeps its default of 1.
    const double sc = grp.adScale > 0 ? 1.0 / grp.adScale : 1.0;
    ctx.GAtt.SetAttrLayer(n, JwwLayerState(grp.anGLay, d.EntLay[n].aanLay), sc, grp.aStrGLayName,
                          d.EntLay[n].aStrLayName);
  }
}

void JwsSetGAttLayer(const TJwsData& d, ConversionContext& ctx) {
  ctx.GAtt.SetDefaultLayer();
  for (int n = 0; n < 256; ++n) {
    const double s = d.EntLgrp[n / 16].adScale;
    ctx.GAtt.SetAttrLayer(n, 1, s > 0 ? 1.0 / s : 1.0);
  }
}

// ---- the pass -------------------------------------------------------------------

JwwEntityDrawer::JwwEntityDrawer(const TJwwBody& body, const std::array<TEntJwwLayerGroup, 16>& groups,
                                 std::string imageFolder, ConversionContext& ctx, TGraph2& g)
    : body_(body), groups_(groups), imageFolder_(std::move(imageFolder)), ctx_(ctx), g_(g) {}

bool JwwEntityDrawer::LayerShown(const TEntJwwAttr& a) const {
  // Layers and groups beyond 15 do not exist in the model: such entities are hidden.
  return a.nGLayer <= 15 && a.nLayer <= 15 && ctx_.GAtt.GetAttrLayerState(a.LayerNo()) != 3;
}

bool JwwEntityDrawer::Shown(const TEntJwwAttr& a, bool lineLike) const {
  return LayerShown(a) && (ctx_.GAtt.GetDispHojo() || !JwwIsAux(a, lineLike));
}

double JwwEntityDrawer::GroupScale(int group) const {
  return group >= 0 && group < 16 ? groups_[group].adScale : 1.0;
}

void JwwEntityDrawer::GLDrawALL() {
  const bool dm = ctx_.GAtt.GetDisplayMode();
  if (dm) g_.GLSetDT();
  const bool hide = !ctx_.GAtt.GetDispHojo();
  const TJwwBody& b = body_;

  for (const TEntJwwMoji& e : b.EntMoji)
    if (Shown(e.att, false)) GLDrawImage(dm, 0, e);
  for (const TEntJwwSolid& e : b.EntSolid)
    if (Shown(e.att, false)) GLDrawSolid(dm, 0, e);
  for (const TEntJwwLine& e : b.EntLine)
    if (Shown(e.att, true)) GLDrawLine(dm, 0, e);
  for (const TEntJwwEnko& e : b.EntEnko)
    if (Shown(e.att, true)) GLDrawEnko(dm, 0, e);
  for (const TEntJwwTen& e : b.EntTen)
    if (Shown(e.att, false)) GLDrawTen(dm, 0, e);
  for (const TEntJwwMoji& e : b.EntMoji)
    if (Shown(e.att, false)) GLDrawMoji(dm, 0, e);
  // A dimension is tested for its layer only; its parts are filtered inside.
  for (const TEntJwwSunpo& e : b.EntSunpo)
    if (LayerShown(e.att)) GLDrawSunpo(dm, hide, 0, e);

  // Block instances: the members of each node's definition through the
  // node's transform. Nested instances are nodes of their own.
  for (const TEntJwwBlockTree& node : b.EntBlockTree) {
    ctx_.LgScale = GroupScale(node.att.nGLayer);
    if (node.defno < 0 || static_cast<size_t>(node.defno) >= b.EntBlockDef.size()) continue;
    const TEntJwwBlockDef& def = b.EntBlockDef[node.defno];
    JwwBlockXf xf{node.x, node.y, node.r1, node.r2, node.r3, node.r4, 1.0, (node.att.nPenStyle & 0x40) != 0};
    for (const TEntJwwMoji& e : def.mMoji)
      if (Shown(e.att, false)) GLDrawImage2(dm, 0, e, xf);
    for (const TEntJwwSolid& e : def.mSolid)
      if (Shown(e.att, false)) GLDrawSolid2(dm, 0, e, xf);
    for (const TEntJwwLine& e : def.mLine)
      if (Shown(e.att, true)) GLDrawLine2(dm, 0, e, xf);
    for (const TEntJwwEnko& e : def.mEnko)
      if (Shown(e.att, true)) GLDrawEnko2(dm, 0, e, xf);
    for (const TEntJwwTen& e : def.mTen)
      if (Shown(e.att, false)) GLDrawTen2(dm, 0, e, xf);
    for (const TEntJwwMoji& e : def.mMoji)
      if (Shown(e.att, false)) GLDrawMoji2(dm, 0, e, xf);
    for (const TEntJwwSunpo& e : def.mSunpo)
      if (LayerShown(e.att)) GLDrawSunpo2(dm, hide, 0, e, xf);
  }
}

// ---- pens -----------------------------------------------------------------------

void JwwEntityDrawer::LinePen(const TEntJwwAttr& a, uint32_t dcol) {
  const double wid = a.nPenWidth != 0 ? a.nPenWidth * 0.01 : ctx_.GAtt.GetAttrColwid(a.nPenColor);
  g_.GLPenSet(a.LayerNo(), a.nPenColor, a.nPenStyle, wid, dcol);
}

void JwwEntityDrawer::PlainPen(const TEntJwwAttr& a, uint32_t dcol) {
  g_.GLPenSet(a.LayerNo(), a.nPenColor, 1, 0.0, dcol);
}

void JwwEntityDrawer::ImageFrame(const TEntJwwAttr& a, uint32_t dcol, double x1, double y1, double x2, double y2,
                                 double deg) {
  PlainPen(a, dcol);
  g_.GLBoxA(x1, y1, x2, y2, deg * std::numbers::pi / 180.0);
}

void JwwEntityDrawer::SolidPen(const TEntJwwSolid& e, uint32_t dcol) {
  if (e.att.nPenColor != kOwnColour) {
    PlainPen(e.att, dcol);
    return;
  }
  const TgraAttribute& at = ctx_.GAtt;
  const int32_t st = at.GetAttrLayerState(e.att.LayerNo());
  uint32_t col = st == 2 ? at.GetGrayColor() : st == 3 ? at.GetBackColor() : RefToColor(static_cast<int32_t>(e.Color));
  if (dcol != 0) col = dcol;
  g_.GPenSet(ctx_.InkColour(col), 0, 1);
}

// ---- entities -----------------------------------------------------------------

void JwwEntityDrawer::GLDrawLine(bool dispmode, uint32_t dcol, const TEntJwwLine& e) {
  if (dispmode) g_.GLSetDT();
  LinePen(e.att, dcol);
  if (dispmode)
    g_.GLLineDT(e.att.LayerNo(), e.att.nPenStyle, e.start_x, e.start_y, e.end_x, e.end_y);
  else
    g_.GLLine(e.start_x, e.start_y, e.end_x, e.end_y);
}

void JwwEntityDrawer::GLDrawEnko(bool dispmode, uint32_t dcol, const TEntJwwEnko& e) {
  if (dispmode) g_.GLSetDT();
  LinePen(e.att, dcol);
  const bool whole = e.bZenEnFlg != 0;
  if (dispmode) {
    const double sa = whole ? 0.0 : e.radKaishiKaku;
    const double da = whole ? 2 * std::numbers::pi : e.radEnkoKaku;
    g_.GLEllipseArcDT(e.att.LayerNo(), e.att.nPenStyle, e.start_x, e.start_y, e.dHankei, e.dHenpeiRitsu,
                      e.radKatamukiKaku, sa, da);
  } else if (whole) {
    g_.GLEllipse(e.start_x, e.start_y, e.dHankei, e.dHenpeiRitsu, e.radKatamukiKaku);
  } else {
    g_.GLEllipseArc(e.start_x, e.start_y, e.dHankei, e.dHenpeiRitsu, e.radKatamukiKaku, e.radKaishiKaku,
                    e.radEnkoKaku);
  }
}

void JwwEntityDrawer::GLDrawTen(bool /*dispmode*/, uint32_t dcol, const TEntJwwTen& e) {
  const bool coded = e.att.nPenStyle == kCodedMarker;
  g_.GLTenMarker(e.start_x, e.start_y, static_cast<int32_t>(e.bKariten), coded ? static_cast<int32_t>(e.nCode) : 0,
                 coded ? e.radKaitenKaku : 0.0, coded ? e.dBairitsu : 1.0, e.att.LayerNo(), e.att.nPenColor,
                 e.att.nPenWidth, dcol);
}

void JwwEntityDrawer::SolidQuad(const TDPoint (&p)[4]) {
  ctx_.GLPt.assign(std::begin(p), std::end(p));
  g_.GLSolid();
  ctx_.GLPt.clear();
}

void JwwEntityDrawer::GLDrawSolid(bool /*dispmode*/, uint32_t dcol, const TEntJwwSolid& e) {
  SolidPen(e, dcol);
  if (e.att.nPenStyle > 100) {
    g_.GLSolidArc(e.att.nPenStyle, e.start_x, e.start_y, e.end_x, e.end_y, e.DPoint2_x, e.DPoint2_y, e.DPoint3_x,
                  e.DPoint3_y);
    return;
  }
  const TDPoint p[4] = {{e.start_x, e.start_y}, {e.end_x, e.end_y}, {e.DPoint2_x, e.DPoint2_y}, {e.DPoint3_x, e.DPoint3_y}};
  SolidQuad(p);
}

void JwwEntityDrawer::DrawText(const TEntJwwMoji& e, const std::u16string& s, TDPoint p1, TDPoint p2, double h,
                               double w, double sp) {
  const std::u16string font = (e.att.sFlg & kVertical) ? u"@" + e.strFontName : e.strFontName;
  g_.GLAText3(p1.X, p1.Y, p2.X, p2.Y, h, w, sp, JwwMojiFtyp(e.nMojiShu), font, s);
}

void JwwEntityDrawer::GLDrawMoji(bool /*dispmode*/, uint32_t dcol, const TEntJwwMoji& e) {
  if (IsImageText(e.str)) return;
  ctx_.LgScale = GroupScale(e.att.nGLayer);
  PlainPen(e.att, dcol);
  double w = e.dSizeX, h = e.dSizeY;
  if (e.att.sFlg & kVertical) std::swap(w, h);
  DrawText(e, e.str, {e.start_x, e.start_y}, {e.end_x, e.end_y}, h, w, e.dKankaku);
}

void JwwEntityDrawer::GLDrawSunpo(bool dispmode, bool hojof, uint32_t dcol, const TEntJwwSunpo& e) {
  // With hojof the auxiliary parts are left out; Kt1 and Kt2 are never drawn.
  if (e.bSxfMode != 0) {
    if (!hojof || !JwwIsAux(e.Ho1.att, true)) GLDrawLine(dispmode, dcol, e.Ho1);
    if (!hojof || !JwwIsAux(e.Ho2.att, true)) GLDrawLine(dispmode, dcol, e.Ho2);
    if (!hojof || !JwwIsAux(e.Te1.att, false)) GLDrawTen(dispmode, dcol, e.Te1);
    if (!hojof || !JwwIsAux(e.Te2.att, false)) GLDrawTen(dispmode, dcol, e.Te2);
  }
  if (!hojof || !JwwIsAux(e.Sen.att, true)) GLDrawLine(dispmode, dcol, e.Sen);
  if (!hojof || !JwwIsAux(e.Moji.att, false)) GLDrawMoji(dispmode, dcol, e.Moji);
}

void JwwEntityDrawer::GLDrawImage(bool dispmode, uint32_t dcol, const TEntJwwMoji& e) {
  JwImageText im;
  if (!ParseImageText(e.str, im) || im.file.empty()) return;
  const std::u16string fn = ResolveImageFile(im.file, imageFolder_);
  const double x1 = e.start_x, y1 = e.start_y, x2 = x1 + im.W, y2 = y1 + im.H;
  if (dispmode) {
    const int32_t r = im.LongForm() ? g_.GLImage2(x1, y1, x2, y2, im.X, im.Y, im.R, im.A, fn)
                                    : g_.GLImage(x1, y1, x2, y2, 1, fn);
    // A file that is missing, of a type not read or without pixels leaves
    // the frame, so that the picture shows where the image belongs.
    if (r != kImageNotShown) return;
  }
  ImageFrame(e.att, dcol, x1, y1, x2, y2, im.A);
}

// ---- entry points ---------------------------------------------------------------

void JwwGLDrawALL(const TJwwData& d, ConversionContext& ctx, TGraph2& g) {
  const std::string& folder = d.BindImageFolder.empty() ? ctx.TempFolder : d.BindImageFolder;
  JwwEntityDrawer(d.Body, d.EntLgrp, folder, ctx, g).GLDrawALL();
}

void JwsGLDrawALL(const TJwsData& d, ConversionContext& ctx, TGraph2& g) {
  const std::string& folder = d.BindImageFolder.empty() ? ctx.TempFolder : d.BindImageFolder;
  JwwEntityDrawer(d.Body, d.EntLgrp, folder, ctx, g).GLDrawALL();
  if (ctx.GAtt.GetDispKijun()) {
    g.GPenSet(ctx.InkColour(0xFFFF0000), 0, 2);
    const double r = ctx.DispScale > 0 ? 5.0 / ctx.DispScale : 0.0;
    g.GLEllipse(d.Enthd.BasePoint_x, d.Enthd.BasePoint_y, r, 1.0, 0);
  }
}

}  // namespace zumen
