#pragma once
// Font look-up and glyph drawing on a Cairo context. The Cairo canvas owns one
// and hands it every FillText call; it maps the Windows family names that
// drawings use to installed fonts through the project's fontconfig file and
// caches what it looked up.
//
// The font configuration is private to the engine (the process-wide default
// configuration is never changed) and is read on first use from the file the
// engine was made with, else from the first of: the file "zumen-fonts.conf"
// beside the running executable, the project's fonts/zumen-fonts.conf;
// without any of them the system configuration is used.
//
// One engine is used by one thread at a time; engines of conversions that run
// in parallel share nothing but Cairo's and fontconfig's own thread-safe caches.
#include <cstdint>
#include <memory>
#include <string>

#include "canvas/canvas.h"

typedef struct _cairo cairo_t;

namespace zumen {

class DiagnosticSink;

class TextEngine {
 public:
  // configFile: a fontconfig file; empty to look for the project's own.
  explicit TextEngine(std::string configFile = {});
  ~TextEngine();
  TextEngine(const TextEngine&) = delete;
  TextEngine& operator=(const TextEngine&) = delete;

  // Draws text on cr (under cr's current transform) with the font: the em box
  // of every glyph starts at the pen, the first one at `left`; the top of the
  // font's line box is at `top` and the baseline one ascent below it. A
  // character that the font lacks is drawn from the next font (in fontconfig's
  // order) that has it.
  void Draw(cairo_t* cr, const FontSpec& font, double left, double top,
            const std::u16string& text, uint32_t argb, double opacity);

  // Where Draw would put the text, without drawing it: the pen's advance
  // from `left` and the font's ascent and descent, in pixels of the font's
  // size (glyphs may reach somewhat beyond); drawn false when Draw would draw
  // nothing. With report, what Draw would report to the diagnostics is
  // reported (once per family for a fall-back, as Draw does): a canvas that
  // draws each text in several pieces reports it here once and draws the
  // pieces with engines that have no diagnostics.
  struct Extent {
    bool drawn = false;
    double advance = 0, ascent = 0, descent = 0;
  };
  Extent Measure(const FontSpec& font, const std::u16string& text, bool report);

  // The family of the font that draws most characters of the requested font (for
  // diagnostics and tests), in UTF-8.
  std::string PrimaryFamily(const FontSpec& font);
  // The family of the font that draws character c (empty when none has it).
  std::string FamilyFor(const FontSpec& font, char32_t c);
  // The family that stands in for the font's family when that is installed
  // under no name, neither as asked nor as the configuration maps it (the
  // Windows families the project's configuration maps to the IPA fonts are
  // not stand-ins); empty otherwise. Drawing with such a font reports
  // "font-fallback" once per family, and every character that no font has
  // "glyph-missing", to the diagnostics set.
  std::string StandIn(const FontSpec& font);
  void SetDiagnostics(DiagnosticSink* sink);

  // The project's configuration file: beside the executable, installed with
  // zumen (found from the executable's and the library's own folders, then
  // at the prefix it was built for) or in the source tree; empty when none.
  static std::string FindConfigFile();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace zumen
