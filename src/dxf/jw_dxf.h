#pragma once
// The DXF entities of a scene's items: layers from the scene's layers, pens,
// line types and text styles from the attribute model, texts as the renderer
// lays them out, and the curves, solids and markers that the Jw renderer
// builds, all in the drawing's millimetres. A drawing coordinate times the
// scale of the entity's layer group is a millimetre of the drawing; pen
// widths stay millimetres of paper (DXF lineweights are plotted widths).
#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "common/types.h"
#include "context/context.h"
#include "dxf/document.h"
#include "renderer/macros.h"
#include "scene/scene.h"

namespace zumen {

// The builder the DXF export of a scene works with. Every member that takes
// a scale multiplies the drawing coordinates it is given by it.
class JwDxf {
 public:
  JwDxf(const scene::Scene& s, const ConversionContext& ctx, dxf::Document& doc, MacroRules rules = MacroRules::Jw);

  // Layer n (0..255; others go to layer "0"): made on first use, named from
  // the scene's group and layer names, off when the layer is hidden, locked
  // when it is display-only or locked against editing.
  std::string Layer(int n);

  // Properties of a line or arc: layer, pen colour (true colour and nearest
  // index), lineweight of widthMm, line type jn at scale.
  dxf::Props LineProps(int layer, int pen, int ltype, double widthMm, double scale);
  // Properties of solids, texts and markers: layer and pen colour.
  dxf::Props PenProps(int layer, int pen);
  // The same with a colour of its own (ARGB).
  dxf::Props ColourProps(int layer, uint32_t argb);

  // The line type of Jw number jn with its pattern at scale; empty for solid
  // line types (the layer's Continuous).
  std::string Linetype(int jn, double scale);

  // A text along (x1, y1) -> (x2, y2) as the renderer lays it out (macros,
  // layout directives, control sequences), coordinates multiplied by scale:
  // every run of a horizontal text is one entity, a TEXT without extra
  // spacing and an MTEXT with the spacing as its tracking otherwise.
  // Vertical runs, spaced runs upside down in their cells and spacing that
  // runs characters backwards are one TEXT per character in its cell; in
  // model space the characters of such a text make one group. SetLgScale
  // gives the scale of the text's layer group first, for the scale macros.
  void AddText(std::vector<dxf::Entity>& out, dxf::Props props, double x1, double y1, double x2, double y2,
               double h, double w, double sp, int32_t Ftyp, const std::u16string& font, const std::u16string& s,
               double scale);

  // Point markers as GLTenMarker draws them, at scale: a plain point is a
  // POINT, a virtual point a POINT too, coded markers their strokes and fills.
  void AddMarker(std::vector<dxf::Entity>& out, int layer, double x, double y, int kf, int pc, double a, double ba,
                 int pen, double scale);

  // Ellipse arc (Jw parameters: radius r along tilt a, flatness h, start sa,
  // sweep da, radians) as CIRCLE, ARC or ELLIPSE.
  static void AddCurve(std::vector<dxf::Entity>& out, const dxf::Props& p, double cx, double cy, double r, double h,
                       double a, double sa, double da, bool whole, double scale);
  // An arc solid of style sty (101 filled, 105/106 ring, 111 outline) as a
  // HATCH or an outline.
  static void AddSolidArc(std::vector<dxf::Entity>& out, const dxf::Props& p, int sty, double cx, double cy,
                          double r, double h, double a, double sa, double da, double zf, double scale);
  // A filled polygon: SOLID for a convex one of three or four corners, else HATCH.
  static void AddSolid(std::vector<dxf::Entity>& out, const dxf::Props& p, std::vector<TDPoint> pts, double scale);

  const ConversionContext& ctx() const { return ctx_; }
  void SetLgScale(double s) { lgScale_ = s; }
  dxf::Document& doc() { return doc_; }

 private:
  std::string Style(const std::u16string& font, int32_t Ftyp);

  const scene::Scene& s_;
  const ConversionContext& ctx_;
  double lgScale_ = 1;
  dxf::Document& doc_;
  MacroRules rules_;
  std::array<std::string, 256> layerNames_{};
  std::map<std::pair<int, double>, std::string> linetypes_;
  std::map<std::pair<std::u16string, int32_t>, std::string> styles_;
};

// The colour of an ARGB value as DXF writes it: true colour and nearest index.
dxf::Color DxfColour(uint32_t argb);

// An IMAGE of a W x H pixel image placed as GLImage2 places it: the crop drr
// of the image's width wide with the aspect of the box (drx of the width in
// from the left, dry of the height up from the bottom, or the crop's bottom
// when it is taller than the image) fitted into the box bw x bh whose first
// corner is (x, y), turned by a radians about that corner; coordinates
// multiplied by scale. The whole image is placed and clipped to the crop.
dxf::Image CroppedImage(double x, double y, double bw, double bh, double a, double W, double H, double drx,
                        double dry, double drr, double scale);

}  // namespace zumen
