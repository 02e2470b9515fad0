#pragma once
// The entity operations of the JWW and JWS drawing pass, shared by the plain
// pass over the drawing's own lists (draw_pass.cpp) and the block-aware
// variants that draw definition members through a block transform
// (block_draw.cpp).
#include <array>
#include <cstdint>
#include <string>

#include "context/context.h"
#include "formats/jww/records.h"
#include "render_jw/graph2.h"

namespace zumen {

// Block transform: a definition point (u, v) lands at
// ((bx + b1 u + b2 v) / sc, (by + b3 u + b4 v) / sc). lf (bit 0x40 of the
// instance's pen style) forces sc = 1 and makes texts use the scale of their
// own layer group.
struct JwwBlockXf {
  double bx = 0, by = 0, b1 = 1, b2 = 0, b3 = 0, b4 = 1, sc = 1;
  bool lf = false;

  TDPoint T(double u, double v) const { return {(bx + b1 * u + b2 * v) / sc, (by + b3 * u + b4 * v) / sc}; }
  // The matrix part is the identity within 1e-14.
  bool IsIdentity() const;
};

class JwwEntityDrawer {
 public:
  JwwEntityDrawer(const TJwwBody& body, const std::array<TEntJwwLayerGroup, 16>& groups, std::string imageFolder,
                  ConversionContext& ctx, TGraph2& g);

  // The whole pass over the drawing's lists and then the block tree.
  void GLDrawALL();

  // One entity of the drawing's own lists.
  void GLDrawImage(bool dispmode, uint32_t dcol, const TEntJwwMoji& e);
  void GLDrawSolid(bool dispmode, uint32_t dcol, const TEntJwwSolid& e);
  void GLDrawLine(bool dispmode, uint32_t dcol, const TEntJwwLine& e);
  void GLDrawEnko(bool dispmode, uint32_t dcol, const TEntJwwEnko& e);
  void GLDrawTen(bool dispmode, uint32_t dcol, const TEntJwwTen& e);
  void GLDrawMoji(bool dispmode, uint32_t dcol, const TEntJwwMoji& e);
  void GLDrawSunpo(bool dispmode, bool hojof, uint32_t dcol, const TEntJwwSunpo& e);

  // One member of a block definition through the transform of an instance.
  void GLDrawImage2(bool dispmode, uint32_t dcol, const TEntJwwMoji& e, JwwBlockXf xf);
  void GLDrawSolid2(bool dispmode, uint32_t dcol, const TEntJwwSolid& e, JwwBlockXf xf);
  void GLDrawLine2(bool dispmode, uint32_t dcol, const TEntJwwLine& e, JwwBlockXf xf);
  void GLDrawEnko2(bool dispmode, uint32_t dcol, const TEntJwwEnko& e, JwwBlockXf xf);
  void GLDrawTen2(bool dispmode, uint32_t dcol, const TEntJwwTen& e, JwwBlockXf xf);
  void GLDrawMoji2(bool dispmode, uint32_t dcol, const TEntJwwMoji& e, JwwBlockXf xf);
  // As GLDrawMoji2 with the text sm, sizes rounded, and (when the matrix is
  // not the identity) the base line re-centred on the length of sm.
  void GLDrawMoji3(bool dispmode, uint32_t dcol, const std::u16string& sm, const TEntJwwMoji& e, JwwBlockXf xf);
  void GLDrawSunpo2(bool dispmode, bool hojof, uint32_t dcol, const TEntJwwSunpo& e, JwwBlockXf xf);

 private:
  // Visibility filter of the pass: the layer is not hidden (layer and group
  // within 0..15), and with auxiliary display off the entity is not auxiliary
  // (pen colour 9; for lines and arcs also pen style 9).
  bool Shown(const TEntJwwAttr& a, bool lineLike) const;
  // The layer filter alone (dimensions are tested for their layer only).
  bool LayerShown(const TEntJwwAttr& a) const;
  // Scale of a layer group; 1 for a group beyond the 16 stored.
  double GroupScale(int group) const;
  // Pen of lines and arcs.
  void LinePen(const TEntJwwAttr& a, uint32_t dcol);
  // Pen of solids (with their own colour for pen colour 10).
  void SolidPen(const TEntJwwSolid& e, uint32_t dcol);
  // Pen of texts and image frames.
  void PlainPen(const TEntJwwAttr& a, uint32_t dcol);
  // The frame of an image box, turned by deg degrees about (x1, y1), in the
  // pen of the image text: drawn in place of an image that is not shown.
  void ImageFrame(const TEntJwwAttr& a, uint32_t dcol, double x1, double y1, double x2, double y2, double deg);
  // Fills GLPt with the four corners and draws them as one solid.
  void SolidQuad(const TDPoint (&p)[4]);
  // Draws a text record with its string s at the base line p1-p2.
  void DrawText(const TEntJwwMoji& e, const std::u16string& s, TDPoint p1, TDPoint p2, double h, double w,
                double sp);

  const TJwwBody& body_;
  const std::array<TEntJwwLayerGroup, 16>& groups_;
  std::string imageFolder_;
  ConversionContext& ctx_;
  TGraph2& g_;
};

// Answer of GLImage and GLImage2 for an image that cannot be shown: its file
// is missing, of a type not read, or holds no pixels.
constexpr int32_t kImageNotShown = 3;

// Auxiliary entity: pen colour 9; for lines and arcs also pen style 9.
inline bool JwwIsAux(const TEntJwwAttr& a, bool lineLike) {
  return a.nPenColor == 9 || (lineLike && a.nPenStyle == 9);
}

// Font style of a text record: 0 normal below 10000, 2 for 10000 to 19999,
// 1 for 20000 to 29999, 3 from 30000.
int32_t JwwMojiFtyp(uint32_t nMojiShu);

// Text of a dimension value len. f holds the value flags (decimals, rounding,
// grouping, units, full-width), g the prefix flags (radius, diameter).
std::u16string SunpoValueText(double len, uint32_t f, uint32_t g);

}  // namespace zumen
