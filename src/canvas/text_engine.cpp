#include "canvas/text_engine.h"

#include <cairo-ft.h>
#include <cairo.h>
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H
#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <mutex>
#include <set>
#include <tuple>
#include <string>
#include <unordered_map>
#include <vector>

#include "common/diagnostics.h"
#include "common/text.h"

namespace zumen {

namespace {

// Metrics are taken from fonts scaled to this size, without hinting.
constexpr double kMetricSize = 1000.0;
// Distinct font specs kept; a drawing naming more fonts starts the cache anew.
constexpr size_t kMaxFonts = 128;

const char* const kConfigName = "zumen-fonts.conf";

void AppendUtf8(std::string& out, char32_t c) {
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

// Code points of a UTF-16 text; an unpaired surrogate becomes U+FFFD.
std::vector<char32_t> CodePoints(const std::u16string& s) {
  std::vector<char32_t> out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    char32_t c = s[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
    }
    out.push_back(c);
  }
  return out;
}

bool IsReadableFile(const std::string& p) {
  std::error_code ec;
  return !p.empty() && std::filesystem::is_regular_file(p, ec);
}

std::string ExecutableFolder() {
  std::error_code ec;
  const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return {};
  return exe.parent_path().string();
}

// The folder of the file this code was loaded from: the shared library, or
// the program or module that has the static library linked in.
std::string LibraryFolder() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<const void*>(&LibraryFolder), &info) == 0 || info.dli_fname == nullptr) return {};
  std::error_code ec;
  const auto self = std::filesystem::canonical(info.dli_fname, ec);
  return ec ? std::string() : self.parent_path().string();
}

// The project's source folder, from this file's own path (src/canvas/...).
std::string SourceFontsFolder() {
  const std::filesystem::path self(__FILE__);
  if (!self.is_absolute()) return {};
  return (self.parent_path().parent_path().parent_path() / "fonts").string();
}

struct GlyphRef {
  int font = -1;         // index into the sorted font list; -1 draws nothing
  unsigned long index = 0;
  double advance = 0;    // in em
  bool missing = false;  // no font has the character: the primary font's placeholder
};

// Everything looked up for one family and style.
struct FontEntry {
  FcFontSet* sorted = nullptr;  // fall-back order, best first
  FcPattern* request = nullptr;
  bool wantBold = false, wantItalic = false;
  std::vector<cairo_font_face_t*> faces;        // per sorted font, created on demand
  std::vector<cairo_scaled_font_t*> metricFonts;  // per sorted font, at kMetricSize
  double ascent = 0.88, descent = 0.12;         // of the primary font, in em
  double underlinePos = -0.1, underlineThick = 0.05;  // centre below baseline (negative), em
  double strikePos = 0.3, strikeThick = 0.05;
  std::unordered_map<char32_t, GlyphRef> glyphs;
  // The family asked for is installed under no name (after the configuration's
  // own mapping): standIn, the primary font's family, draws in its place.
  bool fellBack = false;
  std::string standIn;

  FontEntry() = default;
  FontEntry(const FontEntry&) = delete;
  FontEntry& operator=(const FontEntry&) = delete;
  ~FontEntry() {
    for (auto* f : metricFonts)
      if (f) cairo_scaled_font_destroy(f);
    for (auto* f : faces)
      if (f) cairo_font_face_destroy(f);
    if (sorted) FcFontSetDestroy(sorted);
    if (request) FcPatternDestroy(request);
  }
  int Count() const { return sorted ? sorted->nfont : 0; }
};

// Fonts are set up, and glyphs drawn, under one lock for the whole process.
// Canvases drawing one picture side by side, each with its own engine and
// configuration, otherwise now and then show another font's glyph for a
// character: Cairo keeps the glyphs it has drawn in one cache for all its
// fonts, and threads making and dropping fonts at once can leave stale
// glyphs in it. The rest of the drawing is not locked.
std::mutex& FontLock() {
  static std::mutex lock;
  return lock;
}

// The font configuration of a file (empty: the system's), loaded once for
// the whole process and shared by every engine, with a reference of its own
// for each caller (FcConfigDestroy gives it back). Loading one reads the file
// and the font cache, which costs more than drawing a sparse drawing's
// texts, and each thread drawing a strip of a picture has an engine. A file
// changed since (size or time) is loaded again. Called under FontLock.
FcConfig* SharedConfig(const std::string& file) {
  // Given back when the process ends (engines still alive keep theirs).
  struct Loaded : std::map<std::tuple<std::string, long long, long long, long long>, FcConfig*> {
    ~Loaded() {
      for (auto& entry : *this) FcConfigDestroy(entry.second);
    }
  };
  static Loaded loaded;
  struct stat st {};
  if (!file.empty() && ::stat(file.c_str(), &st) == 0) {
    const auto key = std::make_tuple(file, static_cast<long long>(st.st_size), static_cast<long long>(st.st_mtim.tv_sec),
                                     static_cast<long long>(st.st_mtim.tv_nsec));
    auto it = loaded.find(key);
    if (it != loaded.end()) return FcConfigReference(it->second);
    FcConfig* c = FcConfigCreate();
    if (c && FcConfigParseAndLoad(c, reinterpret_cast<const FcChar8*>(file.c_str()), FcTrue) && FcConfigBuildFonts(c)) {
      loaded.emplace(key, c);
      return FcConfigReference(c);
    }
    if (c) FcConfigDestroy(c);
  }
  const auto system = std::make_tuple(std::string(), 0LL, 0LL, 0LL);
  auto it = loaded.find(system);
  if (it == loaded.end()) {
    FcConfig* c = FcInitLoadConfigAndFonts();  // a private copy of the system configuration
    if (!c) return nullptr;
    it = loaded.emplace(system, c).first;
  }
  return FcConfigReference(it->second);
}

// Glyphs of one font, with the characters they show when the surface keeps
// text.
struct TextRun {
  bool keepText = false;
  std::vector<cairo_glyph_t> glyphs;
  std::string utf8;
  std::vector<cairo_text_cluster_t> clusters;

  void Add(const cairo_glyph_t& g, char32_t c) {
    glyphs.push_back(g);
    if (!keepText) return;
    const size_t before = utf8.size();
    AppendUtf8(utf8, c);
    clusters.push_back({static_cast<int>(utf8.size() - before), 1});
  }
  void Show(cairo_t* cr) {
    if (glyphs.empty()) return;
    const std::lock_guard<std::mutex> lock(FontLock());
    if (keepText) {
      cairo_show_text_glyphs(cr, utf8.data(), static_cast<int>(utf8.size()), glyphs.data(),
                             static_cast<int>(glyphs.size()), clusters.data(), static_cast<int>(clusters.size()),
                             static_cast<cairo_text_cluster_flags_t>(0));
    } else {
      cairo_show_glyphs(cr, glyphs.data(), static_cast<int>(glyphs.size()));
    }
    glyphs.clear();
    utf8.clear();
    clusters.clear();
  }
};

// Draws one glyph on an image surface through a coverage mask of its own:
// the glyph is drawn whole on a small A8 surface, which then masks cr's
// source. Cairo composites a glyph that crosses the clip or the surface's
// edge by another way than one that lies inside them, which changes its edge
// pixels; through the mask every pixel is the same wherever the clip and the
// edges lie, so a picture drawn in strips, tiles or bands is the picture
// drawn in one piece (and that one is unchanged: the mask holds the very
// coverage Cairo composites).
void ShowGlyphMasked(cairo_t* cr, const cairo_glyph_t& g) {
  cairo_text_extents_t te;
  cairo_glyph_extents(cr, &g, 1, &te);
  if (te.width <= 0 || te.height <= 0) return;  // a blank glyph
  cairo_matrix_t m;
  cairo_get_matrix(cr, &m);
  double dox = 0, doy = 0;
  cairo_surface_get_device_offset(cairo_get_target(cr), &dox, &doy);
  double x0 = HUGE_VAL, y0 = HUGE_VAL, x1 = -HUGE_VAL, y1 = -HUGE_VAL;
  for (int corner = 0; corner < 4; ++corner) {
    double x = g.x + te.x_bearing + ((corner & 1) ? te.width : 0);
    double y = g.y + te.y_bearing + ((corner & 2) ? te.height : 0);
    cairo_matrix_transform_point(&m, &x, &y);
    x0 = std::min(x0, x + dox);
    y0 = std::min(y0, y + doy);
    x1 = std::max(x1, x + dox);
    y1 = std::max(y1, y + doy);
  }
  // Room around the ink box: two pixels, as the glyph's image is placed at
  // its rounded origin, and a quarter of the box's larger side, as the box
  // Cairo gives for a synthesised oblique or bold glyph may leave out part
  // of its slant or its added weight (which the mask would then cut off).
  constexpr double kMaxMaskSide = 8192;
  if (!(x1 - x0 < kMaxMaskSide && y1 - y0 < kMaxMaskSide) || !(std::fabs(x0) < 1e9 && std::fabs(y0) < 1e9)) {
    cairo_show_glyphs(cr, &g, 1);  // beyond any mask: as Cairo draws it
    return;
  }
  const double room = 2 + std::ceil(std::max(x1 - x0, y1 - y0) / 4);
  const double px0 = std::floor(x0) - room, py0 = std::floor(y0) - room;
  const int w = static_cast<int>(std::ceil(x1) + room - px0), h = static_cast<int>(std::ceil(y1) + room - py0);
  cairo_surface_t* mask = cairo_image_surface_create(CAIRO_FORMAT_A8, w, h);
  if (cairo_surface_status(mask) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(mask);
    return;
  }
  // The mask's pixel (0, 0) is the target's pixel (px0, py0).
  cairo_surface_set_device_offset(mask, dox - px0, doy - py0);
  cairo_t* mc = cairo_create(mask);
  cairo_set_matrix(mc, &m);
  cairo_set_scaled_font(mc, cairo_get_scaled_font(cr));
  cairo_show_glyphs(mc, &g, 1);
  cairo_destroy(mc);
  cairo_surface_flush(mask);
  cairo_surface_set_device_offset(mask, 0, 0);
  cairo_save(cr);
  cairo_identity_matrix(cr);
  cairo_mask_surface(cr, mask, px0 - dox, py0 - doy);
  cairo_restore(cr);
  cairo_surface_destroy(mask);
}

// The family of a font pattern at index i (empty when it has none).
std::string FamilyOf(FcPattern* p, int i = 0) {
  FcChar8* fam = nullptr;
  if (FcPatternGetString(p, FC_FAMILY, i, &fam) == FcResultMatch) return reinterpret_cast<const char*>(fam);
  return {};
}

// Whether any family name of font is name (ignoring case and blanks, as
// fontconfig compares families).
bool HasFamily(FcPattern* font, const std::string& name) {
  const auto unblanked = [](std::string s) {
    s.erase(std::remove(s.begin(), s.end(), ' '), s.end());
    return s;
  };
  const std::string want = unblanked(name);
  FcChar8* fam = nullptr;
  for (int i = 0; FcPatternGetString(font, FC_FAMILY, i, &fam) == FcResultMatch; ++i) {
    const std::string have = unblanked(reinterpret_cast<const char*>(fam));
    if (FcStrCmpIgnoreCase(reinterpret_cast<const FcChar8*>(have.c_str()),
                           reinterpret_cast<const FcChar8*>(want.c_str())) == 0)
      return true;
  }
  return false;
}

}  // namespace


struct TextEngine::Impl {
  std::string configFile;
  DiagnosticSink* diagnostics = nullptr;
  std::set<std::u16string> reportedFamilies;  // font fall-backs told already
  bool configTried = false;
  FcConfig* config = nullptr;
  std::map<std::tuple<std::u16string, bool, bool>, std::unique_ptr<FontEntry>> fonts;

  ~Impl() {
    const std::lock_guard<std::mutex> lock(FontLock());
    fonts.clear();
    if (config) FcConfigDestroy(config);
  }

  FcConfig* Config() {
    if (configTried) return config;
    configTried = true;
    config = SharedConfig(IsReadableFile(configFile) ? configFile : FindConfigFile());
    return config;
  }

  FontEntry* Lookup(const FontSpec& wanted) {
    auto key = std::make_tuple(wanted.family, wanted.bold, wanted.italic);
    auto it = fonts.find(key);
    if (it != fonts.end()) return it->second.get();
    const std::lock_guard<std::mutex> lock(FontLock());
    if (fonts.size() >= kMaxFonts) fonts.clear();
    auto entry = std::make_unique<FontEntry>();
    Resolve(wanted, *entry);
    return fonts.emplace(std::move(key), std::move(entry)).first->second.get();
  }

  void Resolve(const FontSpec& wanted, FontEntry& e) {
    FcConfig* cfg = Config();
    if (!cfg) return;
    FcPattern* pat = FcPatternCreate();
    const std::string family = Utf16ToUtf8(wanted.family);
    if (!family.empty()) FcPatternAddString(pat, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcPatternAddInteger(pat, FC_WEIGHT, wanted.bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pat, FC_SLANT, wanted.italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddString(pat, FC_LANG, reinterpret_cast<const FcChar8*>("ja"));
    FcPatternAddBool(pat, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(cfg, pat, FcMatchPattern);
    FcDefaultSubstitute(pat);
    // The family the configuration settled on first: the drawing's own name,
    // or the font the configuration maps it to on purpose.
    const std::string settled = family.empty() ? std::string() : FamilyOf(pat);
    FcResult result = FcResultNoMatch;
    e.sorted = FcFontSort(cfg, pat, FcTrue, nullptr, &result);
    if (!settled.empty() && e.Count() > 0 && !HasFamily(e.sorted->fonts[0], settled)) {
      e.fellBack = true;
      e.standIn = FamilyOf(e.sorted->fonts[0]);
    }
    e.request = pat;
    e.wantBold = wanted.bold;
    e.wantItalic = wanted.italic;
    const int n = e.Count();
    e.faces.assign(n, nullptr);
    e.metricFonts.assign(n, nullptr);
    if (n > 0) ReadLineMetrics(e);
  }

  // Creates (once) the Cairo face and the metric font of sorted font i.
  cairo_scaled_font_t* MetricFont(FontEntry& e, int i) {
    if (e.metricFonts[i]) return e.metricFonts[i];
    FcPattern* full = FcFontRenderPrepare(Config(), e.request, e.sorted->fonts[i]);
    if (!full) return nullptr;
    cairo_font_face_t* face = cairo_ft_font_face_create_for_pattern(full);
    int weight = FC_WEIGHT_REGULAR, slant = FC_SLANT_ROMAN;
    FcPatternGetInteger(e.sorted->fonts[i], FC_WEIGHT, 0, &weight);
    FcPatternGetInteger(e.sorted->fonts[i], FC_SLANT, 0, &slant);
    FcPatternDestroy(full);
    if (cairo_font_face_status(face) != CAIRO_STATUS_SUCCESS) {
      cairo_font_face_destroy(face);
      return nullptr;
    }
    // Styles the font does not have are synthesised; nothing else is.
    cairo_ft_font_face_unset_synthesize(face, CAIRO_FT_SYNTHESIZE_BOLD | CAIRO_FT_SYNTHESIZE_OBLIQUE);
    unsigned int synth = 0;
    if (e.wantBold && weight < FC_WEIGHT_DEMIBOLD) synth |= CAIRO_FT_SYNTHESIZE_BOLD;
    if (e.wantItalic && slant == FC_SLANT_ROMAN) synth |= CAIRO_FT_SYNTHESIZE_OBLIQUE;
    if (synth) cairo_ft_font_face_set_synthesize(face, synth);
    e.faces[i] = face;

    cairo_matrix_t fm, ctm;
    cairo_matrix_init_scale(&fm, kMetricSize, kMetricSize);
    cairo_matrix_init_identity(&ctm);
    cairo_font_options_t* opt = cairo_font_options_create();
    cairo_font_options_set_hint_metrics(opt, CAIRO_HINT_METRICS_OFF);
    cairo_font_options_set_hint_style(opt, CAIRO_HINT_STYLE_NONE);
    cairo_scaled_font_t* sf = cairo_scaled_font_create(face, &fm, &ctm, opt);
    cairo_font_options_destroy(opt);
    if (cairo_scaled_font_status(sf) != CAIRO_STATUS_SUCCESS) {
      cairo_scaled_font_destroy(sf);
      return nullptr;
    }
    e.metricFonts[i] = sf;
    return sf;
  }

  void ReadLineMetrics(FontEntry& e) {
    cairo_scaled_font_t* sf = MetricFont(e, 0);
    if (!sf) return;
    cairo_font_extents_t fe;
    cairo_scaled_font_extents(sf, &fe);
    if (fe.ascent > 0) e.ascent = fe.ascent / kMetricSize;
    if (fe.descent > 0) e.descent = fe.descent / kMetricSize;
    FT_Face face = cairo_ft_scaled_font_lock_face(sf);
    if (!face) return;
    if (face->units_per_EM > 0) {
      const double em = face->units_per_EM;
      if (face->underline_thickness > 0) {
        e.underlinePos = face->underline_position / em;
        e.underlineThick = face->underline_thickness / em;
      }
      const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
      if (os2 && os2->yStrikeoutSize > 0) {
        e.strikePos = os2->yStrikeoutPosition / em;
        e.strikeThick = os2->yStrikeoutSize / em;
      }
    }
    cairo_ft_scaled_font_unlock_face(sf);
    // The underline stays inside the line box (the IPA fonts put it a little
    // below), so that it does not run into what lies under the text's cell.
    if (-e.underlinePos + e.underlineThick / 2 > e.descent)
      e.underlinePos = std::min(-(e.descent - e.underlineThick / 2), 0.0);
  }

  const GlyphRef& Glyph(FontEntry& e, char32_t c) {
    auto it = e.glyphs.find(c);
    if (it != e.glyphs.end()) return it->second;
    const std::lock_guard<std::mutex> lock(FontLock());
    GlyphRef g;
    if (c >= 0x20) {
      int chosen = -1;
      for (int i = 0; i < e.Count() && chosen < 0; ++i) {
        FcCharSet* cs = nullptr;
        if (FcPatternGetCharSet(e.sorted->fonts[i], FC_CHARSET, 0, &cs) == FcResultMatch && FcCharSetHasChar(cs, c))
          chosen = i;
      }
      if (chosen < 0 && e.Count() > 0) {
        chosen = 0;  // the primary font's missing-glyph box
        g.missing = true;
      }
      if (chosen >= 0) Measure(e, chosen, c, g);
    }
    return e.glyphs.emplace(c, g).first->second;
  }

  void Measure(FontEntry& e, int i, char32_t c, GlyphRef& g) {
    cairo_scaled_font_t* sf = MetricFont(e, i);
    if (!sf) return;
    std::string u8;
    AppendUtf8(u8, c);
    cairo_glyph_t* glyphs = nullptr;
    int n = 0;
    if (cairo_scaled_font_text_to_glyphs(sf, 0, 0, u8.data(), static_cast<int>(u8.size()), &glyphs, &n, nullptr,
                                         nullptr, nullptr) == CAIRO_STATUS_SUCCESS &&
        n >= 1) {
      cairo_text_extents_t te;
      cairo_scaled_font_glyph_extents(sf, glyphs, 1, &te);
      g.font = i;
      g.index = glyphs[0].index;
      g.advance = te.x_advance / kMetricSize;
    }
    cairo_glyph_free(glyphs);
  }
};

TextEngine::TextEngine(std::string configFile) : impl_(std::make_unique<Impl>()) {
  impl_->configFile = std::move(configFile);
}
TextEngine::~TextEngine() = default;

std::string TextEngine::FindConfigFile() {
  std::vector<std::string> folders;
  const std::string exeDir = ExecutableFolder();
  if (!exeDir.empty()) {
    folders.push_back(exeDir);
#ifdef ZUMEN_FONTS_FROM_BIN
    folders.push_back(exeDir + "/" ZUMEN_FONTS_FROM_BIN);
#endif
  }
#ifdef ZUMEN_FONTS_FROM_LIB
  const std::string libDir = LibraryFolder();
  if (!libDir.empty()) folders.push_back(libDir + "/" ZUMEN_FONTS_FROM_LIB);
#endif
  folders.push_back(SourceFontsFolder());
#ifdef ZUMEN_FONTS_INSTALLED
  folders.emplace_back(ZUMEN_FONTS_INSTALLED);
#endif
  for (const std::string& folder : folders) {
    if (folder.empty()) continue;
    const std::string p = folder + "/" + kConfigName;
    if (IsReadableFile(p)) return p;
  }
  return {};
}

std::string TextEngine::PrimaryFamily(const FontSpec& font) {
  FontEntry* e = impl_->Lookup(font);
  return e->Count() > 0 ? FamilyOf(e->sorted->fonts[0]) : std::string();
}

std::string TextEngine::StandIn(const FontSpec& font) {
  FontEntry* e = impl_->Lookup(font);
  return e->fellBack ? e->standIn : std::string();
}

void TextEngine::SetDiagnostics(DiagnosticSink* sink) { impl_->diagnostics = sink; }

std::string TextEngine::FamilyFor(const FontSpec& font, char32_t c) {
  FontEntry* e = impl_->Lookup(font);
  const GlyphRef& g = impl_->Glyph(*e, c);
  return g.font >= 0 ? FamilyOf(e->sorted->fonts[g.font]) : std::string();
}

namespace {

void ReportMissing(DiagnosticSink* sink, char32_t c) {
  char code[16];
  std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(c));
  sink->Add("glyph-missing", code);
}

}  // namespace

TextEngine::Extent TextEngine::Measure(const FontSpec& font, const std::u16string& text, bool report) {
  Extent x;
  if (text.empty() || !(font.sizePx > 0)) return x;
  FontEntry* e = impl_->Lookup(font);
  if (e->Count() == 0) return x;
  DiagnosticSink* sink = report ? impl_->diagnostics : nullptr;
  if (sink && e->fellBack && impl_->reportedFamilies.insert(font.family).second)
    sink->Add("font-fallback", QuotedText(font.family) + " drawn with " + e->standIn);
  const double size = font.sizePx;
  for (char32_t c : CodePoints(text)) {
    const GlyphRef& g = impl_->Glyph(*e, c);
    if (g.font < 0) continue;
    if (g.missing && sink) ReportMissing(sink, c);
    x.advance += g.advance * size;
  }
  x.drawn = true;
  x.ascent = e->ascent * size;
  x.descent = e->descent * size;
  return x;
}

void TextEngine::Draw(cairo_t* cr, const FontSpec& font, double left, double top,
                      const std::u16string& text, uint32_t argb, double opacity) {
  if (text.empty() || !(font.sizePx > 0)) return;
  FontEntry* e = impl_->Lookup(font);
  if (e->Count() == 0) return;
  DiagnosticSink* sink = impl_->diagnostics;
  if (sink && e->fellBack && impl_->reportedFamilies.insert(font.family).second)
    sink->Add("font-fallback", QuotedText(font.family) + " drawn with " + e->standIn);
  const double size = font.sizePx;
  const double baseline = top + e->ascent * size;

  cairo_save(cr);
  cairo_set_source_rgba(cr, ((argb >> 16) & 0xFF) / 255.0, ((argb >> 8) & 0xFF) / 255.0, (argb & 0xFF) / 255.0,
                        ((argb >> 24) & 0xFF) / 255.0 * opacity);
  cairo_font_options_t* opt = cairo_font_options_create();
  cairo_font_options_set_hint_metrics(opt, CAIRO_HINT_METRICS_OFF);
  cairo_set_font_options(cr, opt);
  cairo_font_options_destroy(opt);

  // Pages get each run of glyphs of one font in one call, which a page
  // writes as one text element; those that keep text (PDF) get the run's
  // characters with it, one cluster per character, so that the text can be
  // searched and copied. Pictures get the glyphs one by one, as they always
  // have (a run would composite overlapping glyph edges differently), each
  // through its own mask.
  cairo_surface_t* target = cairo_get_target(cr);
  TextRun run;
  run.keepText = cairo_surface_has_show_text_glyphs(target);
  const bool inRuns = run.keepText || cairo_surface_get_type(target) != CAIRO_SURFACE_TYPE_IMAGE;
  double x = left;
  int current = -1;
  for (char32_t c : CodePoints(text)) {
    const GlyphRef& g = impl_->Glyph(*e, c);
    if (g.font < 0) continue;
    if (g.missing && sink) ReportMissing(sink, c);
    if (g.font != current) {
      run.Show(cr);
      const std::lock_guard<std::mutex> lock(FontLock());
      cairo_set_font_face(cr, e->faces[g.font]);
      cairo_set_font_size(cr, size);
      // Cairo makes the font at this size now, under the lock.
      cairo_get_scaled_font(cr);
      current = g.font;
    }
    const cairo_glyph_t glyph{g.index, x, baseline};
    if (inRuns) {
      run.Add(glyph, c);
    } else {
      const std::lock_guard<std::mutex> lock(FontLock());
      ShowGlyphMasked(cr, glyph);
    }
    x += g.advance * size;
  }
  run.Show(cr);
  if ((font.underline || font.strikeout) && x > left) {
    if (font.underline) cairo_rectangle(cr, left, baseline - (e->underlinePos + e->underlineThick / 2) * size,
                                        x - left, e->underlineThick * size);
    if (font.strikeout) cairo_rectangle(cr, left, baseline - (e->strikePos + e->strikeThick / 2) * size,
                                        x - left, e->strikeThick * size);
    cairo_fill(cr);
  }
  cairo_restore(cr);
}

}  // namespace zumen
