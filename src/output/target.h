#pragma once
// Where a picture goes: a target gives the canvas to draw on and then
// delivers what was drawn (encoded to a file or to memory, or copied into a
// caller's pixel buffer). Raster targets (BMP ... WebP) draw on a Cairo image
// surface and encode through the codecs; vector targets (SVG, PDF) draw the
// same calls on Cairo's vector surfaces, whose page is the frame at its true
// size. Every kind of output slots in behind this one interface.
#include <memory>
#include <string>

#include "canvas/canvas.h"
#include "zumen/zumen.h"

namespace zumen {

class PictureTarget {
 public:
  virtual ~PictureTarget() = default;
  virtual Canvas& canvas() = 0;
  // Delivers the picture; an error message, empty on success. A file is
  // replaced only by a complete picture.
  virtual std::string Finish() = 0;
};

// The page of a vector output: the frame that is fitted into the picture, at
// 1:1 in millimetres, and the scale the frame was fitted at, in pixels of the
// renderer's grid per millimetre. The frame is centred on the grid.
struct VectorPage {
  double width_mm = 0;
  double height_mm = 0;
  double px_per_mm = 0;  // 0: no page given; the grid itself at the options' dpi is the page
};

// The target of an output for a picture of width x height pixels (vector
// outputs: a page, with the renderer drawing in a grid of that many pixels);
// null with an error message when the output is unusable or the canvas
// cannot be had.
std::unique_ptr<PictureTarget> MakeTarget(const Output& output, int width, int height, const RenderOptions& options,
                                          std::string& error, const VectorPage& page = {});

// The message for an output whose type is not known.
std::string UnknownOutputMessage(const Output& output);

// The picture type of an output: its own, or its file's extension.
std::optional<OutputType> TypeOfOutput(const Output& output);

// Writes bytes to path through a temporary file beside it that is renamed
// over it once complete; an error message on failure (path then untouched).
std::string WriteFileAtomically(const std::string& path, std::span<const uint8_t> bytes);

}  // namespace zumen
