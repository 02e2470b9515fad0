#pragma once
// The scene: what one opened drawing shows, with every rule of its family
// already applied. A family's lowering builds it once when the drawing is
// opened; afterwards it is read-only and shared by every render, export and
// query, on any number of threads.
//
// It holds, in drawing coordinates: the items in the order they are painted,
// each with its layer, its resolved pen and the entity it came from; the
// block definitions with the placements of their instances (the transform
// of each placement kept, the members not copied), and the instances as the
// drawing writes them, so that the structure survives for the DXF export;
// the attribute model (pen colours and widths, line types, layer states,
// names and scales); the paper, the extents and the survey of what a picture
// shows; the images the drawing holds or places, as bytes; and what the text
// macros read of the file (its name, time and title).
//
// Items are the drawing operations of the two primitive renderers with their
// arguments: the Jw renderer (TGraph2) for JWW, JWS, JWC and JWK drawings,
// the K4 renderer (TGraph) for K4 drawings. What depends on the moment or on
// the picture (the date in a text, the colours of a monochrome picture, the
// pixels of a pen) stays for the renderer.
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

#include "attributes/graattribute.h"
#include "common/box.h"
#include "common/types.h"
#include "scene/head.h"
#include "scene/images.h"
#include "scene/k4_items.h"

namespace zumen {

class Canvas;

namespace scene {

// A pen of the Jw renderer: its layer (which greys it on a display-only
// layer), pen colour number, line type and width in drawing units (0: one
// pixel); and the millimetres of the drawing per drawing unit of the item
// drawn with it (the scale of its entity's layer group; 1 for a JWK symbol,
// whose coordinates are millimetres of the drawing already).
struct JwPen {
  int32_t lay = 0;
  int32_t col = 0;
  int32_t typ = 1;
  double wid = 0;
  double unit = 1;
};

// A block transform: a definition point (u, v) lands at
// ((bx + b1 u + b2 v) / sc, (by + b3 u + b4 v) / sc).
struct Transform {
  double bx = 0, by = 0, b1 = 1, b2 = 0, b3 = 0, b4 = 1, sc = 1;
  TDPoint T(double u, double v) const { return {(bx + b1 * u + b2 * v) / sc, (by + b3 * u + b4 * v) / sc}; }
  // The matrix part is the identity within 1e-14.
  bool IsIdentity() const;
  bool Mirrors() const { return b1 * b4 - b2 * b3 < 0; }
};

// ---- items of the Jw renderer ----------------------------------------------

// A straight line with the pen's line type.
struct Line {
  Head h;
  JwPen pen;
  TDPoint p1, p2;
};

// An ellipse arc with the pen's line type: centre, radius, flattening, tilt,
// start and swept angle (radians); whole ellipses sweep 0..2 pi.
struct Arc {
  Head h;
  JwPen pen;
  TDPoint c;
  double r = 0, flat = 1, tilt = 0, start = 0, sweep = 0;
  bool whole = false;
};

// A filled quadrilateral, in the pen's colour or its own (own: greyed on a
// display-only layer as a pen colour is).
struct Solid {
  Head h;
  JwPen pen;
  std::optional<uint32_t> own;
  TDPoint p[4];
};

// An arc solid of the Jw renderer's styles (101 filled, 105/106 rings, 111
// outline): centre x, y, radius, flattening, tilt, start, sweep and zf.
struct SolidArc {
  Head h;
  JwPen pen;
  std::optional<uint32_t> own;
  int32_t style = 101;
  double v[8] = {};
};

// A point or point marker: virtual (a small circle), plain (a dot of the
// pen's point size) or a coded marker turned by angle and scaled.
struct Marker {
  Head h;
  TDPoint p;
  int32_t kf = 0;         // 1: a virtual point
  bool coded = false;     // a coded marker, which turns with a block
  int32_t code = 0;
  double angle = 0, scale = 1;
  int32_t lay = 0, col = 0, width = 0;  // width in hundredths of a millimetre, 0: the pen's
  double unit = 1;                      // millimetres of the drawing per drawing unit (see JwPen)
};

// How a dimension's value is written for a placed length (a family's own
// numbers and units), for dimensions whose text is their value.
using ValueFormat = std::u16string (*)(double length, uint32_t f, uint32_t g);
struct DimensionValue {
  TDPoint a, b;        // the measured line
  double scale = 1;    // drawing units to the units written
  uint32_t f = 0, g = 0;
  ValueFormat format = nullptr;
};

// A text along its base line p1-p2: character height h and width w, spacing
// sp (of a full-width character), font style (1 bold, 2 italic, 4 underline,
// 8 strike-out), font (a leading "@" for vertical writing) and the text with
// its macros; the scale the scale macros print.
struct Text {
  Head h;
  JwPen pen;
  TDPoint p1, p2;
  double height = 0, width = 0, spacing = 0;
  int32_t style = 0;
  std::u16string font, text;
  double macroScale = 1;
  // Set when the text is a dimension's value that a scaled or turned block
  // writes anew for its placed length.
  std::optional<DimensionValue> value;
};

// A raster image placed at p1 in a box w x h (drawing units) by a text;
// the long form crops (X, Y offsets and R width as fractions of the image)
// and turns it by A degrees about p1. When it cannot be shown, its frame is
// drawn in the pen. The text's base line runs at baseAngle (radians) and
// ends at textEnd.
struct Image {
  Head h;
  JwPen pen;
  TDPoint p1, textEnd;
  double w = 0, hgt = 0;
  bool longForm = false;
  double X = 0, Y = 0, R = 1, A = 0;
  double baseAngle = 0;
  std::u16string file;  // a key of Scene::images, or a path as written
};

// The red circle of 5 pixels on a symbol's base point.
struct BaseMark {
  Head h;
  TDPoint p;
};

// One placement of a block definition: its members drawn through the
// transform (its own layer does not hide it; each member's does). With ownScale the texts' scale macros print the scale of their
// own layer group, else groupScale, the scale of the placement's group.
struct Placement {
  Head h;
  int32_t definition = -1;
  Transform xf;
  bool ownScale = false;
  double groupScale = 1;
  int32_t parent = -1;  // the placement (index in Scene::placements) it sits in
};

// An item kind kept out of line, with the value's copy and move. A dense
// drawing is mostly lines and arcs: with the large kinds (texts, images, K4
// strokes, symbols, texts and fills) boxed, an item takes as little room as
// the common kinds need instead of the largest kind's.
template <class T>
class Boxed {
 public:
  Boxed(T value) : p_(std::make_unique<T>(std::move(value))) {}  // NOLINT: an item is made from its kind
  Boxed(const Boxed& o) : p_(std::make_unique<T>(*o.p_)) {}
  Boxed(Boxed&&) noexcept = default;
  Boxed& operator=(const Boxed& o) {
    if (this != &o) p_ = std::make_unique<T>(*o.p_);
    return *this;
  }
  Boxed& operator=(Boxed&&) noexcept = default;
  ~Boxed() = default;

  const T& operator*() const { return *p_; }
  T& operator*() { return *p_; }
  const T* operator->() const { return p_.get(); }
  T* operator->() { return p_.get(); }

 private:
  std::unique_ptr<T> p_;
};

using Item = std::variant<Line, Arc, Solid, SolidArc, Marker, Boxed<Text>, Boxed<Image>, BaseMark, Boxed<K4Stroke>,
                          Boxed<K4Symbol>, K4Point, Boxed<K4Text>, Boxed<K4Fill>, K4Bitmap>;

// An item's kind as it is, boxed or not.
template <class T>
const T& Unbox(const T& v) {
  return v;
}
template <class T>
const T& Unbox(const Boxed<T>& v) {
  return *v;
}

// Calls f with the item's kind (never with its box).
template <class F>
decltype(auto) Visit(F&& f, const Item& item) {
  return std::visit([&f](const auto& i) -> decltype(auto) { return f(Unbox(i)); }, item);
}

template <class T, class V>
struct IsAlternative;
template <class T, class... Ts>
struct IsAlternative<T, std::variant<Ts...>> : std::bool_constant<(std::is_same_v<T, Ts> || ...)> {};

// The item as kind T, or null; Is: whether it is one.
template <class T>
const T* GetIf(const Item& item) {
  if constexpr (IsAlternative<T, Item>::value) {
    return std::get_if<T>(&item);
  } else {
    const Boxed<T>* b = std::get_if<Boxed<T>>(&item);
    return b ? &**b : nullptr;
  }
}
template <class T>
T* GetIf(Item& item) {
  if constexpr (IsAlternative<T, Item>::value) {
    return std::get_if<T>(&item);
  } else {
    Boxed<T>* b = std::get_if<Boxed<T>>(&item);
    return b ? &**b : nullptr;
  }
}
template <class T>
bool Is(const Item& item) {
  return GetIf<T>(item) != nullptr;
}

inline const Head& HeadOf(const Item& item) {
  return Visit([](const auto& i) -> const Head& { return i.h; }, item);
}

// A block instance as the drawing writes it: where, how large and turned
// (radians), which definition (the first of its number; -1 for none).
struct Instance {
  Head h;
  int32_t definition = -1;
  uint32_t number = 0;
  TDPoint at;
  double scaleX = 1, scaleY = 1, rotation = 0;
  double unit = 1;  // millimetres of the drawing per drawing unit (see JwPen)
};

struct Definition {
  uint32_t number = 0;
  std::u16string name;
  std::vector<Item> items;          // in definition coordinates, in painting order
  std::vector<Instance> instances;  // the definitions it places in turn
};

// A dimension: its own head (layer, auxiliary), the line it measures (a-b,
// drawn on layer lineLayer) and its text's base line (textA-textB on layer
// textLayer) and text as stored; the millimetres of the drawing per drawing
// unit of the line and of the text (see JwPen).
struct Dimension {
  Head h;
  TDPoint a, b;
  int32_t lineLayer = 0;
  TDPoint textA, textB;
  int32_t textLayer = 0;
  std::u16string text;
  double lineUnit = 1, textUnit = 1;
};

// A layer as the drawing defines it: names (as the attribute model keeps
// them, after a prefix of four characters), state, the scale of its group
// (millimetres of the drawing per drawing unit) and whether it is locked
// against editing (K4: greyed, by its group or itself).
struct LayerDef {
  std::u16string name, groupName;
  int32_t state = 1;  // 1 normal, 2 display only, 3 hidden
  double groupScale = 1;
  bool locked = false;
};

// The painter that draws a scene's items.
enum class Painter { Jw, K4 };

// A box in drawing units.
struct Frame {
  double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
};

struct Scene {
  Painter painter = Painter::Jw;
  // Whether the drawing is drawn at all (a JWW or K4 drawing that announces
  // no entity is not, not even its background).
  bool drawn = true;
  // The box fitted into pictures (the paper; for symbols their extents) and
  // the paper's blue frame (none for symbols).
  Frame frame{0, 0, 400, 400};
  std::optional<Frame> paperFrame;
  // The drawing's own background (0 white, 1 black) and attribute model.
  TgraAttribute model;
  std::vector<LayerDef> layers = std::vector<LayerDef>(256);
  // A symbol's base point (DXF's insertion base).
  std::optional<TDPoint> basePoint;
  // What the Jw painter divides the coordinates of the items by to put them
  // on paper: a JWK symbol's scale (its items keep their coordinates as
  // stored, millimetres of the drawing); 1 for every other drawing.
  double divisor = 1;
  // K4: the print styles the pens of the items name.
  K4Print k4Print;

  std::vector<Item> items;
  std::vector<Placement> placements;  // painted after the items, in this order
  std::vector<Item> overlay;          // painted last (a symbol's base mark)
  std::vector<Definition> definitions;
  std::vector<Instance> instances;  // the drawing's own
  std::vector<Dimension> dimensions;

  // Paper size (the frame fitted into pictures; symbols: their extents).
  double papx = 400, papy = 400;
  ExtentBox extents{0, 0, 400, 400};
  // What a picture of the paper shows, entity by entity (a placement as one),
  // auxiliary entities left out: the box around it all, and how many
  // entities lie wholly more than half the paper beyond its edge.
  bool surveyAny = false;
  ExtentBox surveyBox;
  int64_t surveyOutside = 0;

  // Images the drawing carries (embedded ones under their "%temp%" name,
  // placed files under the name the drawing writes), as their file's bytes.
  ImageMap images;

  // For the text macros.
  std::u16string title;
};

}  // namespace scene
}  // namespace zumen
