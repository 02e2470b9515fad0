#pragma once
// Where a picture goes: a target has the picture drawn on its canvas and
// delivers it (encoded to a file or to memory, or copied into a caller's
// pixel buffer). Raster targets (BMP ... WebP) draw on a tiled canvas, in
// tiles of 256 x 256 pixels on every thread, and encode through the codecs;
// pictures too large for one bitmap (PNG, TIFF, BMP, JPEG, pixels) are drawn
// in bands of rows, each encoded as soon as it is drawn, so that memory does
// not grow with the picture. Vector targets (SVG, PDF) draw the same calls
// on Cairo's vector surfaces, whose page is the frame at its true size.
// Every kind of output slots in behind this one interface.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "canvas/canvas.h"
#include "zumen/zumen.h"

namespace zumen {

class PictureTarget {
 public:
  virtual ~PictureTarget() = default;
  // Has draw draw the whole picture on a canvas of the picture's grid and
  // delivers the picture; an error message, empty on success. draw is
  // called once, but for a banded picture whose drawing is too large to
  // record: then once more for each band, each time on a fresh canvas. A
  // file is replaced only by a complete picture. When the options' cancel
  // question answers true after drawing (or between bands), nothing is
  // delivered and the answer is kCancelledMessage.
  virtual std::string Paint(const std::function<void(Canvas&)>& draw) = 0;
  // Milliseconds Paint spent drawing outside draw (a banded picture draws
  // its bands from the recording as it encodes them).
  double DrawingOutsideMs() const { return drawingOutsideMs_; }

 protected:
  double drawingOutsideMs_ = 0;
};

// What PictureTarget::Paint answers for a picture the caller cancelled.
inline constexpr std::string_view kCancelledMessage = "cancelled";

// When a raster picture is drawn in bands, and how large they are.
struct Banding {
  // Pictures whose bitmap is larger than this are drawn in bands.
  uint64_t max_bitmap_bytes = uint64_t{128} << 20;
  // The bitmap of one band: about this many bytes, in whole rows of the
  // 256-pixel tiles (for very wide pictures, whole multiples of BandRowUnit
  // rows), one row of them at least.
  uint64_t band_bytes = uint64_t{64} << 20;
  // The largest recording of the drawing that every band is drawn from; a
  // drawing that needs more is drawn anew for each band.
  size_t record_bytes = size_t{96} << 20;
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
                                          std::string& error, const VectorPage& page = {},
                                          const Banding& banding = {});

// The message for an output whose type is not known.
std::string UnknownOutputMessage(const Output& output);

// The picture type of an output: its own, or its file's extension.
std::optional<OutputType> TypeOfOutput(const Output& output);

// Writes bytes to path through a temporary file beside it that is renamed
// over it once complete; an error message on failure (path then untouched).
std::string WriteFileAtomically(const std::string& path, std::span<const uint8_t> bytes);

}  // namespace zumen
