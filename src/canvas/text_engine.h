#pragma once
// Font look-up and glyph drawing on a Cairo context. The Cairo canvas owns one
// and hands it every FillText call; it maps the Windows family names that
// drawings use to installed fonts and caches what it looked up.
#include <cstdint>
#include <memory>
#include <string>

#include "canvas/canvas.h"

typedef struct _cairo cairo_t;

namespace zumen {

class TextEngine {
 public:
  TextEngine();
  ~TextEngine();
  TextEngine(const TextEngine&) = delete;
  TextEngine& operator=(const TextEngine&) = delete;

  // Draws text on cr (under cr's current transform) with the font, its em box
  // top at `top` and its left edge at `left`, in the colour at the opacity.
  void Draw(cairo_t* cr, const FontSpec& font, double left, double top,
            const std::u16string& text, uint32_t argb, double opacity);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace zumen
