#pragma once
// The settings file "Plotvane.dat" that a front-end writes beside the child
// converter: 18 lines, one value each. Only the resolution choice and the
// pixel width and height influence the conversion; the other values belong to
// the front-end and are read so that the line positions stay fixed.
#include <cstdint>
#include <string>

namespace zumen {

struct Settings {
  int32_t Fm1x = 50, Fm1y = 50, Fm1w = 480, Fm1h = 480;
  bool rb1 = true, rb2 = false, rb3 = false, rb4 = false, rb5 = false;
  std::u16string ed1, lb1, lb2;
  int32_t Fidx = 1;
  std::u16string gstyle = u"Windows";
  int32_t cb2 = 0;
  int32_t cb3 = 0;  // output resolution choice, 0 = the pixel size of ed2 x ed3
  int32_t cb4 = 0;  // never read from the file
  std::u16string ed2 = u"100";  // output width in pixels, as text
  std::u16string ed3 = u"100";  // output height in pixels, as text
};

inline constexpr const char* kSettingsFileName = "Plotvane.dat";

// The defaults of a missing file; lb2 defaults to the executable's folder.
Settings DefaultSettings(const std::string& appPath);

// Fills s from the file: defaults first, then the file's lines in order. A
// file with fewer than 18 lines gives empty text for the missing ones.
// Returns whether the file exists.
bool DatFileOpen(const std::string& name, const std::string& appPath, Settings& s);

}  // namespace zumen
