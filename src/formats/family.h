#pragma once
// One drawing family behind one interface. Each family's folder holds its
// handler; the driver holds the handler of the drawing it converts and never
// asks which family that is.
//
// The life of a drawing: Check, Read and Lower once; every picture, export
// (DXF too) and query then reads the scene, from any number of threads.
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
  // Lowers the drawing into its scene, which starts with the attribute
  // model's start-up state and the default paper and extents: for a drawing
  // read to its end (complete) the file's pens, line types and layer states,
  // its paper, extents and the survey of what a picture shows, else those
  // defaults stay; then everything the drawing shows, from what was read.
  virtual void Lower(bool complete, scene::Scene& s) const = 0;
  // Fills what the format knows of the drawing into info (extents and paper
  // are taken from the scene by the caller).
  virtual void Describe(const scene::Scene& s, DrawingInfo& info) const = 0;
  // What reading found that cannot be honoured (block instances left out, ...).
  virtual void Diagnostics(std::vector<Diagnostic>& out) const { (void)out; }
};

}  // namespace zumen
