#pragma once
// The images a drawing carries or places, held in memory: reading a drawing
// writes no file.
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace zumen::scene {

struct ImageSource {
  // The image file's bytes; null when the drawing names an image that could
  // not be had.
  std::shared_ptr<const std::vector<uint8_t>> bytes;
  // Why the bytes could not be had (empty: the image is missing).
  std::string error;
  // Where a placed image was found (empty for the drawing's own images).
  std::string path;
};

// Images by the name the drawing gives them ("%temp%<name>" for its own).
using ImageMap = std::map<std::u16string, ImageSource>;

}  // namespace zumen::scene
