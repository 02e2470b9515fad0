#include "canvas/text_engine.h"

#include <cairo.h>

#include <string>

namespace zumen {

namespace {
std::string ToUtf8(const std::u16string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    uint32_t c = s[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
      ++i;
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}
}  // namespace

struct TextEngine::Impl {};

TextEngine::TextEngine() : impl_(std::make_unique<Impl>()) {}
TextEngine::~TextEngine() = default;

// First version: Cairo's own font selection with a Japanese Gothic family.
void TextEngine::Draw(cairo_t* cr, const FontSpec& font, double left, double top,
                      const std::u16string& text, uint32_t argb, double opacity) {
  cairo_save(cr);
  cairo_select_font_face(cr, "IPAGothic", font.italic ? CAIRO_FONT_SLANT_ITALIC : CAIRO_FONT_SLANT_NORMAL,
                         font.bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
  cairo_set_font_size(cr, font.sizePx);
  cairo_font_extents_t fe;
  cairo_font_extents(cr, &fe);
  cairo_set_source_rgba(cr, ((argb >> 16) & 0xFF) / 255.0, ((argb >> 8) & 0xFF) / 255.0, (argb & 0xFF) / 255.0,
                        ((argb >> 24) & 0xFF) / 255.0 * opacity);
  cairo_move_to(cr, left, top + fe.ascent);
  const std::string u8 = ToUtf8(text);
  cairo_show_text(cr, u8.c_str());
  cairo_restore(cr);
}

}  // namespace zumen
