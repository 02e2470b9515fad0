#pragma once
// The state of one conversion that the drawing passes and the renderers share:
// device transform, extents, paper frame, attribute model, the current file,
// the reference texts, the point lists, the private temporary folder and the
// clock. The driver creates one per conversion and passes it by reference, so
// conversions can run side by side in one process.
#include <string>
#include <vector>

#include "attributes/graattribute.h"
#include "canvas/canvas.h"
#include "common/clock.h"
#include "common/diagnostics.h"
#include "common/types.h"
#include "scene/images.h"

namespace zumen {

struct ConversionContext {
  // Device transform: column = (x - DispX1) * DispScale, row = DotH - (y - DispY1) * DispScale.
  double DotW = 100, DotH = 100;
  double DispScale = 1;
  double DispX1 = 0, DispY1 = 0, DispX2 = 100, DispY2 = 100;

  // Extent box of the loaded drawing.
  double MinX = 0, MinY = 0, MaxX = 400, MaxY = 400;

  // Output frame in drawing units (the paper).
  double papx = 400, papy = 400;

  TgraAttribute GAtt;
  // The picture's background is not the drawing's own (a black one chosen
  // for a drawing made on white, or the other way round): ink of nearly the
  // background's colour is drawn in the foreground colour, so that it stays
  // visible. GAtt holds the chosen background and foreground.
  bool SwapInk = false;
  double LgScale = 1;   // scale of the layer group being drawn
  double ScaleDiv = 1;  // divisor of the scale macros

  // The drawing loaded: its absolute path as the system's bytes (for finding
  // files beside it), and the same path as text (for the text macros).
  std::string CurFilePath;
  std::u16string CurFileName;
  DateTime CurFileTime;
  std::u16string CurTitle;

  // Reference texts (keys beginning "%%").
  std::u16string RefFileName;
  std::vector<TStr2List> RefList;

  // Texts of the macros that the program fills (empty during conversion).
  std::u16string TextMacroT, TextMacroM1, TextMacroM2;

  // Point lists: GLPt in drawing units, filled by callers before GLPolyline or
  // GLSolid and emptied afterwards; GPt in device pixels, built and emptied by
  // the renderers.
  std::vector<TDPoint> GLPt;
  std::vector<FPoint> GPt;

  // The images the drawing carries or places, by the names its image texts
  // give them.
  const scene::ImageMap* Images = nullptr;

  const Clock* clock = &system_clock_;

  // The monochrome picture: ink of exactly the background's colour (white
  // masks on white, hidden layers) stays that colour in the one-colour mode
  // instead of turning to the one colour, so that masks still mask.
  bool KeepMasks = false;
  // Characters drawn less than this many pixels high become bars (0: none).
  double TextBarsBelowPx = 0;

  // What this picture could not honour (images, fonts, ...).
  DiagnosticSink Diag;

  // The colour that ink of colour c is drawn in on this picture: with SwapInk,
  // a colour close to the background becomes the foreground colour; in the
  // one-colour mode of GAtt every colour becomes the one colour (but the
  // background's own with KeepMasks).
  uint32_t InkColour(uint32_t c) const {
    const uint32_t back = GAtt.GetBackColor();
    if (SwapInk && NearColour(c, back)) c = GAtt.GetForeColor();
    if (GAtt.GetAll1ColorState() && !(KeepMasks && c == back)) c = GAtt.GetAll1Color();
    return c;
  }
  // Whether every channel of a is within 48 of b's.
  static bool NearColour(uint32_t a, uint32_t b) {
    for (int shift = 0; shift <= 16; shift += 8) {
      const int d = static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF);
      if (d > 48 || d < -48) return false;
    }
    return true;
  }

  ConversionContext() = default;
  ConversionContext(const ConversionContext&) = delete;
  ConversionContext& operator=(const ConversionContext&) = delete;

 private:
  SystemClock system_clock_;
};

}  // namespace zumen
