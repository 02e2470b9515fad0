#pragma once
// One drawing family behind one interface. Each family's folder holds its
// handler; the driver holds the handler of the drawing it converts and never
// asks which family that is.
//
// The life of a drawing: Check and Read once (the model is then read-only),
// then for every picture, on a fresh context: Prepare (after a complete read
// only), Frame, Draw. Several pictures of one drawing may be drawn at once
// from several threads, each on its own context.
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "canvas/canvas.h"
#include "common/box.h"
#include "context/context.h"
#include "scene/scene.h"
#include "zumen/zumen.h"

namespace zumen {

namespace dxf {
struct Document;
}

// A rectangle in drawing units.
struct FrameBox {
  double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
};

// What a reader may spend; from LoadOptions.
struct ReadLimits {
  uint64_t maxEmbeddedImageBytes = uint64_t{256} << 20;
  uint64_t maxBlockWork = 100'000;
};

// How a picture is drawn: the per-format modes that RenderOptions chooses.
struct DrawModes {
  bool frame = true;           // the blue paper frame
  bool auxiliaryLines = true;  // K4 auxiliary lines (Jw families: the attribute model)
  bool ownColours = false;     // K4: objects' own colours and printed widths
  // The colour the drawing is cleared to; empty: the drawing's own.
  std::optional<uint32_t> background;
};

class DrawingHandler {
 public:
  virtual ~DrawingHandler() = default;

  // The format's signature and version test on the file's first bytes (or all of them).
  virtual bool Check(std::span<const uint8_t> bytes) const = 0;
  // Reads the whole drawing; on false, error says why and the model keeps
  // what was read.
  virtual bool Read(std::span<const uint8_t> bytes, const ReadLimits& limits, std::string& error) = 0;
  // After a complete read: the file's pens and line types, the layer states,
  // the extents and the paper frame, into ctx.
  virtual void Prepare(ConversionContext& ctx) const = 0;
  // The rectangle that is fitted into the picture.
  virtual FrameBox Frame(const ConversionContext& ctx) const = 0;
  // Clears the canvas to the background and draws the drawing, when it has
  // anything to draw.
  virtual void Draw(ConversionContext& ctx, Canvas& canvas, const DrawModes& modes) const {
    (void)ctx;
    (void)canvas;
    (void)modes;
  }
  // Fills what the format knows of the drawing into info; ctx is a prepared
  // context (extents and paper are taken by the caller).
  virtual void Describe(const ConversionContext& ctx, DrawingInfo& info) const = 0;
  // What reading found that cannot be honoured (block instances left out, ...).
  virtual void Diagnostics(std::vector<Diagnostic>& out) const { (void)out; }
  // Hands the points of every entity that a picture on the prepared context
  // shows to survey, entity by entity (a block instance is one entity),
  // leaving out auxiliary ones: construction lines, which are not printed and
  // often run far beyond the drawing. For the fit to the extents and the
  // entities far outside the paper; symbols, whose frame is their extents
  // already, hand nothing.
  virtual void SurveyEntities(const ConversionContext& ctx, EntitySurvey& survey) const {
    (void)ctx;
    (void)survey;
  }

  // Lowers the drawing into its scene: the items, definitions, placements,
  // whether and how it is drawn (s.model, the paper and the extents are set
  // from a prepared context first). False when the family draws without one.
  virtual bool Lower(scene::Scene& s) const {
    (void)s;
    return false;
  }

  // DXF export: writes the drawing into out, in millimetres of the drawing.
  // ctx is a prepared context (the file's pens, line types and layer states);
  // the pass sets ctx.LgScale for every text as the drawing pass does, so
  // that the text macros read as they are drawn. Images the drawing places
  // are listed in out.images with the files they come from.
  virtual void ExportDxf(ConversionContext& ctx, dxf::Document& out) const {
    (void)ctx;
    (void)out;
  }
};

}  // namespace zumen
