#include "settings.h"

#include <algorithm>
#include <cmath>

#include <iterator>
#include <string_view>

#include "common/cp932.h"
#include "common/files.h"
#include "common/text.h"
#include "common/values.h"

namespace zumen_child {

using zumen::AnsiDecode;
using zumen::ValBool;
using zumen::ValFloat;
using zumen::ValInt;

namespace {

// Reading stops after the 18 lines; they are a few hundred bytes, and no more
// than this is read to find them.
constexpr size_t kMaxSettingsBytes = 1 << 20;

using LineSetter = void (*)(Settings&, const std::u16string&);

// What each of the 18 lines sets, in file order.
constexpr LineSetter kLines[] = {
    [](Settings& s, const std::u16string& v) { s.Fm1x = ValInt(v); },
    [](Settings& s, const std::u16string& v) { s.Fm1y = ValInt(v); },
    [](Settings& s, const std::u16string& v) { s.Fm1w = ValInt(v); },
    [](Settings& s, const std::u16string& v) { s.Fm1h = ValInt(v); },
    [](Settings& s, const std::u16string& v) { s.rb1 = ValBool(v); },
    [](Settings& s, const std::u16string& v) { s.rb2 = ValBool(v); },
    [](Settings& s, const std::u16string& v) { s.rb3 = ValBool(v); },
    [](Settings& s, const std::u16string& v) { s.rb4 = ValBool(v); },
    [](Settings& s, const std::u16string& v) { s.rb5 = ValBool(v); },
    [](Settings& s, const std::u16string& v) { s.ed1 = v; },
    [](Settings& s, const std::u16string& v) { s.lb1 = v; },
    [](Settings& s, const std::u16string& v) { s.lb2 = v; },
    [](Settings& s, const std::u16string& v) { s.Fidx = ValInt(v); },
    [](Settings& s, const std::u16string& v) { s.gstyle = v; },
    [](Settings& s, const std::u16string& v) { s.cb2 = ValInt(v); },
    [](Settings& s, const std::u16string& v) { s.cb3 = ValInt(v); },
    [](Settings& s, const std::u16string& v) { s.ed2 = v; },
    [](Settings& s, const std::u16string& v) { s.ed3 = v; },
};
constexpr size_t kLineCount = std::size(kLines);

}  // namespace

Settings DefaultSettings(const std::string& appPath) {
  Settings s;
  s.lb2 = zumen::PathToText(appPath);
  return s;
}

bool DatFileOpen(const std::string& name, const std::string& appPath, Settings& s) {
  s = DefaultSettings(appPath);
  if (!zumen::FileExist(name)) return false;
  size_t got = 0;
  const bool whole = zumen::ReadLinesWhile(name, kMaxSettingsBytes, [&](std::string_view raw) {
    kLines[got++](s, AnsiDecode(raw));
    return got < kLineCount;
  });
  // A file that ends early gives empty text for the missing lines; after a
  // read error the lines not read keep their defaults.
  if (whole) {
    for (; got < kLineCount; ++got) kLines[got](s, std::u16string());
  }
  return true;
}

int DpiOfChoice(int32_t cb3) {
  static constexpr int kDpi[] = {36, 72, 100, 120, 144, 160, 200, 240, 300,
                                 360, 400, 480, 600, 720, 800, 960, 1000, 1200};
  if (cb3 == 0) return 0;
  if (cb3 >= 1 && cb3 <= 18) return kDpi[cb3 - 1];
  return 300;
}

void PixelSize(const Settings& s, double& sx, double& sy) {
  // Rounded in the default rounding mode, which sends halves to even; what
  // is not a number counts as 0, and every side has at least 10 pixels.
  const auto side = [](double v) {
    v = std::isfinite(v) ? std::nearbyint(v) : 0;
    return v < 10 ? 10.0 : v;
  };
  sx = side(ValFloat(s.ed2));
  sy = side(ValFloat(s.ed3));
}

ChildSettings ReadChildSettings(const std::string& appFolder) {
  std::string folder = appFolder;
  if (!folder.empty() && folder.back() != '/') folder += '/';
  Settings s;
  ChildSettings out;
  out.found = DatFileOpen(folder + kSettingsFileName, folder, s);
  double sx = 0, sy = 0;
  PixelSize(s, sx, sy);
  out.width = static_cast<int>(std::min(sx, 2e9));
  out.height = static_cast<int>(std::min(sy, 2e9));
  out.dpi = DpiOfChoice(s.cb3);
  return out;
}

}  // namespace zumen_child
