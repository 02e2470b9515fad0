#pragma once
// A DXF drawing in memory and its ASCII writer.
//
// The document holds what a DXF file carries: a few header variables, the
// tables (line types, layers, text styles), block definitions, the entities of
// model space and the image files they place. It knows nothing about the
// drawings zumen reads; the export of a scene fills it. Write()
// turns it into an AutoCAD 2013 (AC1027) DXF file: every text is UTF-8, true
// colours, lineweights and gradient hatches are available, and every handle,
// owner and dictionary a reader expects is present.
//
// Angles are in degrees where DXF stores degrees (text, arcs, inserts) and in
// radians where it stores radians (ellipse parameters); the members say which.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace zumen::dxf {

struct Point {
  double x = 0, y = 0;
};

// Colour: an AutoCAD colour index (1..255; 256 by layer, 0 by block) and,
// when set, a true colour 0xRRGGBB that readers prefer over the index.
struct Color {
  int aci = 256;
  std::optional<uint32_t> rgb;
};

// Lineweights are hundredths of a millimetre, or one of these.
inline constexpr int kLwByLayer = -1;
inline constexpr int kLwByBlock = -2;
inline constexpr int kLwDefault = -3;

// Properties every entity has.
struct Props {
  std::string layer = "0";
  std::string linetype;  // empty: by layer
  Color color;
  int lineweight = kLwByLayer;
  double ltscale = 1;  // the entity's line-type scale
};

struct Line {
  Props p;
  Point a, b;
};
struct Circle {
  Props p;
  Point c;
  double r = 0;
};
// Counter-clockwise from startDeg to endDeg.
struct Arc {
  Props p;
  Point c;
  double r = 0, startDeg = 0, endDeg = 0;
};
// major: the end of the major axis relative to the centre; ratio: minor to
// major (0 < ratio <= 1); parameters in radians, counter-clockwise.
struct Ellipse {
  Props p;
  Point c, major;
  double ratio = 1, start = 0, end = 6.283185307179586;
};
struct PointEntity {
  Props p;
  Point at;
};
// A single-line text. halign / valign are the DXF codes (72, 73); with
// halign 5 (fit) the text fills the base line from insert to align.
struct Text {
  Props p;
  std::string text;  // UTF-8, one line
  Point insert, align;
  double height = 1, widthFactor = 1, rotationDeg = 0, obliqueDeg = 0;
  std::string style = "Standard";
  int halign = 0, valign = 0;
  bool mirrorX = false, mirrorY = false;
};
// A text of one line in MTEXT form, for what a TEXT cannot say (character
// spacing). text is the MTEXT content with its inline codes (\T tracking,
// \W width factor, \L underline, ...); literal backslashes and braces
// escaped. attachment is the DXF code 71 (7: bottom left, the insertion point
// the start of the base line); width 0 does not wrap.
struct MText {
  Props p;
  std::string text;  // UTF-8, one line
  Point insert;
  double height = 1, width = 0, rotationDeg = 0;
  std::string style = "Standard";
  int attachment = 7;
};
// The four corners in DXF order (the third and fourth are swapped against
// the order round the outline); a triangle repeats its third corner.
struct Solid {
  Props p;
  Point c[4];
};
struct Polyline {
  Props p;
  std::vector<Point> pts;
  bool closed = false;
};
// Hatch fills. Boundaries are closed polylines; loops inside others are holes.
struct HatchPatternLine {
  double angleDeg = 0;
  Point base, offset;
  std::vector<double> dashes;
};
struct Gradient {
  std::string name = "LINEAR";  // LINEAR, CYLINDER, SPHERICAL, ...
  uint32_t rgb1 = 0, rgb2 = 0xFFFFFF;
  double angleRad = 0;
  double shift = 0;
};
struct Hatch {
  Props p;
  std::vector<std::vector<Point>> loops;
  // Solid when the pattern is empty and no gradient is set.
  std::string pattern = "SOLID";
  std::vector<HatchPatternLine> patternLines;
  std::optional<Gradient> gradient;
};
// Non-rational B-spline.
struct Spline {
  Props p;
  int degree = 3;
  std::vector<double> knots;
  std::vector<Point> control;
};
struct Insert {
  Props p;
  std::string block;
  Point at;
  double sx = 1, sy = 1, rotationDeg = 0;
};
// An aligned or rotated linear dimension whose picture is its block.
struct Dimension {
  Props p;
  std::string block;
  std::string style = "Standard";
  Point defPoint, textMid, ext1, ext2;
  bool rotated = false;  // rotated (linear) rather than aligned
  double angleDeg = 0;   // of a rotated dimension
  std::string text;      // the value text as shown
  double measurement = 0;
};
// A raster image: def indexes Document::images; u and v are the drawing
// vectors of one pixel along the image's width and up its height.
struct Image {
  Props p;
  size_t def = 0;
  Point insert, u, v;
  // Optional clip rectangle in pixel coordinates (x right, y down from the
  // top-left corner of the image, as DXF counts them).
  std::optional<std::pair<Point, Point>> clip;
};

using Entity = std::variant<Line, Circle, Arc, Ellipse, PointEntity, Text, MText, Solid, Polyline, Hatch, Spline, Insert,
                            Dimension, Image>;

struct Linetype {
  std::string name, description;
  // Drawn lengths positive, gaps negative, dots 0 (drawing units).
  std::vector<double> elements;
};
struct Layer {
  std::string name;
  Color color{7, std::nullopt};  // an index 1..255 (and a true colour)
  std::string linetype = "Continuous";
  int lineweight = kLwDefault;
  bool off = false, frozen = false, locked = false;
};
struct TextStyle {
  std::string name;
  std::string fontFile;  // e.g. "msgothic.ttc"
  std::string family;    // the font family name, as written to the style's XDATA
  bool bold = false, italic = false;
};
struct Block {
  std::string name;
  Point base;
  std::vector<Entity> entities;
  bool anonymous = false;  // "*D..." blocks of dimensions
};
struct ImageDef {
  std::string file;  // as the DXF names it (relative to the DXF file, or absolute)
  int width = 0, height = 0;
  // Where the image's content is: a file to copy beside the DXF, or (when
  // source is empty) the image file's own bytes, to write beside it under
  // the name file.
  std::string source;
  std::vector<uint8_t> content;
};

// Model-space entities that belong together, such as the characters of one
// text written one by one: an unnamed group that readers select as one,
// described by what it shows.
struct Group {
  std::string description;      // UTF-8, one line
  std::vector<size_t> members;  // indexes into Document::entities
};

struct Document {
  Document();

  std::vector<Linetype> linetypes;  // beyond ByBlock, ByLayer, Continuous
  std::vector<Layer> layers;        // layer "0" is always written first
  std::vector<TextStyle> styles;    // beyond "Standard"
  std::vector<Block> blocks;
  std::vector<Entity> entities;  // model space
  std::vector<ImageDef> images;
  std::vector<Group> groups;

  // Extents of model space, written to $EXTMIN / $EXTMAX when known.
  std::optional<std::pair<Point, Point>> extents;
  // $MEASUREMENT 1 and $INSUNITS 4: metric, millimetres.
  int insunits = 4;
  // $INSBASE: the point by which the drawing is placed into another one.
  Point insbase;

  // Lookup by name, ignoring the case of ASCII letters as DXF does.
  const Layer* FindLayer(std::string_view name) const;
  const Linetype* FindLinetype(std::string_view name) const;
  const TextStyle* FindStyle(std::string_view name) const;
  const Block* FindBlock(std::string_view name) const;
};

// The DXF file of the document.
std::string Write(const Document& doc);

// A box round the model-space entities (their defining points; blocks count
// by their insertion points), or nothing when there are none.
std::optional<std::pair<Point, Point>> EstimateExtents(const Document& doc);

// A name every DXF reader accepts for a table entry or block: the characters
// DXF forbids (< > / \ " : ; ? * | = , ` and control characters) become "_",
// surrounding blanks go, and an empty result becomes fallback.
std::string SafeName(std::string_view utf8, std::string_view fallback);
// Whether two names are the same for DXF (ASCII letters compared without case).
bool SameName(std::string_view a, std::string_view b);

// A line-type pattern as every reader takes it: dashes (and dots, 0) and
// gaps alternating, beginning with a dash and ending with a gap. Neighbours of
// one kind are joined; a pattern that begins with a gap starts at its first
// dash instead (the gap moves to the end); a pattern that ends with a dash,
// which runs on into the first dash of the next period, is closed by a gap of
// a millionth of the period, so that the pattern keeps its start.
std::vector<double> ReaderPattern(const std::vector<double>& elements);

// The nearest AutoCAD colour index (1..255) of a colour 0xRRGGBB.
int NearestAci(uint32_t rgb);
// The standard lineweight (hundredths of a millimetre) nearest to a width in
// millimetres.
int NearestLineweight(double mm);

}  // namespace zumen::dxf
