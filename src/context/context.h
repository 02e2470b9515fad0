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
#include "common/types.h"

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

  // Folder private to this conversion for extracted and temporary images
  // (with a trailing separator); empty when none was created.
  std::string TempFolder;

  const Clock* clock = &system_clock_;

  ConversionContext() = default;
  ConversionContext(const ConversionContext&) = delete;
  ConversionContext& operator=(const ConversionContext&) = delete;

 private:
  SystemClock system_clock_;
};

}  // namespace zumen
