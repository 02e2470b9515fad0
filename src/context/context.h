#pragma once
// The state of one render, split by how long each part lives:
// - DrawingFacts: what is known of the drawing when it is opened (its file's
//   path, name and time, its title, its images); built once and shared by
//   every render of the drawing.
// - ConversionContext: what one render chooses (the attribute model with the
//   chosen background and colour mode, the reference texts, the clock, the
//   macro texts); set up once per render and read, never written, while
//   drawing, so that the bands and strips of one picture share it.
// The device transform (DeviceView), the scratch point lists, the scale of
// the layer group being drawn and what a pass could not honour belong to the
// renderer drawing on one canvas.
#include <optional>
#include <functional>
#include <string>
#include <vector>

#include "attributes/graattribute.h"
#include "canvas/canvas.h"
#include "common/clock.h"
#include "common/diagnostics.h"
#include "common/types.h"
#include "context/view.h"
#include "scene/images.h"

namespace zumen {

struct DrawingFacts {
  // The drawing's absolute path as the system's bytes (for finding files
  // beside it), and the same path as text (for the text macros); empty for a
  // drawing not read to its end or opened from memory without a name.
  std::string CurFilePath;
  std::u16string CurFileName;
  // The file's modification time, when known.
  std::optional<DateTime> FileTime;
  std::u16string CurTitle;
  // The images the drawing carries or places, by the names its image texts
  // give them.
  const scene::ImageMap* Images = nullptr;
};

struct ConversionContext {
  TgraAttribute GAtt;
  // The picture's background is not the drawing's own (a black one chosen
  // for a drawing made on white, or the other way round): ink of nearly the
  // background's colour is drawn in the foreground colour, so that it stays
  // visible. GAtt holds the chosen background and foreground.
  bool SwapInk = false;
  double ScaleDiv = 1;  // divisor of the scale macros

  // Reference texts (keys beginning "%%").
  std::u16string RefFileName;
  std::vector<TStr2List> RefList;

  // Texts of the macros that the program fills (empty during conversion).
  std::u16string TextMacroT, TextMacroM1, TextMacroM2;

  const Clock* clock = &system_clock_;

  // The drawing drawn: never null (a drawing without facts has empty ones).
  const DrawingFacts* Facts = &no_facts_;
  // The date and time of the file-time macros: the file's, else the clock's.
  DateTime FileTime() const { return Facts->FileTime ? *Facts->FileTime : clock->Now(); }

  // The monochrome picture: ink of exactly the background's colour (white
  // masks on white, hidden layers) stays that colour in the one-colour mode
  // instead of turning to the one colour, so that masks still mask.
  bool KeepMasks = false;
  // Characters drawn less than this many pixels high become bars (0: none).
  double TextBarsBelowPx = 0;

  // The caller's question whether to stop (RenderOptions::cancelled); null or
  // empty: never. The painters ask it now and then and stop early; the
  // output then delivers nothing.
  const std::function<bool()>* Cancel = nullptr;
  bool CancelAsked() const { return Cancel && *Cancel && (*Cancel)(); }

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
  DrawingFacts no_facts_;
};

}  // namespace zumen
