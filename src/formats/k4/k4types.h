#pragma once
// Records of K4 drawings: the header tables and one record per object kind.
// Fixed-size text fields keep only their decoded text; point lists and byte
// blocks are owned vectors.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "common/types.h"

namespace zumen {

// ---- header records ------------------------------------------------------

struct TK4LayerField {
  uint8_t state = 2;  // 0 hidden, 1 greyed, other shown
  uint8_t attr = 0;
  uint32_t color = 0;
  int32_t reserved = 0;
  std::u16string text;    // layer name
  std::u16string module;
  int32_t comid = 0;
};

struct TK4LayerGroupField {
  uint8_t state = 2;
  uint8_t current = 0;
  std::u16string text;  // group name
  double scale = 1.0;   // multiplies the coordinates of the group's objects
  std::array<TK4LayerField, 17> tab{};
};

struct TK4LayerInfo {
  uint8_t current = 0;
  std::array<TK4LayerGroupField, 16> grp{};
};

struct TK4PaperSize {
  uint8_t typ = 3;
  uint8_t lout = 0;  // 1: the paper is turned
  std::array<TDPoint, 2> size{{{0, 0}, {420, 297}}};
};

struct TK4AxisInfo {
  int32_t mode = 0;
  double angle = 0;
};

struct TK4GridInfo {
  TDPoint org, spc;
  TPoint dv{5, 5};
  int32_t disp = 0, snapmain = 1, snapsub = 1, typ = 0, angle = 1, ind = 0, abs = 0, top = 0;
  std::array<uint8_t, 108> reserved{};
};

struct TK4TextStyle {
  std::u16string style;  // style name
  std::u16string font;   // font family
  double hight = 0;      // character height
  double width = 0;      // character width
  double spce = 0;       // spacing
  TDPoint ofset;
  uint8_t penno = 0;   // colour number, 0 = none
  uint8_t txattr = 0;  // bits 0-1: text type for the text operation
  uint8_t lfCharSet = 0;
  uint8_t lfPitchAndFamily = 0;
  int32_t count = 0;
};

struct TK4DimStyle {
  std::u16string style;
  int32_t txtstlno = 0;
  double dlen = 0, xlen = 0, tlen = 0;
  uint8_t pen = 0, term = 0;
  double elen = 0;
};

// Every field is a byte, so the record is its own file image (1154 bytes).
struct TK4SymbolStyle {
  uint8_t current_pstl = 0;
  uint8_t current_astl = 0;
  std::array<uint8_t, 8> reserved{};
  std::array<std::array<uint8_t, 52>, 22> form{};

  // Entry 1 gives the point style: its diameter and its colour number.
  double PointDiameter() const;
  int32_t PointColorNo() const;
};

// Every field is an int32, so the record is its own file image (832 bytes).
struct TK4PrintStyle {
  // [0] kind, [1] number of dash elements, [2..11] lengths in 0.01 mm
  std::array<std::array<int32_t, 12>, 16> ltype{};
  std::array<int32_t, 16> width{};  // pen width per colour number, 0.01 mm
};

struct TK4PrintInfo {
  uint8_t ind = 0, base = 0, area = 0, dmmy = 0;
  TDPoint pos;
  std::array<uint8_t, 64> reserved{};
};

struct TK4ViewInfo {
  std::u16string name;
  double zoom = 1.0;
  TPoint ofset;
  uint32_t color = 0;
  int32_t penno = 0;
  int32_t ltype = 0;
  std::array<uint8_t, 16 * 17> grp{};
};

// ---- object records ------------------------------------------------------

struct TK4ObjectHeader {
  int32_t id = 0;
  uint8_t cotype = 0;
  uint16_t attr = 0;   // layer, group, colour number, line type (4 bits each)
  uint32_t color = 0;  // 0x00BBGGRR
};

// The fields of a symbol from its position on; also the body of an end mark.
struct TK4SymbolBody {
  TDPoint pos;
  double len = 0;
  TDPoint o;
  std::array<double, 2> r{};
  double elipang = 0;
  double angle = 0;
  uint8_t style = 0;
  uint8_t extype = 0;
  uint8_t exattr = 0;
  std::array<double, 2> param{};
};

// Two end marks: the start of the figure, then its end.
struct TK4ObjectEdge {
  std::array<TK4SymbolBody, 2> mark{};
};

struct TK4ObjectPoint {
  TK4ObjectHeader head;
  TDPoint pos;
};

struct TK4ObjectLine {
  TK4ObjectHeader head;
  TDPoint p1, p2;
};
struct TK4ObjectLineEx : TK4ObjectLine {
  TK4ObjectEdge edge;
};

struct TK4ObjectCircle {
  TK4ObjectHeader head;
  TDPoint pos;
  double r = 0;
  std::array<double, 2> arc{};  // start and end angle
};
struct TK4ObjectCircleEx : TK4ObjectCircle {
  TK4ObjectEdge edge;
};

struct TK4ObjectEllipse {
  TK4ObjectHeader head;
  TDPoint pos;
  std::array<double, 2> r{};
  std::array<double, 2> arc{};
  double angle = 0;
};
struct TK4ObjectEllipseEx : TK4ObjectEllipse {
  TK4ObjectEdge edge;
};

struct TK4ObjectSymbol {
  TK4ObjectHeader head;
  TK4SymbolBody sym;
};

struct TK4ObjectText {
  TK4ObjectHeader head;
  TDPoint pos;
  double angle = 0;
  uint8_t style = 0;  // index into the drawing's text styles
  uint8_t base = 0;
  uint8_t lout = 0;  // 1: vertical writing
  std::u16string text;
};
struct TK4ObjectTextEx : TK4ObjectText {
  TK4TextStyle ex;
};

// Bezier curve or polyline. `cnt` is as stored (at least 1); `pt` holds the
// points that the payload really carried, never more than `cnt`.
struct TK4ObjectBezier {
  TK4ObjectHeader head;
  uint8_t typ = 0;
  int16_t cnt = 0;
  std::vector<TDPoint> pt;
};
struct TK4ObjectBezierEx : TK4ObjectBezier {
  TK4ObjectEdge edge;
};
using TK4ObjectPolylineEx = TK4ObjectBezierEx;

struct TK4ObjectPolygon {
  TK4ObjectHeader head;
  int32_t ptn = 0;  // fill pattern number
  int16_t cnt = 0;
  std::vector<TDPoint> pt;
};

struct TK4ObjectGrad {
  int32_t typ = 0;
  int32_t reserved = 0;
  std::array<uint32_t, 2> col{};
  std::array<TDPoint, 2> pos{};
  double angle = 0;
};
struct TK4ObjectPolygonGrad : TK4ObjectPolygon {
  TK4ObjectGrad grad;
};

struct TK4ObjectMapping {
  int32_t reserved = 0;
  std::array<TDPoint, 2> pos{};
  TPoint size;  // image width and height in pixels
  int32_t depth = 0;
  std::vector<uint8_t> pe;  // palette, 1024 bytes when present
  std::vector<uint8_t> bmp;
};
struct TK4ObjectPolygonMapping : TK4ObjectPolygon {
  TK4ObjectMapping map;
};

struct TK4ObjectBitmap {
  TK4ObjectHeader head;
  int32_t byt = 0;  // image byte count as stored
  int32_t typ = 0;  // image format
  std::array<TDPoint, 4> pos{};
  std::vector<uint8_t> bmp;
};
struct TK4ObjectBitmapEx : TK4ObjectBitmap {
  std::vector<uint8_t> exdata;
};

struct TK4ObjectGroup {
  TK4ObjectHeader head;
  std::array<uint8_t, 48> pos{};
  int32_t cnt = 0;  // number of member objects that follow
  std::u16string gname;
};

struct TK4ObjectGroupDimension {
  std::array<uint8_t, 32> rc{};
  double angle = 0;
  std::array<uint8_t, 64> pos{};
  std::array<uint8_t, 16> ang{};
  double r = 0, funit = 0;
  uint8_t base = 0, bunit = 0, point = 0, strip = 0, camma = 0, jtype = 0;
  TK4TextStyle txtstl, epsstl;
};
struct TK4ObjectGroupDim : TK4ObjectGroup {
  TK4ObjectGroupDimension dim;
};

struct TK4ObjectGroupAnno {
  uint8_t align = 0, symb = 0, camma = 0, jtype = 0;
  int16_t line = 0;
  double spce = 0, angle = 0;
  TK4TextStyle txtstl, epsstl;
  std::array<uint8_t, 32> rc{};
  double rcang = 0;
};
struct TK4ObjectGroupQle : TK4ObjectGroup {
  TK4ObjectGroupAnno anno;
};

struct TK4ObjectGroupBalloon {
  uint8_t aux = 0, symb = 0;
  double angle = 0;
  TK4TextStyle txtstl;
  std::array<uint8_t, 32> rc{};
  double rcang = 0;
};
struct TK4ObjectGroupBar : TK4ObjectGroup {
  TK4ObjectGroupBalloon bal;
};

// One entry of the entity index, in file order.
struct TK4EntNo {
  int32_t INo = 0;  // index kind: tag * 100 + version
  int32_t ENo = 0;  // index into the kind's array
  int32_t grpid = 0, grpen = 0, grpno = 0;  // the group the object belongs to
};

// Line type of auxiliary (construction) lines in an attribute word.
inline constexpr uint8_t kK4AuxType = 15;

// Index kinds of the objects.
enum K4Kind : int32_t {
  kK4Point = 200120,
  kK4Line = 200220,
  kK4LineEx = 200230,
  kK4Circle = 200320,
  kK4CircleEx = 200330,
  kK4Ellipse = 200520,
  kK4EllipseEx = 200530,
  kK4Text = 200720,
  kK4TextEx = 200730,
  kK4Polyline = 200820,
  kK4PolylineEx = 200830,
  kK4Polygon = 200940,
  kK4PolygonGrad = 200950,
  kK4PolygonMapping = 200960,
  kK4Bezier = 201720,
  kK4BezierEx = 201730,
  kK4Bitmap = 201890,
  kK4BitmapEx = 201891,
  kK4Symbol = 202020,
  kK4Group = 203220,
  kK4GroupDim = 203230,
  kK4GroupQle = 203240,
  kK4GroupBar = 203250,
};

}  // namespace zumen
