#pragma once
// The settings file "Plotvane.dat" that a front-end writes beside the child
// converter: 18 lines, one value each. Only the resolution choice and the
// pixel width and height influence the conversion; the other values belong to
// the front-end and are read so that the line positions stay fixed.
#include <cstdint>
#include <string>

namespace zumen_child {

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

// Dots per inch of a resolution choice (line 16); 0 means none.
int DpiOfChoice(int32_t cb3);

// The pixel size of lines 17 and 18: their numbers rounded, halves to even,
// at least 10 each.
void PixelSize(const Settings& s, double& sx, double& sy);

// What the conversion takes from the settings file in the folder appFolder.
struct ChildSettings {
  bool found = false;
  int dpi = 0;  // 0: the picture is width x height pixels
  int width = 100;
  int height = 100;
};
ChildSettings ReadChildSettings(const std::string& appFolder);

}  // namespace zumen_child
