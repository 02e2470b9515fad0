#pragma once
// One conversion: the drawing objects of every family, the conversion
// context, the loaders, the draw pass and the saving of the image.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "canvas/canvas.h"
#include "canvas/pixel_view.h"
#include "common/cleanup.h"
#include "context/context.h"
#include "driver/settings.h"
#include "driver/sizing.h"

namespace zumen {

// The family that a source file's extension selects (".k4", ".jww", ".jws",
// ".jwc", ".jwk" in any case); None for any other.
Family FamilyOfPath(const std::string& path);
const char* FamilyName(Family f);  // "K4", "JWW", ...

// Bitmaps with more pixels than this are refused unless the caller sets another limit.
inline constexpr uint64_t kDefaultMaxPixels = uint64_t{1} << 28;

struct LoadResult {
  bool checked = false;  // the file passed its format's check
  bool read = false;     // the file was read to its end
  std::string error;     // why the check or the read failed
  // What the drawing pass leaves out of a drawing read (block instances past
  // the block tree's limits); empty when the drawing is drawn whole.
  std::string cut;
};

// The rendered picture of a conversion.
class RenderedImage {
 public:
  virtual ~RenderedImage() = default;
  virtual PixelView Pixels() const = 0;
};

class Converter {
 public:
  // appPath: the folder (with a trailing '/') where "Jw_win.jwf" is looked
  // for; the private image folder is created under the system's temporary
  // directory and removed with the converter.
  explicit Converter(std::string appPath, const Clock* clock = nullptr);
  ~Converter();
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  ConversionContext& Context() { return ctx_; }
  const std::string& AppPath() const { return appPath_; }

  // Whether this build reads the family.
  static bool CanRead(Family f);

  // The loader of the family: check, empty every drawing, read, and set up
  // the attribute model, layers, extents and paper frame.
  LoadResult Load(Family f, const std::string& src);

  // Sizes the frame into x × y pixels and draws the loaded drawing. Fails
  // (nullptr and a message) when the bitmap cannot be had.
  std::unique_ptr<RenderedImage> Draw(Family f, int width, int height, std::string& error);

  // Draws on a canvas the caller provides (its size is the bitmap size).
  void DrawOn(Family f, Canvas& canvas);

  // What `zumen info` reports about the loaded drawing: a JSON object, or
  // one "key: value" line per field when text is set.
  std::string Describe(Family f, const LoadResult& load, bool text) const;

 private:
  struct Drawings;
  ConversionContext ctx_;
  std::string appPath_;
  std::unique_ptr<Drawings> d_;
  RemovedOnSignal tempFolderGuard_;  // the private folder, while it exists
};

}  // namespace zumen
