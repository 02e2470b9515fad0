#pragma once
// The layout of a text entity into runs, before any glyph is drawn: the
// direction of the base line (a negative width lays the text out from its
// end), the trailing layout directives, the whole-text macros and the "^"
// control sequences. The renderer draws every run with GLAText2; the DXF
// passes write every run as a text of their own, so both show the same words
// at the same places.
#include <cstdint>
#include <string>

#include "context/context.h"
#include "renderer/macros.h"

namespace zumen {

// One piece of a text drawn in one style from (x, y) along ang (radians).
struct TextRun {
  double x = 0, y = 0, ang = 0;
  double h = 0, w = 0, sp = 0;
  int32_t style = 0;  // 1 bold, 2 italic, 4 underline, 8 strike-out
  std::u16string text;
};

class TextRunSink {
 public:
  virtual ~TextRunSink() = default;
  // A run to draw; answers the code of GLAText2 (0 when something was drawn).
  virtual int32_t Run(const TextRun& run) = 0;
  // "^$" + digit: from the next run on the text has pen colour d (1..9).
  virtual void Colour(int32_t d) = 0;
};

// A full-width character: two bytes in code page 932. A full-width
// character's cell is w wide, a half-width one's w / 2.
bool IsFullWidthChar(char16_t c);

// One character of a run in its own cell, as GLAText1 draws it centred on
// (cx, cy): h is the cell's height (negative: the glyph upside down in its
// cell), w the width of a full-width cell (a half-width cell is w / 2 wide),
// a the direction of the glyph's base line.
struct GlyphCell {
  double cx = 0, cy = 0, h = 0, w = 0, a = 0;
};

// The cells of a run's characters in turn: along the run's direction, the
// next cell after every character. In vertical writing (font names with
// leading "@", one quarter turn each) full-width characters stand upright
// across the line, except brackets and dashes, which keep the line's
// direction, and a few marks that are mirrored or raised as vertical fonts
// show them.
class GlyphWalker {
 public:
  // swapCells: cells of vertical writing have height and width exchanged
  // (the K4 renderer's way).
  GlyphWalker(const TextRun& run, const std::u16string& font, bool swapCells);
  GlyphCell Next(char16_t c);
  // The number of leading "@" of a font name that count (at most 4): the
  // family is the name without them.
  static size_t Turns(const std::u16string& font);

 private:
  double x_, y_, ang_, h_, w_, sp_, upright_;
  size_t turns_;
  bool swap_;
};

// Lays the text out and hands its runs to sink in drawing order. Answers what
// GLAText3 answers after its size tests: the code of the single run for a
// macro or a text without control sequences, else 0 when a run was drawn and
// 1 when none was.
int32_t LayOutText(const ConversionContext& ctx, double lgScale, MacroRules rules, double x1, double y1, double x2, double y2,
                   double h, double w, double sp, int32_t Ftyp, const std::u16string& s, TextRunSink& sink);

}  // namespace zumen
