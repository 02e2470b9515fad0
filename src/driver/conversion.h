#pragma once
// The conversion: a drawing read once by its family's handler, then drawn as
// often as asked, each time on a fresh context set up from the options.
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "canvas/canvas.h"
#include "common/cleanup.h"
#include "common/clock.h"
#include "common/types.h"
#include "context/context.h"
#include "formats/family.h"
#include "driver/sizing.h"
#include "zumen/zumen.h"

namespace zumen {

// The handler of a family; null for Family::None.
std::unique_ptr<DrawingHandler> MakeHandler(Family f);
Family FamilyOf(Format f);
Format FormatOf(Family f);
// The family a path's extension names; None for any other.
Family FamilyOfPath(const std::string& path);
const char* FamilyName(Family f);

// A layer's or group's name as the drawing gives it: the model's display
// name without the "(l) " or "[g] " the model puts before it (open and close
// are the brackets).
std::string OwnLayerName(const std::u16string& name, char16_t open, char16_t close);

// A drawing as read: what the reading gave, and its scene. The family's
// model is lowered into the scene when the drawing is opened and then let
// go: the scene holds everything a render, export or query reads.
struct LoadedDrawing {
  Family family = Family::None;
  bool checked = false;  // passed its format's check
  bool read = false;     // read to its end
  std::string error;     // why the check or the read failed
  std::string path;      // as given (bytes: LoadOptions::name); may be empty
  // The same path made absolute (without resolving links) when the drawing
  // was opened, in the system's bytes: the file-name macros and the files
  // looked for beside the drawing do not depend on the working folder.
  std::string absolutePath;
  bool haveFileTime = false;
  DateTime fileTime;     // the file's modification time, local
  DrawingInfo info;
  // What every render knows of the drawing (its file, title and images).
  DrawingFacts facts;
  std::vector<Diagnostic> diagnostics;
  std::vector<Layer> layers;
  // The drawing lowered once for every picture, export and query.
  std::shared_ptr<const scene::Scene> scene;

  // How far what is drawn reaches beyond the defining points: the box of
  // the texts' cells and half the widest pen, in drawing units. Laying the
  // texts out takes time, so it is found once, when a picture first needs it
  // (macro texts as laid out then), and kept for every later one.
  struct Reach {
    bool texts = false;  // whether any text shows; textBox is its cells' box
    ExtentBox textBox;
    double halfPen = 0;
  };
  mutable std::once_flag reachOnce;
  mutable Reach reach;

  LoadedDrawing() = default;
  LoadedDrawing(const LoadedDrawing&) = delete;
  LoadedDrawing& operator=(const LoadedDrawing&) = delete;
  ~LoadedDrawing();
};

// Reads a drawing of the family from bytes. A drawing that fails its check
// gives an error status; one that passes it but is read only in part gives a
// drawing with read false and the reader's message.
Status LoadDrawing(Family family, std::span<const uint8_t> bytes, const std::string& path,
                   const LoadOptions& options, LoadedDrawing& out);
// A drawing of the family that holds nothing.
void EmptyDrawing(Family family, LoadedDrawing& out);

// Sets a fresh context up for drawing d with the options: the attribute
// model's start-up state, the reference texts, the file's name and time, the
// family's preparation (after a complete read), and the background choice.
void SetUpContext(const LoadedDrawing& d, const RenderOptions& options, ConversionContext& ctx,
                  const Clock* clock = nullptr);
// Shows exactly the layers named (numbers 0..255, others ignored): those
// not named become hidden, hidden ones named become normal, display-only ones
// named stay display-only.
void SelectLayers(TgraAttribute& a, const std::vector<int>& shown);
// The per-format modes the options choose.
DrawModes ModesOf(const RenderOptions& options);

// The rectangle fitted into the picture: the family's frame (the paper; for
// symbols their extents), or with Fit::Extents the drawing's extents (the
// frame again for a drawing without entities). With drawn, the extents of
// symbols and those of Fit::Extents grow to what is drawn: the cells of the
// texts and half the widest pen (see LoadedDrawing::Reach).
FrameBox FittedFrame(const LoadedDrawing& d, Fit fit, bool drawn);

// The options as an output of the type can honour them: a transparent
// background becomes white for the types without transparency (BMP, JPEG).
RenderOptions OptionsForOutput(const RenderOptions& options, std::optional<OutputType> type);

// The picture's pixel size (the size options alone):
// with a resolution, the fitted frame at that resolution.
Status PictureSizeOf(const LoadedDrawing& d, const RenderOptions& options, int& width, int& height);

// Clears the canvas and draws the scene on it (nothing at all for a scene
// that is not drawn): the background, the paper's frame, the items.
// On the canvas's view of the drawing; what cannot be honoured goes to diag.
void DrawScene(const scene::Scene& s, const ConversionContext& ctx, const DeviceView& view, Canvas& canvas,
               const DrawModes& modes, DiagnosticSink& diag);

// Fits the frame into the canvas, clears it and draws: what every output
// does; answers the canvas's view. The context is only read, so the bands and
// strips of one picture share it. What the picture could not honour goes to
// diag (the canvas's font fall-backs too; with Fit::Paper, entities far
// outside the paper).
DeviceView DrawOnCanvas(const LoadedDrawing& d, const ConversionContext& ctx, const RenderOptions& options,
                        Canvas& canvas, DiagnosticSink& diag);

}  // namespace zumen
